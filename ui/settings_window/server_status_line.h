#pragma once

#include "ui/settings_window/connection_tester.h"

#include <QObject>
#include <functional>

class QColor;
class QPalette;
class QLabel;
class QLineEdit;

// The general tab's status line: the local server's health when the window is created in
// local mode, and the outcome of "测试" for the address in the URL field. Both write the
// same label; the last answer to arrive wins.
class ServerStatusLine : public QObject {
    Q_OBJECT
public:
    // Asks the local server's health and calls the completion once, on the GUI thread.
    using HealthCheck = std::function<void(std::function<void(bool)>)>;

    ServerStatusLine(QLabel* serverStatusLabel, QLineEdit* serverTextField, HealthCheck checkServerHealth,
        QObject* parent = nullptr);

    // Local mode only (the stored setting, not the checkbox): ask and show the answer.
    void updateServerStatus();
    // Probes the field's address, saved or not.
    void testConnection();

private:
    void showConnectionOutcome(ConnectionTester::Outcome outcome);
    using Tone = QColor (*)(const QPalette&);
    void setServerStatus(const QString& text, Tone tone);

    QLabel* serverStatusLabel;
    QLineEdit* serverTextField;
    HealthCheck checkServerHealth;
    ConnectionTester* connectionTester;
};
