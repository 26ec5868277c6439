#include "translation/translation_pipeline.h"

#include "settings/settings.h"
#include "text/character_count.h"
#include "translation/translation_service.h"
#include "translation/translation_ui.h"

#include <QPointer>
#include <QTimer>
#include <memory>

TranslationPipeline::TranslationPipeline(
    TranslationUi& ui, TranslationService& service, TypeText typeText, int timeLimitMs, QObject* parent)
    : QObject(parent)
    , m_ui(ui)
    , m_service(service)
    , m_typeText(std::move(typeText))
    , m_timeLimitMs(timeLimitMs)
{ }

void TranslationPipeline::translateAndType(
    const QString& text, const QString& target, double recordingDuration)
{
    m_ui.showStatus(QStringLiteral("翻译中..."), statusWhite());

    // Whichever comes first, the translation or the time limit, decides; the other is
    // dropped when it comes.
    auto decided = std::make_shared<bool>(false);
    auto* limit = new QTimer(this);
    limit->setSingleShot(true);
    limit->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(limit, &QTimer::timeout, this, [this, decided, limit, text, recordingDuration] {
        limit->deleteLater();
        if (*decided)
            return;
        *decided = true;
        finish(std::nullopt, text, recordingDuration);
    });
    limit->start(m_timeLimitMs);

    QPointer<TranslationPipeline> self(this);
    QPointer<QTimer> limitGuard(limit);
    m_service.translate(
        text, target, [self, decided, limitGuard, text, recordingDuration](std::optional<QString> result) {
            if (!self || *decided)
                return;
            *decided = true;
            if (limitGuard) {
                limitGuard->stop();
                limitGuard->deleteLater();
            }
            self->finish(result, text, recordingDuration);
        });
}

void TranslationPipeline::finish(const std::optional<QString>& result, const QString& text, double duration)
{
    const bool translated = result && !result->isEmpty();
    const QString& typed = translated ? *result : text;
    if (translated) {
        m_ui.orderOutStatus();
    } else {
        m_ui.showStatus(QStringLiteral("翻译超时，输出原文"), statusOrange());
        m_ui.hideStatusAfterDelay(1.5);
    }
    // The paste first: the totals are written to disk, which the person must not wait for.
    if (m_typeText)
        m_typeText(typed);
    Settings::shared().addDictationLater(duration, characterCount(typed));
    Q_EMIT finished(translated);
}
