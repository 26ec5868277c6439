#include "space_separators.h"

namespace {
bool isSpaceSeparator(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}
} // namespace

QString trimmedSpaceSeparators(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceSeparator(text.at(begin)))
        ++begin;
    while (end > begin && isSpaceSeparator(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}
