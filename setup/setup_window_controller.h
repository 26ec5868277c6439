#pragma once

#include "server/local_server_manager.h"
#include "server/server_status.h"
#include "setup/setup_window_view.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QWidget;

// The first-run wizard: the user picks the local or the remote recognition server; for
// the local one it creates the Python environment, starts the server and waits until it
// answers. Everything runs on the GUI thread.
//
// The controller owns its window. Closing the window (close box or skip) stops the
// health loop only for skip; the controller stays alive until its owner drops it.
class SetupWindowController : public QObject {
    Q_OBJECT
public:
    // isAccessibilityTrusted answers whether typed text can reach other windows (the paste
    // backend can send keystrokes); an empty function counts as trusted.
    explicit SetupWindowController(std::function<bool()> isAccessibilityTrusted,
        LocalServerManager& server = LocalServerManager::shared(), QObject* parent = nullptr);
    ~SetupWindowController() override;

    // Called once when setup completes (remote choice, or local finish while trusted).
    // It may drop the controller: nothing of the controller is touched after it returns
    // unless the controller still exists.
    std::function<void()> onComplete;

    void showWindow();
    QWidget* window() const;

private:
    void modeChanged();
    void actionButtonClicked();
    void skipSetup();
    void startLocalSetup();
    void continueWithServerStart();
    void startHealthCheckLoop();
    void handleStatusChange(const ServerStatus& status);
    void finishSetup();
    void showError(const QString& message);

    void onActionTriggered();
    void subscribeToServer();
    bool accessibilityTrusted() const;

    std::function<bool()> m_isAccessibilityTrusted;
    LocalServerManager& m_server;

    SetupWindowView view;

    QString currentMode = QStringLiteral("local");
    // Running while the health loop polls; stopped means "no loop".
    QTimer healthCheckTimer;
    // After ready the main button finishes instead of starting.
    bool m_actionFinishes = false;
};
