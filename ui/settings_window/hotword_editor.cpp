#include "ui/settings_window/hotword_editor.h"

#include "settings/settings.h"
#include "ui/message_box_width.h"
#include "ui/settings_window/add_hotword_dialog.h"
#include "ui/settings_window/hotword_list_model.h"
#include "ui/settings_window/settings_layout.h"
#include "ui/settings_window/status_colors.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

using namespace SettingsLayout;

static constexpr int kHotwordCountTag = 200;

HotwordEditor::HotwordEditor(QWidget* page, QObject* parent)
    : QObject(parent)
    , m_page(page)
    , hotwordModel(new HotwordListModel(this))
{
    setupUI(page);
}

void HotwordEditor::setupUI(QWidget* page)
{
    hotwordTableView = new QTableView(page);
    hotwordTableView->setObjectName(QStringLiteral("hotwordTableView"));
    hotwordTableView->setModel(hotwordModel);
    hotwordTableView->setAlternatingRowColors(true);
    hotwordTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    hotwordTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    hotwordTableView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    hotwordTableView->setShowGrid(false);
    hotwordTableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hotwordTableView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    hotwordTableView->verticalHeader()->hide();
    hotwordTableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    hotwordTableView->verticalHeader()->setDefaultSectionSize(22);
    hotwordTableView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The column is 330 wide and takes what is left of the row, so that the header and
    // the row banding reach the table's right edge.
    hotwordTableView->setColumnWidth(0, 330);
    hotwordTableView->horizontalHeader()->setStretchLastSection(true);
    place(hotwordTableView, 15, 45, 370, 120);

    QPushButton* add = makeButton(page, QStringLiteral("添加"), 395, 165, 70, 24);
    add->setObjectName(QStringLiteral("addButton"));
    connect(add, &QPushButton::clicked, this, &HotwordEditor::addHotword);
    QPushButton* remove = makeButton(page, QStringLiteral("删除"), 395, 135, 70, 24);
    remove->setObjectName(QStringLiteral("deleteButton"));
    connect(remove, &QPushButton::clicked, this, &HotwordEditor::deleteHotword);
    QPushButton* reset = makeButton(page, QStringLiteral("恢复默认"), 395, 95, 70, 24);
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setFont(pixelFont(page->font(), 11));
    connect(reset, &QPushButton::clicked, this, &HotwordEditor::resetToDefaultHotwords);

    QLabel* count = makeLabel(page, QString(), 15, 25, 200, 14);
    count->setObjectName(QStringLiteral("hotwordCountLabel"));
    count->setProperty("tag", kHotwordCountTag);
    count->setFont(pixelFont(page->font(), 10));
    setTextColor(count, StatusColors::tertiary(page->palette()));
}

void HotwordEditor::loadSettings(const Settings& settings)
{
    hotwordModel->setEntries(settings.hotwords());
    updateHotwordCount();
}

void HotwordEditor::addHotword()
{
    AddHotwordDialog dialog(m_page->window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (hotwordModel->add(dialog.text()))
        updateHotwordCount();
}

void HotwordEditor::deleteHotword()
{
    const QModelIndexList selected = hotwordTableView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    if (hotwordModel->removeAt(selected.first().row()))
        updateHotwordCount();
}

void HotwordEditor::resetToDefaultHotwords()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Parlix"), QStringLiteral("恢复默认热词列表？"),
        QMessageBox::NoButton, m_page->window());
    box.setInformativeText(QStringLiteral("这将清除所有自定义热词，恢复为内置的默认列表。"));
    giveTextRoom(box);
    QPushButton* restore = box.addButton(QStringLiteral("恢复"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    box.exec();
    if (box.clickedButton() != restore)
        return;
    hotwordModel->resetToDefaults();
    updateHotwordCount();
}

void HotwordEditor::updateHotwordCount()
{
    // Found through the window, as the layout promises: first child the tabs, second tab
    // the text-processing page, in it the label tagged 200.
    const QList<QWidget*> children = m_page->window()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    auto* tabs = children.isEmpty() ? nullptr : qobject_cast<QTabWidget*>(children.first());
    QWidget* page = tabs ? tabs->widget(1) : nullptr;
    if (!page)
        return;
    for (QWidget* view : page->findChildren<QWidget*>()) {
        if (view->property("tag").toInt() != kHotwordCountTag)
            continue;
        if (auto* label = qobject_cast<QLabel*>(view))
            label->setText(QStringLiteral("共 %1 个热词").arg(hotwordModel->rowCount()));
        return;
    }
}
