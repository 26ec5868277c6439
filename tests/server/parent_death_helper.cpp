// Starts a server child through the manager, prints the child's pid and waits to be
// killed; the test then checks that the child did not outlive it.
#include "server/local_server_manager.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The pattern comes through the environment: on our command line it would make
    // the clean-up kill us.
    LocalServerOptions options;
    options.orphanPattern = qEnvironmentVariable("HELPER_ORPHAN_PATTERN");
    options.port = qEnvironmentVariableIntValue("HELPER_PORT");
    qputenv("FAKE_SERVER_MODE", "pid");
    LocalServerManager manager(options);
    manager.onLog = [](const QString& pid) {
        std::printf("%s\n", qPrintable(pid));
        std::fflush(stdout);
    };
    manager.startServer();
    return app.exec();
}
