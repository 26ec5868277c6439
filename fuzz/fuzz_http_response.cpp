// An HTTP answer as it comes off the connection, any bytes: read whole, and again in
// pieces whose sizes the first byte sets, the two readings must agree.
#include "net/http_response_parser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype step = data[0] % 17 + 1;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    constexpr qint64 limit = 256;

    HttpResponseParser whole(limit);
    whole.feed(bytes);
    whole.finish();
    HttpResponseParser pieces(limit);
    for (qsizetype at = 0; at < bytes.size(); at += step)
        pieces.feed(bytes.sliced(at, std::min(step, bytes.size() - at)));
    pieces.finish();

    if (whole.state() != pieces.state() || whole.status() != pieces.status() || whole.body() != pieces.body())
        __builtin_trap();
    // A body never outgrows the limit, and a refused answer keeps none.
    const bool refused = whole.state() == HttpResponseParser::State::Invalid
        || whole.state() == HttpResponseParser::State::TooLarge;
    if (whole.body().size() > limit || (refused && !whole.body().isEmpty()))
        __builtin_trap();
    return 0;
}
