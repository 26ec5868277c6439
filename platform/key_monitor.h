#pragma once

#include "platform/key_event.h"
#include "platform/platform_problem.h"

#include <QObject>
#include <QString>

// A global keyboard monitor: reports every key of the session as the neutral stream of
// key_event.h. It only observes; events reach their windows untouched. Events are
// emitted on the GUI thread. Key repeats are not reported: only edges.
class KeyMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~KeyMonitor() override = default;

    // Starts listening; false (with the reason) when this backend cannot run here.
    virtual bool start(QString* error) = 0;
    // After a failed start(): what the person can do about it.
    virtual PlatformProblem startProblem() const { return PlatformProblem::KeyEventsUnavailable; }
    virtual QString backendName() const = 0;
    // Whether this backend can see the Fn key at all.
    virtual bool seesFnKey() const { return true; }

Q_SIGNALS:
    void keyEvent(KeyEventType type, quint64 flags, int keyCode);
};
