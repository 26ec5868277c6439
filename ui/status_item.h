#pragma once

#include "ui/status_title.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The tray icon and its menu: how to use the trigger key, the local-service and usage
// lines (refreshed each time the menu opens) and the settings, statistics, about and quit
// commands. GUI thread only, except updateStatusIcon().
class StatusItem : public QObject {
    Q_OBJECT
public:
    // Menu tags, kept as the actions' data, by which the live lines are found again.
    static constexpr int kLocalServiceTag = 100;
    static constexpr int kStatisticsTag = 101;
    static constexpr int kTriggerKeyHintTag = 102;
    static constexpr int kPlatformStatusTag = 103; // why the trigger key or the paste cannot work

    // `checkServerHealth`: the local server's health probe; its completion runs once, on
    // the GUI thread.
    explicit StatusItem(
        std::function<void(std::function<void(bool)>)> checkServerHealth, QObject* parent = nullptr);
    ~StatusItem() override;

    // Builds the tray icon and the menu. Without a system tray Parlix keeps running
    // without an icon; the icon appears if a tray host comes up later.
    void setupStatusItem();

    // Idle ("🐟") or recording ("● REC", "● EN", "● JA"). Callable from any thread: the
    // change is queued to the GUI thread, calls take effect in the order they were made.
    void updateStatusIcon(bool recording, const QString& translation = QString());

    QString triggerKeyHint() const;
    void updateTriggerKeyHint();
    void menuWillOpen();
    // What the local server is busy with (installing packages, downloading), shown on the
    // service line at once and at each opening; "" when nothing.
    void setLocalServicePhase(const QString& phase);
    // Lines at the top of the menu saying what does not work here; none: no lines.
    void setPlatformStatus(const QStringList& lines);

    void showStats();
    void showAbout();

    // The menu's key equivalents ("Ctrl+," settings, "Ctrl+Q" quit) also work in `window`
    // while it is active. In the open menu they work by themselves.
    void addShortcutsTo(QWidget* window) const;

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QString title() const { return m_title.text(); }
    StatusTitle statusTitle() const { return m_title; }
    QAction* actionWithTag(int tag) const;

Q_SIGNALS:
    void openSettingsRequested();
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyTitle(const StatusTitle& title);

    std::function<void(std::function<void(bool)>)> m_checkServerHealth;
    std::unique_ptr<QMenu> m_menu;
    QList<QAction*> m_shortcutActions;
    QSystemTrayIcon* m_trayIcon = nullptr;
    StatusTitle m_title;
    quint64 m_healthProbe = 0; // the latest probe; older answers are stale
    bool m_lastHealthy = false;
    QString m_phase;
};
