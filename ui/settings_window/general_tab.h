#pragma once

#include "ui/settings_window/server_status_line.h"
#include "ui/settings_window/translation_tester.h"

#include <QObject>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class Settings;

// The "通用" tab: server mode and address with its status line, recognition language,
// trigger key with its hint, launch at login and the translation engine's address and API
// key. "测试" probes the recognition server and the translation engine.
class GeneralTab : public QObject {
    Q_OBJECT
public:
    GeneralTab(QWidget* page, ServerStatusLine::HealthCheck checkServerHealth, QObject* parent = nullptr);

    void loadSettings(const Settings& settings);
    void saveSettings(Settings& settings) const;

private:
    void setupUI(QWidget* page, ServerStatusLine::HealthCheck checkServerHealth);
    void triggerKeyChanged();
    void updateHintLabel();
    void toggleLocalMode();
    void updateUIForLocalMode();
    void testTranslation();
    void showTranslationOutcome(TranslationTester::Outcome outcome, const QString& detail);

    ServerStatusLine* serverStatusLine = nullptr;

    QLineEdit* serverTextField = nullptr;
    QCheckBox* launchAtLoginCheckbox = nullptr;
    QComboBox* languagePopup = nullptr;
    QCheckBox* localModeCheckbox = nullptr;
    QLabel* serverStatusLabel = nullptr;
    QPushButton* testButton = nullptr;
    QComboBox* triggerKeyPopup = nullptr;
    QLabel* hintLabel = nullptr;
    QLineEdit* translationServerTextField = nullptr;
    QLineEdit* translationAPIKeyTextField = nullptr;
    QLabel* translationStatusLabel = nullptr;
    TranslationTester* translationTester = nullptr;
};
