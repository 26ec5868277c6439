#include "platform/pulse/pulse_recorder.h"

#include "platform/platform_log.h"
#include "platform/pulse/wav_writer.h"

#include <QElapsedTimer>
#include <QFile>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <pulse/def.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <thread>

namespace {
constexpr int kFragmentBytes = WavWriter::kSampleRate * 2 / 50; // 20 ms
// A local server opens a stream in about a millisecond; this only bounds a server that
// accepts the connection and then never answers.
constexpr auto kOpenTimeout = std::chrono::milliseconds(1500);
// One fragment plus slack; a source that stalls must not freeze the caller.
constexpr auto kStopTimeout = std::chrono::milliseconds(100);

pa_simple* openStream(int* err)
{
    const pa_sample_spec sampleFormat {PA_SAMPLE_S16LE, WavWriter::kSampleRate, 1};
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = kFragmentBytes;
    return pa_simple_new(
        nullptr, "Parlix", PA_STREAM_RECORD, nullptr, "Dictation", &sampleFormat, nullptr, &attr, err);
}

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

QString timeoutError()
{
    return QStringLiteral("无法打开麦克风：音频服务无响应");
}
} // namespace

// Shared by the GUI thread and the capture thread; outlives a capture thread that had to
// be abandoned.
struct PulseRecorder::Capture {
    enum class State { Opening, Running, Failed, Finished };

    std::mutex mutex;
    std::condition_variable changed;
    State state = State::Opening; // guarded by mutex
    QString error; // guarded by mutex
    WavWriter writer; // guarded by mutex
    std::thread thread;
    std::atomic<bool> stopRequested {false};
    std::atomic<float> powerDb {kSilenceDb};
    std::atomic<qint64> firstFragmentNs {-1};
    QElapsedTimer sinceStart;

    void setState(State s, const QString& why = {})
    {
        std::lock_guard lock(mutex);
        state = s;
        if (!why.isEmpty())
            error = why;
        changed.notify_all();
    }

    void run()
    {
        int err = 0;
        pa_simple* stream = openStream(&err);
        if (!stream) {
            setState(State::Failed, openError(err));
            return;
        }
        setState(State::Running);
        QByteArray buffer(kFragmentBytes, Qt::Uninitialized);
        while (!stopRequested.load()) {
            if (pa_simple_read(stream, buffer.data(), size_t(buffer.size()), &err) < 0) {
                qCWarning(lcPlatform) << "recorder: read failed:" << pa_strerror(err);
                break;
            }
            qint64 expected = -1;
            firstFragmentNs.compare_exchange_strong(expected, sinceStart.nsecsElapsed());
            powerDb.store(PulseRecorder::powerDb(
                reinterpret_cast<const qint16*>(buffer.constData()), buffer.size() / 2));
            std::lock_guard lock(mutex);
            if (writer.isOpen() && !writer.append(buffer.constData(), buffer.size()))
                qCWarning(lcPlatform) << "recorder: cannot write the recording";
        }
        pa_simple_free(stream);
        setState(State::Finished);
    }
};

PulseRecorder::PulseRecorder() = default;

PulseRecorder::~PulseRecorder()
{
    stop();
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

bool PulseRecorder::start(const QString& wavPath, QString* error)
{
    stop();
    auto capture = std::make_shared<Capture>();
    capture->sinceStart.start();
    if (!capture->writer.open(wavPath, error))
        return false;
    capture->thread = std::thread([capture] { capture->run(); });

    std::unique_lock lock(capture->mutex);
    const bool settled = capture->changed.wait_for(
        lock, kOpenTimeout, [&] { return capture->state != Capture::State::Opening; });
    if (settled && capture->state == Capture::State::Running) {
        lock.unlock();
        capture_ = capture;
        return true;
    }
    if (error)
        *error = settled ? capture->error : timeoutError();
    capture->stopRequested = true;
    capture->writer.finish();
    lock.unlock();
    QFile::remove(wavPath);
    if (settled)
        capture->thread.join();
    else
        capture->thread.detach(); // owns its share of the capture; ends when libpulse gives up
    qCWarning(lcPlatform) << "recorder:" << (error ? *error : QString());
    return false;
}

void PulseRecorder::stop()
{
    if (!capture_)
        return;
    const auto capture = std::move(capture_);
    capture->stopRequested = true;
    std::unique_lock lock(capture->mutex);
    const bool finished = capture->changed.wait_for(
        lock, kStopTimeout, [&] { return capture->state == Capture::State::Finished; });
    // Finishing under the lock: a stalled capture thread can no longer touch the file.
    if (!capture->writer.finish())
        qCWarning(lcPlatform) << "recorder: cannot complete the recording";
    lock.unlock();
    if (finished)
        capture->thread.join();
    else
        capture->thread.detach();
}

bool PulseRecorder::isRecording() const
{
    return capture_ != nullptr;
}

std::optional<float> PulseRecorder::averagePowerDb() const
{
    if (!capture_)
        return std::nullopt;
    return capture_->powerDb.load();
}

qint64 PulseRecorder::firstFragmentDelayNs() const
{
    return capture_ ? capture_->firstFragmentNs.load() : -1;
}

bool PulseRecorder::inputAvailable(QString* error) const
{
    struct Probe {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        int err = 0;
        bool ok = false;
    };
    auto probe = std::make_shared<Probe>();
    std::thread([probe] {
        int err = 0;
        pa_simple* stream = openStream(&err);
        if (stream)
            pa_simple_free(stream);
        std::lock_guard lock(probe->mutex);
        probe->ok = stream != nullptr;
        probe->err = err;
        probe->finished = true;
        probe->done.notify_all();
    }).detach();
    std::unique_lock lock(probe->mutex);
    if (!probe->done.wait_for(lock, kOpenTimeout, [&] { return probe->finished; })) {
        if (error)
            *error = timeoutError();
        return false;
    }
    if (!probe->ok && error)
        *error = openError(probe->err);
    return probe->ok;
}
