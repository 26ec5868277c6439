#pragma once

#include <QObject>
#include <QString>
#include <functional>

class TranslationUi;
class TranslationService;

// Translate-and-type: races the translation against a time limit and types the
// translation, or the untranslated text when the translation is late, failed or empty,
// so that a dictation is never lost. Advances the usage totals for translated dictation.
// GUI thread only.
class TranslationPipeline : public QObject {
    Q_OBJECT
public:
    using TypeText = std::function<void(const QString& text)>;

    static constexpr int defaultTimeLimitMs = 10000;

    TranslationPipeline(TranslationUi& ui, TranslationService& service, TypeText typeText,
        int timeLimitMs = defaultTimeLimitMs, QObject* parent = nullptr);

    // Returns at once; the outcome follows from the event loop.
    void translateAndType(const QString& text, const QString& target, double recordingDuration);

Q_SIGNALS:
    // One per call, after the text was typed (for observers and tests).
    void finished(bool translated);

private:
    void finish(const std::optional<QString>& result, const QString& text, double duration);

    TranslationUi& m_ui;
    TranslationService& m_service;
    TypeText m_typeText;
    int m_timeLimitMs;
};
