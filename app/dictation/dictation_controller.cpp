#include "app/dictation/dictation_controller.h"

#include "app/dictation/dictation_ui.h"
#include "app/dictation/gesture_recognizer.h"
#include "app/dictation/recognition_request.h"
#include "app/dictation/recording_session.h"
#include "app/dictation/text_injector.h"
#include "platform/paste_keystroke.h"
#include "platform/recorder.h"
#include "settings/settings.h"
#include "translation/translation_pipeline.h"
#include "translation/translation_service.h"

#include <chrono>

double DictationController::steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

DictationController::DictationController(DictationUi& ui, Recorder& recorder, PasteKeystroke& paste,
    TranslationEngine& engine, std::function<bool()> serverReady, Clock clock, QObject* parent)
    : QObject(parent)
    , m_paste(paste)
    , m_session(new RecordingSession(ui, recorder, std::move(serverReady), clock, this))
    , m_gestures(new GestureRecognizer(*m_session, ui, clock, {}, this))
    , m_injector(new TextInjector(paste, this))
    , m_translationService(new TranslationService(engine, this))
    , m_pipeline(new TranslationPipeline(
          ui, *m_translationService, [this](const QString& text) { m_injector->typeText(text); },
          TranslationPipeline::defaultTimeLimitMs, this))
    , m_recognition(new RecognitionRequest(
          ui, [this](const QString& text) { m_injector->typeText(text); },
          [this](const QString& text, const QString& target, double duration) {
              m_pipeline->translateAndType(text, target, duration);
          },
          this))
{
    // The request first; the windows, the recording file and the read-ahead of the
    // person's clipboard once it is on its way.
    m_session->onFinished = [this](const FinishedRecording& finished, std::function<void()> afterSend) {
        m_recognition->sendToASR(finished.wav, finished.duration, finished.translationTarget,
            [this, afterSend = std::move(afterSend)] {
                afterSend();
                m_injector->prefetch();
            });
    };
}

DictationController::~DictationController() = default;

void DictationController::handleEvent(KeyEventType type, quint64 flags, int keyCode)
{
    const bool wasDown = m_gestures->fnKeyPressed();
    m_gestures->handleEvent(type, flags, keyCode);
    if (wasDown || !m_gestures->fnKeyPressed())
        return;
    // Alt and Super alone open menus and launchers; Control alone does nothing.
    const TriggerKey key = Settings::shared().triggerKey();
    if (key == TriggerKey::option || key == TriggerKey::rightCommand)
        m_paste.maskLoneModifier();
}

bool DictationController::isRecording() const
{
    return m_session->isRecording();
}

std::optional<float> DictationController::averagePowerDb() const
{
    return m_session->isRecording() ? m_session->recorder().averagePowerDb() : std::nullopt;
}
