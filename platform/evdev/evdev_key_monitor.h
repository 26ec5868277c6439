#pragma once

#include "platform/evdev/evdev_key_decoder.h"
#include "platform/key_monitor.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <memory>
#include <optional>

class QSocketNotifier;
struct libevdev;

// Global key monitor for sessions without X11: reads every keyboard under /dev/input
// (needs membership of the "input" group). Keyboards plugged in later are attached as
// they appear; one that disappears releases the keys it held. Without one readable
// keyboard at the start it does not start: nothing would ever trigger.
class EvdevKeyMonitor : public KeyMonitor {
    Q_OBJECT
public:
    explicit EvdevKeyMonitor(
        const QString& inputDirectory = QStringLiteral("/dev/input"), QObject* parent = nullptr);
    ~EvdevKeyMonitor() override;

    bool start(QString* error) override;
    QString backendName() const override;
    PlatformProblem startProblem() const override { return problem_; }

    // What a look at the input directory found.
    struct Scan {
        bool directoryExists = false;
        int nodes = 0; // event* entries
        int denied = 0; // of those, not readable by us
        int keyboards = 0; // attached
    };
    // Why such a scan cannot start the monitor, if it cannot.
    static std::optional<PlatformProblem> problemOf(const Scan& scan);

private:
    struct Device;
    enum class AttachResult { Attached, NotKeyboard, NoAccess, Failed };

    void rescan();
    AttachResult attach(const QString& path);
    void detach(const QString& path);
    void readDevice(const QString& path);
    void deliver(const std::optional<KeyStateTracker::Event>& event);

    QString directory_;
    QFileSystemWatcher watcher_;
    QHash<QString, std::shared_ptr<Device>> devices_;
    EvdevKeyDecoder decoder_;
    int nextSource_ = 1;
    bool started_ = false;
    PlatformProblem problem_ = PlatformProblem::NoKeyboards;
};
