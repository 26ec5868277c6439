#pragma once

#include "translation/translation_engine.h"

#include <QObject>
#include <QString>
#include <optional>

// Holds the one pending translation request. A request that arrives while another is
// pending replaces it: the replaced caller is released with nullopt at once, and a result
// that still comes for the replaced text is dropped, so each result reaches only the
// request whose text it translates. No time limit of its own. GUI thread only.
class TranslationService : public QObject {
    Q_OBJECT
public:
    using Callback = TranslationEngine::Callback;

    explicit TranslationService(TranslationEngine& engine, QObject* parent = nullptr);

    // The callback runs exactly once, never inside this call.
    void translate(const QString& text, const QString& targetLanguage, Callback callback);

private:
    struct Pending {
        quint64 id;
        QString text;
        Callback callback;
    };
    void finish(quint64 id, std::optional<QString> result);

    TranslationEngine& m_engine;
    std::optional<Pending> m_pending;
    quint64 m_nextId = 1;
};
