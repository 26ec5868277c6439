#include "ui/status_menu_texts.h"

#include <QLocale>
#include <QTest>
#include <clocale>

class TestStatusMenuTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A German desktop writes "1,5": the figures must not follow it.
    void initTestCase()
    {
        QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"), "the de_DE.UTF-8 locale is missing (locales-all)");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no figures yet") << statisticsLine(0, 0) << "统计: 暂无数据";
        QTest::newRow("beyond 32 bits") << statisticsLine(9876543210, 1.4) << "统计: 9876543210字 · 1字/分";
        QTest::newRow("typing speed is no gain") << speedRatio(40) << "?";
        QTest::newRow("not a number") << speedRatio(qQNaN()) << "?";
        QTest::newRow("60 a minute") << speedRatio(60) << "1.5";
        QTest::newRow("dialog, C's rounding of 1.25")
            << statisticsMessage(90, 120, 7, 80, 1.25).section(u'\n', 6, 7)
            << "⚡️ 平均速度: 80 字/分钟\n⏱️ 预估节省: 1.2 分钟";
    }

    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }
};

QTEST_APPLESS_MAIN(TestStatusMenuTexts)
#include "test_status_menu_texts.moc"
