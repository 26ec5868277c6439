// Shows the tray icon with its menu as a user sees it, for screenshots and for the
// no-tray check. Prints "TRAY x y w h" once the icon sits in a tray.
//   --exit-after-setup   quit as soon as the tray icon is set up
//   --sample-totals      store some usage totals first, so the statistics line has figures
#include "settings/settings.h"
#include "ui/status_item.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();

    if (args.contains(QStringLiteral("--sample-totals"))) {
        Settings::shared().setUseLocalServer(true);
        Settings::shared().setTotalCharactersTyped(1234);
        Settings::shared().setTotalRecordingSeconds(871);
        Settings::shared().setTotalRecognitions(57);
    }

    StatusItem item([](std::function<void(bool)> completion) {
        QTimer::singleShot(0, [completion] { completion(true); });
    });
    QObject::connect(&item, &StatusItem::quitRequested, &app, &QApplication::quit);
    item.setupStatusItem();
    if (args.contains(QStringLiteral("--exit-after-setup")))
        return 0;

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QRect r = item.trayIcon()->geometry();
        if (r.isValid() && r.width() > 1) {
            std::printf("TRAY %d %d %d %d\n", r.x(), r.y(), r.width(), r.height());
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(100);
    return QApplication::exec();
}
