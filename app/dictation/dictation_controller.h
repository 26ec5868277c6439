#pragma once

#include "platform/key_event.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class DictationUi;
class GestureRecognizer;
class PasteKeystroke;
class RecognitionRequest;
class Recorder;
class RecordingSession;
class TextInjector;
class TranslationEngine;
class TranslationPipeline;
class TranslationService;

// The dictation core in one object: gestures, recording, recognition, translation and
// typing, reaching the platform only through the interfaces it is given.
//
// Wiring in the application (GUI thread, all references must outlive the controller):
//
//     auto engine = std::make_unique<LibreTranslateEngine>();
//     controller = new DictationController(ui, *recorder, *paste, *engine,
//         [this] { return serverReady; }, DictationController::steadySeconds, this);
//     connect(keyMonitor, &KeyMonitor::keyEvent, controller, &DictationController::handleEvent);
//
// The waveform overlay samples averagePowerDb() every 0.05 s while isRecording() is true.
class DictationController : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<double()>;

    // Seconds on the monotonic clock: the production clock of the gestures and durations.
    static double steadySeconds();

    DictationController(DictationUi& ui, Recorder& recorder, PasteKeystroke& paste, TranslationEngine& engine,
        std::function<bool()> serverReady, Clock clock = &DictationController::steadySeconds,
        QObject* parent = nullptr);
    ~DictationController() override;

    void handleEvent(KeyEventType type, quint64 flags, int keyCode);

    bool isRecording() const;
    std::optional<float> averagePowerDb() const;

    GestureRecognizer& gestures() { return *m_gestures; }
    RecordingSession& session() { return *m_session; }
    RecognitionRequest& recognition() { return *m_recognition; }
    TextInjector& injector() { return *m_injector; }
    TranslationService& translationService() { return *m_translationService; }
    TranslationPipeline& translationPipeline() { return *m_pipeline; }

private:
    PasteKeystroke& m_paste;
    RecordingSession* m_session;
    GestureRecognizer* m_gestures;
    TextInjector* m_injector;
    TranslationService* m_translationService;
    TranslationPipeline* m_pipeline;
    RecognitionRequest* m_recognition;
};
