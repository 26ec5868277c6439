#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMutex>

// The X keys our own paste keystroke fakes, so that key monitors can leave them out of
// the neutral stream: a faked Ctrl would otherwise read as a tap of a Control trigger, and
// the release and re-press of a held trigger key as a release and a new press. Each
// monitor subscribes and consumes its own copy, in the order the keys were faked.
class SyntheticKeyLedger {
public:
    static SyntheticKeyLedger& shared();

    void subscribe(const void* monitor);
    void unsubscribe(const void* monitor);

    void expect(int xKeycode, bool press);
    // True (and forgets the entry) when this event is the oldest one the monitor expects.
    bool consume(const void* monitor, int xKeycode, bool press);

private:
    struct Entry {
        int keycode;
        bool press;
        qint64 atMs;
    };
    void dropExpired(QList<Entry>& entries) const;

    QMutex mutex_;
    QElapsedTimer clock_;
    QHash<const void*, QList<Entry>> queues_;
};
