#include "server/python_tools.h"
#include "server_fixture.h"

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

    // A real run (the system's python3 -m venv, pip and Debian's pocketsphinx inside) is the
    // end-to-end first-run wizard test's.
    void createVenv_data()
    {
        QTest::addColumn<QString>("interpreter");
        QTest::addColumn<QString>("outcome"); // "ok", an error, or "" for any error
        QTest::newRow("exit 2: whole output, half-made venv removed")
            << QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/standin_python.sh")
            << QStringLiteral("Error: ensurepip is not available.\n  apt install python3-venv\n");
        QTest::newRow("interpreter cannot run") << install_.data.path() << QString();
        QTest::newRow("venv present: nothing runs") << QStringLiteral("present") << QStringLiteral("ok");
    }

    void createVenv()
    {
        QFETCH(QString, interpreter);
        QFETCH(QString, outcome);
        QDir(venv_).removeRecursively();
        QFile::remove(record_);
        // A complete venv, or what an unfinished attempt left.
        QVERIFY(touch(venv_ + (interpreter == "present" ? "/bin/python3" : "/leftover")));
        qputenv("PARLIX_SYSTEM_PYTHON", QFile::encodeName(interpreter));

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
    }
};

QTEST_GUILESS_MAIN(TestPythonTools)
#include "tst_python_tools.moc"
