#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop, so that a
// session logout or `kill` still stops the local recognition server. The handler only
// writes one byte to a socket pair; the event loop does the rest.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    static void handle(int signalNumber);
    QSocketNotifier* m_notifier = nullptr;
};
