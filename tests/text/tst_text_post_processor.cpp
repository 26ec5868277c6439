#include "text/scalar_order.h"
#include "text/text_post_processor.h"

#include <QSet>
#include <QTest>

class TestTextPostProcessor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleansWithSpacing_data();
    void cleansWithSpacing();
    void cleansWithoutSpacing_data();
    void cleansWithoutSpacing();
    void defaultHotwordsAreTheBuiltInList();
    void scalarOrderIgnoresLocaleAndNormalises();
};

void TestTextPostProcessor::cleansWithSpacing_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("latin word") << u"我用Python写代码"_qs << u"我用 Python 写代码"_qs;
    QTest::newRow("digit") << u"共3个"_qs << u"共 3 个"_qs;
    QTest::newRow("version") << u"版本1.1发布"_qs << u"版本 1.1 发布"_qs;
    QTest::newRow("after full-width comma") << u"你好，world"_qs << u"你好， world"_qs;
    QTest::newRow("ideographic full stop") << u"ABC。DEF"_qs << u"ABC 。 DEF"_qs;
    QTest::newRow("already spaced") << u"Hello 世界"_qs << u"Hello 世界"_qs;
    QTest::newRow("alternating") << u"中a中a"_qs << u"中 a 中 a"_qs;
    QTest::newRow("two spaces") << u"a  b"_qs << u"a b"_qs;
    QTest::newRow("comma run then leading") << u"，，你好"_qs << u"你好"_qs;
    QTest::newRow("mixed comma run") << u"、，、好"_qs << u"好"_qs;
    QTest::newRow("ascii comma and space") << u", 嗯，好"_qs << u"嗯，好"_qs;
    QTest::newRow("outer spaces") << u"  hello  "_qs << u"hello"_qs;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("only spaces") << u"    "_qs << QString();
    // Tabs and ideographic spaces are trimmed at the ends but never collapsed inside.
    QTest::newRow("tab and ideographic space ends") << u"\t\u3000你好\u3000\t"_qs << u"你好"_qs;
    QTest::newRow("inner tab kept") << u"a\t\tb"_qs << u"a\t\tb"_qs;
    // Line breaks: kept inside and at the end, removed at the very start only.
    QTest::newRow("line breaks") << u"\n，第一行\n第二行\n"_qs << u"第一行\n第二行\n"_qs;
    QTest::newRow("full-width latin is cjk class") << u"ＡBC"_qs << u"Ａ BC"_qs;
    // Emoji are neither CJK nor Latin: no space, and surrogate pairs survive intact.
    QTest::newRow("emoji") << u"好😀ok👍🏽中"_qs << u"好😀ok👍🏽中"_qs;
    QTest::newRow("extension A") << u"㐀x"_qs << u"㐀 x"_qs;
}

void TestTextPostProcessor::cleansWithSpacing()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(TextPostProcessor::shared().process(input, true), expected);
}

void TestTextPostProcessor::cleansWithoutSpacing_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no spacing") << u"我用Python写代码"_qs << u"我用Python写代码"_qs;
    QTest::newRow("other steps still run") << u"，，你好"_qs << u"你好"_qs;
    QTest::newRow("spaces collapse") << u" a   b "_qs << u"a b"_qs;
}

void TestTextPostProcessor::cleansWithoutSpacing()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(TextPostProcessor::shared().process(input, false), expected);
}

void TestTextPostProcessor::defaultHotwordsAreTheBuiltInList()
{
    // Every entry must survive the wire format: no comma, no outer spaces, no duplicate.
    const QStringList& words = TextPostProcessor::defaultHotwords();
    QCOMPARE(words.size(), 84);
    QCOMPARE(QSet<QString>(words.begin(), words.end()).size(), 84);
    for (const QString& w : words)
        QVERIFY2(!w.contains(QLatin1Char(',')) && w.trimmed() == w, qPrintable(w));
}

void TestTextPostProcessor::scalarOrderIgnoresLocaleAndNormalises()
{
    QStringList list = {u"b"_qs, u"Z"_qs, u"a"_qs, u"中"_qs, u"e\u0301"_qs, u"é"_qs, u"😀"_qs, u"ｚ"_qs};
    sortByUnicodeScalars(list);
    // Upper case before lower case; the decomposed é sorts with the composed one.
    QCOMPARE(
        list, (QStringList {u"Z"_qs, u"a"_qs, u"b"_qs, u"e\u0301"_qs, u"é"_qs, u"中"_qs, u"ｚ"_qs, u"😀"_qs}));
}

QTEST_APPLESS_MAIN(TestTextPostProcessor)
#include "tst_text_post_processor.moc"
