#include "app/dictation/text_injector.h"

#include "app/dictation/qt_clipboard.h"
#include "platform/key_event.h"

#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcInjector, "parlix.dictation.injector")

// The person's modifiers that would combine with the keystroke of `method`.
quint64 interferingModifiers(PasteMethod method)
{
    using namespace ModifierFlag;
    const quint64 own = method == PasteMethod::ControlV ? Control
        : method == PasteMethod::ControlShiftV          ? Control | Shift
                                                        : Shift;
    return (Shift | Control | Alternate | Command) & ~own;
}

} // namespace

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
    m_modifierWait.setSingleShot(true);
    m_modifierWait.setInterval(modifierWaitMs);
    connect(&m_modifierWait, &QTimer::timeout, this, [this] {
        qCWarning(lcInjector) << "modifiers still held: pasting anyway";
        send();
    });
    m_questionGap.setSingleShot(true);
    m_questionGap.setInterval(questionGapMs);
    connect(&m_questionGap, &QTimer::timeout, this, &TextInjector::offered);
    setClipboard(std::make_unique<QtClipboard>());
}

TextInjector::~TextInjector() = default;

void TextInjector::useClipboard(std::unique_ptr<Clipboard> clipboard)
{
    m_nextClipboard = std::move(clipboard);
    if (!m_busy && !m_restore.isActive())
        setClipboard(std::move(m_nextClipboard));
}

void TextInjector::setClipboard(std::unique_ptr<Clipboard> clipboard)
{
    m_clipboard = std::move(clipboard);
    m_clipboard->onChangedElsewhere([this](QClipboard::Mode mode) { changedElsewhere(mode); });
    for (Selection& s : m_selections) {
        s.prefetched = false;
        s.prefetchedContent = {};
    }
}

TextInjector::Selection& TextInjector::selection(QClipboard::Mode mode)
{
    return m_selections[mode == QClipboard::Selection ? 1 : 0];
}

void TextInjector::typeText(const QString& text)
{
    m_queue.enqueue(text);
    if (!m_busy)
        pasteNext();
}

void TextInjector::prefetch()
{
    // A read ahead is only as good as the news that it went stale.
    if (!m_clipboard->reportsChanges())
        return;
    for (Selection& s : m_selections) {
        if (s.held || s.prefetched || (s.mode == QClipboard::Selection && !m_clipboard->supportsSelection()))
            continue;
        m_clipboard->read(s.mode, [&s](ClipboardContent content) {
            s.prefetchedContent = std::move(content);
            s.prefetched = true;
        });
    }
}

void TextInjector::pasteNext()
{
    if (m_queue.isEmpty()) {
        m_busy = false;
        m_restore.start();
        return;
    }
    m_busy = true;
    m_restore.stop();
    const QString text = m_queue.dequeue();
    const PasteMethod method = m_paste.methodForFocus();
    Selection& s
        = selection(pastesFromPrimary(method) && m_clipboard->supportsSelection() ? QClipboard::Selection
                                                                                  : QClipboard::Clipboard);
    if (s.held) {
        offer(s, text, method);
    } else if (s.prefetched) {
        s.saved = std::exchange(s.prefetchedContent, {});
        s.held = true;
        offer(s, text, method);
    } else {
        m_clipboard->read(s.mode, [this, &s, text, method](ClipboardContent content) {
            s.saved = std::move(content);
            s.held = true;
            offer(s, text, method);
        });
    }
}

void TextInjector::offer(Selection& s, const QString& text, PasteMethod method)
{
    s.prefetched = false;
    m_clipboard->offerText(s.mode, text, [this, method](bool taken) {
        if (!taken) {
            // The keystroke now would paste the person's own clipboard.
            qCWarning(lcInjector) << "the clipboard refused the text: not pasted";
            pasteNext();
            return;
        }
        m_method = method;
        if (!m_clipboard->notifyAsked([this] { asked(); })) {
            offered();
            return;
        }
        m_sinceOffer.start();
        m_questionGap.start();
    });
}

void TextInjector::asked()
{
    // Answered as soon as this returns, from the event loop: the gap starts again.
    if (m_questionGap.isActive() && m_sinceOffer.elapsed() + questionGapMs <= questionWaitMs)
        m_questionGap.start();
}

void TextInjector::offered()
{
    m_clipboard->notifyAsked({});
    m_awaitingModifiers = !m_paste.releasesHeldModifiers() && (m_modifiers & interferingModifiers(m_method));
    if (m_awaitingModifiers)
        m_modifierWait.start();
    else
        send();
}

void TextInjector::modifiersChanged(quint64 flags)
{
    m_modifiers = flags;
    if (m_awaitingModifiers && !(flags & interferingModifiers(m_method)))
        send();
}

void TextInjector::send()
{
    m_awaitingModifiers = false;
    m_modifierWait.stop();
    m_awaitingRead = true;
    m_clipboard->notifyRead([this] { pasteRead(); });
    m_paste.send(m_method);
    m_settle.start();
}

void TextInjector::pasteRead()
{
    if (!m_awaitingRead)
        return;
    m_awaitingRead = false;
    m_settle.stop();
    m_clipboard->notifyRead({});
    pasteNext();
}

void TextInjector::restore()
{
    auto pending = std::make_shared<int>(1);
    auto finished = [this, pending] {
        if (--*pending > 0)
            return;
        if (m_nextClipboard && !m_busy)
            setClipboard(std::move(m_nextClipboard));
        Q_EMIT clipboardRestored();
    };
    for (Selection& s : m_selections) {
        if (!s.held)
            continue;
        s.held = false;
        ++*pending;
        m_clipboard->restore(s.mode, std::exchange(s.saved, {}), finished);
    }
    finished();
}

void TextInjector::changedElsewhere(QClipboard::Mode mode)
{
    Selection& s = selection(mode);
    s.prefetched = false;
    s.prefetchedContent = {};
    // The person copied something while our text was there: that is theirs now.
    s.held = false;
    s.saved = {};
}
