#pragma once

// Fakes at the platform seam: the windows, the recorder and the paste keystroke.

#include "app/dictation/dictation_ui.h"
#include "platform/paste_keystroke.h"
#include "platform/recorder.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>

// Records every call as one line, e.g. "status 识别中... #ffffff", "hide 1.5", "icon 1 EN".
class FakeUi : public DictationUi {
public:
    QStringList calls;

    void showStatus(const QString& text, const QColor& color) override
    {
        calls << QStringLiteral("status ") + text + QLatin1Char(' ') + color.name();
    }
    void hideStatusAfterDelay(double seconds) override
    {
        calls << QStringLiteral("hide ") + QString::number(seconds);
    }
    void orderOutStatus() override { calls << QStringLiteral("orderOut"); }
    void updateStatusIcon(bool recording, const QString& translation) override
    {
        calls << QStringLiteral("icon %1 %2").arg(int(recording)).arg(translation).trimmed();
    }
    void showWaveformWindow() override { calls << QStringLiteral("waveform show"); }
    void hideWaveformWindow() override { calls << QStringLiteral("waveform hide"); }
    void showAlert(const QString& title, const QString& message) override
    {
        calls << QStringLiteral("alert ") + title + QLatin1Char(' ') + message;
    }

    QStringList statuses() const
    {
        QStringList out;
        for (const QString& call : calls) {
            if (call.startsWith(QLatin1String("status ")))
                out << call.mid(7);
        }
        return out;
    }
};

// Writes a WAV-sized file of `bytesToWrite` bytes (header + silence) on stop, as the real
// recorder completes its file.
class FakeRecorder : public Recorder {
public:
    int starts = 0;
    int stops = 0;
    qsizetype bytesToWrite = 32044;
    char fill = 0;
    QByteArray content; // written first, then filled up to bytesToWrite
    QString failWith; // when set, start() fails with this reason

    bool start(const QString& wavPath, QString* error) override
    {
        if (!failWith.isEmpty()) {
            if (error)
                *error = failWith;
            return false;
        }
        QFile file(wavPath); // opened at once, as the real one
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            if (error)
                *error = file.errorString();
            return false;
        }
        ++starts;
        m_path = wavPath;
        m_recording = true;
        return true;
    }
    void stop() override
    {
        if (!m_recording)
            return;
        ++stops;
        m_recording = false;
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(QByteArray(content + QByteArray(bytesToWrite, fill)).left(bytesToWrite));
    }
    bool isRecording() const override { return m_recording; }
    std::optional<float> averagePowerDb() const override
    {
        return m_recording ? std::optional<float>(-30.f) : std::nullopt;
    }
    bool inputAvailable(QString*) const override { return true; }

private:
    QString m_path;
    bool m_recording = false;
};

// Remembers what the clipboard held at each keystroke, and when it was sent.
class FakePaste : public PasteKeystroke {
public:
    QStringList pasted;
    QList<qint64> sentAtNs;
    QElapsedTimer* clock = nullptr;

    bool canSend() const override { return true; }
    bool send() override
    {
        pasted << QGuiApplication::clipboard()->text();
        if (clock)
            sentAtNs << clock->nsecsElapsed();
        return true;
    }
    QString backendName() const override { return QStringLiteral("fake"); }
};
