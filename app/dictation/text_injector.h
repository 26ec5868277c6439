#pragma once

#include <QObject>
#include <QString>
#include <optional>

class PasteKeystroke;

// Puts text into the focused application through the clipboard and the paste keystroke,
// then gives the user's own clipboard text back. GUI thread only.
//
// Overlapping dictations: while a restore is pending the user's text saved by the first
// call is kept (the clipboard then holds a dictation, not the user's text), and only the
// last pending restore puts it back.
class TextInjector : public QObject {
    Q_OBJECT
public:
    static constexpr int restoreDelayMs = 500;

    explicit TextInjector(PasteKeystroke& paste, QObject* parent = nullptr);

    void typeText(const QString& text);

Q_SIGNALS:
    void clipboardRestored();

private:
    void restore();

    PasteKeystroke& m_paste;
    std::optional<QString> m_savedText;
    int m_pendingRestores = 0;
};
