#pragma once

#include <QObject>

class HotwordEditor;
class QCheckBox;
class QWidget;
class Settings;

// The "文本处理" tab: the three post-processing switches and the hotword editor.
class TextProcessingTab : public QObject {
    Q_OBJECT
public:
    explicit TextProcessingTab(QWidget* page, QObject* parent = nullptr);

    void loadSettings(const Settings& settings);
    void saveSettings(Settings& settings) const;

private:
    QCheckBox* fillerRemovalCheckbox = nullptr;
    QCheckBox* cjkSpacingCheckbox = nullptr;
    QCheckBox* hotwordCheckbox = nullptr;
    HotwordEditor* hotwordEditor = nullptr;
};
