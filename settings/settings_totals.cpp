// The usage totals and the figures derived from them for the menu and the statistics dialog.
#include "settings/settings.h"
#include "settings/settings_keys.h"

using namespace SettingsKey;

double Settings::totalRecordingSeconds() const
{
    return value(kTotalRecordingSeconds).toDouble();
}

void Settings::setTotalRecordingSeconds(double seconds)
{
    write(kTotalRecordingSeconds, seconds);
}

qint64 Settings::totalCharactersTyped() const
{
    return value(kTotalCharactersTyped).toLongLong();
}

void Settings::setTotalCharactersTyped(qint64 count)
{
    write(kTotalCharactersTyped, count);
}

qint64 Settings::totalRecognitions() const
{
    return value(kTotalRecognitions).toLongLong();
}

void Settings::setTotalRecognitions(qint64 count)
{
    write(kTotalRecognitions, count);
}

void Settings::addTotalRecordingSeconds(double seconds)
{
    std::lock_guard lock(m_mutex);
    setTotalRecordingSeconds(totalRecordingSeconds() + seconds);
}

void Settings::addTotalCharactersTyped(qint64 count)
{
    std::lock_guard lock(m_mutex);
    setTotalCharactersTyped(totalCharactersTyped() + count);
}

void Settings::addTotalRecognitions(qint64 count)
{
    std::lock_guard lock(m_mutex);
    setTotalRecognitions(totalRecognitions() + count);
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
