#include "status_menu_texts.h"

#include <charconv>

namespace {
// Always with ".", whatever LC_NUMERIC says, and rounded as C's printf rounds (exact value,
// ties to even), which QString::asprintf does not follow.
QString fixed(double value, int decimals)
{
    char buffer[400]; // room for the largest double in fixed notation
    const auto result
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buffer, result.ec == std::errc() ? result.ptr - buffer : 0);
}
} // namespace

QString triggerKeyHintText(TriggerKey key)
{
    return QStringLiteral("按住 ") + shortName(key) + QStringLiteral(" 键说话");
}

QString statisticsLine(qint64 totalCharacters, double averageCharsPerMinute)
{
    if (totalCharacters < 1)
        return QStringLiteral("统计: 暂无数据");
    return QStringLiteral("统计: ") + QString::number(totalCharacters) + QStringLiteral("字 · ")
        + fixed(averageCharsPerMinute, 0) + QStringLiteral("字/分");
}

QString speedRatio(double averageCharsPerMinute)
{
    if (averageCharsPerMinute > 40)
        return fixed(averageCharsPerMinute / 40, 1);
    return QStringLiteral("?");
}

QString statisticsMessage(double totalRecordingSeconds, qint64 totalCharacters, qint64 totalRecognitions,
    double averageCharsPerMinute, double estimatedTimeSavedMinutes)
{
    return QStringLiteral("📊 累计统计\n\n🎤 录音时长: ") + fixed(totalRecordingSeconds / 60, 1)
        + QStringLiteral(" 分钟\n✍️ 输入字数: ") + QString::number(totalCharacters)
        + QStringLiteral(" 字\n🔢 识别次数: ") + QString::number(totalRecognitions)
        + QStringLiteral(" 次\n\n⚡️ 平均速度: ") + fixed(averageCharsPerMinute, 0)
        + QStringLiteral(" 字/分钟\n⏱️ 预估节省: ") + fixed(estimatedTimeSavedMinutes, 1)
        + QStringLiteral(" 分钟\n\n💡 语音输入比手打快 ") + speedRatio(averageCharsPerMinute)
        + QStringLiteral(" 倍");
}

QString aboutMessage(TriggerKey key)
{
    return QStringLiteral("Parlix - 把你的声音变成文字\n\n版本 1.1\n按住 ") + shortName(key)
        + QStringLiteral(" 键说话，松开自动识别\n\n支持中文、英语、日语");
}

QString localServiceLine(bool healthy, const QString& phase)
{
    if (phase.isEmpty())
        return healthy ? QStringLiteral("本地服务: ✅ 运行中")
                       : QStringLiteral("本地服务: ⚠️ 未启动");
    // A long first install must not read as "not started".
    return healthy ? QStringLiteral("本地服务: ✅ 运行中 · ") + phase : QStringLiteral("本地服务: ") + phase;
}

QString remoteModeLine()
{
    return QStringLiteral("模式: 远程服务器");
}
