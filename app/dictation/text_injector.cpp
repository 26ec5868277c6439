#include "app/dictation/text_injector.h"

#include "app/dictation/paste_mime_data.h"
#include "platform/paste_keystroke.h"

#include <QGuiApplication>
#include <QMimeData>

TextInjector::TextInjector(PasteKeystroke& paste, QObject* parent)
    : QObject(parent)
    , m_paste(paste)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &TextInjector::pasteRead);
    m_restore.setSingleShot(true);
    m_restore.setInterval(restoreDelayMs);
    connect(&m_restore, &QTimer::timeout, this, &TextInjector::restore);
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &TextInjector::clipboardChanged);
}

TextInjector::~TextInjector() = default;

TextInjector::Selection& TextInjector::selection(QClipboard::Mode mode)
{
    return m_selections[mode == QClipboard::Selection ? 1 : 0];
}

void TextInjector::typeText(const QString& text)
{
    m_queue.enqueue(text);
    if (!m_awaitingRead)
        pasteNext();
}

void TextInjector::prefetch()
{
    for (Selection& s : m_selections) {
        if (s.held || s.prefetched)
            continue;
        s.prefetchedText = personText(s);
        s.prefetched = true;
    }
}

std::optional<QString> TextInjector::personText(Selection& s) const
{
    if (s.prefetched)
        return s.prefetchedText;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(s.mode);
    if (data && data->hasText())
        return data->text();
    return std::nullopt;
}

void TextInjector::pasteNext()
{
    if (m_queue.isEmpty()) {
        m_restore.start();
        return;
    }
    m_restore.stop();
    const QString text = m_queue.dequeue();
    const PasteMethod method = m_paste.methodForFocus();
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QClipboard::Mode mode = pastesFromPrimary(method) && clipboard->supportsSelection()
        ? QClipboard::Selection
        : QClipboard::Clipboard;
    Selection& s = selection(mode);
    if (!s.held) {
        s.saved = personText(s);
        s.held = true;
    }
    auto* data = new PasteMimeData(text);
    m_ownChange = true;
    clipboard->setMimeData(data, mode);
    m_ownChange = false;
    s.ours = data;

    m_awaitingRead = true;
    data->arm([this] { pasteRead(); });
    m_paste.send(method);
    m_settle.start();
}

void TextInjector::pasteRead()
{
    if (!m_awaitingRead)
        return;
    m_awaitingRead = false;
    m_settle.stop();
    for (Selection& s : m_selections) {
        if (s.ours)
            s.ours->arm({});
    }
    pasteNext();
}

void TextInjector::restore()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (Selection& s : m_selections) {
        if (!s.held)
            continue;
        // Only over our own text: what the person copied since stays.
        if (s.saved && s.ours && clipboard->mimeData(s.mode) == s.ours.data()) {
            m_ownChange = true;
            clipboard->setText(*s.saved, s.mode);
            m_ownChange = false;
        }
        s.held = false;
        s.saved.reset();
        s.prefetched = false;
    }
    Q_EMIT clipboardRestored();
}

void TextInjector::clipboardChanged(QClipboard::Mode mode)
{
    if (m_ownChange || (mode != QClipboard::Clipboard && mode != QClipboard::Selection))
        return;
    Selection& s = selection(mode);
    s.prefetched = false;
    s.prefetchedText.reset();
    // The person copied something while our text was there: that is theirs now.
    if (s.held && QGuiApplication::clipboard()->mimeData(mode) != s.ours.data()) {
        s.held = false;
        s.saved.reset();
    }
}
