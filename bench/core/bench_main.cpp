// Figures of the dictation core's hot paths: the key-event path, building the recognition
// request, release to request received, and reply to paste keystroke.

#include "app/dictation/dictation_controller.h"
#include "app/dictation/dictation_ui.h"
#include "app/dictation/gesture_recognizer.h"
#include "app/dictation/recognition_request.h"
#include "app/dictation/recording_session.h"
#include "app/dictation/text_injector.h"
#include "counting_server.h"
#include "platform/paste_keystroke.h"
#include "platform/pulse/pulse_recorder.h"
#include "platform/recorder.h"
#include "platform/x11/xtest_paste_keystroke.h"
#include "settings/settings.h"
#include "tests/dictation/fake_platform.h"
#include "translation/libre_translate_engine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// Notes when the paste keystroke went out; under X11 it really sends it (XTest).
class TimedPaste : public PasteKeystroke {
public:
    explicit TimedPaste(const QElapsedTimer& clock)
        : m_clock(clock)
    {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            m_real = std::make_unique<XTestPasteKeystroke>();
    }
    qint64 sentAtNs = 0;
    bool canSend() const override { return true; }
    PasteMethod methodForFocus() const override
    {
        return m_real ? m_real->methodForFocus() : PasteMethod::ControlV;
    }
    bool send(PasteMethod method) override
    {
        const bool sent = !m_real || m_real->send(method);
        sentAtNs = m_clock.nsecsElapsed();
        return sent;
    }
    QString backendName() const override { return m_real ? m_real->backendName() : QStringLiteral("timed"); }

private:
    const QElapsedTimer& m_clock;
    std::unique_ptr<XTestPasteKeystroke> m_real;
};

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, ms - int(t.elapsed()));
}

// Whether the microphone opens; empty, or why not.
QString checkInput(Recorder& recorder)
{
    std::optional<QString> answer;
    recorder.checkInput([&](const QString& error) { answer = error; });
    while (!answer)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return *answer;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void keyEventPath()
{
    FakeUi ui;
    FakeRecorder recorder;
    double now = 0;
    RecordingSession session(ui, recorder, {}, [&] { return now; });
    for (const bool fromSettings : {false, true}) {
        GestureRecognizer gestures(
            session, ui, [&] { return now; },
            fromSettings ? GestureRecognizer::TriggerKeySource()
                         : GestureRecognizer::TriggerKeySource([] { return TriggerKey::option; }));
        const int events = fromSettings ? 200000 : 5000000;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < events; i += 2) {
            gestures.handleEvent(KeyEventType::KeyDown, 0, KeyCode::OrdinaryKeyBase + 38);
            gestures.handleEvent(KeyEventType::KeyUp, 0, KeyCode::OrdinaryKeyBase + 38);
        }
        const double ns
            = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        std::printf("key event, gesture path (%s): %.1f ns/event\n",
            fromSettings ? "trigger read from Settings" : "trigger source injected", ns / events);
    }
}

void bodyBuilding()
{
    for (const auto& [label, bytes] :
        {std::pair {"5 s", 44 + 5 * 32000}, std::pair {"10 min", 44 + 600 * 32000}}) {
        const QByteArray wav(bytes, '\x01');
        const QStringList hotwords {QStringLiteral("通义"), QStringLiteral("Qt")};
        std::vector<double> ms;
        for (int i = 0; i < 15; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const QByteArray body = RecognitionRequest::buildBody(
                wav, RecognitionRequest::newBoundary(), QStringLiteral("auto"), true, hotwords);
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (body.size() < wav.size())
                std::abort();
        }
        std::printf("request body, %s WAV (%d bytes): %.3f ms (median of 15)\n", label, bytes, median(ms));
    }
}

