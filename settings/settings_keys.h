#pragma once

#include <QString>

// The keys of the settings store, as stored in Parlix.conf. Shared by the files of Settings
// only; everyone else goes through Settings' properties.
namespace SettingsKey {

inline const QString kServerURL = QStringLiteral("serverURL");
inline const QString kLaunchAtLogin = QStringLiteral("launchAtLogin");
inline const QString kLanguage = QStringLiteral("language");
inline const QString kUseLocalServer = QStringLiteral("useLocalServer");
inline const QString kSetupCompleted = QStringLiteral("setupCompleted");
inline const QString kTriggerKey = QStringLiteral("triggerKey");
inline const QString kEnableFillerRemoval = QStringLiteral("enableFillerRemoval");
inline const QString kEnableCJKSpacing = QStringLiteral("enableCJKSpacing");
inline const QString kEnableHotwords = QStringLiteral("enableHotwords");
inline const QString kHotwords = QStringLiteral("hotwords");
inline const QString kHotwordsInitialized = QStringLiteral("hotwordsInitialized");
inline const QString kTermDictionary = QStringLiteral("termDictionary");
inline const QString kTranslationServerURL = QStringLiteral("translationServerURL");
inline const QString kTranslationAPIKey = QStringLiteral("translationAPIKey");
inline const QString kTotalRecordingSeconds = QStringLiteral("totalRecordingSeconds");
inline const QString kTotalCharactersTyped = QStringLiteral("totalCharactersTyped");
inline const QString kTotalRecognitions = QStringLiteral("totalRecognitions");

} // namespace SettingsKey
