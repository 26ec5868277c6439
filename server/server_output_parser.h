#pragma once

#include "server/server_status.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The local server's line protocol: cuts its merged output into lines and turns each line
// that is a JSON object with a string "type" into a message. Pure: the manager decides on
// which thread the messages take effect.
class ServerOutputParser {
public:
    // A line that grows past this without a line feed is dropped whole, so that a child
    // printing without end cannot exhaust our memory.
    static constexpr qsizetype maxLineBytes = 1024 * 1024;

    // Appends a chunk as it arrived and returns the messages of the lines it completed,
    // in order. Lines are decoded whole, so a UTF-8 character split across chunks
    // survives; a line that is not UTF-8 is dropped.
    QList<QJsonObject> feed(const QByteArray& chunk);
    void clear();
    qsizetype bufferedBytes() const { return buffer_.size(); }

    // The message of one complete line (without its line feed), if it is one.
    static std::optional<QJsonObject> parseLine(const QByteArray& line);

    // Performs a message's effect on the observers; unset observers swallow it.
    static void dispatch(const QJsonObject& message,
        const std::function<void(const ServerStatus&)>& onStatusChange,
        const std::function<void(int current, int total, const QString& stage)>& onProgress,
        const std::function<void(int percent)>& onDownloadProgress,
        const std::function<void(const QString& message)>& onLog);

    // The status that a "status" line with this state reports, if any.
    static std::optional<ServerStatus> statusForState(
        const QString& state, const std::optional<QString>& message);

private:
    QByteArray buffer_;
    bool discarding_ = false; // inside an overlong line, until its line feed
};
