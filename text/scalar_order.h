#pragma once

#include <QStringList>

// Ascending order of Unicode scalar values of the canonically (NFC) normalised strings:
// the order of hotword lists, independent of the user's locale.
bool unicodeScalarLess(const QString& a, const QString& b);
void sortByUnicodeScalars(QStringList& list);
