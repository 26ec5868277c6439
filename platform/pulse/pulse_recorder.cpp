#include "platform/pulse/pulse_recorder.h"

#include "platform/platform_log.h"
#include "platform/pulse/wav_file.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

namespace {
constexpr uint32_t kFragmentBytes = WavFormat::kBytesPerSecond / 100; // 10 ms

QString openError(int err)
{
    QString why;
    switch (err) {
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_INVALIDSERVER:
        why = QStringLiteral("无法连接音频服务（PulseAudio / PipeWire）");
        break;
    case PA_ERR_NOENTITY:
        why = QStringLiteral("找不到默认的音频输入设备");
        break;
    case PA_ERR_ACCESS:
    case PA_ERR_AUTHKEY:
        why = QStringLiteral("音频服务拒绝访问");
        break;
    default:
        why = QStringLiteral("音频服务出错");
    }
    return QStringLiteral("无法打开麦克风：%1（%2）").arg(why, QString::fromUtf8(pa_strerror(err)));
}

// A recording that was running and broke: its device or the server went away.
QString brokenError(int err)
{
    return err == PA_ERR_KILLED
        ? QStringLiteral("录音中断：音频输入设备已断开")
        : QStringLiteral("录音中断：音频服务已断开（%1）").arg(QString::fromUtf8(pa_strerror(err)));
}

QString timeoutError()
{
    return QStringLiteral("无法打开麦克风：音频服务无响应");
}
} // namespace

// One connection to the audio server with its own main-loop thread. The callbacks run on
// that thread with the loop's lock held; the GUI thread takes the lock to read.
struct PulseRecorder::Capture {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    QByteArray pcm; // guarded by the loop's lock
    std::function<void(const QString&)> onFailure; // from the loop thread
    std::function<void()> onRunning; // from the loop thread

    std::mutex stateMutex;
    std::condition_variable stateChanged;
    std::atomic<bool> running {false};
    std::atomic<bool> failed {false};
    QString error; // guarded by stateMutex

    std::atomic<float> powerDb {kSilenceDb};
    std::atomic<qint64> firstFragmentNs {-1};
    std::atomic<qint64> capturedBytes {0};
    QElapsedTimer sinceStart;

    ~Capture() { teardown(); }

    bool begin(QString* why)
    {
        sinceStart.start();
        pcm.reserve(10 * WavFormat::kBytesPerSecond);
        loop = pa_threaded_mainloop_new();
        if (loop)
            context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Parlix");
        if (!context) {
            if (why)
                *why = openError(PA_ERR_INTERNAL);
            return false;
        }
        pa_context_set_state_callback(context, &Capture::contextState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0
            || pa_threaded_mainloop_start(loop) < 0) {
            if (why)
                *why = openError(pa_context_errno(context));
            return false;
        }
        return true;
    }

    // GUI thread, without the lock. Stops the loop's thread and frees everything.
    void teardown()
    {
        if (!loop)
            return;
        pa_threaded_mainloop_lock(loop);
        if (stream) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_read_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            stream = nullptr;
        }
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
    }

    // Waits (GUI thread) until the stream runs or failed; false after the time-out.
    bool waitSettled(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(stateMutex);
        return stateChanged.wait_for(lock, timeout, [&] { return running || failed; });
    }

    // Loop thread: the stream never started, or broke.
    void fail(const QString& why)
    {
        {
            std::lock_guard lock(stateMutex);
            if (failed)
                return;
            failed = true;
            running = false;
            error = why;
        }
        stateChanged.notify_all();
        if (onFailure)
            onFailure(why);
    }

    void failWith(int err) { fail(running ? brokenError(err) : openError(err)); }

    // Loop lock held: everything the server has delivered so far.
    void drain()
    {
        while (stream && pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
                break;
            const qsizetype room = qsizetype(WavFormat::kMaxDataSize) - pcm.size();
            const qsizetype n = std::min<qsizetype>(qsizetype(bytes), room);
            if (n > 0) {
                const qsizetype at = pcm.size();
                if (data)
                    pcm.append(static_cast<const char*>(data), n);
                else
                    pcm.append(n, '\0'); // a hole in the stream: silence
                powerDb.store(PulseRecorder::powerDb(
                    reinterpret_cast<const qint16*>(pcm.constData() + at), (pcm.size() - at) / 2));
                capturedBytes.store(pcm.size());
                qint64 expected = -1;
                firstFragmentNs.compare_exchange_strong(expected, sinceStart.nsecsElapsed());
            }
            pa_stream_drop(stream);
        }
    }

    static void contextState(pa_context* c, void* self)
    {
        auto* capture = static_cast<Capture*>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            capture->openStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            capture->failWith(pa_context_errno(c));
            break;
        default:
            break;
        }
    }

    static void streamState(pa_stream* s, void* self)
    {
        auto* capture = static_cast<Capture*>(self);
        switch (pa_stream_get_state(s)) {
        case PA_STREAM_READY: {
            std::lock_guard lock(capture->stateMutex);
            capture->running = true;
        }
            capture->stateChanged.notify_all();
            if (capture->onRunning)
                capture->onRunning();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            capture->failWith(pa_context_errno(capture->context));
            break;
        default:
            break;
        }
    }

    static void readable(pa_stream*, size_t, void* self) { static_cast<Capture*>(self)->drain(); }

    void openStream()
    {
        const pa_sample_spec sampleFormat {PA_SAMPLE_S16LE, WavFormat::kSampleRate, WavFormat::kChannels};
        stream = pa_stream_new(context, "Dictation", &sampleFormat, nullptr);
        if (!stream) {
            fail(openError(pa_context_errno(context)));
            return;
        }
        pa_stream_set_state_callback(stream, &Capture::streamState, this);
        pa_stream_set_read_callback(stream, &Capture::readable, this);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(-1);
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(-1);
        attr.fragsize = kFragmentBytes;
        if (pa_stream_connect_record(stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0)
            fail(openError(pa_context_errno(context)));
    }
};

