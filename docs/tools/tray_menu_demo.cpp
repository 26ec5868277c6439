// The tray icon and its menu, for screenshots (--sample-totals stores figures first; prints
// "TRAY x y w h" once the icon sits in a tray) and the no-tray check (--exit-after-setup).
#include "settings/settings.h"
#include "ui/status_item.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--sample-totals"))) {
        Settings::shared().setUseLocalServer(true);
        Settings::shared().setTotalCharactersTyped(1234);
        Settings::shared().setTotalRecordingSeconds(871);
    }
    StatusItem item([](std::function<void(bool)> done) { QTimer::singleShot(0, [done] { done(true); }); });
    item.setupStatusItem();
    if (app.arguments().contains(QStringLiteral("--exit-after-setup")))
        return 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QRect r = item.trayIcon()->geometry();
        if (r.width() > 1) {
            std::printf("TRAY %d %d %d %d\n", r.x(), r.y(), r.width(), r.height());
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(100);
    return QApplication::exec();
}
