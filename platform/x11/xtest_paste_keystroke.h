#pragma once

#include "platform/paste_keystroke.h"

#include <QList>
#include <QStringList>

struct _XDisplay;

// The paste keystroke through XTest: Ctrl+V, Ctrl+Shift+V into terminal emulators,
// Shift+Insert into the xterm family. Modifier keys the user still holds are released
// around the keystroke and pressed again afterwards, since the focused client would
// otherwise see e.g. Super+Ctrl+V and ignore it. Every faked key is announced to the key
// monitors (SyntheticKeyLedger), so none of it can read as the person's typing.
class XTestPasteKeystroke : public PasteKeystroke {
public:
    XTestPasteKeystroke();
    ~XTestPasteKeystroke() override;
    XTestPasteKeystroke(const XTestPasteKeystroke&) = delete;
    XTestPasteKeystroke& operator=(const XTestPasteKeystroke&) = delete;

    bool canSend() const override;
    PasteMethod methodForFocus() const override;
    bool send(PasteMethod method) override;
    void maskLoneModifier() override;
    QString backendName() const override;

    // The paste keystroke of a window by its WM_CLASS (instance or class name).
    static PasteMethod methodForClass(const QString& wmClass);

private:
    bool open() const;
    void tapControlUnlessHeld(const QList<int>& held);

    mutable _XDisplay* display_ = nullptr;
    mutable bool hasXTest_ = false;
};
