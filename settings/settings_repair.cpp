// A hand-edited or damaged Parlix.conf: values of the wrong type or out of range are put
// back to their defaults (or cut to size) once, at start, with a line saying so.
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "support/standard_output.h"

#include <QHash>
#include <QMetaType>
#include <cmath>

using namespace SettingsKey;

namespace {

// A number as the INI file gives it back (always text) or as set in this session.
std::optional<double> storedNumber(const QVariant& v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

bool isText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
}

// What the settings window calls them.
QString settingName(const QString& key)
{
    static const QHash<QString, QString> names {
        {kTotalRecordingSeconds, QStringLiteral("累计录音时长")},
        {kTotalCharactersTyped, QStringLiteral("累计输入字数")},
        {kTotalRecognitions, QStringLiteral("累计识别次数")},
        {kServerURL, QStringLiteral("服务器地址")},
        {kLanguage, QStringLiteral("识别语言")},
        {kTriggerKey, QStringLiteral("触发键")},
        {kTranslationServerURL, QStringLiteral("翻译服务地址")},
        {kTranslationAPIKey, QStringLiteral("翻译 API 密钥")},
        {kHotwords, QStringLiteral("热词（过长，已截短）")},
    };
    return names.value(key, key);
}

} // namespace

QString Settings::repairMessage(const QStringList& keys)
{
    QStringList names;
    for (const QString& key : keys)
        names << settingName(key);
    return QStringLiteral("设置文件中以下设置的值无效，已恢复为默认值：") + names.join(QStringLiteral("、"));
}

QStringList Settings::repairDamagedValues()
{
    std::lock_guard lock(m_mutex);
    QStringList repaired;
    auto reset = [&](const QString& key) {
        remove(key);
        repaired << key;
    };

    for (const QString& key : {kTotalRecordingSeconds, kTotalCharactersTyped, kTotalRecognitions}) {
        const QVariant v = value(key);
        if (!v.isValid())
            continue;
        const std::optional<double> d = storedNumber(v);
        const double limit = key == kTotalRecordingSeconds ? maximumTotalSeconds : double(maximumTotalCount);
        if (!d || *d < 0 || *d > limit || (key != kTotalRecordingSeconds && std::trunc(*d) != *d))
            reset(key);
    }
    for (const QString& key :
        {kServerURL, kLanguage, kTriggerKey, kTranslationServerURL, kTranslationAPIKey}) {
        const QVariant v = value(key);
        if (v.isValid() && (!isText(v) || v.toString().size() > maximumTextLength))
            reset(key);
    }
    const QVariant words = value(kHotwords);
    if (words.isValid()) {
        QStringList list = words.toStringList();
        qsizetype bytes = 0;
        qsizetype keep = 0;
        while (keep < list.size() && keep < maximumHotwords
            && (bytes += list[keep].size() + 1) <= maximumTextLength)
            ++keep;
        if (keep < list.size()) {
            list.resize(keep);
            write(kHotwords, list);
            repaired << kHotwords;
        }
    }
    if (!repaired.isEmpty())
        printLine(repairMessage(repaired) + QStringLiteral("（") + repaired.join(QStringLiteral(", "))
            + QStringLiteral("）"));
    return repaired;
}
