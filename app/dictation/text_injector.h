#pragma once

#include <QClipboard>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <array>
#include <optional>

class PasteKeystroke;
class PasteMimeData;

// Puts text into the focused application through the clipboard (PRIMARY for the xterm
// family) and the paste keystroke, then gives the person's own text back. GUI thread only.
//
// Pastes are serialised: the next one starts only once the target has read the text of
// the one before (or settleMs has passed), so dictations that finish together are all
// typed, in order. The person's text is saved before the first of a run of pastes and put
// back restoreDelayMs after the last one; it is never pasted, and what the person copies
// in the meantime is left alone.
class TextInjector : public QObject {
    Q_OBJECT
public:
    static constexpr int restoreDelayMs = 500;
    static constexpr int settleMs = 250;

    explicit TextInjector(PasteKeystroke& paste, QObject* parent = nullptr);
    ~TextInjector() override;

    void typeText(const QString& text);
    // Reads the person's texts ahead (at the release), so that the paste itself need not
    // wait for another application to hand them over.
    void prefetch();

Q_SIGNALS:
    void clipboardRestored();

private:
    struct Selection {
        explicit Selection(QClipboard::Mode m)
            : mode(m)
        { }
        QClipboard::Mode mode;
        bool held = false; // our text is there, the person's is saved
        std::optional<QString> saved;
        bool prefetched = false; // person's text read ahead, still current
        std::optional<QString> prefetchedText;
        QPointer<PasteMimeData> ours;
    };

    void pasteNext();
    void pasteRead();
    void restore();
    void clipboardChanged(QClipboard::Mode mode);
    std::optional<QString> personText(Selection& selection) const;
    Selection& selection(QClipboard::Mode mode);

    PasteKeystroke& m_paste;
    QQueue<QString> m_queue;
    bool m_awaitingRead = false;
    bool m_ownChange = false;
    QTimer m_settle;
    QTimer m_restore;
    std::array<Selection, 2> m_selections {
        Selection(QClipboard::Clipboard), Selection(QClipboard::Selection)};
};
