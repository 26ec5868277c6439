#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QProcess;

// Clears away servers left over from earlier runs before a start: `pkill -f <pattern>`,
// half a second for them to go, `pkill -9 -f <pattern>`, then up to 20 looks, 0.3 s
// apart, until the port can be bound again. Runs on the GUI thread without ever waiting
// there: the tools are asynchronous children and the pauses are timers. Deleting the
// object cancels the rest; `done` is then never called.
class OrphanCleanup : public QObject {
    Q_OBJECT
public:
    static constexpr int portAttempts = 20;

    OrphanCleanup(QString pkillPath, QString pattern, int port, QObject* parent = nullptr);
    ~OrphanCleanup() override;

    // Starts the steps; `done` runs once, on the GUI thread, after the last one.
    void run(std::function<void()> done);

    // Whether something on this machine listens on the loopback port (a bind is refused).
    static bool portIsBusy(int port);

private:
    void runTool(const QStringList& arguments, std::function<void()> next);
    void waitForPort(int attempt);
    void after(int milliseconds, std::function<void()> next);

    QString m_pkillPath;
    QString m_pattern;
    int m_port;
    std::function<void()> m_done;
    QProcess* m_tool = nullptr;
    QTimer m_pause;
};
