#pragma once

#include "translation/translation_engine.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

// Client of a LibreTranslate-compatible HTTP service at Settings::translationServerURL(),
// read at every call, with Settings::translationAPIKey() as api_key when one is set.
// Failures print "翻译失败: " and the reason on standard output and are signalled.
class LibreTranslateEngine : public QObject, public TranslationEngine {
    Q_OBJECT
public:
    // The caller bounds the wait; this only keeps a dead server from holding a
    // connection for ever.
    static constexpr int defaultTransferTimeoutMs = 30000;

    explicit LibreTranslateEngine(QObject* parent = nullptr);

    // Why a translation failed: no address to post to, nobody answering there (refused,
    // unknown host, timed out), or an engine that answered without a translation.
    enum class Failure { NoAddress, NoAnswer, EngineError };
    Q_ENUM(Failure)

    void translate(const QString& text, const QString& targetLanguage, Callback callback) override;

    void setTransferTimeout(int milliseconds) { m_transferTimeoutMs = milliseconds; }

    // The translation an answered request carries, or why it carries none. Any bytes.
    struct ReplyOutcome {
        std::optional<QString> translation;
        QString failure;
    };
    static ReplyOutcome interpretReply(int httpStatus, const QByteArray& body);

Q_SIGNALS:
    void failed(LibreTranslateEngine::Failure failure, const QString& address, const QString& reason);

private:
    void fail(Failure failure, const QString& address, const QString& reason, Callback callback);

    int m_transferTimeoutMs = defaultTransferTimeoutMs;
};
