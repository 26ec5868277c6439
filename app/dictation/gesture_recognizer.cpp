#include "app/dictation/gesture_recognizer.h"

#include "app/dictation/dictation_ui.h"
#include "app/dictation/recording_session.h"
#include "settings/settings.h"

#include <QMetaObject>

namespace {

constexpr quint64 commandDeviceBits = ModifierFlag::LeftCommandDevice | ModifierFlag::RightCommandDevice;

// Flags that belong to the trigger itself: their appearance is not another key.
constexpr quint64 triggerBits(TriggerKey key)
{
    switch (key) {
    case TriggerKey::fn:
        return ModifierFlag::SecondaryFn;
    case TriggerKey::control:
        return ModifierFlag::Control;
    case TriggerKey::option:
        return ModifierFlag::Alternate;
    case TriggerKey::rightCommand:
        return ModifierFlag::Command | ModifierFlag::RightCommandDevice;
    }
    return 0;
}

} // namespace

GestureRecognizer::GestureRecognizer(
    RecordingSession& session, DictationUi& ui, Clock clock, TriggerKeySource triggerKey, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_ui(ui)
    , m_clock(std::move(clock))
    , m_triggerKey(std::move(triggerKey))
{ }

void GestureRecognizer::handleEvent(KeyEventType type, quint64 flags, int keyCode)
{
    const TriggerKey key = m_triggerKey ? m_triggerKey() : Settings::shared().triggerKey();

    if (type == KeyEventType::FlagsChanged) {
        const quint64 added = flags & ~m_lastFlags;
        m_lastFlags = flags;
        if (m_fnKeyPressed && (added & ~triggerBits(key)))
            noteOtherKeyDown();
    } else if (type == KeyEventType::KeyDown && m_fnKeyPressed) {
        noteOtherKeyDown();
    }

    switch (key) {
    case TriggerKey::fn:
        handleFnKey(type, flags, keyCode);
        break;
    case TriggerKey::control:
        handleControlKey(type, flags, keyCode);
        break;
    case TriggerKey::option:
        handleOptionKey(type, flags, keyCode);
        break;
    case TriggerKey::rightCommand:
        handleRightCommandKey(type, flags, keyCode);
        break;
    }
}

void GestureRecognizer::handleFnKey(KeyEventType type, quint64 flags, int)
{
    if (type != KeyEventType::FlagsChanged)
        return;
    if (flags & ModifierFlag::SecondaryFn)
        handleTriggerKeyDown();
    else
        handleTriggerKeyUp();
}

void GestureRecognizer::handleControlKey(KeyEventType type, quint64 flags, int)
{
    if (type != KeyEventType::FlagsChanged)
        return;
    if (flags & ModifierFlag::Control)
        handleTriggerKeyDown();
    else
        handleTriggerKeyUp();
}

void GestureRecognizer::handleOptionKey(KeyEventType type, quint64 flags, int)
{
    if (type != KeyEventType::FlagsChanged)
        return;
    if (flags & ModifierFlag::Alternate)
        handleTriggerKeyDown();
    else
        handleTriggerKeyUp();
}

void GestureRecognizer::handleRightCommandKey(KeyEventType type, quint64 flags, int keyCode)
{
    if (type != KeyEventType::FlagsChanged || keyCode != KeyCode::RightCommand)
        return;
    // The device bit tells the right key from the left one, so the right key's release is
    // seen even while the left one is still down. A backend without device bits falls
    // back to the shared Command flag.
    const bool pressed = (flags & commandDeviceBits) ? (flags & ModifierFlag::RightCommandDevice) != 0
                                                     : (flags & ModifierFlag::Command) != 0;
    if (pressed)
        handleTriggerKeyDown();
    else
        handleTriggerKeyUp();
}

void GestureRecognizer::handleTriggerKeyDown()
{
    if (m_fnKeyPressed)
        return;
    m_fnKeyPressed = true;
    m_chord = false;
    const double now = m_clock();
    if (!m_lastKeyUpTime || now - *m_lastKeyUpTime >= multiTapWindow)
        m_tapCount = 0;
    m_lastKeyDownTime = now;
    if (m_tapCount == 1)
        m_translationTarget = QStringLiteral("en");
    else if (m_tapCount == 2)
        m_translationTarget = QStringLiteral("ja");
    else
        m_translationTarget.clear();

    QMetaObject::invokeMethod(
        this, [this, target = m_translationTarget] { m_session.startRecording(target); },
        Qt::QueuedConnection);
}

void GestureRecognizer::handleTriggerKeyUp()
{
    if (!m_fnKeyPressed)
        return;
    m_fnKeyPressed = false;
    const double now = m_clock();

    if (m_chord) {
        // Already discarded when the other key went down.
        m_chord = false;
        m_tapCount = 0;
        m_lastKeyUpTime.reset();
        return;
    }
    if (m_lastKeyDownTime && now - *m_lastKeyDownTime < tapThreshold) {
        ++m_tapCount;
        m_lastKeyUpTime = now;
        QMetaObject::invokeMethod(
            this, [this] { cleanUpTap(); }, Qt::QueuedConnection);
        return;
    }
    // Posted even when the start has not run yet (a starved event loop): the queue keeps
    // the order, and a stop without a recording does nothing.
    QMetaObject::invokeMethod(
        this, [this, target = m_translationTarget] { m_session.stopRecordingAndRecognize(target); },
        Qt::QueuedConnection);
    m_tapCount = 0;
    m_lastKeyUpTime.reset();
}

void GestureRecognizer::noteOtherKeyDown()
{
    if (m_chord)
        return;
    m_chord = true;
    m_tapCount = 0;
    m_lastKeyUpTime.reset();
    QMetaObject::invokeMethod(
        this, [this] { m_session.discardRecording(); }, Qt::QueuedConnection);
}

void GestureRecognizer::cleanUpTap()
{
    m_session.discardRecording();
    if (m_tapCount == 2)
        m_ui.showStatus(QStringLiteral("→ 日本語"), statusWhite());
    else if (m_tapCount == 1)
        m_ui.showStatus(QStringLiteral("→ English"), statusWhite());
    else
        return;
    m_ui.hideStatusAfterDelay(0.8);
}
