#include "ui/waveform_overlay.h"
#include "ui/waveform_view.h"
#include "ui/waveform_window.h"

#include <QTest>

class TestWaveform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The level timer runs only while the overlay shows; the next showing starts from silence,
    // which, like a power that is not a number, draws nothing.
    void samplesOnlyWhileShown()
    {
        QCOMPARE(WaveformOverlay::levelForPower(-160), 0.0f);
        QCOMPARE(WaveformOverlay::levelForPower(float(qQNaN())), 0.0f);
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
