#pragma once

#include <QObject>

class HotwordListModel;
class QTableView;
class QWidget;
class Settings;

// The hotword list on the "文本处理" tab: the table, "添加", "删除", "恢复默认" and the
// count label. Every change is stored at once, without "保存".
class HotwordEditor : public QObject {
    Q_OBJECT
public:
    explicit HotwordEditor(QWidget* page, QObject* parent = nullptr);

    void loadSettings(const Settings& settings);

private:
    void setupUI(QWidget* page);
    void addHotword();
    void deleteHotword();
    void resetToDefaultHotwords();
    void updateHotwordCount();

    QWidget* m_page;
    HotwordListModel* hotwordModel;
    QTableView* hotwordTableView = nullptr;
};
