#pragma once

#include <QString>

// Number of user-perceived characters (extended grapheme clusters) of a text: one per
// Chinese character, per letter, per emoji (also flags, skin tones and ZWJ sequences).
// Everything that counts characters (totals, toast width, menu) uses this one helper.
qsizetype characterCount(const QString& text);
