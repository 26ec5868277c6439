#include "settings/notification_center.h"
#include "settings/settings.h"
#include "ui/status_item.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <vector>

namespace {
// Health probe answered by hand, in any order.
struct FakeProbe {
    std::vector<std::function<void(bool)>> pending;
    auto function()
    {
        return [this](std::function<void(bool)> completion) { pending.push_back(std::move(completion)); };
    }
};

int countPixels(const QImage& image, const std::function<bool(const QColor&)>& match)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += match(image.pixelColor(x, y)) ? 1 : 0;
    return n;
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
    }

    void menuEntries()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        QStringList entries;
        for (QAction* a : item.menu()->actions())
            entries << (a->isSeparator() ? QStringLiteral("---")
                                         : a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (off)"))
                        + (a->shortcut().isEmpty() ? QString() : QStringLiteral(" ") + a->shortcut().toString()));
        QCOMPARE(entries,
            (QStringList{QStringLiteral("按住 fn 键说话 (off)"), QStringLiteral("双击→英文  三击→日文 (off)"),
                QStringLiteral("---"), QStringLiteral("本地服务: 检查中... (off)"), QStringLiteral("统计: 加载中... (off)"),
                QStringLiteral("---"), QStringLiteral("设置... Ctrl+,"), QStringLiteral("使用统计"), QStringLiteral("---"),
                QStringLiteral("关于 Parlix"), QStringLiteral("退出 Ctrl+Q")}));
        QCOMPARE(item.actionWithTag(StatusItem::kLocalServiceTag), item.menu()->actions().at(3));

        QSignalSpy settings(&item, &StatusItem::openSettingsRequested);
        QSignalSpy quit(&item, &StatusItem::quitRequested);
        item.menu()->actions().at(6)->trigger();
        item.menu()->actions().at(10)->trigger();
        QCOMPARE(settings.count(), 1);
        QCOMPARE(quit.count(), 1);
    }

    void hintFollowsSavedTriggerKey()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        QAction* hint = item.actionWithTag(StatusItem::kTriggerKeyHintTag);
        Settings::shared().setTriggerKey(TriggerKey::rightCommand);
        NotificationCenter::shared().post(QStringLiteral("SomethingElse"));
        QCOMPARE(hint->text(), QStringLiteral("按住 fn 键说话"));
        NotificationCenter::shared().post(kTriggerKeyChangedNotification);
        QCOMPARE(hint->text(), QStringLiteral("按住 右 ⌘ 键说话"));
    }

    void liveLinesRemote()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        Settings::shared().setTotalCharactersTyped(1);
        Settings::shared().setTotalRecordingSeconds(60.0 / 84.6);
        item.menu()->popup(QPoint(100, 100)); // opened as a user opens it
        QTRY_VERIFY(item.menu()->isVisible());
        QCOMPARE(item.actionWithTag(StatusItem::kLocalServiceTag)->text(), QStringLiteral("模式: 远程服务器"));
        QCOMPARE(item.actionWithTag(StatusItem::kStatisticsTag)->text(), QStringLiteral("统计: 1字 · 85字/分"));
        QVERIFY(probe.pending.empty());
        item.menu()->hide();
    }

    void liveLinesLocal()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        Settings::shared().setUseLocalServer(true);
        QAction* line = item.actionWithTag(StatusItem::kLocalServiceTag);

        item.menuWillOpen();
        QCOMPARE(line->text(), QStringLiteral("本地服务: 检查中...")); // until the answer
        probe.pending.at(0)(true);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ✅ 运行中"));
        item.menuWillOpen();
        probe.pending.at(1)(false);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ⚠️ 未启动"));

        // A slow answer to an earlier opening must not overwrite the newer one.
        item.menuWillOpen();
        item.menuWillOpen();
        probe.pending.at(3)(true);
        probe.pending.at(2)(false);
        QCOMPARE(line->text(), QStringLiteral("本地服务: ✅ 运行中"));

        // Nor may an answer that arrives after the tray item is gone crash.
        auto late = [&] {
            StatusItem gone(probe.function());
            gone.setupStatusItem();
            gone.menuWillOpen();
            return probe.pending.back();
        }();
        late(true);
    }

    void titleStates()
    {
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        QTRY_COMPARE(item.title(), QStringLiteral("🐟"));

        // From another thread, in order: the last call wins.
        std::unique_ptr<QThread> worker(QThread::create([&item] {
            item.updateStatusIcon(true, QStringLiteral("EN"));
            item.updateStatusIcon(false);
            item.updateStatusIcon(true, QStringLiteral("JA"));
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QTRY_COMPARE(item.title(), QStringLiteral("● JA"));
        QCOMPARE(item.trayIcon()->toolTip(), QStringLiteral("● JA"));

        item.updateStatusIcon(true);
        QCOMPARE(item.title(), QStringLiteral("● JA")); // queued, not synchronous
        QTRY_COMPARE(item.title(), QStringLiteral("● REC"));
        item.updateStatusIcon(false);
        QTRY_COMPARE(item.trayIcon()->toolTip(), QStringLiteral("🐟"));
    }

    void iconRendering_data()
    {
        QTest::addColumn<QString>("translation");
        QTest::addColumn<bool>("blue");
        QTest::newRow("rec") << QString() << false;
        QTest::newRow("en") << QStringLiteral("EN") << true;
        QTest::newRow("ja") << QStringLiteral("JA") << true;
    }
    void iconRendering()
    {
        QFETCH(QString, translation);
        QFETCH(bool, blue);
        const QImage image = StatusTitle::recording(translation).render(32).toImage();
        QVERIFY(countPixels(image, [](const QColor& c) { return c.alpha() > 200 && c.red() > 200 && c.green() < 110; }) > 4);
        QCOMPARE(countPixels(image, [](const QColor& c) { return c.alpha() > 200 && c.blue() > 200 && c.red() < 60; }) > 4, blue);
        // The fish is the colour glyph, not a monochrome outline or an empty box.
        const QImage fish = StatusTitle::idle().render(32).toImage();
        QVERIFY(countPixels(fish, [](const QColor& c) { return c.alpha() > 200 && c.blue() - c.red() > 60; }) > 20);
    }

    void dialogs_data()
    {
        QTest::addColumn<bool>("stats");
        QTest::addColumn<QString>("messageText");
        QTest::addColumn<QString>("informativeEnd");
        QTest::newRow("stats") << true << QStringLiteral("使用统计") << QStringLiteral("快 1.5 倍"); // 60 a minute
        QTest::newRow("about") << false << QStringLiteral("Parlix") << QStringLiteral("支持中文、英语、日语");
    }
    void dialogs()
    {
        QFETCH(bool, stats);
        QFETCH(QString, messageText);
        QFETCH(QString, informativeEnd);
        Settings::shared().setTotalRecordingSeconds(90);
        Settings::shared().setTotalCharactersTyped(90);
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();

        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            seen << box->windowTitle() << box->text() << box->informativeText()
                 << QString::number(box->icon()) << QString::number(box->buttons().size()) << box->buttons().at(0)->text();
            box->buttons().at(0)->click();
        });
        stats ? item.showStats() : item.showAbout();
        QCOMPARE(seen.size(), 6);
        QCOMPARE(seen[0], QStringLiteral("Parlix"));
        QCOMPARE(seen[1], messageText);
        QVERIFY2(seen[2].endsWith(informativeEnd), qPrintable(seen[2]));
        QCOMPARE(seen.mid(3), (QStringList{QString::number(QMessageBox::Information), QStringLiteral("1"), QStringLiteral("好")}));
    }

    void trayIconDocks()
    {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("no tray host on this display");
        FakeProbe probe;
        StatusItem item(probe.function());
        item.setupStatusItem();
        QTRY_VERIFY(item.trayIcon()->geometry().width() > 1);
    }
};

QTEST_MAIN(TestStatusItem)
#include "test_status_item.moc"
