#include "ui/status_menu_texts.h"

#include <QTest>

#include <limits>

class TestStatusMenuTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void statisticsLine_data()
    {
        QTest::addColumn<qint64>("characters");
        QTest::addColumn<double>("average");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << qint64(0) << 0.0 << QStringLiteral("统计: 暂无数据");
        QTest::newRow("one char") << qint64(1) << 84.6 << QStringLiteral("统计: 1字 · 85字/分");
        QTest::newRow("large") << qint64(9876543210) << 1.4 << QStringLiteral("统计: 9876543210字 · 1字/分");
    }
    void statisticsLine()
    {
        QFETCH(qint64, characters);
        QFETCH(double, average);
        QFETCH(QString, expected);
        QCOMPARE(::statisticsLine(characters, average), expected);
    }

    void speedRatio_data()
    {
        QTest::addColumn<double>("average");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exactly 40") << 40.0 << QStringLiteral("?");
        QTest::newRow("zero") << 0.0 << QStringLiteral("?");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("?");
        QTest::newRow("60") << 60.0 << QStringLiteral("1.5");
        QTest::newRow("just above") << 40.01 << QStringLiteral("1.0");
    }
    void speedRatio()
    {
        QFETCH(double, average);
        QFETCH(QString, expected);
        QCOMPARE(::speedRatio(average), expected);
    }

    void dialogTexts()
    {
        // C's rounding: 1.25 minutes is "1.2".
        QCOMPARE(statisticsMessage(90, 120, 7, 80, 1.25),
            QStringLiteral("📊 累计统计\n\n🎤 录音时长: 1.5 分钟\n✍️ 输入字数: 120 字\n🔢 识别次数: 7 次\n\n"
                           "⚡️ 平均速度: 80 字/分钟\n⏱️ 预估节省: 1.2 分钟\n\n💡 语音输入比手打快 2.0 倍"));
        QCOMPARE(aboutMessage(TriggerKey::rightCommand),
            QStringLiteral("Parlix - 把你的声音变成文字\n\n版本 1.1\n按住 右 ⌘ 键说话，松开自动识别\n\n支持中文、英语、日语"));
        QCOMPARE(triggerKeyHintText(TriggerKey::option), QStringLiteral("按住 Option 键说话"));
    }
};

QTEST_APPLESS_MAIN(TestStatusMenuTexts)
#include "test_status_menu_texts.moc"
