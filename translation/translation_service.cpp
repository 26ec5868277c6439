#include "translation/translation_service.h"

#include <QPointer>
#include <QTimer>

TranslationService::TranslationService(TranslationEngine& engine, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
{ }

void TranslationService::translate(const QString& text, const QString& targetLanguage, Callback callback)
{
    if (m_pending) {
        Callback replaced = std::move(m_pending->callback);
        m_pending.reset();
        QTimer::singleShot(0, this, [replaced = std::move(replaced)] { replaced(std::nullopt); });
    }
    const quint64 id = m_nextId++;
    m_pending = Pending {id, text, std::move(callback)};
    QPointer<TranslationService> self(this);
    m_engine.translate(text, targetLanguage, [self, id](std::optional<QString> result) {
        if (self)
            self->finish(id, std::move(result));
    });
}

void TranslationService::finish(quint64 id, std::optional<QString> result)
{
    if (!m_pending || m_pending->id != id)
        return; // a replaced request: its caller has already been released
    Callback callback = std::move(m_pending->callback);
    m_pending.reset();
    callback(std::move(result));
}
