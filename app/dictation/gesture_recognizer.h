#pragma once

#include "platform/key_event.h"
#include "settings/trigger_key.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class DictationUi;
class RecordingSession;

// Turns the key stream into press and release edges of the trigger key and counts taps:
// a press shorter than tapThreshold is a tap; taps add up while the next press follows a
// release within multiTapWindow. One tap before a hold asks for English, two for Japanese.
// Every press starts a recording at once; the recording actions are queued to the event
// loop, never run inside the key callback. GUI thread only.
//
// A press of the trigger during which another key goes down is a chord (Ctrl+S with
// Control as trigger), not a dictation: its recording is dropped and no tap is counted.
class GestureRecognizer : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<double()>; // seconds, monotonic
    using TriggerKeySource = std::function<TriggerKey()>;

    static constexpr double tapThreshold = 0.3;
    static constexpr double multiTapWindow = 0.6;

    // Without a triggerKey source the key is read from Settings::shared() at every event.
    GestureRecognizer(RecordingSession& session, DictationUi& ui, Clock clock,
        TriggerKeySource triggerKey = {}, QObject* parent = nullptr);

    void handleEvent(KeyEventType type, quint64 flags, int keyCode);

    void handleFnKey(KeyEventType type, quint64 flags, int keyCode);
    void handleControlKey(KeyEventType type, quint64 flags, int keyCode);
    void handleOptionKey(KeyEventType type, quint64 flags, int keyCode);
    void handleRightCommandKey(KeyEventType type, quint64 flags, int keyCode);

    void handleTriggerKeyDown();
    void handleTriggerKeyUp();

    bool fnKeyPressed() const { return m_fnKeyPressed; }
    int tapCount() const { return m_tapCount; }
    std::optional<double> lastKeyDownTime() const { return m_lastKeyDownTime; }
    std::optional<double> lastKeyUpTime() const { return m_lastKeyUpTime; }
    const QString& translationTarget() const { return m_translationTarget; }

private:
    void noteOtherKeyDown();
    void cleanUpTap();

    RecordingSession& m_session;
    DictationUi& m_ui;
    Clock m_clock;
    TriggerKeySource m_triggerKey;

    bool m_fnKeyPressed = false;
    int m_tapCount = 0;
    std::optional<double> m_lastKeyDownTime;
    std::optional<double> m_lastKeyUpTime;
    QString m_translationTarget;

    bool m_chord = false; // the current press saw another key go down
    quint64 m_lastFlags = 0;
};
