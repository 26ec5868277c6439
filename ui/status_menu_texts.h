#pragma once

#include "settings/trigger_key.h"

#include <QString>

// The texts of the tray menu and its dialogs, built from figures so that tests can check
// the formats without opening anything.

// "按住 fn 键说话"
QString triggerKeyHintText(TriggerKey key);

// "统计: 暂无数据" below one character, else "统计: 1234字 · 85字/分".
QString statisticsLine(qint64 totalCharacters, double averageCharsPerMinute);

// The informative text of the usage statistics dialog.
QString statisticsMessage(double totalRecordingSeconds, qint64 totalCharacters, qint64 totalRecognitions,
    double averageCharsPerMinute, double estimatedTimeSavedMinutes);

// How many times faster than typing by hand at 40 characters a minute: "1.5", or "?"
// when the average is not above 40 (or not a number).
QString speedRatio(double averageCharsPerMinute);

// The informative text of the about dialog.
QString aboutMessage(TriggerKey key);

// The local-service line for a health answer; the line in remote mode.
// `phase`: what the server is busy with ("正在安装依赖...", a download), or "".
QString localServiceLine(bool healthy, const QString& phase = QString());
QString remoteModeLine();
