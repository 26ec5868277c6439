#include "text/character_count.h"

#include <QTest>

class TestCharacterCount : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void countsUserPerceivedCharacters_data();
    void countsUserPerceivedCharacters();
};

void TestCharacterCount::countsUserPerceivedCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("count");
    QTest::newRow("empty") << QString() << qsizetype(0);
    QTest::newRow("chinese") << u"你好"_qs << qsizetype(2);
    QTest::newRow("latin") << u"hello"_qs << qsizetype(5);
    QTest::newRow("emoji outside the BMP") << u"😀"_qs << qsizetype(1);
    QTest::newRow("skin tone") << u"👍🏽"_qs << qsizetype(1);
    QTest::newRow("zwj family") << u"👨‍👩‍👧"_qs << qsizetype(1);
    QTest::newRow("flag") << u"🇨🇳"_qs << qsizetype(1);
    QTest::newRow("combining accent") << u"e\u0301"_qs << qsizetype(1);
    QTest::newRow("crlf is one") << u"a\r\nb"_qs << qsizetype(3);
    QTest::newRow("mixed") << u"我用 Python 😀"_qs << qsizetype(11);
}

void TestCharacterCount::countsUserPerceivedCharacters()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, count);
    QCOMPARE(characterCount(text), count);
}

QTEST_APPLESS_MAIN(TestCharacterCount)
#include "tst_character_count.moc"
