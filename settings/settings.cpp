// The store itself and the user's preferences.
#include "settings/settings.h"

#include "settings/app_paths.h"
#include "settings/launch_at_login.h"
#include "settings/settings_keys.h"
#include "support/standard_output.h"

using namespace SettingsKey;

Settings& Settings::shared()
{
    static Settings instance;
    static const bool repaired = (instance.m_repairedAtStart = instance.repairDamagedValues(), true);
    (void)repaired;
    return instance;
}

Settings::Settings()
    : m_defaults(std::make_unique<QSettings>(QStringLiteral("Parlix"), QStringLiteral("Parlix")))
{ }

Settings::Settings(const QString& filePath)
    : m_defaults(std::make_unique<QSettings>(filePath, QSettings::NativeFormat))
{ }

Settings::~Settings()
{
    flushDictations();
}

QVariant Settings::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_defaults->value(key);
}

void Settings::write(const QString& key, const QVariant& value)
{
    std::lock_guard lock(m_mutex);
    m_defaults->setValue(key, value);
    save();
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
    save();
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
    // Never written back: a stored choice stays what the person chose.
    return triggerKeyFromRawValue(value(kTriggerKey).toString()).value_or(defaultTriggerKey());
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

QString Settings::storedTranslationServerURL() const
{
    const QString stored = value(kTranslationServerURL).toString().trimmed();
    return stored == QLatin1String("http://127.0.0.1:5000/translate") ? QString() : stored;
}

QString Settings::translationServerURL() const
{
    const QString chosen = storedTranslationServerURL();
    if (!chosen.isEmpty())
        return chosen;
    return useLocalServer() ? LOCAL_TRANSLATION_URL() : QString();
}

void Settings::setTranslationServerURL(const QString& url)
{
    write(kTranslationServerURL, url);
}

QString Settings::translationAPIKey() const
{
    return value(kTranslationAPIKey).toString();
}

void Settings::setTranslationAPIKey(const QString& key)
{
    write(kTranslationAPIKey, key);
}
