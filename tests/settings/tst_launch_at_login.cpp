#include "settings/launch_at_login.h"
#include "settings/settings.h"

#include <QtTest>
#include <unistd.h>

// Runs against the real autostart folder of the test's private XDG_CONFIG_HOME.
class TestLaunchAtLogin : public QObject {
    Q_OBJECT
    const QString autostartDir = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/autostart"_qs;

private Q_SLOTS:
    void init() { QFile::remove(autostartDir) || QDir(autostartDir).removeRecursively(); }

    void execLineQuoting_data()
    {
        // The Exec line as written in the file: quoting, then %% for field codes, then the
        // string escapes (a literal backslash is four).
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << u"/usr/bin/parlix"_qs << u"/usr/bin/parlix"_qs;
        QTest::newRow("space") << u"/opt/My Apps/parlix"_qs << u"\"/opt/My Apps/parlix\""_qs;
        QTest::newRow("quote") << u"/opt/par\"lix"_qs << u"\"/opt/par\\\\\"lix\""_qs;
        QTest::newRow("backslash") << u"/opt/a\\b"_qs << u"\"/opt/a\\\\\\\\b\""_qs;
        QTest::newRow("percent unquoted") << u"/opt/100%/parlix"_qs << u"/opt/100%%/parlix"_qs;
        QTest::newRow("dollar and percent") << u"/opt/$HOME %f"_qs << u"\"/opt/\\\\$HOME %%f\""_qs;
        QTest::newRow("line break") << u"/opt/a\nb"_qs << u"\"/opt/a\\nb\""_qs;
    }

    void execLineQuoting()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QVERIFY(LaunchAtLogin::autostartEntry(path).split(u'\n').contains(u"Exec="_qs + exec));
    }

    // A file where the autostart folder should be makes the registration fail: the flag stays,
    // and standard output says why.
    void refusalKeepsTheFlagAndSaysWhy()
    {
        QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME"));
        QFile blocker(autostartDir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTemporaryDir dir;
        Settings settings(dir.filePath(u"Parlix.conf"_qs));
        QTemporaryFile out;
        QVERIFY(out.open());
        const int console = dup(STDOUT_FILENO);
        dup2(out.handle(), STDOUT_FILENO);
        settings.setLaunchAtLogin(true);
        dup2(console, STDOUT_FILENO);
        close(console);
        QVERIFY(settings.launchAtLogin());
        QVERIFY(out.seek(0) && out.readAll().contains("设置开机启动失败: "));
    }
};

QTEST_GUILESS_MAIN(TestLaunchAtLogin)
#include "tst_launch_at_login.moc"
