#pragma once

#include "translation/translation_engine.h"

#include <QObject>

class QNetworkAccessManager;

// Client of a LibreTranslate-compatible HTTP service at Settings::translationServerURL(),
// read at every call. Failures print "翻译失败: " and the reason on standard output.
class LibreTranslateEngine : public QObject, public TranslationEngine {
    Q_OBJECT
public:
    // The caller bounds the wait; this only keeps a dead server from holding a
    // connection for ever.
    static constexpr int defaultTransferTimeoutMs = 30000;

    explicit LibreTranslateEngine(QObject* parent = nullptr);

    void translate(const QString& text, const QString& targetLanguage, Callback callback) override;

    void setTransferTimeout(int milliseconds) { m_transferTimeoutMs = milliseconds; }

private:
    void fail(const QString& reason, Callback callback);

    QNetworkAccessManager* m_network;
    int m_transferTimeoutMs = defaultTransferTimeoutMs;
};
