#pragma once

#include <QPointer>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// The wizard's window and its controls, laid out as drawn, with the little behaviour that
// belongs to the look (Return presses the main button, the bar's two modes). The flow that
// drives it is SetupWindowController's.
class SetupWindowView {
public:
    SetupWindowView();
    ~SetupWindowView();
    SetupWindowView(const SetupWindowView&) = delete;
    SetupWindowView& operator=(const SetupWindowView&) = delete;

    QWidget* window() const { return m_window.get(); }

    void setBarDeterminate(double percent);
    void setBarIndeterminate();

    QPointer<QComboBox> modeSelector;
    QPointer<QLabel> statusLabel;
    QPointer<QProgressBar> progressBar;
    QPointer<QLabel> detailLabel;
    QPointer<QPushButton> actionButton;
    QPointer<QPushButton> skipButton;

private:
    void pressActionButton();

    std::unique_ptr<QWidget> m_window;
};
