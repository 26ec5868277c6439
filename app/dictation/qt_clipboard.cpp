#include "app/dictation/qt_clipboard.h"

#include "app/dictation/paste_mime_data.h"

#include <QGuiApplication>

namespace {

int slot(QClipboard::Mode mode)
{
    return mode == QClipboard::Selection ? 1 : 0;
}

} // namespace

QtClipboard::QtClipboard()
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &QtClipboard::changed);
}

bool QtClipboard::supportsSelection() const
{
    return QGuiApplication::clipboard()->supportsSelection();
}

void QtClipboard::read(QClipboard::Mode mode, std::function<void(ClipboardContent)> done)
{
    ClipboardContent content;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
    if (data) {
        content.type = keptClipboardType(data->formats());
        // Qt converts the X11 text targets itself: ask for its text, as UTF-8.
        content.data = isTextType(content.type) ? data->text().toUtf8() : data->data(content.type);
    }
    done(content);
}

void QtClipboard::offerText(QClipboard::Mode mode, const QString& text, std::function<void(bool)> done)
{
    auto* data = new PasteMimeData(text);
    m_ownChange = true;
    QGuiApplication::clipboard()->setMimeData(data, mode);
    m_ownChange = false;
    m_ours[slot(mode)] = data;
    m_last = data;
    done(true);
}

void QtClipboard::notifyRead(std::function<void()> onRead)
{
    for (const QPointer<PasteMimeData>& ours : m_ours) {
        if (ours)
            ours->arm(ours == m_last ? onRead : std::function<void()>());
    }
}

bool QtClipboard::notifyAsked(std::function<void()> onAsked)
{
    for (const QPointer<PasteMimeData>& ours : m_ours) {
        if (ours)
            ours->watchQuestions(ours == m_last ? onAsked : std::function<void()>());
    }
    return true;
}

void QtClipboard::restore(QClipboard::Mode mode, const ClipboardContent& content, std::function<void()> done)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    PasteMimeData* ours = m_ours[slot(mode)];
    if (!content.isEmpty() && ours && clipboard->mimeData(mode) == ours) {
        auto* data = new QMimeData;
        if (isTextType(content.type))
            data->setText(QString::fromUtf8(content.data));
        else
            data->setData(content.type, content.data);
        m_ownChange = true;
        clipboard->setMimeData(data, mode);
        m_ownChange = false;
    }
    done();
}

void QtClipboard::changed(QClipboard::Mode mode)
{
    if (m_ownChange || (mode != QClipboard::Clipboard && mode != QClipboard::Selection))
        return;
    const PasteMimeData* ours = m_ours[slot(mode)];
    if (m_changedElsewhere && (!ours || QGuiApplication::clipboard()->mimeData(mode) != ours))
        m_changedElsewhere(mode);
}
