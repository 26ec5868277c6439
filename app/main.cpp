#include "app/app_delegate.h"
#include "app/termination_signals.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication::setApplicationName(QStringLiteral("Parlix"));
    QApplication::setOrganizationName(QStringLiteral("Parlix"));
    QApplication::setDesktopFileName(QStringLiteral("parlix"));
    QApplication app(argc, argv);
    // A tray application: closing the settings window or the wizard must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    AppDelegate delegate;
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
