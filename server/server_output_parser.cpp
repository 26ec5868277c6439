#include "server/server_output_parser.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QStringDecoder>
#include <climits>
#include <cmath>

namespace {

std::optional<int> integerMember(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < INT_MIN || d > INT_MAX)
        return std::nullopt;
    return static_cast<int>(d);
}

std::optional<QString> stringMember(const QJsonObject& object, const QString& key)
{
    const QJsonValue v = object.value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

} // namespace

QList<QJsonObject> ServerOutputParser::feed(const QByteArray& chunk)
{
    QList<QJsonObject> messages;
    qsizetype from = 0;
    while (from < chunk.size()) {
        const qsizetype lf = chunk.indexOf('\n', from);
        const qsizetype end = lf < 0 ? chunk.size() : lf;
        if (!discarding_) {
            if (buffer_.size() + (end - from) > maxLineBytes) {
                buffer_.clear();
                discarding_ = true;
            } else {
                buffer_.append(chunk.constData() + from, end - from);
            }
        }
        if (lf < 0)
            break;
        if (!discarding_) {
            if (auto message = parseLine(buffer_))
                messages.append(*message);
        }
        buffer_.clear();
        discarding_ = false;
        from = lf + 1;
    }
    return messages;
}

void ServerOutputParser::clear()
{
    buffer_.clear();
    discarding_ = false;
}

std::optional<QJsonObject> ServerOutputParser::parseLine(const QByteArray& line)
{
    if (line.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder(line); // decoding sets hasError()
    if (decoder.hasError())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    QJsonObject object = doc.object();
    if (!object.value(QStringLiteral("type")).isString())
        return std::nullopt;
    return object;
}

std::optional<ServerStatus> ServerOutputParser::statusForState(
    const QString& state, const std::optional<QString>& message)
{
    using K = ServerStatus::Kind;
    static const struct {
        const char* state;
        K kind;
    } table[] = {
        {"checking", K::checking},
        {"installing_deps", K::installingDeps},
        {"downloading_model", K::downloadingModel},
        {"starting_server", K::startingServer},
        {"loading_model", K::loadingModel},
        {"ready", K::ready},
    };
    for (const auto& row : table) {
        if (state == QLatin1String(row.state))
            return ServerStatus::make(row.kind);
    }
    if (state == QLatin1String("error"))
        return ServerStatus::error(message.value_or(QStringLiteral("未知错误")));
    return std::nullopt;
}

void ServerOutputParser::dispatch(const QJsonObject& message,
    const std::function<void(const ServerStatus&)>& onStatusChange,
    const std::function<void(int, int, const QString&)>& onProgress,
    const std::function<void(int)>& onDownloadProgress, const std::function<void(const QString&)>& onLog)
{
    const QString type = message.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("status")) {
        const auto state = stringMember(message, QStringLiteral("state"));
        if (!state)
            return;
        const auto status = statusForState(*state, stringMember(message, QStringLiteral("message")));
        if (status && onStatusChange)
            onStatusChange(*status);
    } else if (type == QLatin1String("progress")) {
        const auto current = integerMember(message, QStringLiteral("current"));
        const auto total = integerMember(message, QStringLiteral("total"));
        const auto stage = stringMember(message, QStringLiteral("stage"));
        if (current && total && stage && onProgress)
            onProgress(*current, *total, *stage);
    } else if (type == QLatin1String("log")) {
        const auto text = stringMember(message, QStringLiteral("message"));
        if (text && onLog)
            onLog(*text);
    } else if (type == QLatin1String("download_progress")) {
        const auto percent = integerMember(message, QStringLiteral("percent"));
        if (percent && onDownloadProgress)
            onDownloadProgress(*percent);
    }
}
