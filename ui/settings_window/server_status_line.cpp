#include "ui/settings_window/server_status_line.h"

#include "settings/settings.h"
#include "ui/settings_window/settings_layout.h"
#include "ui/settings_window/status_colors.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

ServerStatusLine::ServerStatusLine(
    QLabel* statusLabel, QLineEdit* serverField, HealthCheck checkHealth, QObject* parent)
    : QObject(parent)
    , serverStatusLabel(statusLabel)
    , serverTextField(serverField)
    , checkServerHealth(std::move(checkHealth))
    , connectionTester(new ConnectionTester(this))
{
    connect(connectionTester, &ConnectionTester::finished, this, &ServerStatusLine::showConnectionOutcome);
}

void ServerStatusLine::updateServerStatus()
{
    if (!Settings::shared().useLocalServer() || !checkServerHealth)
        return;
    checkServerHealth([self = QPointer<ServerStatusLine>(this)](bool running) {
        if (!self)
            return;
        if (running)
            self->setServerStatus(QStringLiteral("✅ 本地服务运行中"), &StatusColors::green);
        else
            self->setServerStatus(QStringLiteral("⚠️ 本地服务未启动"), &StatusColors::orange);
    });
}

void ServerStatusLine::testConnection()
{
    const QUrl probe = ConnectionTester::probeUrl(serverTextField->text());
    if (!probe.isValid()) {
        setServerStatus(QStringLiteral("❌ 无效 URL"), &StatusColors::red);
        return;
    }
    setServerStatus(QStringLiteral("测试中..."), &StatusColors::secondary);
    connectionTester->start(probe);
}

void ServerStatusLine::showConnectionOutcome(ConnectionTester::Outcome outcome)
{
    switch (outcome) {
    case ConnectionTester::Outcome::Success:
        setServerStatus(QStringLiteral("✅ 连接成功"), &StatusColors::green);
        break;
    case ConnectionTester::Outcome::ServerError:
        setServerStatus(QStringLiteral("❌ 服务器异常"), &StatusColors::red);
        break;
    case ConnectionTester::Outcome::ConnectionFailed:
        setServerStatus(QStringLiteral("❌ 连接失败"), &StatusColors::red);
        break;
    }
}

void ServerStatusLine::setServerStatus(const QString& text, Tone tone)
{
    serverStatusLabel->setText(text);
    SettingsLayout::setTextColor(serverStatusLabel, tone(serverStatusLabel->palette()));
}
