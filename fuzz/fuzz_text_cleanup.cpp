// The text clean-up and counting, on recognised text of any content: the first byte's
// bit 0 is the CJK spacing switch, bit 1 takes the rest as raw UTF-16 (lone surrogates
// included, as a JSON "\ud800" escape yields) instead of UTF-8.
#include "text/character_count.h"
#include "text/scalar_order.h"
#include "text/space_separators.h"
#include "text/text_post_processor.h"

#include <QStringList>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool spacing = data[0] & 1;
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const qsizetype restSize = qsizetype(size - 1);
    const QString input = (data[0] & 2) ? QString(reinterpret_cast<const QChar*>(rest), restSize / 2)
                                        : QString::fromUtf8(rest, restSize);

    const QString text = TextPostProcessor::shared().process(input, spacing);
    if (text.contains(QLatin1String("  ")) || trimmedSpaceSeparators(text) != text)
        __builtin_trap();
    if (characterCount(text) > text.size())
        __builtin_trap();

    // The hotword list is kept in this order.
    QStringList words = input.split(QLatin1Char(','));
    sortByUnicodeScalars(words);
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (unicodeScalarLess(words[i], words[i - 1]))
            __builtin_trap();
    }
    return 0;
}
