#pragma once

#include "platform/evdev/evdev_key_decoder.h"
#include "platform/key_monitor.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <memory>

class QSocketNotifier;
struct libevdev;

// Global key monitor for sessions without X11: reads every keyboard under /dev/input
// (needs membership of the "input" group). Keyboards plugged in later are attached as
// they appear; one that disappears releases the keys it held.
class EvdevKeyMonitor : public KeyMonitor {
    Q_OBJECT
public:
    explicit EvdevKeyMonitor(
        const QString& inputDirectory = QStringLiteral("/dev/input"), QObject* parent = nullptr);
    ~EvdevKeyMonitor() override;

    bool start(QString* error) override;
    QString backendName() const override;

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
};
