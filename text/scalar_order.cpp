#include "scalar_order.h"

#include <algorithm>

bool unicodeScalarLess(const QString& a, const QString& b)
{
    const QList<uint> ua = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> ub = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(ua.begin(), ua.end(), ub.begin(), ub.end());
}

void sortByUnicodeScalars(QStringList& list)
{
    std::stable_sort(list.begin(), list.end(), unicodeScalarLess);
}