// Release of the key -> the whole request at a local server, and the server's reply ->
// the paste keystroke, through the whole dictation core. With the fake recorder the WAV
// sizes are set; with the real microphone (when there is one) each hold lasts 2 or 5 s.
// The server answers CountingServer::replyDelayMs after the request, as a recogniser would.
// Both are the person's wait, so the worst run counts as much as the median.
void releaseToPaste()
{
    QElapsedTimer clock;
    clock.start();
    QThread serverThread;
    CountingServer server(clock);
    if (!server.listen(QHostAddress::LocalHost)) {
        std::printf("cannot listen on 127.0.0.1\n");
        return;
    }
    server.moveToThread(&serverThread);
    serverThread.start();
    Settings::shared().setUseLocalServer(false);
    Settings::shared().setRemoteServerURL(
        QStringLiteral("http://127.0.0.1:%1/api/transcribe").arg(server.serverPort()));
    Settings::shared().setTriggerKey(TriggerKey::option);

    FakeUi ui;
    FakeRecorder fake;
    PulseRecorder pulse;
    const QString error = checkInput(pulse);
    const bool microphone = error.isEmpty();
    TimedPaste paste(clock);
    LibreTranslateEngine engine;

    struct Run {
        const char* label;
        Recorder* recorder;
        int bytes; // of the fake recording
        int holdMs;
        int count;
    };
    std::vector<Run> runs {{"2 s WAV", &fake, 44 + 2 * 32000, 0, 40},
        {"5 s WAV", &fake, 44 + 5 * 32000, 0, 40}, {"10 min WAV", &fake, 44 + 600 * 32000, 0, 3}};
    if (microphone) {
        runs.push_back({"2 s hold on the microphone", &pulse, 0, 2000, 10});
        runs.push_back({"5 s hold on the microphone", &pulse, 0, 5000, 10});
    } else
        std::printf("release -> request with the microphone: skipped (%s)\n", qPrintable(error));

    for (const Run& run : runs) {
        double now = 0;
        DictationController controller(
            ui, *run.recorder, paste, engine, [] { return true; }, [&] { return now; });
        fake.audio = QByteArray(run.bytes, '\x01');
        std::vector<double> toReceived;
        std::vector<double> toPaste;
        for (int i = 0; i < run.count; ++i) {
            server.receivedAtNs = 0;
            server.repliedAtNs = 0;
            paste.sentAtNs = 0;
            now += 10;
            controller.handleEvent(KeyEventType::FlagsChanged, ModifierFlag::Alternate, KeyCode::Option);
            QCoreApplication::sendPostedEvents();
            spin(run.holdMs);
            now += 1 + run.holdMs / 1000.0;
            bool restored = false;
            const auto watch = QObject::connect(
                &controller.injector(), &TextInjector::clipboardRestored, [&] { restored = true; });
            const qint64 releasedAt = clock.nsecsElapsed();
            controller.handleEvent(KeyEventType::FlagsChanged, 0, KeyCode::Option);
            while (paste.sentAtNs == 0 && clock.nsecsElapsed() - releasedAt < 30'000'000'000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (paste.sentAtNs == 0) {
                std::printf("no paste within 30 s\n");
                QObject::disconnect(watch);
                break;
            }
            toReceived.push_back((server.receivedAtNs - releasedAt) / 1e6);
            toPaste.push_back((paste.sentAtNs - server.repliedAtNs) / 1e6);
            // The next paste must not wait for this one to settle.
            while (!restored && clock.nsecsElapsed() - releasedAt < 5'000'000'000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            QObject::disconnect(watch);
        }
        if (toReceived.empty())
            continue;
        std::printf("release -> request fully received, %s: %.2f ms (median of %zu, max %.2f)\n", run.label,
            median(toReceived), toReceived.size(), *std::max_element(toReceived.begin(), toReceived.end()));
        std::printf("server reply -> paste keystroke, %s: %.2f ms (median of %zu, max %.2f)\n", run.label,
            median(toPaste), toPaste.size(), *std::max_element(toPaste.begin(), toPaste.end()));
    }
    QMetaObject::invokeMethod(
        &server, [&server] { server.close(); }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
}

// Press of the key to the first captured audio frame: the first syllable must not be
// clipped. Needs a PulseAudio (or PipeWire) server; skipped without one.
void pressToFirstFrame()
{
    PulseRecorder recorder;
    QString error = checkInput(recorder);
    if (!error.isEmpty()) {
        std::printf("press -> first captured frame: skipped (%s)\n", qPrintable(error));
        return;
    }
    std::vector<double> ms;
    std::vector<double> stopMs;
    for (int i = 0; i < 15; ++i) {
        if (!recorder.start(&error))
            break;
        QElapsedTimer waited;
        waited.start();
        while (recorder.firstFragmentDelayNs() < 0 && waited.elapsed() < 2000)
            QThread::msleep(1);
        if (recorder.firstFragmentDelayNs() >= 0)
            ms.push_back(double(recorder.firstFragmentDelayNs()) / 1e6);
        QThread::msleep(200);
        const auto start = std::chrono::steady_clock::now();
        recorder.stop();
        stopMs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (!ms.empty()) {
        std::printf("press -> first captured frame: %.1f ms (median of %zu)\n", median(ms), ms.size());
        std::printf(
            "recorder stop -> complete WAV: %.2f ms (median of %zu)\n", median(stopMs), stopMs.size());
    }
}

} // namespace

int main(int argc, char** argv)
{
    // A private settings store and temporary folder: the bench must not touch the user's.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TMPDIR", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    keyEventPath();
    bodyBuilding();
    releaseToPaste();
    pressToFirstFrame();
    return 0;
}
