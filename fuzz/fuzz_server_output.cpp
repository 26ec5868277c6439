// The local server's merged output: the first byte picks the chunk size the bytes arrive
// in. However they are cut, the same messages must come out, and each one is dispatched.
#include "server/server_output_parser.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype chunk = data[0] % 64 + 1;
    const QByteArray output
        = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    ServerOutputParser whole;
    const QList<QJsonObject> expected = whole.feed(output);

    ServerOutputParser cut;
    QList<QJsonObject> messages;
    for (qsizetype from = 0; from < output.size(); from += chunk) {
        messages += cut.feed(output.mid(from, chunk));
        if (cut.bufferedBytes() > ServerOutputParser::maxLineBytes)
            __builtin_trap();
    }
    if (messages != expected || cut.bufferedBytes() != whole.bufferedBytes())
        __builtin_trap();

    qint64 sink = 0;
    for (const QJsonObject& message : messages) {
        ServerOutputParser::dispatch(
            message, [&](const ServerStatus&) { ++sink; },
            [&](int current, int total, const QString& stage) { sink += current + total + stage.size(); },
            [&](int percent) { sink += percent; }, [&](const QString& line) { sink += line.size(); });
    }
    return sink == -1;
}
