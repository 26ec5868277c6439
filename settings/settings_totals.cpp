// The usage totals and the figures derived from them for the menu and the statistics dialog.
#include "settings/settings.h"
#include "settings/settings_keys.h"

#include <algorithm>
#include <cmath>

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
