#include "server/python_tools.h"
#include "settings/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPythonTools : public QObject {
    Q_OBJECT

    QTemporaryDir data_, resources_;
    const QString record_ = data_.path() + QStringLiteral("/uv-record");
    const QString uv_ = resources_.path() + QStringLiteral("/uv");
    const QString venv_ = data_.path() + QStringLiteral("/Parlix/venv");

    static bool touch(const QString& path)
    {
        return QDir().mkpath(QFileInfo(path).path()) && QFile(path).open(QIODevice::WriteOnly);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
        qputenv("PARLIX_RESOURCES_DIR", QFile::encodeName(resources_.path()));
        qputenv("STANDIN_UV_RECORD", QFile::encodeName(record_));
        QCOMPARE(APP_SUPPORT_PATH() + "/venv", venv_);
    }

    void createVenv_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("error"); // empty: any message
        QTest::newRow("exit 0") << QByteArray("ok") << true << QString();
        QTest::newRow("exit 2, whole output")
            << QByteArray("fail") << false
            << QStringLiteral("error: No interpreter found for Python 3.12\n  hint: check your network\n");
        QTest::newRow("more than a pipe holds")
            << QByteArray("large") << false << QString(300000, QLatin1Char('e'));
        QTest::newRow("uv cannot run") << QByteArray("plain") << false << QString();
        QTest::newRow("venv present") << QByteArray("present") << true << QString();
    }

    void createVenv()
    {
        QFETCH(QByteArray, mode);
        QFETCH(bool, success);
        QFETCH(QString, error);
        QDir(venv_).removeRecursively();
        QFile::remove(record_);
        QFile::remove(uv_);
        QVERIFY(mode == "plain"
                ? touch(uv_)
                : QFile::link(QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/standin_uv.sh"), uv_));
        QVERIFY(
            touch(venv_ + (mode == "present" ? "/bin/python3" : "/leftover"))); // or an unfinished attempt
        qputenv("STANDIN_UV_MODE", mode);

        int calls = 0;
        bool ok = !success;
        std::optional<QString> message;
        createPythonVenv([&](bool s, std::optional<QString> m) { ++calls, ok = s, message = m; });
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 10000);
        QCOMPARE(ok, success);
        QCOMPARE(message.has_value(), !success);
        QVERIFY(success || !message->isEmpty());
        if (!error.isEmpty())
            QCOMPARE(*message, error);
        QCOMPARE(QFile::exists(venv_ + "/leftover"), false);
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
