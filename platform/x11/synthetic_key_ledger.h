#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMutex>

// The X keys our own paste keystroke fakes, so that the key monitor can leave them out of
// the neutral stream: a faked Ctrl would otherwise read as a tap of a Control trigger, and
// the release and re-press of a held trigger key as a release and a new press.
class SyntheticKeyLedger {
public:
    static SyntheticKeyLedger& shared();

    void expect(int xKeycode, bool press);
    // True (and forgets the entry) when this event is the oldest one still expected.
    bool consume(int xKeycode, bool press);

private:
    struct Entry {
        int keycode;
        bool press;
        qint64 atMs;
    };
    void dropExpired();

    QMutex mutex_;
    QElapsedTimer clock_;
    QList<Entry> entries_;
};
