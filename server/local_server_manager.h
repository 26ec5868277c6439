#pragma once

#include "server/local_server_options.h"
#include "server/server_output_parser.h"
#include "server/server_status.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class OrphanCleanup;
class QNetworkAccessManager;
class QProcess;

// Owns the local recognition server: local_server.py run by the venv's python3, its
// output protocol, its health and its stop. One per process (shared()); tests may build
// their own with another port and script.
//
// Observers are single callbacks (assigning replaces) and are always called on the GUI
// thread.
class LocalServerManager : public QObject {
    Q_OBJECT
public:
    static LocalServerManager& shared();

    explicit LocalServerManager(QObject* parent = nullptr);
    // Another port, clean-up pattern or tool paths (tests).
    explicit LocalServerManager(const LocalServerOptions& options, QObject* parent = nullptr);
    ~LocalServerManager() override;

    std::function<void(const ServerStatus&)> onStatusChange;
    std::function<void(int current, int total, const QString& stage)> onProgress;
    std::function<void(int percent)> onDownloadProgress;
    std::function<void(const QString& message)> onLog;

    // Also true while a start is under way (old servers being cleared away), so that
    // nobody starts a second child meanwhile.
    bool isRunning() const;
    bool venvExists() const; // APP_SUPPORT_PATH/venv/bin/python3
    // With PARLIX_ASR_ENGINE=pocketsphinx the engine's model is Debian's en-us package
    // (nothing to download), so that folder is what must exist.
    bool modelExists() const; // APP_SUPPORT_PATH/Fun-ASR-Nano-2512/model.pt
    bool checkUvAvailable() const;

    // Starts the server unless it is running; outcomes only through onStatusChange. It
    // returns at once: servers left over from earlier runs are cleared away first,
    // without blocking the GUI thread, and the checks, the launch and "checking" follow
    // from the event loop.
    void startServer();
    // SIGTERM, then SIGKILL after 1 s; returns when the child is gone. Cancels a start
    // still clearing away old servers. Harmless when nothing runs.
    void stopServer();

    // GET http://127.0.0.1:<port>/health with a 2 s limit; completion exactly once, on
    // the GUI thread, true only for status 200.
    void checkServerHealth(std::function<void(bool healthy)> completion);
    void waitForServerReady(double timeout, std::function<void(bool ready)> completion);

private:
    void killOrphanServers(std::function<void()> then);
    void launchServer();
    QString findServerScript() const;
    void readServerOutput(QProcess* process, ServerOutputParser& parser, QByteArray chunk);
    void endChild(QProcess* process);
    void report(const ServerStatus& status);

    LocalServerOptions options_;
    OrphanCleanup* cleanup_ = nullptr; // set while a start clears away old servers
    QProcess* serverProcess_ = nullptr;
    // One line buffer per stream: a partial line on one must not prefix a line of the other.
    ServerOutputParser stdoutParser_;
    ServerOutputParser stderrParser_;
    QNetworkAccessManager* network_ = nullptr;
};
