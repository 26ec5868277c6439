#pragma once

#include "platform/platform_problem.h"

#include <QList>
#include <QString>
#include <QStringList>

class QSystemTrayIcon;

// What Parlix tells the person when a platform backend cannot work: a desktop
// notification (once per run) and the tray menu's status lines.
struct PlatformNotice {
    QString title;
    QString body; // one actionable paragraph per problem
    QStringList statusLines;
};

PlatformNotice platformNotice(const QList<PlatformProblem>& problems, bool uinputRuleInstalled);

// Through the desktop's notification service (org.freedesktop.Notifications), which every
// desktop has even without a tray; the tray's own balloon when there is none.
void showDesktopNotification(const QString& title, const QString& body, QSystemTrayIcon* tray);
