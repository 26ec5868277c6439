#include "app/dictation/text_injector.h"
#include "fake_platform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

// The real clipboard of an X server, read back by another client as a paste would.
class TextInjectorTest : public QObject {
    Q_OBJECT

private:
    // What another X client reads from the clipboard (our event loop serves the request).
    static QString readClipboard()
    {
        QProcess xclip;
        QSignalSpy done(&xclip, &QProcess::finished);
        xclip.start(QStringLiteral("xclip"), { "-selection", "clipboard", "-o" });
        if (!done.wait(5000))
            return QStringLiteral("<xclip did not answer>");
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }

    // The clipboard owned by another client, as when the user copied something.
    static void copyElsewhere(const QString& text)
    {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), { "-selection", "clipboard", "-i" });
        QVERIFY(xclip.waitForStarted());
        xclip.write(text.toUtf8());
        xclip.closeWriteChannel();
        QVERIFY(xclip.waitForFinished()); // xclip forks a server that owns the selection
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), text);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (DISPLAY unset)");
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            QSKIP("needs xclip");
    }

    void userTextComesBack()
    {
        copyElsewhere(QStringLiteral("the user's own text"));
        FakePaste paste;
        TextInjector injector(paste);
        QSignalSpy restored(&injector, &TextInjector::clipboardRestored);
        QElapsedTimer clock;
        clock.start();
        injector.typeText(QStringLiteral("听写的文字"));
        QCOMPARE(paste.pasted, QStringList { "听写的文字" });
        QCOMPARE(readClipboard(), QStringLiteral("听写的文字"));
        QVERIFY(restored.wait(3000));
        QVERIFY(clock.elapsed() >= TextInjector::restoreDelayMs);
        QCOMPARE(readClipboard(), QStringLiteral("the user's own text"));
    }

    void emptyClipboardKeepsTheDictation()
    {
        QGuiApplication::clipboard()->clear();
        QTRY_VERIFY(!QGuiApplication::clipboard()->mimeData()->hasText());
        FakePaste paste;
        TextInjector injector(paste);
        QSignalSpy restored(&injector, &TextInjector::clipboardRestored);
        injector.typeText(QStringLiteral("dictated"));
        QVERIFY(restored.wait(3000));
        QCOMPARE(readClipboard(), QStringLiteral("dictated"));
    }

    // A second dictation before the first restore: the user's text still comes back, and
    // only once, at the end.
    void overlappingDictationsRestoreTheUsersText()
    {
        copyElsewhere(QStringLiteral("keep me"));
        FakePaste paste;
        TextInjector injector(paste);
        QSignalSpy restored(&injector, &TextInjector::clipboardRestored);
        QStringList seen;
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [&] { seen << QGuiApplication::clipboard()->text(); });

        injector.typeText(QStringLiteral("one"));
        QTimer::singleShot(300, &injector, [&] { injector.typeText(QStringLiteral("two")); });
        QVERIFY(restored.wait(3000));
        QCOMPARE(paste.pasted, (QStringList { "one", "two" }));
        QCOMPARE(readClipboard(), QStringLiteral("keep me"));
        QCOMPARE(seen, (QStringList { "one", "two", "keep me" }));
        QCOMPARE(restored.size(), 1);
        QCOMPARE(injector.pendingRestores(), 0);
    }
};

int main(int argc, char** argv)
{
    // Without an X server the xcb platform would abort before the test can skip.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TextInjectorTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_text_injector.moc"
