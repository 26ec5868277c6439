#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

// Asks a LibreTranslate-compatible engine for one short translation, as a dictation would,
// so that the settings window can say whether translated dictation will work. Every probe
// runs on its own and reports once.
class TranslationTester : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Translated, EngineError, ConnectionFailed };
    Q_ENUM(Outcome)

    static constexpr int kTimeoutMs = 5000;

    explicit TranslationTester(QObject* parent = nullptr);

    // Posts a probe text; apiKey is sent as api_key when not empty.
    void start(const QUrl& url, const QString& apiKey);

Q_SIGNALS:
    // detail: the translation, or the engine's (or the network's) reason.
    void finished(TranslationTester::Outcome outcome, const QString& detail);

private:
    QNetworkAccessManager* m_network;
};
