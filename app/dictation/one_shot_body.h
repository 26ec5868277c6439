#pragma once

#include <QByteArray>
#include <QIODevice>

// A request body that can be read once and never rewound. Qt's HTTP client quietly
// resends a request whose connection dropped before the answer; it has to rewind the
// body for that, so refusing the rewind turns the resend into an error
// (ContentReSendError): a recording is never recognised, or billed, twice.
class OneShotBody : public QIODevice {
    Q_OBJECT
public:
    explicit OneShotBody(QByteArray data, QObject* parent = nullptr);

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_data.size(); }
    bool reset() override;
    bool seek(qint64 pos) override;
    bool atEnd() const override { return pos() >= m_data.size(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    bool m_started = false;
};
