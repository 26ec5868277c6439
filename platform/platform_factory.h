#pragma once

#include "platform/clipboard.h"
#include "platform/key_monitor.h"
#include "platform/paste_keystroke.h"
#include "platform/recorder.h"
#include "platform/session_kind.h"

#include <functional>
#include <memory>
#include <optional>

// The one place that picks platform backends, by the kind of session: X11 sessions use
// XInput2 and XTest, Wayland sessions evdev and uinput. There is no fall-back to the
// other kind's backend: under Wayland the X11 ones only see XWayland windows, which
// looks like working and is not. The recorder is PulseAudio.
struct PlatformPaths {
    QString inputDirectory = QStringLiteral("/dev/input");
    QString uinputDevice = QStringLiteral("/dev/uinput");
};

struct KeyMonitorStart {
    std::unique_ptr<KeyMonitor> monitor; // started; null when it could not start
    std::optional<PlatformProblem> problem;
};

KeyMonitorStart createKeyMonitor(SessionKind session, const PlatformPaths& paths = {});
std::unique_ptr<PasteKeystroke> createPasteKeystroke(SessionKind session, const PlatformPaths& paths = {});
// The problem of a paste keystroke that cannot send, if any.
std::optional<PlatformProblem> pasteProblem(const PasteKeystroke& paste);
std::unique_ptr<Recorder> createRecorder();

// The clipboard the paste goes through where Qt's cannot reach native Wayland windows: in a
// Wayland session whose compositor offers data-control, wl-clipboard's tools. `done` (from
// the event loop, `context` alive) gets none where Qt's clipboard is the one to use, and
// the problem to tell where the tools are missing.
struct ClipboardChoice {
    std::unique_ptr<Clipboard> clipboard;
    std::optional<PlatformProblem> problem;
};
void findSessionClipboard(SessionKind session, QObject* context, std::function<void(ClipboardChoice)> done);
