#include "ui/waveform_overlay.h"
#include "ui/waveform_view.h"
#include "ui/waveform_window.h"
#include "x11_window_probe.h"

#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Heights of the red bars in a rendering of the view, measured in the middle column
// of each bar.
QList<int> barHeights(WaveformView& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    QList<int> heights;
    const qreal startX = (view.width() - (WaveformView::kBarCount * 5 - 2)) * 0.5;
    for (int i = 0; i < WaveformView::kBarCount; ++i) {
        const int x = int(startX + i * 5 + 1.5);
        // Antialiased edges count by their coverage, between the background and the
        // bar's interior.
        const int background = image.pixelColor(x, 0).red();
        int interior = background;
        for (int y = 0; y < image.height(); ++y)
            interior = std::max(interior, image.pixelColor(x, y).red());
        double covered = 0;
        for (int y = 0; y < image.height() && interior > background; ++y)
            covered += double(image.pixelColor(x, y).red() - background) / (interior - background);
        const int count = int(std::lround(covered));
        heights.append(count);
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
        QTest::newRow("floor") << -50.0f << 0.0f;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 0.0f;
        QTest::newRow("-inf") << -std::numeric_limits<float>::infinity() << 0.0f;
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

    void updateLevelScrollsAndClamps()
    {
        WaveformView view;
        QCOMPARE(view.levels(), QList<qreal>(20, 0.0));
        view.updateLevel(0.25);
        view.updateLevel(1.7);
        view.updateLevel(std::numeric_limits<qreal>::quiet_NaN());
        view.updateLevel(-0.4);
        QCOMPARE(view.levels().size(), 20);
        QCOMPARE(view.levels().mid(16), (QList<qreal>{0.25, 1.0, 0.0, 0.0}));
        for (int i = 0; i < 16; ++i)
            view.updateLevel(0.5);
        QCOMPARE(view.levels().first(), 0.25); // the oldest leaves at the left
        view.updateLevel(0.5);
        QCOMPARE(view.levels().first(), 1.0);
        view.reset();
        QCOMPARE(view.levels(), QList<qreal>(20, 0.0));
    }

    void drawsBars()
    {
        WaveformView view;
        view.resize(120, 28);
        QCOMPARE(barHeights(view), QList<int>(20, 3)); // silent bars are 3 px
        view.updateLevel(1.0);
        view.updateLevel(0.5);
        const QList<int> heights = barHeights(view);
        QCOMPARE(heights.last(), 10); // 20 * 0.5
        QCOMPARE(heights.at(18), 20); // full height: 28 - 8
        QCOMPARE(heights.first(), 3);
    }

    void geometry()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        WaveformOverlay overlay([] { return std::optional<float>(); });
        QCOMPARE(overlay.waveformWindow()->geometry(),
            QRect(screen.x() + (screen.width() - 120) / 2, screen.y() + 52, 120, 28));
        // No screen: (340, 520) in bottom-left coordinates of an 800 x 600 screen.
        QCOMPARE(WaveformWindow::frameForScreen(QRect(0, 0, 800, 600)), QRect(340, 52, 120, 28));
        overlay.showWaveformWindow();
        QVERIFY(QTest::qWaitForWindowExposed(overlay.waveformWindow()));
        QCOMPARE(overlay.waveformView()->size(), QSize(120, 28));
    }

    void samplesOnlyWhileShown()
    {
        QLineEdit editor;
        editor.show();
        editor.activateWindow();
        (void)QTest::qWaitForWindowActive(&editor); // may lose it to other tests on the display

        std::optional<float> power = -25.0f;
        int reads = 0;
        WaveformOverlay overlay([&] {
            ++reads;
            return power;
        });
        QVERIFY(!overlay.isSampling());
        QVERIFY(!overlay.waveformWindow()->isVisible());

        overlay.showWaveformWindow();
        QVERIFY(overlay.isSampling());
        QTRY_COMPARE(overlay.waveformView()->levels().last(), 0.5);
        QVERIFY(overlay.waveformWindow()->isVisible());
        QVERIFY(!overlay.waveformWindow()->isActiveWindow());
        QVERIFY(QGuiApplication::focusWindow() != overlay.waveformWindow()->windowHandle());
        const X11WindowProbe x11 = X11WindowProbe::of(*overlay.waveformWindow());
        QVERIFY(!x11.acceptsInput);
        QVERIFY(x11.overrideRedirect);

        // Recorder stopped: the bars freeze.
        power.reset();
        const int before = reads;
        QTRY_VERIFY(reads > before + 1);
        const QList<qreal> frozen = overlay.waveformView()->levels();
        QCOMPARE(frozen.last(), 0.5);

        overlay.hideWaveformWindow();
        QVERIFY(!overlay.isSampling());
        QVERIFY(!overlay.waveformWindow()->isVisible());

        // Shown again: a flat row, not the bars of the last recording.
        overlay.showWaveformWindow();
        QCOMPARE(overlay.waveformView()->levels(), QList<qreal>(20, 0.0));
        power = 0.0f;
        QTRY_COMPARE(overlay.waveformView()->levels().last(), 1.0);
        overlay.hideWaveformWindow();
        QVERIFY(!overlay.isSampling());
    }
};

QTEST_MAIN(TestWaveform)
#include "test_waveform.moc"
