#include "app/dictation/text_injector.h"
#include "platform/paste_keystroke.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

namespace {

// Reads the X clipboard as another application (our event loop serves it), or owns it.
QString xclip(const QByteArray& input = QByteArray())
{
    QProcess xclip;
    QSignalSpy done(&xclip, &QProcess::finished);
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", input.isNull() ? "-o" : "-i"});
    xclip.write(input);
    xclip.closeWriteChannel();
    return done.wait(5000) ? QString::fromUtf8(xclip.readAllStandardOutput()) : "<no answer>";
}

// A target application: at each keystroke it reads the clipboard, a moment later, in a
// process of its own, as a real window does.
class ReadingPaste : public PasteKeystroke {
public:
    QStringList pasted;
    int sent = 0;
    bool canSend() const override { return true; }
    PasteMethod methodForFocus() const override { return PasteMethod::ControlV; }
    bool send(PasteMethod) override
    {
        ++sent;
        auto* reader = new QProcess;
        QObject::connect(reader, &QProcess::finished, reader, [this, reader] {
            pasted << QString::fromUtf8(reader->readAllStandardOutput());
            reader->deleteLater();
        });
        reader->start(QStringLiteral("sh"), {"-c", "sleep 0.05; exec xclip -selection clipboard -o"});
        return true;
    }
    QString backendName() const override { return {}; }
};

} // namespace

class TextInjectorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Three dictations finishing together: each target reads its own text, in order; the
    // person's text is never pasted and comes back once, after the last paste.
    void pastesInOrderAndGivesTheTextBack()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable("xclip").isEmpty())
            QSKIP("needs an X server and xclip");
        xclip("keep me"); // forks a server that owns the selection
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("keep me"));
        ReadingPaste paste;
        TextInjector injector(paste);
        QSignalSpy restored(&injector, &TextInjector::clipboardRestored);
        injector.prefetch();
        for (const char* text : {"听写的文字", "two", "three"})
            injector.typeText(QString::fromUtf8(text));
        QCOMPARE(paste.sent, 1); // the others wait for the first read
        QVERIFY(restored.wait(5000));
        QCOMPARE(paste.pasted, (QStringList {"听写的文字", "two", "three"}));
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
