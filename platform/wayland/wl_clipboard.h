#pragma once

#include "platform/clipboard.h"

#include <QList>
#include <QObject>
#include <QTimer>

class QProcess;

// The clipboard through wl-copy and wl-paste, for compositors that let a client without
// the focus own and read the selection (a data-control protocol). Native Wayland windows
// paste from it; XWayland windows get it through the compositor's bridge. The tools run
// one at a time, never waited for on the GUI thread. Reads by the target cannot be seen:
// the caller's settle time stands for them.
class WlClipboard : public QObject, public Clipboard {
public:
    static constexpr int toolTimeoutMs = 2000;

    WlClipboard(const QString& copyProgram, const QString& pasteProgram, QObject* parent = nullptr);
    ~WlClipboard() override;

    bool supportsSelection() const override { return false; }
    bool reportsChanges() const override { return false; }
    void onChangedElsewhere(std::function<void(QClipboard::Mode)>) override { }
    void read(QClipboard::Mode mode, std::function<void(ClipboardContent)> done) override;
    void offerText(QClipboard::Mode mode, const QString& text, std::function<void(bool)> done) override;
    void notifyRead(std::function<void()>) override { }
    void restore(QClipboard::Mode mode, const ClipboardContent& content, std::function<void()> done) override;

private:
    struct Run {
        QString program;
        QStringList arguments;
        QByteArray input;
        std::function<void(bool ok, const QByteArray& output)> done;
    };

    // `next`: a step of the operation that is running, ahead of those queued behind it.
    void run(Run run, bool next = false);
    void startNext();
    void finish(QProcess* process, bool ok);

    QString m_copy;
    QString m_paste;
    QList<Run> m_runs;
    QProcess* m_running = nullptr;
    std::function<void(bool, const QByteArray&)> m_runningDone;
    bool m_inStep = false; // a step's callback runs and may queue its follow-up first
    QTimer m_timeout;
    QByteArray m_offered; // our text as it was copied
};
