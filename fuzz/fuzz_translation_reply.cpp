// The translation engine's answer: two bytes of HTTP status, then the body.
#include "translation/libre_translate_engine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int status = (data[0] << 8 | data[1]) % 1000;
    const QByteArray body
        = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const LibreTranslateEngine::ReplyOutcome outcome = LibreTranslateEngine::interpretReply(status, body);
    // Only a 2xx answer is ever taken for a translation.
    if (outcome.translation && (status < 200 || status >= 300))
        __builtin_trap();
    return 0;
}
