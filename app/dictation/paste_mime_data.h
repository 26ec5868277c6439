#pragma once

#include <QMimeData>
#include <functional>

// The text of one paste. It notes when another application reads it after the keystroke
// went out: only then may the clipboard change again.
class PasteMimeData : public QMimeData {
    Q_OBJECT
public:
    explicit PasteMimeData(const QString& text) { setText(text); }

    // Called (once, from the event loop) at the first read after arm().
    void arm(std::function<void()> onRead) { m_onRead = std::move(onRead); }
    // Called at every question about it (its types, or its data) until disarmed.
    void watchQuestions(std::function<void()> onAsked) { m_onAsked = std::move(onAsked); }

    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    mutable std::function<void()> m_onRead;
    std::function<void()> m_onAsked;
};
