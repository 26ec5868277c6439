#include "text/character_count.h"
#include "text/scalar_order.h"
#include "text/text_post_processor.h"

#include <QTest>

class TestTextPostProcessor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleans_data()
    {
        QTest::addColumn<bool>("spacing");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("latin word") << true << u"我用Python写代码"_qs << u"我用 Python 写代码"_qs;
        QTest::newRow("digit") << true << u"共3个"_qs << u"共 3 个"_qs;
        QTest::newRow("version") << true << u"版本1.1发布"_qs << u"版本 1.1 发布"_qs;
        QTest::newRow("after full-width comma") << true << u"你好，world"_qs << u"你好， world"_qs;
        QTest::newRow("ideographic full stop") << true << u"ABC。DEF"_qs << u"ABC 。 DEF"_qs;
        QTest::newRow("already spaced") << true << u"Hello 世界"_qs << u"Hello 世界"_qs;
        QTest::newRow("alternating") << true << u"中a中a"_qs << u"中 a 中 a"_qs;
        QTest::newRow("two spaces") << true << u"a  b"_qs << u"a b"_qs;
        QTest::newRow("comma run then leading") << true << u"，，你好"_qs << u"你好"_qs;
        QTest::newRow("mixed comma run") << true << u"、，、好"_qs << u"好"_qs;
        QTest::newRow("ascii comma and space") << true << u", 嗯，好"_qs << u"嗯，好"_qs;
        QTest::newRow("outer spaces") << true << u"  hello  "_qs << u"hello"_qs;
        QTest::newRow("empty") << true << QString() << QString();
        QTest::newRow("only spaces") << true << u"    "_qs << QString();
        // Tabs and ideographic spaces are trimmed at the ends but never collapsed inside.
        QTest::newRow("tab and ideographic space ends") << true << u"\t\u3000你好\u3000\t"_qs << u"你好"_qs;
        QTest::newRow("inner tab kept") << true << u"a\t\tb"_qs << u"a\t\tb"_qs;
        // Line breaks: kept inside and at the end, removed at the very start only.
        QTest::newRow("line breaks") << true << u"\n，第一行\n第二行\n"_qs << u"第一行\n第二行\n"_qs;
        QTest::newRow("full-width latin is cjk class") << true << u"ＡBC"_qs << u"Ａ BC"_qs;
        // Emoji are neither CJK nor Latin: no space, and surrogate pairs survive intact.
        QTest::newRow("emoji") << true << u"好😀ok👍🏽中"_qs << u"好😀ok👍🏽中"_qs;
        QTest::newRow("extension A") << true << u"㐀x"_qs << u"㐀 x"_qs;
        QTest::newRow("without spacing") << false << u"我用Python写代码"_qs << u"我用Python写代码"_qs;
        QTest::newRow("other steps still run") << false << u"，，你好"_qs << u"你好"_qs;
        QTest::newRow("spaces collapse") << false << u" a   b "_qs << u"a b"_qs;
    }

    void cleans()
    {
        QFETCH(bool, spacing);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(TextPostProcessor::shared().process(input, spacing), expected);
    }

    void scalarOrderIgnoresLocaleAndNormalises()
    {
        QStringList list = {u"b"_qs, u"Z"_qs, u"a"_qs, u"中"_qs, u"e\u0301"_qs, u"é"_qs, u"😀"_qs, u"ｚ"_qs};
        sortByUnicodeScalars(list);
        // Upper case before lower case; the decomposed é sorts with the composed one.
        QCOMPARE(list,
            (QStringList {u"Z"_qs, u"a"_qs, u"b"_qs, u"e\u0301"_qs, u"é"_qs, u"中"_qs, u"ｚ"_qs, u"😀"_qs}));
    }

    void countsUserPerceivedCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("count");
        QTest::newRow("empty") << QString() << qsizetype(0);
        // Neither UTF-16 units nor code points: the family is five code points in eight units.
        QTest::newRow("zwj family") << u"👨‍👩‍👧"_qs << qsizetype(1);
        QTest::newRow("mixed") << u"我用 Python 😀"_qs << qsizetype(11);
    }

    void countsUserPerceivedCharacters()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, count);
        QCOMPARE(characterCount(text), count);
    }
};

QTEST_APPLESS_MAIN(TestTextPostProcessor)
#include "tst_text_post_processor.moc"
