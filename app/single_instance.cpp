#include "app/single_instance.h"

#include "support/standard_output.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <QSysInfo>
#include <QVariantMap>

bool SingleInstance::acquire()
{
    // Beside Parlix.conf: a test or a person with another XDG_CONFIG_HOME is another Parlix.
    // One per machine, as a home shared by several machines shares this folder, and only a
    // lock of this machine can be told stale.
    const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Parlix");
    QDir().mkpath(folder);
    m_lock = std::make_unique<QLockFile>(
        folder + QStringLiteral("/parlix-") + QSysInfo::machineHostName() + QStringLiteral(".lock"));
    // Stale only when its process is gone: the default would take a lock older than 30 s
    // from a Parlix that is still running.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0) || m_lock->error() != QLockFile::LockFailedError;
}

void reportAlreadyRunning()
{
    const QString title = QStringLiteral("Parlix 已在运行");
    const QString body = QStringLiteral("Parlix 已在系统托盘中运行，无需再次启动。");
    printLine(title);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    static const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage notify = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
    notify << QStringLiteral("Parlix") << uint(0) << QStringLiteral("parlix") << title << body << QStringList()
           << QVariantMap() << int(5000);
    bus.call(notify, QDBus::Block, 1000);
}
