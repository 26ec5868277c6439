#pragma once

#include <QString>

// The text without the tabs and Unicode space separators (category Zs: U+0020, U+00A0,
// U+3000 ...) at either end; line breaks are kept.
QString trimmedSpaceSeparators(const QString& text);
