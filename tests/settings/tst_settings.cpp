#include "settings/app_paths.h"
#include "settings/settings.h"
#include "text/text_post_processor.h"

#include <QtTest>
#include <csignal>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <thread>
#include <vector>

// Every test works on a real Parlix.conf in a temporary folder.
class TestSettings : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    QString path() const { return m_dir->filePath(QStringLiteral("Parlix.conf")); }

private Q_SLOTS:
    void init()
    {
        m_settings.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<Settings>(path());
    }

    // Another handle on the same file reads back at once, without a flush, what a plain
    // ini line cannot hold as it is: a list with a comma in an item, an empty list, a count
    // past 32 bits, a switch written as text (the window test covers the other values).
    // The file, which may hold an API key, stays readable by its owner alone.
    void valuesReadBackThroughAnotherHandle()
    {
        Settings& s = *m_settings;
        s.setTranslationAPIKey(u"secret"_qs);
        s.setHotwords({u"Alpha"_qs, u"B C"_qs, u"含,逗号"_qs});
        s.setTotalCharactersTyped(Q_INT64_C(5000000000));
        s.setRawValue(u"enableHotwords"_qs, u"false"_qs);
        Settings reread(path());
        QCOMPARE(reread.hotwords(), (QStringList {u"Alpha"_qs, u"B C"_qs, u"含,逗号"_qs}));
        QCOMPARE(reread.totalCharactersTyped(), Q_INT64_C(5000000000));
        QVERIFY(!reread.enableHotwords());
        s.setHotwords({});
        QCOMPARE(Settings(path()).hotwords(), QStringList());
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QCOMPARE(QFile::permissions(path()), ownerOnly);
    }

    // The translation engine's address; the recognition server's is ours in local mode and
    // while none is stored, and a stored one is kept for remote mode.
    void addresses_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
        QTest::addColumn<QString>("expected");
        const QString own = LOCAL_TRANSLATION_URL(), chosen = u"https://lt.example/translate"_qs;
        const QString oldDefault = u"http://127.0.0.1:5000/translate"_qs; // stored by every earlier save
        QTest::newRow("local, none: our own server") << true << QVariant() << own;
        QTest::newRow("remote, none: no translation") << false << QVariant() << QString();
        QTest::newRow("local, chosen") << true << QVariant(chosen) << chosen;
        QTest::newRow("remote, chosen") << false << QVariant(chosen) << chosen;
        QTest::newRow("local, saved empty field") << true << QVariant(QString()) << own;
        QTest::newRow("local, old default never chosen") << true << QVariant(oldDefault) << own;
        QTest::newRow("remote, old default never chosen") << false << QVariant(oldDefault) << QString();
    }

    void addresses()
    {
        QFETCH(bool, local);
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        Settings& s = *m_settings;
        s.setUseLocalServer(local);
        const QString remote = u"http://10.0.0.2:9000/api/transcribe"_qs;
        if (stored.isValid()) {
            s.setTranslationServerURL(stored.toString());
            s.setRemoteServerURL(remote);
        }
        QCOMPARE(s.translationServerURL(), expected);
        QCOMPARE(s.serverURL(), local || !stored.isValid() ? LOCAL_SERVER_URL() : remote);
        QVERIFY(!stored.isValid() || s.remoteServerURL() == remote);
    }

    void triggerKeyRawValues()
    {
        Settings& s = *m_settings;
        for (const QString& raw : {u"Control"_qs, u"cmd"_qs, QString(), u"rightcommand"_qs}) {
            s.setRawValue(u"triggerKey"_qs, raw);
            QCOMPARE(s.triggerKey(), TriggerKey::fn);
        }
        // A key monitor that cannot see fn (X11): without a stored key the trigger is
        // Control; a stored fn stays fn, and the windows say it cannot be seen.
        setFnKeyVisible(false);
        s.setRawValue(u"triggerKey"_qs, QString());
        QCOMPARE(s.triggerKey(), TriggerKey::control);
        QVERIFY(visibilityNote(TriggerKey::control).isEmpty());
        QCOMPARE(visibilityNote(TriggerKey::fn), u"当前的按键监听收不到 fn 键，请换一个触发键"_qs);
        for (TriggerKey key : allTriggerKeys) {
            s.setTriggerKey(key);
            QCOMPARE(Settings(path()).triggerKey(), key);
        }
        setFnKeyVisible(true);
    }

    void seeding_data()
    {
        QTest::addColumn<QVariant>("termDictionary");
        QTest::addColumn<QStringList>("expected");
        const QStringList defaults = TextPostProcessor::defaultHotwords();
        QTest::newRow("absent") << QVariant() << defaults;
        QTest::newRow("empty map") << QVariant(QVariantMap()) << defaults;
        QTest::newRow("values deduplicated and sorted")
            << QVariant(QVariantMap {{u"z"_qs, u"Zeta"_qs}, {u"a"_qs, u"Alpha"_qs}, {u"b"_qs, u"Zeta"_qs}})
            << QStringList {u"Alpha"_qs, u"Zeta"_qs};
        QTest::newRow("a value that is not a string")
            << QVariant(QVariantMap {{u"a"_qs, u"Alpha"_qs}, {u"n"_qs, 3}}) << defaults;
        QTest::newRow("not a dictionary") << QVariant(u"Alpha"_qs) << defaults;
    }

    void seeding()
    {
        QFETCH(QVariant, termDictionary);
        QFETCH(QStringList, expected);
        if (termDictionary.isValid())
            m_settings->setRawValue(u"termDictionary"_qs, termDictionary);
        m_settings->loadDefaultHotwordsIfNeeded();
        QCOMPARE(Settings(path()).hotwords(), expected);
        // Once: a list the person emptied stays empty at the next start.
        m_settings->setHotwords({});
        Settings relaunched(path());
        relaunched.loadDefaultHotwordsIfNeeded();
        QCOMPARE(relaunched.hotwords(), QStringList());
    }

    void derivedFigures_data()
    {
        QTest::addColumn<qint64>("characters");
        QTest::addColumn<QVariant>("seconds");
        QTest::addColumn<double>("average");
        QTest::addColumn<double>("saved");
        QTest::newRow("nothing yet") << qint64(0) << QVariant(0.0) << 0.0 << 0.0;
        QTest::newRow("no time recorded") << qint64(400) << QVariant(0.0) << 0.0 << 10.0;
        QTest::newRow("one minute") << qint64(400) << QVariant(60.0) << 400.0 << 8.5;
        QTest::newRow("negative saving clamps") << qint64(100) << QVariant(120.0) << 50.0 << 0.0;
        QTest::newRow("not a number stored") << qint64(100) << QVariant(u"abc"_qs) << 0.0 << 2.5;
    }

    void derivedFigures()
    {
        QFETCH(qint64, characters);
        QFETCH(QVariant, seconds);
        QFETCH(double, average);
        QFETCH(double, saved);
        m_settings->setTotalCharactersTyped(characters);
        m_settings->setRawValue(u"totalRecordingSeconds"_qs, seconds);
        QCOMPARE(m_settings->averageCharsPerMinute(), average);
        QCOMPARE(m_settings->estimatedTimeSavedMinutes(), saved);
    }

    void concurrentTotalsLoseNothing()
    {
        // Dictations finishing together on different threads must not lose updates: 4 x 50.
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([this] {
                for (int i = 0; i < 50; ++i) {
                    m_settings->addTotalRecordingSeconds(0.5);
                    m_settings->addTotalCharactersTyped(3);
                    m_settings->addTotalRecognitions(1);
                }
            });
        }
        for (auto& t : threads)
            t.join();
        Settings reread(path());
        QCOMPARE(reread.totalRecognitions(), 200);
        QCOMPARE(reread.totalCharactersTyped(), 600);
        QCOMPARE(reread.totalRecordingSeconds(), 100.0);
    }

    void damagedFileLoadsSane_data()
    {
        // A line of Parlix.conf as a person or a broken disk may leave it: its key is repaired.
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("negative total") << QByteArray("totalRecognitions=-5");
        QTest::newRow("huge total") << QByteArray("totalCharactersTyped=99999999999999999999999");
        QTest::newRow("fractional count") << QByteArray("totalRecognitions=2.5");
        QTest::newRow("seconds not a number") << QByteArray("totalRecordingSeconds=nan");
        QTest::newRow("seconds are text") << QByteArray("totalRecordingSeconds=abc");
        QTest::newRow("language a list") << QByteArray("language=a, b");
        QTest::newRow("address a number list")
            << QByteArray("serverURL=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
        QTest::newRow("megabyte hotwords") << QByteArray("hotwords=") + QByteArray(1 << 20, 'w');
        QTest::newRow("ten thousand hotwords")
            << QByteArray("hotwords=") + QByteArray("w, ").repeated(10000) + "w";
        QTest::newRow("sound values stay") << QByteArray("totalRecognitions=7\nlanguage=zh");
    }

    void damagedFileLoadsSane()
    {
        QFETCH(QByteArray, line);
        const bool sound = line.contains('\n');
        m_settings.reset();
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\n" + line + "\n");
        file.close();
        Settings s(path());
        const QStringList repaired = s.repairDamagedValues();
        QCOMPARE(
            repaired, sound ? QStringList() : QStringList {QString::fromLatin1(line.split('=').first())});
        QVERIFY(sound || !Settings::repairMessage(repaired).contains(repaired.first())); // named in Chinese
        QVERIFY(
            s.totalRecognitions() >= 0 && s.totalCharactersTyped() >= 0 && s.totalRecordingSeconds() >= 0);
        QVERIFY(s.hotwords().size() <= Settings::maximumHotwords);
        QVERIFY(s.hotwords().join(u',').size() <= Settings::maximumTextLength);
        QVERIFY(s.serverURL().startsWith(u"http"_qs));
        if (sound)
            QCOMPARE(s.totalRecognitions(), 7);
        QCOMPARE(Settings(path()).repairDamagedValues(), QStringList()); // repaired for good
    }

    void dictationTotalsAreWrittenOnceAfterThePaste()
    {
        m_settings->addDictationLater(1.5, 3);
        m_settings->addDictationLater(std::numeric_limits<double>::quiet_NaN(), 4);
        QCOMPARE(Settings(path()).totalRecognitions(), 0);
        QTRY_COMPARE(Settings(path()).totalRecognitions(), 2);
        QCOMPARE(Settings(path()).totalCharactersTyped(), 7);
        QCOMPARE(Settings(path()).totalRecordingSeconds(), 1.5);
        // Parlix ending first loses none of them.
        std::make_unique<Settings>(path())->addDictationLater(1, 1);
        QCOMPARE(Settings(path()).totalRecognitions(), 3);
        QTest::qWait(Settings::totalsDelayMs * 2);
    }

    void totalsStopAtTheirBounds()
    {
        m_settings->setTotalCharactersTyped(Settings::maximumTotalCount - 1);
        m_settings->addTotalCharactersTyped(std::numeric_limits<qint64>::max());
        QCOMPARE(m_settings->totalCharactersTyped(), Settings::maximumTotalCount);
        m_settings->addTotalCharactersTyped(-10);
        m_settings->addTotalRecognitions(-3);
        QCOMPARE(m_settings->totalCharactersTyped(), Settings::maximumTotalCount);
        QCOMPARE(m_settings->totalRecognitions(), 0);
        m_settings->addTotalRecordingSeconds(std::numeric_limits<double>::infinity());
        m_settings->addTotalRecordingSeconds(-1);
        m_settings->addTotalRecordingSeconds(1.5);
        QCOMPARE(m_settings->totalRecordingSeconds(), 1.5);
    }

    void failingSaveIsReportedAndLosesNothing_data()
    {
        QTest::addColumn<bool>("diskFull");
        // A file where the settings folder should be makes every write fail, as a read-only
        // folder does (which root would not notice).
        QTest::newRow("folder blocked") << false;
        // Writes past 4 KB fail with EFBIG, as on a full disk: the stored file stays whole.
        QTest::newRow("full disk") << true;
    }

    void failingSaveIsReportedAndLosesNothing()
    {
        QFETCH(bool, diskFull);
        const QString folder = m_dir->filePath(u"blocked"_qs);
        const QString file = folder + u"/Parlix.conf"_qs;
        QDir().mkpath(folder);
        Settings s(file);
        s.setTotalRecognitions(42);
        rlimit fileSize {};
        ::getrlimit(RLIMIT_FSIZE, &fileSize);
        if (diskFull) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit small = fileSize;
            small.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &small);
        } else {
            QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
        }
        s.setLanguage(u"zh"_qs);
        s.setHotwords(QStringList(1000, u"热词"_qs));
        QVERIFY(!s.lastSaveSucceeded());
        QFile stored(file);
        QCOMPARE(stored.open(QIODevice::ReadOnly) && stored.readAll().contains("totalRecognitions=42\n"),
            diskFull);
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        if (!diskFull)
            QVERIFY(QFile::remove(folder) && QDir().mkpath(folder));
        s.setEnableHotwords(false); // the next write carries the pending changes too
        QVERIFY(s.lastSaveSucceeded());
        Settings reread(file);
        QCOMPARE(reread.language(), u"zh"_qs);
        QCOMPARE(reread.hotwords().size(), 1000);
        QVERIFY(!reread.enableHotwords());
        QCOMPARE(reread.totalRecognitions(), 42);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
