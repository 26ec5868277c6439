#include "ui/settings_window/general_tab.h"

#include "settings/app_paths.h"
#include "settings/settings.h"
#include "ui/settings_window/settings_layout.h"
#include "ui/settings_window/status_colors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <array>

using namespace SettingsLayout;

// Language pop-up positions and the codes they store.
static const std::array<QString, 4> kLanguageCodes
    = {QStringLiteral("auto"), QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ja")};
static const std::array<QString, 4> kLanguageTitles = {
    QStringLiteral("自动检测"), QStringLiteral("中文"), QStringLiteral("English"), QStringLiteral("日本語")};

static TriggerKey triggerKeyAt(int index)
{
    return index >= 0 && index < int(allTriggerKeys.size()) ? allTriggerKeys[size_t(index)] : TriggerKey::fn;
}

GeneralTab::GeneralTab(QWidget* page, ServerStatusLine::HealthCheck checkServerHealth, QObject* parent)
    : QObject(parent)
{
    setupUI(page, std::move(checkServerHealth));
}

void GeneralTab::setupUI(QWidget* page, ServerStatusLine::HealthCheck checkServerHealth)
{
    const QFont small = pixelFont(page->font(), 11);

    localModeCheckbox = new QCheckBox(QStringLiteral("使用本地 ASR（推荐，完全离线）"), page);
    localModeCheckbox->setObjectName(QStringLiteral("localModeCheckbox"));
    place(localModeCheckbox, 15, 310, 300, 20);
    connect(localModeCheckbox, &QCheckBox::toggled, this, &GeneralTab::toggleLocalMode);

    serverStatusLabel = makeLabel(page, QString(), 310, 310, 150, 20);
    serverStatusLabel->setObjectName(QStringLiteral("serverStatusLabel"));
    serverStatusLabel->setFont(small);
    serverStatusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    makeLabel(page, QStringLiteral("远程服务器:"), 15, 272, 85, 20);
    serverTextField = new QLineEdit(page);
    serverTextField->setObjectName(QStringLiteral("serverTextField"));
    serverTextField->setPlaceholderText(Settings::defaultRemoteServerURL());
    place(serverTextField, 105, 272, 275, 24);

    serverStatusLine
        = new ServerStatusLine(serverStatusLabel, serverTextField, std::move(checkServerHealth), this);
    testButton = makeButton(page, QStringLiteral("测试"), 385, 272, 75, 24);
    testButton->setObjectName(QStringLiteral("testButton"));
    connect(testButton, &QPushButton::clicked, serverStatusLine, &ServerStatusLine::testConnection);
    connect(testButton, &QPushButton::clicked, this, &GeneralTab::testTranslation);

    makeLabel(page, QStringLiteral("识别语言:"), 15, 234, 85, 20);
    languagePopup = new QComboBox(page);
    languagePopup->setObjectName(QStringLiteral("languagePopup"));
    for (const QString& title : kLanguageTitles)
        languagePopup->addItem(title);
    place(languagePopup, 105, 232, 150, 26);

    makeLabel(page, QStringLiteral("触发按键:"), 15, 196, 85, 20);
    triggerKeyPopup = new QComboBox(page);
    triggerKeyPopup->setObjectName(QStringLiteral("triggerKeyPopup"));
    for (const TriggerKey key : allTriggerKeys)
        triggerKeyPopup->addItem(displayName(key));
    place(triggerKeyPopup, 105, 194, 150, 26);
    connect(triggerKeyPopup, &QComboBox::currentIndexChanged, this, &GeneralTab::triggerKeyChanged);

    launchAtLoginCheckbox = new QCheckBox(QStringLiteral("开机时自动启动"), page);
    launchAtLoginCheckbox->setObjectName(QStringLiteral("launchAtLoginCheckbox"));
    place(launchAtLoginCheckbox, 15, 158, 200, 20);

    makeLabel(page, QStringLiteral("翻译服务:"), 15, 120, 85, 20);
    translationServerTextField = new QLineEdit(page);
    translationServerTextField->setObjectName(QStringLiteral("translationServerTextField"));
    place(translationServerTextField, 105, 120, 275, 24);

    makeLabel(page, QStringLiteral("API 密钥:"), 15, 86, 85, 20);
    translationAPIKeyTextField = new QLineEdit(page);
    translationAPIKeyTextField->setObjectName(QStringLiteral("translationAPIKeyTextField"));
    translationAPIKeyTextField->setPlaceholderText(QStringLiteral("可选，服务器要求时填写"));
    translationAPIKeyTextField->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    place(translationAPIKeyTextField, 105, 86, 275, 24);

    translationStatusLabel = makeLabel(page, QString(), 105, 60, 355, 18);
    translationStatusLabel->setObjectName(QStringLiteral("translationStatusLabel"));
    translationStatusLabel->setFont(small);
    translationTester = new TranslationTester(this);
    connect(translationTester, &TranslationTester::finished, this, &GeneralTab::showTranslationOutcome);

    hintLabel = makeLabel(page, QString(), 15, 10, 400, 16);
    hintLabel->setObjectName(QStringLiteral("hintLabel"));
    hintLabel->setFont(small);
    setTextColor(hintLabel, StatusColors::tertiary(page->palette()));
}

void GeneralTab::loadSettings(const Settings& settings)
{
    serverTextField->setText(settings.remoteServerURL());
    launchAtLoginCheckbox->setChecked(settings.launchAtLogin());
    localModeCheckbox->setChecked(settings.useLocalServer());

    const auto language = std::find(kLanguageCodes.begin(), kLanguageCodes.end(), settings.language());
    languagePopup->setCurrentIndex(
        language == kLanguageCodes.end() ? 0 : int(language - kLanguageCodes.begin()));
    const auto key = std::find(allTriggerKeys.begin(), allTriggerKeys.end(), settings.triggerKey());
    triggerKeyPopup->setCurrentIndex(key == allTriggerKeys.end() ? 0 : int(key - allTriggerKeys.begin()));
    // Only what the user chose: the field's placeholder tells what an empty one means.
    translationServerTextField->setText(settings.storedTranslationServerURL());
    translationAPIKeyTextField->setText(settings.translationAPIKey());

    updateUIForLocalMode();
    serverStatusLine->updateServerStatus();
    updateHintLabel();
}

void GeneralTab::saveSettings(Settings& settings) const
{
    settings.setUseLocalServer(localModeCheckbox->isChecked());
    settings.setRemoteServerURL(serverTextField->text());
    settings.setLaunchAtLogin(launchAtLoginCheckbox->isChecked());
    const int language = languagePopup->currentIndex();
    settings.setLanguage(language >= 0 && language < int(kLanguageCodes.size())
            ? kLanguageCodes[size_t(language)]
            : kLanguageCodes[0]);
    settings.setTriggerKey(triggerKeyAt(triggerKeyPopup->currentIndex()));
    settings.setTranslationServerURL(translationServerTextField->text().trimmed());
    settings.setTranslationAPIKey(translationAPIKeyTextField->text());
}

void GeneralTab::triggerKeyChanged()
{
    updateHintLabel();
}

void GeneralTab::updateHintLabel()
{
    const TriggerKey key = triggerKeyAt(triggerKeyPopup->currentIndex());
    const QString note = visibilityNote(key);
    hintLabel->setText(note.isEmpty()
            ? QStringLiteral("按住 ") + shortName(key) + QStringLiteral(" 键说话，松开自动识别输入")
            : note);
}

void GeneralTab::toggleLocalMode()
{
    updateUIForLocalMode();
}

void GeneralTab::updateUIForLocalMode()
{
    const bool remote = !localModeCheckbox->isChecked();
    serverTextField->setEnabled(remote);
    testButton->setEnabled(remote);
    translationServerTextField->setPlaceholderText(remote
            ? QStringLiteral("LibreTranslate 地址（留空则不翻译）")
            : QStringLiteral("留空使用本地服务 ") + LOCAL_TRANSLATION_URL());
}

void GeneralTab::testTranslation()
{
    // The button serves remote mode only, where an empty field means no translation.
    const QString address = translationServerTextField->text().trimmed();
    if (address.isEmpty()) {
        translationStatusLabel->setText(
            QStringLiteral("⚠️ 未设置翻译服务：翻译时将输出原文"));
        setTextColor(translationStatusLabel, StatusColors::orange(translationStatusLabel->palette()));
        return;
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        translationStatusLabel->setText(QStringLiteral("❌ 翻译服务地址无效"));
        setTextColor(translationStatusLabel, StatusColors::red(translationStatusLabel->palette()));
        return;
    }
    translationStatusLabel->setText(QStringLiteral("翻译测试中..."));
    setTextColor(translationStatusLabel, StatusColors::secondary(translationStatusLabel->palette()));
    translationTester->start(url, translationAPIKeyTextField->text());
}

void GeneralTab::showTranslationOutcome(TranslationTester::Outcome outcome, const QString& detail)
{
    switch (outcome) {
    case TranslationTester::Outcome::Translated:
        translationStatusLabel->setText(QStringLiteral("✅ 翻译可用：") + detail);
        setTextColor(translationStatusLabel, StatusColors::green(translationStatusLabel->palette()));
        break;
    case TranslationTester::Outcome::EngineError:
        translationStatusLabel->setText(QStringLiteral("❌ 翻译服务异常：") + detail);
        setTextColor(translationStatusLabel, StatusColors::red(translationStatusLabel->palette()));
        break;
    case TranslationTester::Outcome::ConnectionFailed:
        translationStatusLabel->setText(QStringLiteral("❌ 翻译服务连接失败"));
        setTextColor(translationStatusLabel, StatusColors::red(translationStatusLabel->palette()));
        break;
    }
    translationStatusLabel->setToolTip(detail);
}
