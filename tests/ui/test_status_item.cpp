#include "settings/notification_center.h"
#include "settings/settings.h"
#include "ui/status_item.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <vector>

namespace {
// Health probe whose answers the test gives by hand, in any order.
struct FakeProbe {
    std::vector<std::function<void(bool)>> pending;
    auto function()
    {
        return [this](std::function<void(bool)> completion) { pending.push_back(std::move(completion)); };
    }
};

bool hasColour(const QImage& image, const std::function<bool(const QColor&)>& match)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y)))
                return true;
    return false;
}
} // namespace

class TestStatusItem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display (DISPLAY is unset)");
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init()
    {
        Settings& s = Settings::shared();
        s.setTriggerKey(TriggerKey::fn);
        s.setUseLocalServer(false);
        s.setTotalCharactersTyped(0);
        s.setTotalRecordingSeconds(0);
        s.setTotalRecognitions(0);
    }

    void menuEntries()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        const QList<QAction*> actions = item.menu()->actions();
        QStringList texts;
        QList<bool> enabled;
        for (QAction* a : actions) {
            texts << (a->isSeparator() ? QStringLiteral("---") : a->text());
            enabled << a->isEnabled();
        }
        QCOMPARE(texts,
            (QStringList{QStringLiteral("按住 fn 键说话"), QStringLiteral("双击→英文  三击→日文"), QStringLiteral("---"),
                QStringLiteral("本地服务: 检查中..."), QStringLiteral("统计: 加载中..."), QStringLiteral("---"),
                QStringLiteral("设置..."), QStringLiteral("使用统计"), QStringLiteral("---"), QStringLiteral("关于 Parlix"),
                QStringLiteral("退出")}));
        const QList<bool> expectedEnabled{false, false, true, false, false, true, true, true, true, true, true};
        for (int i : {0, 1, 3, 4, 6, 7, 9, 10})
            QVERIFY2(enabled[i] == expectedEnabled[i], qPrintable(texts[i]));

        QCOMPARE(item.actionWithTag(StatusItem::kTriggerKeyHintTag), actions[0]);
        QCOMPARE(item.actionWithTag(StatusItem::kLocalServiceTag), actions[3]);
        QCOMPARE(item.actionWithTag(StatusItem::kStatisticsTag), actions[4]);
        QCOMPARE(actions[6]->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
        QCOMPARE(actions[10]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));

        QSignalSpy settings(&item, &StatusItem::openSettingsRequested);
        QSignalSpy quit(&item, &StatusItem::quitRequested);
        actions[6]->trigger();
        QCOMPARE(settings.count(), 1);
        QCOMPARE(quit.count(), 0);
        actions[10]->trigger();
        QCOMPARE(quit.count(), 1);
    }

    void hintFollowsTriggerKey_data()
    {
        QTest::addColumn<TriggerKey>("key");
        QTest::addColumn<QString>("hint");
        QTest::newRow("control") << TriggerKey::control << QStringLiteral("按住 Control 键说话");
        QTest::newRow("option") << TriggerKey::option << QStringLiteral("按住 Option 键说话");
        QTest::newRow("right command") << TriggerKey::rightCommand << QStringLiteral("按住 右 ⌘ 键说话");
        QTest::newRow("fn") << TriggerKey::fn << QStringLiteral("按住 fn 键说话");
    }
    void hintFollowsTriggerKey()
    {
        QFETCH(TriggerKey, key);
        QFETCH(QString, hint);
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        Settings::shared().setTriggerKey(key == TriggerKey::fn ? TriggerKey::option : TriggerKey::fn);
        NotificationCenter::shared().post(kTriggerKeyChangedNotification);
        Settings::shared().setTriggerKey(key);
        NotificationCenter::shared().post(QStringLiteral("SomethingElse"));
        QVERIFY(item.actionWithTag(StatusItem::kTriggerKeyHintTag)->text() != hint);
        NotificationCenter::shared().post(kTriggerKeyChangedNotification);
        QCOMPARE(item.actionWithTag(StatusItem::kTriggerKeyHintTag)->text(), hint);
        QCOMPARE(item.triggerKeyHint(), hint);
    }

    void liveLinesRemote()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        Settings::shared().setTotalCharactersTyped(1);
        Settings::shared().setTotalRecordingSeconds(60.0 / 84.6);

        // Opened the way a user opens it.
        item.menu()->popup(QPoint(100, 100));
        QTRY_VERIFY(item.menu()->isVisible());
        QCOMPARE(item.actionWithTag(StatusItem::kLocalServiceTag)->text(), QStringLiteral("模式: 远程服务器"));
        QCOMPARE(item.actionWithTag(StatusItem::kStatisticsTag)->text(), QStringLiteral("统计: 1字 · 85字/分"));
        QVERIFY(probe.pending.empty());
        item.menu()->hide();

        Settings::shared().setTotalCharactersTyped(0);
        item.menuWillOpen();
        QCOMPARE(item.actionWithTag(StatusItem::kStatisticsTag)->text(), QStringLiteral("统计: 暂无数据"));
    }

    void liveLinesLocal()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        Settings::shared().setUseLocalServer(true);
        QAction* line = item.actionWithTag(StatusItem::kLocalServiceTag);

        item.menuWillOpen();
        QCOMPARE(probe.pending.size(), size_t(1));
        QCOMPARE(line->text(), QStringLiteral("本地服务: 检查中...")); // until the answer
        probe.pending[0](true);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ✅ 运行中"));

        item.menuWillOpen();
        probe.pending[1](false);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ⚠️ 未启动"));

        // A slow answer to an earlier opening arrives after the newer one.
        item.menuWillOpen();
        item.menuWillOpen();
        probe.pending[3](true);
        probe.pending[2](false);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ✅ 运行中"));

        // An answer after the tray item is gone is ignored.
        item.menuWillOpen();
        auto late = probe.pending.back();
        {
            StatusItem other(probe.function());
            other.setupStatusItem();
            other.menuWillOpen();
            probe.pending.back()(true);
        }
        late(false);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ⚠️ 未启动"));
    }

    void titleStates()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        QTRY_COMPARE(item.title(), QStringLiteral("🐟"));
        QCOMPARE(item.trayIcon()->toolTip(), QStringLiteral("🐟"));

        // From another thread, in order: the last call wins.
        QThread* worker = QThread::create([&item] {
            item.updateStatusIcon(true, QStringLiteral("EN"));
            item.updateStatusIcon(false);
            item.updateStatusIcon(true);
            item.updateStatusIcon(true, QStringLiteral("JA"));
        });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QTRY_COMPARE(item.title(), QStringLiteral("● JA"));
        QCOMPARE(item.trayIcon()->toolTip(), QStringLiteral("● JA"));
        QCOMPARE(item.statusTitle().suffixColor(), QColor(0, 122, 255));

        item.updateStatusIcon(true);
        QCOMPARE(item.title(), QStringLiteral("● JA")); // queued, not synchronous
        QTRY_COMPARE(item.title(), QStringLiteral("● REC"));
        QVERIFY(item.statusTitle().suffixColor() != QColor(0, 122, 255));
        item.updateStatusIcon(false);
        QTRY_COMPARE(item.title(), QStringLiteral("🐟"));
    }

    void iconRendering_data()
    {
        QTest::addColumn<bool>("recording");
        QTest::addColumn<QString>("translation");
        QTest::newRow("idle") << false << QString();
        QTest::newRow("rec") << true << QString();
        QTest::newRow("en") << true << QStringLiteral("EN");
        QTest::newRow("ja") << true << QStringLiteral("JA");
    }
    void iconRendering()
    {
        QFETCH(bool, recording);
        QFETCH(QString, translation);
        const StatusTitle title = recording ? StatusTitle::recording(translation) : StatusTitle::idle();
        const QImage image = title.render(32).toImage();
        auto red = [](const QColor& c) { return c.alpha() > 128 && c.red() > 180 && c.green() < 110 && c.blue() < 110; };
        auto blue = [](const QColor& c) { return c.alpha() > 128 && c.blue() > 180 && c.red() < 80; };
        auto opaque = [](const QColor& c) { return c.alpha() > 128; };
        QVERIFY(hasColour(image, opaque));
        if (recording) {
            QVERIFY(hasColour(image, red));
            QCOMPARE(hasColour(image, blue), !translation.isEmpty());
        } else {
            // The fish is a colour glyph, not a monochrome outline.
            QVERIFY(hasColour(image, [](const QColor& c) {
                return c.alpha() > 128 && std::abs(c.red() - c.blue()) + std::abs(c.green() - c.blue()) > 60;
            }));
        }
    }

    void dialogs_data()
    {
        QTest::addColumn<bool>("stats");
        QTest::addColumn<QString>("messageText");
        QTest::addColumn<QString>("informativeStart");
        QTest::newRow("stats") << true << QStringLiteral("使用统计") << QStringLiteral("📊 累计统计\n\n🎤 录音时长: 1.5 分钟");
        QTest::newRow("about") << false << QStringLiteral("Parlix") << QStringLiteral("Parlix - 把你的声音变成文字");
    }
    void dialogs()
    {
        QFETCH(bool, stats);
        QFETCH(QString, messageText);
        QFETCH(QString, informativeStart);
        Settings::shared().setTotalRecordingSeconds(90);
        Settings::shared().setTotalCharactersTyped(90);
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();

        QString seenTitle, seenText, seenInformative, seenButtons;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenInformative = box->informativeText();
            seenIcon = box->icon();
            for (QAbstractButton* b : box->buttons())
                seenButtons += b->text();
            box->buttons().first()->click();
        });
        if (stats)
            item.showStats();
        else
            item.showAbout();
        QCOMPARE(seenTitle, QStringLiteral("Parlix"));
        QCOMPARE(seenText, messageText);
        QVERIFY2(seenInformative.startsWith(informativeStart), qPrintable(seenInformative));
        QCOMPARE(seenIcon, QMessageBox::Information);
        QCOMPARE(seenButtons, QStringLiteral("好"));
        if (stats)
            QVERIFY(seenInformative.endsWith(QStringLiteral("快 1.5 倍"))); // 60 chars a minute
    }

    void trayIconDocks()
    {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("no tray host on this display");
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        QVERIFY(item.trayIcon()->isVisible());
        QTRY_VERIFY(item.trayIcon()->geometry().width() > 1);
    }
};

QTEST_MAIN(TestStatusItem)
#include "test_status_item.moc"
