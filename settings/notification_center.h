#pragma once

#include <QObject>
#include <QString>

// Application-wide notifications: one part posts a name, whoever cares observes it
// (the settings window posts "TriggerKeyChanged"; the tray menu retitles its hint).
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& shared();
    void post(const QString& name) { Q_EMIT posted(name); }

Q_SIGNALS:
    void posted(const QString& name);
};

inline const QString kTriggerKeyChangedNotification = QStringLiteral("TriggerKeyChanged");
