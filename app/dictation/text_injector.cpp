#include "app/dictation/text_injector.h"

#include "platform/paste_keystroke.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

TextInjector::TextInjector(PasteKeystroke& paste, QObject* parent)
    : QObject(parent)
    , m_paste(paste)
{ }

void TextInjector::typeText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_pendingRestores == 0) {
        const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
        if (data && data->hasText())
            m_savedText = data->text();
        else
            m_savedText.reset();
    }
    clipboard->setText(text, QClipboard::Clipboard);
    m_paste.send();

    ++m_pendingRestores;
    QTimer::singleShot(restoreDelayMs, this, &TextInjector::restore);
}

void TextInjector::restore()
{
    if (--m_pendingRestores > 0)
        return;
    if (m_savedText) {
        QGuiApplication::clipboard()->setText(*m_savedText, QClipboard::Clipboard);
        m_savedText.reset();
    }
    Q_EMIT clipboardRestored();
}
