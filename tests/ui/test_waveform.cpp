#include "ui/waveform_overlay.h"
#include "ui/waveform_view.h"
#include "ui/waveform_window.h"
#include "x11_window_probe.h"

#include <QGuiApplication>
#include <QImage>
#include <QTest>

#include <cmath>
#include <limits>

namespace {
// Bar heights in a rendering of the view: the red coverage of each bar's middle column.
QList<int> barHeights(WaveformView& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    QList<int> heights;
    for (int i = 0; i < WaveformView::kBarCount; ++i) {
        const int x = 11 + i * 5 + 1;
        const int background = image.pixelColor(x, 0).red();
        int interior = background;
        for (int y = 0; y < image.height(); ++y)
            interior = std::max(interior, image.pixelColor(x, y).red());
        double covered = 0;
        for (int y = 0; y < image.height() && interior > background; ++y)
            covered += double(image.pixelColor(x, y).red() - background) / (interior - background);
        heights.append(int(std::lround(covered)));
    }
    return heights;
}
} // namespace

class TestWaveform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (DISPLAY is unset)");
    }

    void levelForPower_data()
    {
        QTest::addColumn<float>("decibels");
        QTest::addColumn<float>("level");
        QTest::newRow("silence") << -160.0f << 0.0f;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 0.0f;
        QTest::newRow("-25") << -25.0f << 0.5f;
        QTest::newRow("-10") << -10.0f << 0.8f;
        QTest::newRow("0") << 0.0f << 1.0f;
    }
    void levelForPower()
    {
        QFETCH(float, decibels);
        QFETCH(float, level);
        QCOMPARE(WaveformOverlay::levelForPower(decibels), level);
    }

    void levelsScrollClampAndDraw()
    {
        WaveformView view;
        view.resize(120, 28);
        QCOMPARE(barHeights(view), QList<int>(20, 3)); // silent bars are 3 px high
        view.updateLevel(0.5);
        view.updateLevel(1.7);
        view.updateLevel(std::numeric_limits<qreal>::quiet_NaN());
        QCOMPARE(view.levels().size(), 20);
        QCOMPARE(view.levels().mid(17), (QList<qreal>{0.5, 1.0, 0.0}));
        const QList<int> heights = barHeights(view);
        QCOMPARE(heights.mid(16), (QList<int>{3, 10, 20, 3}));
        for (int i = 0; i < 17; ++i)
            view.updateLevel(0);
        QCOMPARE(view.levels().first(), 0.5); // the oldest leaves at the left
    }

    void geometry()
    {
        WaveformOverlay overlay([] { return std::optional<float>(); });
        QCOMPARE(overlay.waveformWindow()->geometry(), QRect(580, 52, 120, 28)); // 1280 x 800 session
        QCOMPARE(WaveformWindow::frameForScreen(QRect(0, 0, 800, 600)), QRect(340, 52, 120, 28));
    }

    void samplesOnlyWhileShown()
    {
        std::optional<float> power = -25.0f;
        int reads = 0;
        WaveformOverlay overlay([&] {
            ++reads;
            return power;
        });
        QVERIFY(!overlay.isSampling());

        overlay.showWaveformWindow();
        QVERIFY(overlay.isSampling());
        QTRY_COMPARE(overlay.waveformView()->levels().last(), 0.5);
        QVERIFY(QTest::qWaitForWindowExposed(overlay.waveformWindow()));
        QCOMPARE(overlay.waveformView()->size(), QSize(120, 28));
        const X11WindowProbe x11 = X11WindowProbe::of(*overlay.waveformWindow());
        QVERIFY(!x11.acceptsInput);
        QVERIFY(x11.overrideRedirect);

        power.reset(); // recorder stopped: the bars freeze
        const int before = reads;
        QTRY_VERIFY(reads > before + 1);
        QCOMPARE(overlay.waveformView()->levels().last(), 0.5);

        overlay.hideWaveformWindow();
        QVERIFY(!overlay.isSampling());
        QVERIFY(!overlay.waveformWindow()->isVisible());
        overlay.showWaveformWindow();
        QCOMPARE(overlay.waveformView()->levels(), QList<qreal>(20, 0.0)); // not the frozen bars
        overlay.hideWaveformWindow();
    }
};

QTEST_MAIN(TestWaveform)
#include "test_waveform.moc"
