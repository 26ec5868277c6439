#include "ui/settings_window/text_processing_tab.h"

#include "settings/settings.h"
#include "ui/settings_window/hotword_editor.h"
#include "ui/settings_window/separator_line.h"
#include "ui/settings_window/settings_layout.h"
#include "ui/settings_window/status_colors.h"

#include <QCheckBox>
#include <QLabel>

using namespace SettingsLayout;

TextProcessingTab::TextProcessingTab(QWidget* page, QObject* parent)
    : QObject(parent)
{
    const QFont heading = pixelFont(page->font(), 13, true);

    makeLabel(page, QStringLiteral("后处理选项"), 15, 310, 200, 20)->setFont(heading);

    fillerRemovalCheckbox = new QCheckBox(QStringLiteral("去除语气词和口头禅（由 ASR 模型智能过滤）"), page);
    fillerRemovalCheckbox->setObjectName(QStringLiteral("fillerRemovalCheckbox"));
    place(fillerRemovalCheckbox, 15, 282, 400, 20);
    cjkSpacingCheckbox = new QCheckBox(QStringLiteral("中英文/中数字间自动加空格"), page);
    cjkSpacingCheckbox->setObjectName(QStringLiteral("cjkSpacingCheckbox"));
    place(cjkSpacingCheckbox, 15, 256, 400, 20);
    hotwordCheckbox = new QCheckBox(QStringLiteral("发送热词列表给 ASR 模型"), page);
    hotwordCheckbox->setObjectName(QStringLiteral("hotwordCheckbox"));
    place(hotwordCheckbox, 15, 230, 400, 20);

    auto* separator = new SeparatorLine(page);
    separator->setObjectName(QStringLiteral("separator"));
    place(separator, 15, 200, 440, 1);

    makeLabel(page, QStringLiteral("热词列表"), 15, 175, 200, 20)->setFont(heading);
    // Ends where the buttons begin: at its full width (to 460) "添加" would cover the text.
    QLabel* purpose = makeLabel(page, QStringLiteral("提高特定词汇的识别准确率"), 200, 177, 190, 16);
    purpose->setFont(pixelFont(page->font(), 10));
    purpose->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColor(purpose, StatusColors::tertiary(page->palette()));

    hotwordEditor = new HotwordEditor(page, this);
}

void TextProcessingTab::loadSettings(const Settings& settings)
{
    fillerRemovalCheckbox->setChecked(settings.enableFillerRemoval());
    cjkSpacingCheckbox->setChecked(settings.enableCJKSpacing());
    hotwordCheckbox->setChecked(settings.enableHotwords());
    hotwordEditor->loadSettings(settings);
}

void TextProcessingTab::saveSettings(Settings& settings) const
{
    settings.setEnableFillerRemoval(fillerRemovalCheckbox->isChecked());
    settings.setEnableCJKSpacing(cjkSpacingCheckbox->isChecked());
    settings.setEnableHotwords(hotwordCheckbox->isChecked());
}
