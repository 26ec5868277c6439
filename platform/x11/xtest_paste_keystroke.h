#pragma once

#include "platform/paste_keystroke.h"

#include <QStringList>

struct _XDisplay;

// Ctrl+V (Ctrl+Shift+V into terminal emulators) through XTest. Modifier keys the user
// still holds are released around the keystroke and pressed again afterwards, since the
// focused client would otherwise see e.g. Super+Ctrl+V and ignore it.
class XTestPasteKeystroke : public PasteKeystroke {
public:
    XTestPasteKeystroke();
    ~XTestPasteKeystroke() override;
    XTestPasteKeystroke(const XTestPasteKeystroke&) = delete;
    XTestPasteKeystroke& operator=(const XTestPasteKeystroke&) = delete;

    bool canSend() const override;
    bool send() override;
    QString backendName() const override;

    // Whether the window with the keyboard focus belongs to a terminal emulator.
    bool focusIsTerminal() const;
    // Whether a WM_CLASS (instance or class name) is a known terminal emulator.
    static bool isTerminalClass(const QString& wmClass);

private:
    bool open() const;

    mutable _XDisplay* display_ = nullptr;
    mutable bool hasXTest_ = false;
};
