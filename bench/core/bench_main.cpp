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

class TimedPaste : public PasteKeystroke {
public:
    explicit TimedPaste(const QElapsedTimer& clock)
        : m_clock(clock)
    { }
    qint64 sentAtNs = 0;
    bool canSend() const override { return true; }
    PasteMethod methodForFocus() const override { return PasteMethod::ControlV; }
    bool send(PasteMethod) override
    {
        sentAtNs = m_clock.nsecsElapsed();
        return true;
    }
    QString backendName() const override { return QStringLiteral("timed"); }

private:
    const QElapsedTimer& m_clock;
};

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
    FakeRecorder recorder;
    TimedPaste paste(clock);
    LibreTranslateEngine engine;
    double now = 0;
    DictationController controller(
        ui, recorder, paste, engine, [] { return true; }, [&] { return now; });

    for (const auto& [label, bytes] :
        {std::pair {"5 s", 44 + 5 * 32000}, std::pair {"10 min", 44 + 600 * 32000}}) {
        recorder.audio = QByteArray(bytes, '\x01');
        std::vector<double> toReceived;
        std::vector<double> toPaste;
        for (int i = 0; i < 7; ++i) {
            server.receivedAtNs = 0;
            server.repliedAtNs = 0;
            paste.sentAtNs = 0;
            now += 10;
            controller.handleEvent(KeyEventType::FlagsChanged, ModifierFlag::Alternate, KeyCode::Option);
            QCoreApplication::sendPostedEvents();
            now += 1;
            const qint64 releasedAt = clock.nsecsElapsed();
            controller.handleEvent(KeyEventType::FlagsChanged, 0, KeyCode::Option);
            while (paste.sentAtNs == 0 && clock.nsecsElapsed() - releasedAt < 30'000'000'000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (paste.sentAtNs == 0) {
                std::printf("no paste within 30 s\n");
                break;
            }
            toReceived.push_back((server.receivedAtNs - releasedAt) / 1e6);
            toPaste.push_back((paste.sentAtNs - server.repliedAtNs) / 1e6);
        }
        if (toReceived.empty())
            continue;
        std::printf("release -> request fully received, %s WAV: %.2f ms (median of %zu)\n", label,
            median(toReceived), toReceived.size());
        std::printf("server reply -> paste keystroke, %s WAV: %.2f ms (median of %zu)\n", label,
            median(toPaste), toPaste.size());
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
    QString error;
    if (!recorder.inputAvailable(&error)) {
        std::printf("press -> first captured frame: skipped (%s)\n", qPrintable(error));
        return;
    }
    const QString wav = QDir::tempPath() + QStringLiteral("/bench_first_frame.wav");
    std::vector<double> ms;
    for (int i = 0; i < 15; ++i) {
        if (!recorder.start(wav, &error))
            break;
        QElapsedTimer waited;
        waited.start();
        while (recorder.firstFragmentDelayNs() < 0 && waited.elapsed() < 2000)
            QThread::msleep(1);
        if (recorder.firstFragmentDelayNs() >= 0)
            ms.push_back(double(recorder.firstFragmentDelayNs()) / 1e6);
        recorder.stop();
    }
    if (!ms.empty())
        std::printf("press -> first captured frame: %.1f ms (median of %zu)\n", median(ms), ms.size());
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
