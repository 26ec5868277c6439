#include "platform/uinput/input_event_writer.h"

#include <QTest>
#include <unistd.h>

class TestUinputPasteKeystroke : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesPasteSequence_data()
    {
        QTest::addColumn<bool>("withShift");
        QTest::addColumn<QList<int>>("keys"); // code, value, code, value...
        QTest::newRow("Ctrl+V") << false << QList<int> {KEY_LEFTCTRL, 1, KEY_V, 1, KEY_V, 0, KEY_LEFTCTRL, 0};
        QTest::newRow("Ctrl+Shift+V") << true
                                      << QList<int> {KEY_LEFTCTRL, 1, KEY_LEFTSHIFT, 1, KEY_V, 1, KEY_V, 0,
                                             KEY_LEFTSHIFT, 0, KEY_LEFTCTRL, 0};
    }

    // What goes down the file descriptor: every key edge stands alone, closed by a SYN_REPORT.
    void writesPasteSequence()
    {
        QFETCH(bool, withShift);
        QFETCH(QList<int>, keys);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        QVERIFY(InputEventWriter(fds[1]).write(InputEventWriter::pasteSequence(withShift)));
        ::close(fds[1]);
        QList<int> written;
        QList<int> expected;
        for (input_event e; ::read(fds[0], &e, sizeof e) == sizeof e;)
            written << e.type << e.code << e.value;
        ::close(fds[0]);
        for (qsizetype i = 0; i < keys.size(); i += 2)
            expected << EV_KEY << keys[i] << keys[i + 1] << EV_SYN << SYN_REPORT << 0;
        QCOMPARE(written, expected);
    }
};

QTEST_GUILESS_MAIN(TestUinputPasteKeystroke)
#include "tst_uinput_paste_keystroke.moc"