PulseRecorder::PulseRecorder()
    : m_context(std::make_unique<QObject>())
{ }

PulseRecorder::~PulseRecorder()
{
    m_capture.reset(); // its thread stops before the context goes
}

float PulseRecorder::powerDb(const qint16* samples, qsizetype count)
{
    if (count <= 0)
        return kSilenceDb;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    const double mean = sum / double(count) / (32768.0 * 32768.0);
    if (mean <= 0)
        return kSilenceDb;
    return std::max(kSilenceDb, float(10.0 * std::log10(mean)));
}

bool PulseRecorder::start(QString* error)
{
    stop();
    auto capture = std::make_shared<Capture>();
    const quint64 generation = ++m_generation;
    QObject* context = m_context.get();
    capture->onFailure = [this, context, generation](const QString& why) {
        QMetaObject::invokeMethod(
            context, [this, generation, why] { fail(generation, why); }, Qt::QueuedConnection);
    };
    if (!capture->begin(error)) {
        qCWarning(lcPlatform) << "recorder:" << (error ? *error : QString());
        return false;
    }
    m_capture = std::move(capture);
    QTimer::singleShot(kOpenTimeoutMs, context, [this, generation] {
        if (generation == m_generation && m_capture && !m_capture->running)
            fail(generation, timeoutError());
    });
    return true;
}

void PulseRecorder::fail(quint64 generation, const QString& error)
{
    if (generation != m_generation || !m_capture)
        return;
    const auto capture = std::move(m_capture);
    capture->teardown();
    qCWarning(lcPlatform) << "recorder:" << error;
    if (onFailed)
        onFailed(error);
}

QByteArray PulseRecorder::stop()
{
    if (!m_capture)
        return {};
    const auto capture = std::move(m_capture);
    ++m_generation;
    pa_threaded_mainloop_lock(capture->loop);
    capture->drain();
    const QByteArray pcm = std::move(capture->pcm);
    pa_threaded_mainloop_unlock(capture->loop);
    // Closing the connection takes a millisecond or two: after the recording has gone.
    QTimer::singleShot(0, m_context.get(), [capture] { capture->teardown(); });
    return WavFormat::file(pcm);
}

bool PulseRecorder::isRecording() const
{
    return m_capture != nullptr;
}

std::optional<float> PulseRecorder::averagePowerDb() const
{
    if (!m_capture)
        return std::nullopt;
    return m_capture->powerDb.load();
}

qint64 PulseRecorder::firstFragmentDelayNs() const
{
    return m_capture ? m_capture->firstFragmentNs.load() : -1;
}

qint64 PulseRecorder::capturedBytes() const
{
    return m_capture ? m_capture->capturedBytes.load() : 0;
}

void PulseRecorder::checkInput(std::function<void(const QString& error)> done)
{
    // The probe's answer hops to the GUI thread, which alone may tear it down.
    struct Check {
        std::shared_ptr<Capture> probe = std::make_shared<Capture>();
        std::function<void(const QString&)> done;
        void answer(const QString& error)
        {
            if (const auto finished = std::move(probe)) {
                finished->teardown();
                std::exchange(done, {})(error);
            }
        }
    };
    auto check = std::make_shared<Check>();
    check->done = std::move(done);
    QObject* context = m_context.get();
    const auto answer = [context, weak = std::weak_ptr<Check>(check)](const QString& error) {
        QMetaObject::invokeMethod(
            context,
            [weak, error] {
                if (const auto c = weak.lock())
                    c->answer(error);
            },
            Qt::QueuedConnection);
    };
    check->probe->onFailure = answer;
    check->probe->onRunning = [answer] { answer(QString()); };
    QString error;
    if (!check->probe->begin(&error)) {
        QMetaObject::invokeMethod(
            context, [check, error] { check->answer(error); }, Qt::QueuedConnection);
        return;
    }
    QTimer::singleShot(kOpenTimeoutMs, context, [check] { check->answer(timeoutError()); });
}
