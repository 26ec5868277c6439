#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Cleans recognised text before it is translated or typed: CJK/Latin spacing, runs of
// spaces, the ends, runs of Chinese commas and leading commas. Stateless once built, so
// process() may run on any thread.
class TextPostProcessor {
public:
    static const TextPostProcessor& shared();

    TextPostProcessor();

    // The whole clean-up. cjkSpacing is the user's switch (Settings::enableCJKSpacing),
    // read by the caller at the moment of the call.
    QString process(const QString& text, bool cjkSpacing) const;

    // The spacing step alone.
    QString addCJKSpacing(const QString& text) const;

    // The built-in hotword list (84 entries, in this order) the user's list is seeded
    // with and reset to.
    static const QStringList& defaultHotwords();

private:
    QRegularExpression cjkToLatinRegex;
    QRegularExpression latinToCJKRegex;
    QRegularExpression multiSpaceRegex;
    QRegularExpression commaRunRegex;
    QRegularExpression leadingCommaRegex;
};
