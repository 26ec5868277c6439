#pragma once

#include "platform/key_monitor.h"
#include "platform/paste_keystroke.h"
#include "platform/recorder.h"

#include <memory>

// The one place that picks platform backends for this session. X11 sessions use
// XInput2 and XTest; Wayland sessions evdev and uinput; the recorder is PulseAudio.
// createKeyMonitor() returns a monitor that has already started, or nullptr when no
// backend can run here.
std::unique_ptr<KeyMonitor> createKeyMonitor();
std::unique_ptr<PasteKeystroke> createPasteKeystroke();
std::unique_ptr<Recorder> createRecorder();
