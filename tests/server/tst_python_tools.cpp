#include "server/python_tools.h"
#include "settings/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kStandinUv = QStringLiteral(PARLIX_TEST_SOURCE_DIR "/server/standin_uv.sh");

bool touch(const QString& path, QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.setPermissions(permissions);
}

struct Outcome {
    int calls = 0;
    bool success = false;
    std::optional<QString> error;
};

} // namespace

class TestPythonTools : public QObject {
    Q_OBJECT

    QTemporaryDir data_;
    QTemporaryDir resources_;
    QTemporaryDir work_;
    QString record_;
    QByteArray savedPath_;

    QString venv() const { return APP_SUPPORT_PATH() + QStringLiteral("/venv"); }

    std::function<void(bool, std::optional<QString>)> recordInto(Outcome& o)
    {
        return [&o](bool success, std::optional<QString> error) {
            ++o.calls;
            o.success = success;
            o.error = error;
        };
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_.path()));
        qputenv("PARLIX_RESOURCES_DIR", QFile::encodeName(resources_.path()));
        record_ = work_.path() + QStringLiteral("/uv-record");
        qputenv("STANDIN_UV_RECORD", QFile::encodeName(record_));
        savedPath_ = qgetenv("PATH");
        QVERIFY(QDir::setCurrent(work_.path()));
    }

    void init()
    {
        QDir(venv()).removeRecursively();
        QFile::remove(record_);
        QFile::remove(resources_.path() + QStringLiteral("/uv"));
        qputenv("PATH", savedPath_);
    }

    void findUvLooksInOrder()
    {
        QTemporaryDir bin;
        QVERIFY(touch(bin.path() + "/uv", QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        qputenv("PATH", QFile::encodeName(bin.path()));
        const QString places[] = {
            resources_.path() + "/uv",
            work_.path() + "/Resources/uv",
            work_.path() + "/Parlix.app/Contents/Resources/uv",
        };
        for (const QString& place : places)
            QVERIFY(touch(place));
        for (const QString& place : places) {
            QCOMPARE(findUv(), std::optional<QString>(place));
            QFile::remove(place);
        }
        QCOMPARE(findUv(), std::optional<QString>(bin.path() + "/uv"));
        qputenv("PATH", QFile::encodeName(work_.path()));
        QCOMPARE(findUv(), std::nullopt);
    }

    void createRunsUv_data()
    {
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("error");
        QTest::newRow("exit 0") << QByteArray("ok") << true << QString();
        QTest::newRow("exit 2, whole output") << QByteArray("fail") << false
                                              << QStringLiteral("error: No interpreter found for Python 3.12\n  hint: check your network\n");
        QTest::newRow("more than a pipe holds") << QByteArray("large") << false << QString(300000, QLatin1Char('e')) + "\n";
        QTest::newRow("not UTF-8") << QByteArray("binary") << false << QStringLiteral("未知错误");
    }

    void createRunsUv()
    {
        QFETCH(QByteArray, mode);
        QFETCH(bool, success);
        QFETCH(QString, error);
        QVERIFY(QFile::link(kStandinUv, resources_.path() + "/uv"));
        QVERIFY(touch(venv() + "/leftover")); // an unfinished earlier attempt
        qputenv("STANDIN_UV_MODE", mode);

        Outcome outcome;
        createPythonVenv(recordInto(outcome));
        QCOMPARE(outcome.calls, 0);
        QTRY_COMPARE_WITH_TIMEOUT(outcome.calls, 1, 10000);
        QCOMPARE(outcome.success, success);
        QCOMPARE(outcome.error, success ? std::nullopt : std::optional<QString>(error));

        QFile record(record_);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(record.readAll()).split('\n');
        QCOMPARE(lines.value(0), "venv " + venv() + " --python 3.12");
        QCOMPARE(lines.value(1), APP_SUPPORT_PATH());
        QCOMPARE(lines.value(2), "automatic");
        QVERIFY(!QFile::exists(venv() + "/leftover"));
    }

    void createFailsAtOnce_data()
    {
        QTest::addColumn<QString>("uv"); // "" none, "plain" a file that cannot be run
        QTest::addColumn<QString>("error");
        QTest::newRow("no uv") << QString() << QStringLiteral("找不到 uv 工具");
        QTest::newRow("cannot run") << QStringLiteral("plain") << QString();
    }

    void createFailsAtOnce()
    {
        QFETCH(QString, uv);
        QFETCH(QString, error);
        qputenv("PATH", QFile::encodeName(data_.path()));
        if (!uv.isEmpty())
            QVERIFY(touch(resources_.path() + "/uv"));
        QVERIFY(touch(venv() + "/leftover"));

        Outcome outcome;
        createPythonVenv(recordInto(outcome));
        QCOMPARE(outcome.calls, 1);
        QVERIFY(!outcome.success);
        QVERIFY(outcome.error.has_value() && !outcome.error->isEmpty());
        if (!error.isEmpty())
            QCOMPARE(*outcome.error, error);
        QVERIFY(!QFile::exists(venv() + "/leftover"));
    }

    void completeVenvIsLeftAlone()
    {
        QVERIFY(QFile::link(kStandinUv, resources_.path() + "/uv"));
        QVERIFY(touch(venv() + "/bin/python3"));
        Outcome outcome;
        createPythonVenv(recordInto(outcome));
        QCOMPARE(outcome.calls, 1);
        QVERIFY(outcome.success);
        QVERIFY(!QFile::exists(record_)); // uv never ran
    }
};

QTEST_GUILESS_MAIN(TestPythonTools)
#include "tst_python_tools.moc"
