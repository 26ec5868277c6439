#include "add_hotword_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

AddHotwordDialog::AddHotwordDialog(QWidget* parent)
    : QDialog(parent)
    , m_field(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("添加热词"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* headline = new QLabel(QStringLiteral("添加热词"), this);
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    auto* explanation = new QLabel(QStringLiteral("输入需要准确识别的词汇（如专业术语、产品名等）"), this);
    explanation->setWordWrap(true);

    m_field->setObjectName(QStringLiteral("hotwordField"));
    m_field->setPlaceholderText(QStringLiteral("例如: ChatGPT"));
    m_field->setFixedSize(300, 24);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* add = buttons->addButton(QStringLiteral("添加"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    add->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addWidget(explanation);
    layout->addWidget(m_field);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_field->setFocus();
}

QString AddHotwordDialog::text() const
{
    return m_field->text();
}
