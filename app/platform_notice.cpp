#include "app/platform_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QVariantMap>

PlatformNotice platformNotice(const QList<PlatformProblem>& problems, bool uinputRuleInstalled)
{
    PlatformNotice notice;
    bool keys = false;
    bool paste = false;
    QStringList paragraphs;
    for (PlatformProblem problem : problems) {
        (isKeyProblem(problem) ? keys : paste) = true;
        paragraphs << problemMessage(problem, uinputRuleInstalled);
        notice.statusLines << problemStatusLine(problem);
    }
    if (keys && paste)
        notice.title = QStringLiteral("Parlix 的触发键和自动粘贴都不可用");
    else if (keys)
        notice.title = QStringLiteral("Parlix 的触发键不可用");
    else if (paste)
        notice.title = QStringLiteral("Parlix 不能自动粘贴");
    notice.body = paragraphs.join(QLatin1Char('\n'));
    return notice;
}

void showDesktopNotification(const QString& title, const QString& body, QSystemTrayIcon* tray)
{
    QPointer<QSystemTrayIcon> fallback(tray);
    auto balloon = [fallback, title, body] {
        if (fallback && QSystemTrayIcon::supportsMessages())
            fallback->showMessage(title, body, QSystemTrayIcon::Warning, 60000);
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        balloon();
        return;
    }
    static const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage notify = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
    // Critical urgency and no time-out: it carries a command to type.
    notify << QStringLiteral("Parlix") << uint(0) << QStringLiteral("parlix") << title << body
           << QStringList() << QVariantMap {{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}}
           << int(0);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), tray);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [balloon](QDBusPendingCallWatcher* w) {
            if (w->isError())
                balloon();
            w->deleteLater();
        });
}
