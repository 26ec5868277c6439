#include "information_dialog.h"

#include <QMessageBox>
#include <memory>

QMessageBox* InformationDialog::create(const QString& messageText, const QString& informativeText)
{
    auto* box = new QMessageBox();
    box->setWindowTitle(QStringLiteral("Parlix"));
    box->setIcon(QMessageBox::Information);
    box->setText(messageText);
    box->setInformativeText(informativeText);
    box->setTextFormat(Qt::PlainText);
    box->addButton(QStringLiteral("好"), QMessageBox::AcceptRole);
    return box;
}

void InformationDialog::run(const QString& messageText, const QString& informativeText)
{
    const std::unique_ptr<QMessageBox> box(create(messageText, informativeText));
    box->exec();
}
