#include "server/python_tools.h"
#include "server_fixture.h"

#include <QTest>

class TestPythonTools : public QObject {
    Q_OBJECT

    FakeInstall install_;
    const QString record_ = install_.data.path() + QStringLiteral("/uv-record");
    const QString uv_ = install_.resources.path() + QStringLiteral("/uv");
    const QString venv_ = install_.data.path() + QStringLiteral("/Parlix/venv");

    static bool touch(const QString& path)
    {
        return QDir().mkpath(QFileInfo(path).path()) && QFile(path).open(QIODevice::WriteOnly);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(install_.setUp());
        qputenv("STANDIN_UV_RECORD", QFile::encodeName(record_));
    }

    void createVenv_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<QString>("outcome"); // "ok", an error, or "" for any error
        QTest::newRow("exit 0") << QByteArray("ok") << QStringLiteral("ok");
        QTest::newRow("exit 2, whole output")
            << QByteArray("fail")
            << QStringLiteral("error: No interpreter found for Python 3.12\n  hint: check your network\n");
        QTest::newRow("uv cannot run") << QByteArray("plain") << QString();
        QTest::newRow("venv present") << QByteArray("present") << QStringLiteral("ok");
    }

    void createVenv()
    {
        QFETCH(QByteArray, mode);
        QFETCH(QString, outcome);
        QDir(venv_).removeRecursively();
        QFile::remove(record_);
        QFile::remove(uv_);
        QVERIFY(mode == "plain"
                ? touch(uv_)
                : QFile::link(QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/standin_uv.sh"), uv_));
        // A complete venv, or what an unfinished attempt left.
        QVERIFY(touch(venv_ + (mode == "present" ? "/bin/python3" : "/leftover")));
        qputenv("STANDIN_UV_MODE", mode);

        QStringList outcomes;
        createPythonVenv([&](bool ok, std::optional<QString> error) {
            outcomes << (ok && !error ? QStringLiteral("ok") : error.value_or(QString()));
        });
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 1, 10000);
        QVERIFY2(outcome.isEmpty() ? !outcomes[0].isEmpty() && outcomes[0] != "ok" : outcomes[0] == outcome,
            qPrintable(outcomes[0]));
        QVERIFY(!QFile::exists(venv_ + "/leftover"));
        QFile record(record_);
        QCOMPARE(record.open(QIODevice::ReadOnly), mode != "plain" && mode != "present"); // whether uv ran
        if (record.isOpen())
            QCOMPARE(record.readAll(),
                "venv " + QFile::encodeName(venv_) + " --python 3.12\n"
                    + QFile::encodeName(APP_SUPPORT_PATH()) + "\nautomatic\n");
    }
};

QTEST_GUILESS_MAIN(TestPythonTools)
#include "tst_python_tools.moc"
