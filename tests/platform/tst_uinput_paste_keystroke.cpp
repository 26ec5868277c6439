#include "platform/uinput/input_event_writer.h"
#include "platform/uinput/uinput_paste_keystroke.h"

#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using Key = std::pair<int, int>; // evdev key code, value
Q_DECLARE_METATYPE(QList<Key>)

class TestUinputPasteKeystroke : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The written-event check: what goes down the file descriptor, record by record.
    void writesPasteSequence_data()
    {
        QTest::addColumn<bool>("withShift");
        QTest::addColumn<QList<Key>>("keys");
        QTest::newRow("Ctrl+V") << false
                                << QList<Key> { { KEY_LEFTCTRL, 1 }, { KEY_V, 1 }, { KEY_V, 0 },
                                       { KEY_LEFTCTRL, 0 } };
        QTest::newRow("Ctrl+Shift+V") << true
                                      << QList<Key> { { KEY_LEFTCTRL, 1 }, { KEY_LEFTSHIFT, 1 }, { KEY_V, 1 },
                                             { KEY_V, 0 }, { KEY_LEFTSHIFT, 0 }, { KEY_LEFTCTRL, 0 } };
    }

    void writesPasteSequence()
    {
        QFETCH(bool, withShift);
        QFETCH(QList<Key>, keys);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        QVERIFY(InputEventWriter(fds[1]).write(InputEventWriter::pasteSequence(withShift)));
        ::close(fds[1]);
        QByteArray bytes;
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
            bytes.append(buf, n);
        ::close(fds[0]);

        QCOMPARE(bytes.size() % qsizetype(sizeof(input_event)), 0);
        const auto* events = reinterpret_cast<const input_event*>(bytes.constData());
        const qsizetype count = bytes.size() / qsizetype(sizeof(input_event));
        // Every key edge stands alone: EV_KEY, then SYN_REPORT.
        QCOMPARE(count, keys.size() * 2);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const input_event& key = events[2 * i];
            const input_event& syn = events[2 * i + 1];
            QCOMPARE(key.type, EV_KEY);
            QCOMPARE((Key { key.code, key.value }), keys[i]);
            QCOMPARE(syn.type, EV_SYN);
            QCOMPARE(syn.code, SYN_REPORT);
        }
    }

    // Without a usable uinput device the backend says so instead of pretending to paste.
    void unusableDevice_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/uinput");
        QTest::newRow("not a device") << QStringLiteral("/dev/null");
    }

    void unusableDevice()
    {
        QFETCH(QString, path);
        UinputPasteKeystroke paste(path);
        QVERIFY(!paste.send());
        if (path.startsWith(QLatin1String("/nonexistent")))
            QVERIFY(!paste.canSend());
    }
};

QTEST_GUILESS_MAIN(TestUinputPasteKeystroke)
#include "tst_uinput_paste_keystroke.moc"
