#pragma once

#include "platform/key_monitor.h"
#include "platform/key_state_tracker.h"

#include <array>

class QSocketNotifier;
struct _XDisplay;

// Global key monitor for X11 sessions: XInput2 raw key events of the master keyboards,
// read on a connection of its own. Needs no privileges and sees XTest keys as well.
class X11KeyMonitor : public KeyMonitor {
    Q_OBJECT
public:
    explicit X11KeyMonitor(QObject* parent = nullptr);
    ~X11KeyMonitor() override;

    bool start(QString* error) override;
    QString backendName() const override;
    // X servers never deliver Fn: the keyboard handles it itself.
    bool seesFnKey() const override { return false; }

    // One raw key event by X keycode, as read from the server (public for benchmarks).
    // fromXTest: the event came from an XTest device, where our own paste keys come from.
    void processRawKey(int xKeycode, bool press, bool fromXTest);

private:
    void readEvents();
    void refreshKeymap();
    void findXTestDevices();

    _XDisplay* display_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    int xiOpcode_ = 0;
    int xkbEventBase_ = 0;
    std::array<int, 256> neutralByKeycode_ {}; // 0: not a modifier
    QList<int> xtestDevices_;
    KeyStateTracker tracker_;
};
