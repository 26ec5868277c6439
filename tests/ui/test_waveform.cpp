#include "ui/waveform_overlay.h"
#include "ui/waveform_view.h"
#include "ui/waveform_window.h"

#include <QTest>

class TestWaveform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void levelForPower_data()
    {
        QTest::addColumn<float>("decibels");
        QTest::addColumn<float>("level");
        QTest::newRow("silence") << -160.0f << 0.0f;
        QTest::newRow("nan") << float(qQNaN()) << 0.0f;
        QTest::newRow("-25") << -25.0f << 0.5f;
        QTest::newRow("0") << 0.0f << 1.0f;
    }

    void levelForPower()
    {
        QFETCH(float, decibels);
        QFETCH(float, level);
        QCOMPARE(WaveformOverlay::levelForPower(decibels), level);
    }

    // The level timer runs only while the overlay shows; the next showing starts from silence.
    void samplesOnlyWhileShown()
    {
        WaveformOverlay overlay([] { return std::optional<float>(-25); });
        QVERIFY(!overlay.isSampling());
        overlay.showWaveformWindow();
        QTRY_COMPARE(overlay.waveformView()->levels().last(), 0.5);
        overlay.hideWaveformWindow();
        QVERIFY(!overlay.isSampling() && !overlay.waveformWindow()->isVisible());
        overlay.showWaveformWindow();
        QCOMPARE(overlay.waveformView()->levels(), QList<qreal>(WaveformView::kBarCount, 0.0));
    }
};

QTEST_MAIN(TestWaveform)
#include "test_waveform.moc"
