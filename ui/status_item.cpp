#include "status_item.h"

#include "settings/notification_center.h"
#include "settings/settings.h"
#include "support/standard_output.h"
#include "ui/information_dialog.h"
#include "ui/status_menu_texts.h"

#include <QAction>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <cstdio>

StatusItem::StatusItem(std::function<void(std::function<void(bool)>)> checkServerHealth, QObject* parent)
    : QObject(parent)
    , m_checkServerHealth(std::move(checkServerHealth))
{
    connect(&NotificationCenter::shared(), &NotificationCenter::posted, this, [this](const QString& name) {
        if (name == kTriggerKeyChangedNotification)
            updateTriggerKeyHint();
    });
}

StatusItem::~StatusItem() = default;

void StatusItem::setupStatusItem()
{
    if (m_menu)
        return;
    m_trayIcon = new QSystemTrayIcon(this);
    applyTitle(StatusTitle::idle());
    updateStatusIcon(false);

    m_menu = std::make_unique<QMenu>();
    auto addLine = [this](const QString& text, int tag) {
        QAction* action = m_menu->addAction(text);
        action->setEnabled(false);
        if (tag)
            action->setData(tag);
        return action;
    };
    addLine(triggerKeyHint(), kTriggerKeyHintTag);
    addLine(QStringLiteral("双击→英文  三击→日文"), 0);
    m_menu->addSeparator();
    addLine(QStringLiteral("本地服务: 检查中..."), kLocalServiceTag);
    addLine(QStringLiteral("统计: 加载中..."), kStatisticsTag);
    m_menu->addSeparator();
    QAction* settings
        = m_menu->addAction(QStringLiteral("设置..."), this, &StatusItem::openSettingsRequested);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_menu->addAction(QStringLiteral("使用统计"), this, &StatusItem::showStats);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("关于 Parlix"), this, &StatusItem::showAbout);
    QAction* quit = m_menu->addAction(QStringLiteral("退出"), this, &StatusItem::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_shortcutActions = {settings, quit};
    // Qt offers a popup's shortcuts to no window (a tray menu has none above it): the menu
    // takes its key equivalents itself.
    m_menu->installEventFilter(this);
    connect(m_menu.get(), &QMenu::aboutToShow, this, &StatusItem::menuWillOpen);

    m_trayIcon->setContextMenu(m_menu.get());
    // A left click opens the menu too, as the menu is the whole interface.
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger || m_menu->isVisible())
            return;
        // Trays on D-Bus do not tell where the icon is; the pointer is there.
        const QRect icon = m_trayIcon->geometry();
        m_menu->popup(icon.isValid() ? icon.bottomLeft() : QCursor::pos());
    });
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        printLine(QStringLiteral("未找到系统托盘，Parlix 将在后台继续运行"));
    }
    // Shown even without a tray: Qt docks the icon once a tray host appears.
    m_trayIcon->show();
}

void StatusItem::updateStatusIcon(bool recording, const QString& translation)
{
    const StatusTitle title = recording ? StatusTitle::recording(translation) : StatusTitle::idle();
    QMetaObject::invokeMethod(
        this, [this, title] { applyTitle(title); }, Qt::QueuedConnection);
}

void StatusItem::applyTitle(const StatusTitle& title)
{
    m_title = title;
    if (!m_trayIcon)
        return;
    m_trayIcon->setIcon(title.icon());
    m_trayIcon->setToolTip(title.text());
}

QString StatusItem::triggerKeyHint() const
{
    return triggerKeyHintText(Settings::shared().triggerKey());
}

void StatusItem::updateTriggerKeyHint()
{
    if (QAction* hint = actionWithTag(kTriggerKeyHintTag))
        hint->setText(triggerKeyHint());
}

void StatusItem::setPlatformStatus(const QStringList& lines)
{
    if (!m_menu)
        return;
    for (QAction* action : m_menu->actions()) {
        if (action->data().toInt() == kPlatformStatusTag)
            delete action;
    }
    QAction* first = m_menu->actions().value(0);
    for (const QString& line : lines) {
        auto* action = new QAction(line, m_menu.get());
        action->setEnabled(false);
        action->setData(kPlatformStatusTag);
        m_menu->insertAction(first, action);
    }
    if (!lines.isEmpty()) {
        QAction* separator = m_menu->insertSeparator(first);
        separator->setData(kPlatformStatusTag);
    }
}

void StatusItem::menuWillOpen()
{
    Settings& settings = Settings::shared();
    if (QAction* service = actionWithTag(kLocalServiceTag)) {
        if (settings.useLocalServer()) {
            if (m_checkServerHealth) {
                const quint64 probe = ++m_healthProbe;
                QPointer<QAction> line(service);
                QPointer<StatusItem> self(this);
                m_checkServerHealth([self, line, probe](bool healthy) {
                    // A slow probe of an earlier opening must not overwrite a newer answer.
                    if (self && line && probe == self->m_healthProbe) {
                        self->m_lastHealthy = healthy;
                        line->setText(localServiceLine(healthy, self->m_phase));
                    }
                });
            }
        } else {
            ++m_healthProbe;
            service->setText(remoteModeLine());
        }
    }
    if (QAction* statistics = actionWithTag(kStatisticsTag))
        statistics->setText(
            statisticsLine(settings.totalCharactersTyped(), settings.averageCharsPerMinute()));
}

void StatusItem::setLocalServicePhase(const QString& phase)
{
    m_phase = phase;
    QAction* service = actionWithTag(kLocalServiceTag);
    if (service && !phase.isEmpty() && Settings::shared().useLocalServer())
        service->setText(localServiceLine(m_lastHealthy, phase));
}

void StatusItem::showStats()
{
    const Settings& settings = Settings::shared();
    InformationDialog::run(QStringLiteral("使用统计"),
        statisticsMessage(settings.totalRecordingSeconds(), settings.totalCharactersTyped(),
            settings.totalRecognitions(), settings.averageCharsPerMinute(),
            settings.estimatedTimeSavedMinutes()));
}

void StatusItem::showAbout()
{
    InformationDialog::run(QStringLiteral("Parlix"), aboutMessage(Settings::shared().triggerKey()));
}

void StatusItem::addShortcutsTo(QWidget* window) const
{
    window->addActions(m_shortcutActions);
}

bool StatusItem::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_menu.get() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* action : std::as_const(m_shortcutActions)) {
        if (action->isEnabled() && action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            m_menu->hide();
            action->trigger();
            return true;
        }
    }
    return false;
}

QAction* StatusItem::actionWithTag(int tag) const
{
    if (!m_menu)
        return nullptr;
    for (QAction* action : m_menu->actions()) {
        if (action->data().toInt() == tag && action->data().isValid())
            return action;
    }
    return nullptr;
}
