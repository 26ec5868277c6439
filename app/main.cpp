#include "app/app_delegate.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "platform/session_kind.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    // In a Wayland session Qt speaks X11 to XWayland where it can: compositors hand the
    // clipboard only to a focused Wayland client, and a tray application never has the
    // focus; where the compositor offers no data-control protocol for wl-clipboard,
    // XWayland's clipboard is the one left. Overlays keep their place too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")
        && sessionKind(SessionEnvironment::current()) == SessionKind::Wayland)
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication::setApplicationName(QStringLiteral("Parlix"));
    QApplication::setOrganizationName(QStringLiteral("Parlix"));
    QApplication::setDesktopFileName(QStringLiteral("parlix"));
    QApplication app(argc, argv);
    // A tray application: closing the settings window or the wizard must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    SingleInstance instance;
    if (!instance.acquire()) {
        reportAlreadyRunning();
        return 0;
    }

    AppDelegate delegate;
    TerminationSignals signals_;
    QObject::connect(&signals_, &TerminationSignals::terminationRequested, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
