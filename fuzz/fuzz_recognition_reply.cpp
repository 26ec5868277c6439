// The recognition server's reply body, any bytes, judged as the dictation core judges it
// and, when it carries text, cleaned up and counted as before typing.
#include "app/dictation/recognition_request.h"
#include "text/character_count.h"
#include "text/text_post_processor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const RecognitionRequest::ReplyOutcome outcome = RecognitionRequest::interpretReply(body, false);
    // Exactly one of a text to type and an error to show.
    if (outcome.text.isEmpty() == outcome.error.isEmpty())
        __builtin_trap();
    for (const bool spacing : {false, true}) {
        const QString text = TextPostProcessor::shared().process(outcome.text, spacing);
        if (characterCount(text) > text.size())
            __builtin_trap();
    }
    return 0;
}
