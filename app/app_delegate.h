#pragma once

#include "app/dictation/dictation_ui.h"
#include "platform/platform_problem.h"
#include "platform/session_kind.h"
#include "translation/libre_translate_engine.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

class DictationController;
class KeyMonitor;
class PasteKeystroke;
class Recorder;
class SettingsWindowController;
class SetupWindowController;
class StatusItem;
class StatusWindow;
class WaveformOverlay;

// The spine of Parlix: the launch sequence, the choice between the setup wizard and
// normal operation, the local server's start and readiness, the windows, alerts and
// the shutdown. The dictation itself lives in DictationController; this class gives it
// the windows through the DictationUi seam.
class AppDelegate : public QObject, public DictationUi {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    void showSetupWizard();
    void startApp();
    void startLocalServer();
    void startServerHealthCheck();
    void setupStatusItem();
    void setupWindows();
    void requestPermissions();
    void setupEventTap();
    void openSettings();
    void quit();

    bool serverReady() const { return m_serverReady; }

    // DictationUi
    void showStatus(const QString& text, const QColor& color) override;
    void hideStatusAfterDelay(double seconds) override;
    void orderOutStatus() override;
    void updateStatusIcon(bool recording, const QString& translation) override;
    void showWaveformWindow() override;
    void hideWaveformWindow() override;
    void showAlert(const QString& title, const QString& message) override;

private:
    void noteTranslationFailure(
        LibreTranslateEngine::Failure failure, const QString& address, const QString& reason);

    void reportPlatformProblems(const QList<PlatformProblem>& problems);

    SessionKind m_session;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<PasteKeystroke> m_pasteKeystroke;
    std::unique_ptr<LibreTranslateEngine> m_translationEngine;
    std::unique_ptr<DictationController> m_dictation;
    std::unique_ptr<KeyMonitor> m_keyMonitor;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<StatusWindow> m_statusWindow;
    std::unique_ptr<WaveformOverlay> m_waveform;
    std::unique_ptr<SettingsWindowController> m_settingsWindowController;
    std::unique_ptr<SetupWindowController> m_setupWindowController;
    QPointer<QTimer> m_readinessTimer;
    bool m_serverReady = false;
    bool m_translationNoticeShown = false;
    bool m_platformNoticeShown = false;
    bool m_keyMonitorTried = false;
    std::optional<PlatformProblem> m_clipboardProblem; // found before the key monitor started
    QList<PlatformProblem> m_platformProblems; // all told so far
};
