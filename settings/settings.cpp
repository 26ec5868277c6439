#include "settings.h"

#include "settings/app_paths.h"
#include "settings/launch_at_login.h"
#include "text/scalar_order.h"
#include "text/standard_output.h"
#include "text/text_post_processor.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kServerURL = QStringLiteral("serverURL");
const QString kLaunchAtLogin = QStringLiteral("launchAtLogin");
const QString kLanguage = QStringLiteral("language");
const QString kUseLocalServer = QStringLiteral("useLocalServer");
const QString kSetupCompleted = QStringLiteral("setupCompleted");
const QString kTriggerKey = QStringLiteral("triggerKey");
const QString kEnableFillerRemoval = QStringLiteral("enableFillerRemoval");
const QString kEnableCJKSpacing = QStringLiteral("enableCJKSpacing");
const QString kEnableHotwords = QStringLiteral("enableHotwords");
const QString kHotwords = QStringLiteral("hotwords");
const QString kHotwordsInitialized = QStringLiteral("hotwordsInitialized");
const QString kTermDictionary = QStringLiteral("termDictionary");
const QString kTranslationServerURL = QStringLiteral("translationServerURL");
const QString kTotalRecordingSeconds = QStringLiteral("totalRecordingSeconds");
const QString kTotalCharactersTyped = QStringLiteral("totalCharactersTyped");
const QString kTotalRecognitions = QStringLiteral("totalRecognitions");

} // namespace

Settings& Settings::shared()
{
    static Settings instance;
    return instance;
}

Settings::Settings()
    : m_defaults(std::make_unique<QSettings>(QStringLiteral("Parlix"), QStringLiteral("Parlix")))
{ }

Settings::Settings(const QString& filePath)
    : m_defaults(std::make_unique<QSettings>(filePath, QSettings::NativeFormat))
{ }

Settings::~Settings() = default;

QVariant Settings::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_defaults->value(key);
}

void Settings::write(const QString& key, const QVariant& value)
{
    std::lock_guard lock(m_mutex);
    m_defaults->setValue(key, value);
    m_defaults->sync();
}

bool Settings::contains(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_defaults->contains(key);
}

void Settings::remove(const QString& key)
{
    std::lock_guard lock(m_mutex);
    m_defaults->remove(key);
    m_defaults->sync();
}

void Settings::setRawValue(const QString& key, const QVariant& value)
{
    write(key, value);
}

QString Settings::fileName() const
{
    std::lock_guard lock(m_mutex);
    return m_defaults->fileName();
}

bool Settings::boolWithDefaultTrue(const QString& key) const
{
    const QVariant stored = value(key);
    return stored.isValid() ? stored.toBool() : true;
}

QString Settings::defaultRemoteServerURL()
{
    return QStringLiteral("http://192.168.1.100:9000/api/transcribe");
}

QString Settings::remoteServerURL() const
{
    const QVariant stored = value(kServerURL);
    return stored.isValid() ? stored.toString() : defaultRemoteServerURL();
}

void Settings::setRemoteServerURL(const QString& url)
{
    write(kServerURL, url);
}

QString Settings::serverURL() const
{
    if (useLocalServer())
        return LOCAL_SERVER_URL();
    const QVariant stored = value(kServerURL);
    return stored.isValid() ? stored.toString() : LOCAL_SERVER_URL();
}

void Settings::setServerURL(const QString& url)
{
    write(kServerURL, url);
}

bool Settings::launchAtLogin() const
{
    return value(kLaunchAtLogin).toBool();
}

void Settings::setLaunchAtLogin(bool enabled)
{
    write(kLaunchAtLogin, enabled);
    updateLaunchAtLogin(enabled);
}

void Settings::updateLaunchAtLogin(bool enabled)
{
    QString error;
    if (!LaunchAtLogin::apply(enabled, &error)) {
        printLine(QStringLiteral("设置开机启动失败: ") + error);
    }
}

QString Settings::language() const
{
    const QVariant stored = value(kLanguage);
    return stored.isValid() ? stored.toString() : QStringLiteral("auto");
}

void Settings::setLanguage(const QString& language)
{
    write(kLanguage, language);
}

bool Settings::useLocalServer() const
{
    return value(kUseLocalServer).toBool();
}

void Settings::setUseLocalServer(bool local)
{
    write(kUseLocalServer, local);
}

bool Settings::setupCompleted() const
{
    return value(kSetupCompleted).toBool();
}

void Settings::setSetupCompleted(bool completed)
{
    write(kSetupCompleted, completed);
}

TriggerKey Settings::triggerKey() const
{
    return triggerKeyFromRawValue(value(kTriggerKey).toString()).value_or(TriggerKey::fn);
}

void Settings::setTriggerKey(TriggerKey key)
{
    write(kTriggerKey, rawValue(key));
}

bool Settings::enableFillerRemoval() const
{
    return boolWithDefaultTrue(kEnableFillerRemoval);
}

void Settings::setEnableFillerRemoval(bool enabled)
{
    write(kEnableFillerRemoval, enabled);
}

bool Settings::enableCJKSpacing() const
{
    return boolWithDefaultTrue(kEnableCJKSpacing);
}

void Settings::setEnableCJKSpacing(bool enabled)
{
    write(kEnableCJKSpacing, enabled);
}

bool Settings::enableHotwords() const
{
    return boolWithDefaultTrue(kEnableHotwords);
}

void Settings::setEnableHotwords(bool enabled)
{
    write(kEnableHotwords, enabled);
}

QStringList Settings::hotwords() const
{
    // A one-element list comes back from the INI file as a plain string; toStringList()
    // turns it back into a list.
    const QVariant stored = value(kHotwords);
    return stored.isValid() ? stored.toStringList() : QStringList();
}

void Settings::setHotwords(const QStringList& words)
{
    write(kHotwords, words);
}

QString Settings::defaultTranslationServerURL()
{
    return QStringLiteral("http://127.0.0.1:5000/translate");
}

QString Settings::translationServerURL() const
{
    const QVariant stored = value(kTranslationServerURL);
    return stored.isValid() ? stored.toString() : defaultTranslationServerURL();
}

void Settings::setTranslationServerURL(const QString& url)
{
    write(kTranslationServerURL, url);
}

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

// "termDictionary" is either one stored map or an INI group of its own.
QVariantMap Settings::termDictionary() const
{
    std::lock_guard lock(m_mutex);
    const QVariant stored = m_defaults->value(kTermDictionary);
    if (stored.metaType().id() == QMetaType::QVariantMap)
        return stored.toMap();
    if (stored.isValid())
        return {};
    QVariantMap group;
    m_defaults->beginGroup(kTermDictionary);
    for (const QString& key : m_defaults->childKeys())
        group.insert(key, m_defaults->value(key));
    m_defaults->endGroup();
    return group;
}

void Settings::loadDefaultHotwordsIfNeeded()
{
    std::lock_guard lock(m_mutex);
    if (value(kHotwordsInitialized).toBool())
        return;
    write(kHotwordsInitialized, true);

    const QVariantMap terms = termDictionary();
    {
        const bool allStrings = std::all_of(terms.cbegin(), terms.cend(),
            [](const QVariant& v) { return v.metaType().id() == QMetaType::QString; });
        if (!terms.isEmpty() && allStrings) {
            QStringList words;
            for (const QVariant& v : terms)
                words.append(v.toString());
            words.removeDuplicates();
            sortByUnicodeScalars(words);
            setHotwords(words);
            return;
        }
    }
    setHotwords(TextPostProcessor::defaultHotwords());
}
