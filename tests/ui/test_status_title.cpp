#include "contrast.h"
#include "ui/status_title.h"

#include <QtGui>
#include <QtTest>

// Pairs of pixels of the icon, as seen on the panel, a stroke apart (a sixteenth of the
// icon) that differ by at least 3:1, what the eye needs to make out small shapes; counted
// right of the dot, where the suffix's letters are.
static int suffixEdges(const QPixmap& icon, QColor panel)
{
    const int d = std::max(1, icon.width() / 16);
    QImage seen(icon.size(), QImage::Format_RGB32);
    seen.fill(panel);
    QImage pixels = icon.toImage();
    pixels.setDevicePixelRatio(1); // compare device pixels with device pixels
    QPainter(&seen).drawImage(0, 0, pixels);
    int edges = 0;
    for (int y = 0; y < seen.height(); ++y) {
        for (int x = seen.width() * 45 / 100; x + d < seen.width(); ++x) {
            const QRgb here = seen.pixel(x, y);
            edges += contrast(here, seen.pixel(x + d, y)) >= 3;
            edges += y + d < seen.height() && contrast(here, seen.pixel(x, y + d)) >= 3;
        }
    }
    return edges;
}

class TestStatusTitle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The recording mark on a dark and on a light panel, at the sizes trays ask for, on
    // ordinary and HiDPI screens: drawn at the device's own resolution, and its letters
    // stand out from either panel.
    void legibleOnAnyPanel_data()
    {
        QTest::addColumn<QString>("translation");
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("ratio");
        for (const QString& translation : {QString(), QStringLiteral("EN"), QStringLiteral("JA")}) {
            for (int size : {16, 22, 24, 32, 48}) {
                for (qreal ratio : {1.0, 2.0}) {
                    QTest::addRow("%s %dpx x%g", qPrintable(translation.isEmpty() ? u"REC"_qs : translation),
                        size, ratio)
                        << translation << size << ratio;
                }
            }
        }
    }

    void legibleOnAnyPanel()
    {
        QFETCH(QString, translation);
        QFETCH(int, size);
        QFETCH(qreal, ratio);
        const QPixmap icon = StatusTitle::recording(translation).icon().pixmap(QSize(size, size), ratio);
        QCOMPARE(icon.size(), QSize(size, size) * ratio);
        QCOMPARE(icon.devicePixelRatio(), ratio);
        const int pixels = int(size * ratio);
        for (const QColor panel :
            {QColor(0x20, 0x20, 0x20), QColor(0x3c, 0x3f, 0x41), QColor(0xf0, 0xf0, 0xf0)}) {
            const int edges = suffixEdges(icon, panel);
            QVERIFY2(edges >= pixels, qPrintable(u"%1 edges on %2"_qs.arg(edges).arg(panel.name())));
        }
    }
};

QTEST_MAIN(TestStatusTitle)
#include "test_status_title.moc"
