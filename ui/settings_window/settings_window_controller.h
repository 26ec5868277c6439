#pragma once

#include "ui/settings_window/connection_tester.h"

#include <QObject>
#include <functional>
#include <memory>

class HotwordListModel;
class QCheckBox;
class QColor;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;

// The settings window: created once, reused for the life of the process. Its controls are
// loaded from Settings::shared() at creation only, so closing (which only hides) keeps
// unsaved edits for the next showWindow(). "保存" writes them back; hotword edits are
// stored at once.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    // Asks the local server's health and calls the completion once, on the GUI thread.
    using HealthCheck = std::function<void(std::function<void(bool)>)>;

    explicit SettingsWindowController(HealthCheck checkServerHealth, QObject* parent = nullptr);
    ~SettingsWindowController() override;

    void showWindow();
    QWidget* window() const;

private:
    void setupUI();
    void setupGeneralTab(QWidget* page);
    void setupTextProcessingTab(QWidget* page);
    void loadSettings();
    void saveSettings();

    void triggerKeyChanged();
    void updateHintLabel();

    void toggleLocalMode();
    void updateUIForLocalMode();
    void updateServerStatus();
    void testConnection();
    void showConnectionOutcome(ConnectionTester::Outcome outcome);
    void setServerStatus(const QString& text, const QColor& color);

    void addHotword();
    void deleteHotword();
    void resetToDefaultHotwords();
    void updateHotwordCount();

    HealthCheck checkServerHealth;
    std::unique_ptr<QDialog> settingsWindow;
    ConnectionTester* connectionTester;
    HotwordListModel* hotwordModel;

    QLineEdit* serverTextField = nullptr;
    QCheckBox* launchAtLoginCheckbox = nullptr;
    QComboBox* languagePopup = nullptr;
    QCheckBox* localModeCheckbox = nullptr;
    QLabel* serverStatusLabel = nullptr;
    QPushButton* testButton = nullptr;
    QComboBox* triggerKeyPopup = nullptr;
    QLabel* hintLabel = nullptr;
    QLineEdit* translationServerTextField = nullptr;
    QCheckBox* fillerRemovalCheckbox = nullptr;
    QCheckBox* cjkSpacingCheckbox = nullptr;
    QCheckBox* hotwordCheckbox = nullptr;
    QTableView* hotwordTableView = nullptr;
};
