#include "server/python_tools.h"
#include "server_fixture.h"

#include <QProcess>
#include <QTest>

class TestPythonTools : public QObject {
    Q_OBJECT

    FakeInstall install_;
    const QString record_ = install_.data.path() + QStringLiteral("/python-record");
    const QString venv_ = install_.data.path() + QStringLiteral("/Parlix/venv");

    static bool touch(const QString& path)
    {
        return QDir().mkpath(QFileInfo(path).path()) && QFile(path).open(QIODevice::WriteOnly);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(install_.setUp());
        qputenv("STANDIN_PYTHON_RECORD", QFile::encodeName(record_));
    }

    // The "real" row runs the system's python3 -m venv for real (a few seconds).
    void createVenv_data()
    {
        QTest::addColumn<QString>("interpreter"); // "" for the system's own
        QTest::addColumn<QByteArray>("engine");
        QTest::addColumn<QString>("outcome"); // "ok", an error, or "" for any error
        QTest::newRow("real: own pip, and Debian's pocketsphinx for the offline engine")
            << QString() << QByteArray("pocketsphinx") << QStringLiteral("ok");
        QTest::newRow("exit 2: whole output, half-made venv removed")
            << QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/standin_python.sh") << QByteArray()
            << QStringLiteral("Error: ensurepip is not available.\n  apt install python3-venv\n");
        QTest::newRow("interpreter cannot run") << install_.data.path() << QByteArray() << QString();
        QTest::newRow("venv present: nothing runs")
            << QStringLiteral("present") << QByteArray() << QStringLiteral("ok");
    }

    void createVenv()
    {
        QFETCH(QString, interpreter);
        QFETCH(QByteArray, engine);
        QFETCH(QString, outcome);
        QDir(venv_).removeRecursively();
        QFile::remove(record_);
        // A complete venv, or what an unfinished attempt left.
        QVERIFY(touch(venv_ + (interpreter == "present" ? "/bin/python3" : "/leftover")));
        qputenv("PARLIX_SYSTEM_PYTHON", QFile::encodeName(interpreter));
        qputenv("PARLIX_ASR_ENGINE", engine);

        QStringList outcomes;
        createPythonVenv([&](bool ok, std::optional<QString> error) {
            outcomes << (ok && !error ? QStringLiteral("ok") : error.value_or(QString()));
        });
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 60000);
        QVERIFY2(outcome.isEmpty() ? !outcomes[0].isEmpty() && outcomes[0] != "ok" : outcomes[0] == outcome,
            qPrintable(outcomes[0]));
        QVERIFY(!QFile::exists(venv_ + "/leftover"));
        QCOMPARE(QFile::exists(findPython3()), outcome == "ok");
        if (interpreter.endsWith(".sh")) {
            QFile record(record_);
            QVERIFY(record.open(QIODevice::ReadOnly));
            QCOMPARE(record.readAll(),
                "-m venv " + QFile::encodeName(venv_) + "\n" + QFile::encodeName(APP_SUPPORT_PATH()) + "\n");
        }
        if (interpreter.isEmpty()) {
            // The venv's own pip is there to fill it, and the offline engine imports.
            QProcess python;
            const QString probe
                = engine.isEmpty() ? QStringLiteral("import pip") : QStringLiteral("import pocketsphinx");
            python.start(findPython3(), {QStringLiteral("-c"), probe});
            QVERIFY(python.waitForFinished(30000));
            QCOMPARE(python.exitCode(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestPythonTools)
#include "tst_python_tools.moc"
