#include "ui/message_box_width.h"

#include <QLabel>
#include <QMessageBox>
#include <algorithm>

void giveTextRoom(QMessageBox& box)
{
    auto* text = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!text)
        return;
    const int wanted = text->fontMetrics().horizontalAdvance(QChar(0x4E2D)) * 26;
    text->setMinimumWidth(std::min(wanted, text->fontMetrics().horizontalAdvance(text->text()) + 2));
}
