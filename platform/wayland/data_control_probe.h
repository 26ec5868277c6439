#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>
#include <QTimer>

// Asks the compositor, without waiting on the GUI thread, whether it offers a data-control
// protocol: the one way for a client without the focus (a tray application) to own the
// clipboard that native Wayland windows paste from. It speaks just enough of the Wayland
// wire protocol to list the compositor's globals.
class DataControlProbe : public QObject {
    Q_OBJECT
public:
    static constexpr int timeoutMs = 2000;

    // The compositor's socket: WAYLAND_DISPLAY, a name in XDG_RUNTIME_DIR or a path.
    static QString socketPath(const QString& waylandDisplay, const QString& runtimeDirectory);

    using QObject::QObject;
    void start(const QString& socketPath);

Q_SIGNALS:
    // Once; `offered` is false as well when the compositor could not be asked.
    void finished(bool offered);

private:
    void readMessages();
    void finish(bool offered);

    QLocalSocket m_socket;
    QTimer m_timeout;
    QByteArray m_buffer;
    bool m_offered = false;
    bool m_finished = false;
};
