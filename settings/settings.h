#pragma once

#include "settings/trigger_key.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>

// The one store of the user's settings and usage totals, a typed layer over QSettings
// ($XDG_CONFIG_HOME/Parlix/Parlix.conf). It caches nothing of its own: every read asks
// the store, every write is flushed to disk before the setter returns, and an absent key
// reads as its default. Safe to use from any thread.
class Settings {
public:
    static Settings& shared();

    Settings(); // the user's Parlix.conf
    explicit Settings(const QString& filePath); // another file, for tools and tests
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // "serverURL": the remote address as the user typed it.
    QString remoteServerURL() const;
    void setRemoteServerURL(const QString& url);
    // The address a recognition request is posted to: LOCAL_SERVER_URL in local mode,
    // otherwise the stored "serverURL", or LOCAL_SERVER_URL when none is stored.
    QString serverURL() const;
    void setServerURL(const QString& url);
    static QString defaultRemoteServerURL();

    bool launchAtLogin() const;
    // Stores the flag, then adds or removes the autostart entry; a failure prints
    // "设置开机启动失败: ..." and keeps the flag.
    void setLaunchAtLogin(bool enabled);

    QString language() const;
    void setLanguage(const QString& language);

    bool useLocalServer() const;
    void setUseLocalServer(bool local);

    bool setupCompleted() const;
    void setSetupCompleted(bool completed);

    TriggerKey triggerKey() const;
    void setTriggerKey(TriggerKey key);

    bool enableFillerRemoval() const;
    void setEnableFillerRemoval(bool enabled);
    bool enableCJKSpacing() const;
    void setEnableCJKSpacing(bool enabled);
    bool enableHotwords() const;
    void setEnableHotwords(bool enabled);

    QStringList hotwords() const;
    void setHotwords(const QStringList& words);

    // LibreTranslate-compatible engine used for translated dictation.
    // "translationServerURL" as chosen by the user, or "" when none is. The port-5000
    // address that earlier versions stored on every save, unasked, counts as none.
    QString storedTranslationServerURL() const;
    // The address translations are posted to: the chosen one; without one our own
    // server's (LOCAL_TRANSLATION_URL) in local mode, and none ("") in remote mode, so
    // that dictated text never goes anywhere the user did not pick.
    QString translationServerURL() const;
    void setTranslationServerURL(const QString& url);
    // "translationAPIKey": sent as api_key when not empty (keyed LibreTranslate servers).
    QString translationAPIKey() const;
    void setTranslationAPIKey(const QString& key);

    double totalRecordingSeconds() const;
    void setTotalRecordingSeconds(double seconds);
    qint64 totalCharactersTyped() const;
    void setTotalCharactersTyped(qint64 count);
    qint64 totalRecognitions() const;
    void setTotalRecognitions(qint64 count);

    // Each addition is one atomic read-add-write, so two dictations finishing together
    // cannot lose an update.
    void addTotalRecordingSeconds(double seconds);
    void addTotalCharactersTyped(qint64 count);
    void addTotalRecognitions(qint64 count);
    // One dictation typed: a recognition, its seconds and characters, written together
    // totalsDelayMs later, once its paste has gone out (which must not wait for the disk).
    static constexpr int totalsDelayMs = 150;
    void addDictationLater(double seconds, qint64 characters);
    // Writes what addDictationLater() still holds (also done on destruction).
    void flushDictations();

    double averageCharsPerMinute() const;
    double estimatedTimeSavedMinutes() const;

    // Seeds "hotwords" once per installation, from "termDictionary" when it holds terms,
    // else from the built-in list.
    void loadDefaultHotwordsIfNeeded();

    // Bounds of what a damaged or hand-edited file may hold; the totals stop at them.
    static constexpr double maximumTotalSeconds = 1e12;
    static constexpr qint64 maximumTotalCount = qint64(1) << 52; // exact in a double
    static constexpr qsizetype maximumTextLength = 64 * 1024;
    static constexpr qsizetype maximumHotwords = 2000;
    // Puts values of the wrong type or out of range back to their defaults and cuts an
    // oversized hotword list; prints what it changed, and returns the keys. Run at start.
    QStringList repairDamagedValues();
    // What the repair at the first use of shared() changed, and how the person is told.
    const QStringList& repairedAtStart() const { return m_repairedAtStart; }
    static QString repairMessage(const QStringList& repairedKeys);
    // Whether the last write reached the disk (a full disk or a read-only folder does not).
    bool lastSaveSucceeded() const { return m_saveOK; }

    // Raw access for the few callers that must see what is stored (tests, migration).
    bool contains(const QString& key) const;
    void remove(const QString& key);
    void setRawValue(const QString& key, const QVariant& value);
    QString fileName() const;

private:
    QVariant value(const QString& key) const;
    void write(const QString& key, const QVariant& value);
    bool boolWithDefaultTrue(const QString& key) const;
    QVariantMap termDictionary() const;
    void updateLaunchAtLogin(bool enabled);

    mutable std::recursive_mutex m_mutex;
    void save(); // sync, keeping the stored file whole when that fails

    std::unique_ptr<QSettings> m_defaults;
    bool m_saveOK = true;
    struct PendingTotals {
        double seconds = 0;
        qint64 characters = 0;
        qint64 recognitions = 0;
    } m_pending;
    std::shared_ptr<int> m_alive = std::make_shared<int>(); // for the delayed write
    QStringList m_repairedAtStart;
};
