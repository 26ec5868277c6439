#pragma once

#include "platform/clipboard.h"

#include <QObject>
#include <QPointer>

class PasteMimeData;

// The clipboard of the window system Qt talks to (X11, or XWayland in a Wayland session
// whose compositor offers unfocused clients no clipboard of their own). It answers at
// once; reading another application's data may wait for that application, as Qt does.
class QtClipboard : public QObject, public Clipboard {
public:
    QtClipboard();

    bool supportsSelection() const override;
    bool reportsChanges() const override { return true; }
    void onChangedElsewhere(std::function<void(QClipboard::Mode)> changed) override
    {
        m_changedElsewhere = std::move(changed);
    }
    void read(QClipboard::Mode mode, std::function<void(ClipboardContent)> done) override;
    void offerText(QClipboard::Mode mode, const QString& text, std::function<void(bool)> done) override;
    void notifyRead(std::function<void()> onRead) override;
    bool notifyAsked(std::function<void()> onAsked) override;
    void restore(QClipboard::Mode mode, const ClipboardContent& content, std::function<void()> done) override;

private:
    void changed(QClipboard::Mode mode);

    QPointer<PasteMimeData> m_ours[2]; // by mode: Clipboard, Selection
    QPointer<PasteMimeData> m_last; // the one the next paste reads
    std::function<void(QClipboard::Mode)> m_changedElsewhere;
    bool m_ownChange = false;
};
