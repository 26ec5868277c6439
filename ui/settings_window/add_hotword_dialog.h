#pragma once

#include <QDialog>

class QLineEdit;

// Asks for one hotword: headline, explanation, a 300 x 24 field that has the focus,
// "添加" (default) and "取消".
class AddHotwordDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddHotwordDialog(QWidget* parent = nullptr);

    QString text() const;

private:
    QLineEdit* m_field;
};
