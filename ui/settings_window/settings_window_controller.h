#pragma once

#include "ui/settings_window/server_status_line.h"

#include <QObject>
#include <memory>

class GeneralTab;
class QDialog;
class QWidget;
class TextProcessingTab;

// The settings window: created once, reused for the life of the process. Its controls are
// loaded from Settings::shared() at creation only, so closing (which only hides) keeps
// unsaved edits for the next showWindow(). "保存" writes them back; hotword edits are
// stored at once.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    using HealthCheck = ServerStatusLine::HealthCheck;

    explicit SettingsWindowController(HealthCheck checkServerHealth, QObject* parent = nullptr);
    ~SettingsWindowController() override;

    void showWindow();
    QWidget* window() const;

private:
    void setupUI(HealthCheck checkServerHealth);
    void loadSettings();
    void saveSettings();

    std::unique_ptr<QDialog> settingsWindow;
    GeneralTab* generalTab = nullptr;
    TextProcessingTab* textProcessingTab = nullptr;
};
