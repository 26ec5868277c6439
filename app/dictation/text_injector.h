#pragma once

#include "platform/clipboard.h"
#include "platform/paste_keystroke.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>

// Puts text into the focused application through the clipboard (PRIMARY for the xterm
// family) and the paste keystroke, then gives the person's own content back. GUI thread.
//
// Pastes are serialised: the next one starts only once the target has read the text of
// the one before (or settleMs has passed), so dictations that finish together are all
// typed, in order. The person's content is saved before the first of a run of pastes and
// put back restoreDelayMs after the last one; it is never pasted, and what the person
// copies in the meantime is left alone. Where the keystroke cannot lift the modifiers the
// person still holds, it waits for their release (at most modifierWaitMs).
//
// Applications that follow the clipboard ask for its types as soon as it changes hands, and
// GTK 3 cannot read the clipboard while that question is open, so a keystroke arriving
// before our answer is lost (gnome-terminal). The keystroke therefore waits until the
// clipboard has had no question for questionGapMs (they come within a millisecond or two
// when anyone follows it), never more than questionWaitMs in all.
class TextInjector : public QObject {
    Q_OBJECT
public:
    static constexpr int restoreDelayMs = 500;
    static constexpr int settleMs = 250;
    static constexpr int modifierWaitMs = 1500;
    static constexpr int questionGapMs = 4;
    static constexpr int questionWaitMs = 60;

    // Pastes through Qt's clipboard until useClipboard() says otherwise.
    explicit TextInjector(PasteKeystroke& paste, QObject* parent = nullptr);
    ~TextInjector() override;

    // Takes effect once no paste is under way.
    void useClipboard(std::unique_ptr<Clipboard> clipboard);
    void typeText(const QString& text);
    // Reads the person's content ahead (at the release), so that the paste itself need not
    // wait for another application to hand it over.
    void prefetch();
    // The modifier flags of the person's keyboards, from the key monitor.
    void modifiersChanged(quint64 flags);

Q_SIGNALS:
    void clipboardRestored();

private:
    struct Selection {
        explicit Selection(QClipboard::Mode m)
            : mode(m)
        { }
        QClipboard::Mode mode;
        bool held = false; // our text is there, the person's content is saved
        ClipboardContent saved;
        bool prefetched = false; // person's content read ahead, still current
        ClipboardContent prefetchedContent;
    };

    void pasteNext();
    void offer(Selection& selection, const QString& text, PasteMethod method);
    void asked();
    void offered();
    void send();
    void pasteRead();
    void restore();
    void changedElsewhere(QClipboard::Mode mode);
    void setClipboard(std::unique_ptr<Clipboard> clipboard);
    Selection& selection(QClipboard::Mode mode);

    PasteKeystroke& m_paste;
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<Clipboard> m_nextClipboard;
    QQueue<QString> m_queue;
    bool m_busy = false; // a paste is under way, from the save to the target's read
    bool m_awaitingRead = false;
    PasteMethod m_method {};
    bool m_awaitingModifiers = false;
    quint64 m_modifiers = 0;
    QTimer m_settle;
    QTimer m_restore;
    QTimer m_modifierWait;
    QTimer m_questionGap;
    QElapsedTimer m_sinceOffer;
    std::array<Selection, 2> m_selections {
        Selection(QClipboard::Clipboard), Selection(QClipboard::Selection)};
};
