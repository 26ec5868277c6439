// The usage totals and the figures derived from them for the menu and the statistics dialog.
#include "settings/settings.h"
#include "settings/settings_keys.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

using namespace SettingsKey;

namespace {

// Totals only grow, and stop at their bound instead of wrapping.
double clampedSeconds(double seconds)
{
    return std::isfinite(seconds) ? std::clamp(seconds, 0.0, Settings::maximumTotalSeconds) : 0.0;
}

qint64 clampedCount(qint64 total, qint64 added)
{
    if (total < 0)
        total = 0;
    if (added <= 0)
        return std::min(total, Settings::maximumTotalCount);
    return added >= Settings::maximumTotalCount - std::min(total, Settings::maximumTotalCount)
        ? Settings::maximumTotalCount
        : total + added;
}

} // namespace

double Settings::totalRecordingSeconds() const
{
    return clampedSeconds(value(kTotalRecordingSeconds).toDouble());
}

void Settings::setTotalRecordingSeconds(double seconds)
{
    write(kTotalRecordingSeconds, seconds);
}

qint64 Settings::totalCharactersTyped() const
{
    return clampedCount(value(kTotalCharactersTyped).toLongLong(), 0);
}

void Settings::setTotalCharactersTyped(qint64 count)
{
    write(kTotalCharactersTyped, count);
}

qint64 Settings::totalRecognitions() const
{
    return clampedCount(value(kTotalRecognitions).toLongLong(), 0);
}

void Settings::setTotalRecognitions(qint64 count)
{
    write(kTotalRecognitions, count);
}

void Settings::addTotalRecordingSeconds(double seconds)
{
    std::lock_guard lock(m_mutex);
    if (std::isfinite(seconds) && seconds > 0)
        setTotalRecordingSeconds(clampedSeconds(totalRecordingSeconds() + seconds));
}

void Settings::addTotalCharactersTyped(qint64 count)
{
    std::lock_guard lock(m_mutex);
    setTotalCharactersTyped(clampedCount(totalCharactersTyped(), count));
}

void Settings::addTotalRecognitions(qint64 count)
{
    std::lock_guard lock(m_mutex);
    setTotalRecognitions(clampedCount(totalRecognitions(), count));
}

void Settings::addDictationLater(double seconds, qint64 characters)
{
    std::lock_guard lock(m_mutex);
    if (m_pending.recognitions == 0)
        QTimer::singleShot(totalsDelayMs, [this, alive = std::weak_ptr<int>(m_alive)] {
            if (!alive.expired())
                flushDictations();
        });
    if (std::isfinite(seconds) && seconds > 0)
        m_pending.seconds = clampedSeconds(m_pending.seconds + seconds);
    m_pending.characters = clampedCount(m_pending.characters, characters);
    m_pending.recognitions = clampedCount(m_pending.recognitions, 1);
}

void Settings::flushDictations()
{
    std::lock_guard lock(m_mutex);
    const PendingTotals pending = std::exchange(m_pending, {});
    if (pending.recognitions == 0)
        return;
    m_defaults->setValue(kTotalRecordingSeconds, clampedSeconds(totalRecordingSeconds() + pending.seconds));
    m_defaults->setValue(kTotalCharactersTyped, clampedCount(totalCharactersTyped(), pending.characters));
    m_defaults->setValue(kTotalRecognitions, clampedCount(totalRecognitions(), pending.recognitions));
    save();
}

double Settings::averageCharsPerMinute() const
{
    const double seconds = totalRecordingSeconds();
    if (!(seconds > 0))
        return 0;
    return double(totalCharactersTyped()) / (seconds / 60);
}

double Settings::estimatedTimeSavedMinutes() const
{
    const double typing = double(totalCharactersTyped()) / 40;
    const double speaking = totalRecordingSeconds() / 60;
    const double saved = (typing - speaking) + speaking * (-0.5);
    return saved >= 0 ? saved : 0;
}
