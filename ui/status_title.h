#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// What the tray icon shows: "🐟" when idle, "● REC", "● EN" or "● JA" while recording,
// with a red dot and a white "REC" or a blue language suffix on a dark badge, legible on
// dark and light panels alike.
class StatusTitle {
public:
    static StatusTitle idle();
    // `translation`: "EN", "JA", or empty for plain dictation.
    static StatusTitle recording(const QString& translation);

    QString text() const;
    bool isRecording() const { return m_recording; }
    QString suffix() const { return m_suffix; }
    QColor dotColor() const;
    // Invalid for the idle title, whose emoji brings its own colours.
    QColor suffixColor() const;

    // The title drawn into a square icon of `size` pixels on a transparent background.
    QPixmap render(int size) const;
    // Rendered afresh at each size and device pixel ratio asked for.
    QIcon icon() const;

    bool operator==(const StatusTitle&) const = default;

private:
    bool m_recording = false;
    QString m_suffix;
    bool m_translation = false;
};
