#include "app/dictation/text_injector.h"
#include "platform/paste_keystroke.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

class FakePaste : public PasteKeystroke {
    bool canSend() const override { return true; }
    bool send() override { return true; }
    QString backendName() const override { return {}; }
};

class TextInjectorTest : public QObject {
    Q_OBJECT

    // Reads the X clipboard as another application (our event loop serves it), or owns it.
    static QString xclip(const QByteArray& input = QByteArray())
    {
        QProcess xclip;
        QSignalSpy done(&xclip, &QProcess::finished);
        xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", input.isNull() ? "-o" : "-i"});
        xclip.write(input);
        xclip.closeWriteChannel();
        return done.wait(5000) ? QString::fromUtf8(xclip.readAllStandardOutput()) : "<no answer>";
    }

private Q_SLOTS:
    // A second dictation before the first restore: the user's text still comes back, once.
    void usersTextComesBackAfterOverlappingDictations()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xclip").isEmpty())
            QSKIP("needs an X server and xclip");
        xclip("keep me"); // forks a server that owns the selection
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("keep me"));
        FakePaste paste;
        TextInjector injector(paste);
        QSignalSpy restored(&injector, &TextInjector::clipboardRestored);
        QElapsedTimer clock;
        clock.start();
        injector.typeText(QStringLiteral("听写的文字"));
        QCOMPARE(xclip(), QStringLiteral("听写的文字"));
        injector.typeText(QStringLiteral("two"));
        QVERIFY(restored.wait(3000));
        QVERIFY(clock.elapsed() >= TextInjector::restoreDelayMs);
        QCOMPARE(xclip(), QStringLiteral("keep me"));
        QCOMPARE(restored.size(), 1);
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) // xcb would abort before the test can skip
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TextInjectorTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_text_injector.moc"
