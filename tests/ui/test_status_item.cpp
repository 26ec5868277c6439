#include "settings/notification_center.h"
#include "settings/settings.h"
#include "ui/status_item.h"

#include <QtTest>
#include <QtWidgets>

class TestStatusItem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The menu as a user opens it after changing the trigger key. Health answers come late
    // and out of order: the newest opening wins; once the item is gone, nothing is updated.
    void openedMenu()
    {
        Settings& settings = Settings::shared();
        settings.setTriggerKey(TriggerKey::fn);
        settings.setUseLocalServer(true);
        settings.setTotalCharactersTyped(1);
        settings.setTotalRecordingSeconds(60.0 / 84.6);
        std::vector<std::function<void(bool)>> pending;
        auto item = std::make_unique<StatusItem>([&](auto done) { pending.push_back(std::move(done)); });
        item->setupStatusItem();
        settings.setTriggerKey(TriggerKey::rightCommand);
        NotificationCenter::shared().post(kTriggerKeyChangedNotification);
        item->menu()->popup(QPoint(100, 100));
        QTRY_VERIFY(item->menu()->isVisible());
        item->menuWillOpen();
        pending.at(1)(true);
        pending.at(0)(false);
        QStringList entries;
        for (QAction* a : item->menu()->actions())
            entries << a->text() + (a->shortcut().isEmpty() ? QString() : u' ' + a->shortcut().toString());
        QCOMPARE(entries,
            (QStringList {"按住 右 ⌘ 键说话", "双击→英文  三击→日文", "", "本地服务: ✅ 运行中",
                "统计: 1字 · 85字/分", "", "设置... Ctrl+,", "使用统计", "", "关于 Parlix", "退出 Ctrl+Q"}));
        // While the server prepares itself the line says what it is doing, at once and at
        // each opening, instead of "not started".
        item->setLocalServicePhase(u"正在安装 torch (3/12)"_qs);
        QCOMPARE(item->actionWithTag(StatusItem::kLocalServiceTag)->text(),
            u"本地服务: ✅ 运行中 · 正在安装 torch (3/12)"_qs);
        item->menuWillOpen();
        pending.at(2)(false);
        QCOMPARE(
            item->actionWithTag(StatusItem::kLocalServiceTag)->text(), u"本地服务: 正在安装 torch (3/12)"_qs);
        item->setLocalServicePhase(QString());
        item->menuWillOpen();
        item.reset();
        pending.at(3)(false);
    }

    // The key equivalents the menu shows reach their commands in the open menu and in a
    // Parlix window, once each.
    void shownShortcutsWork_data()
    {
        QTest::addColumn<bool>("inMenu");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("quits");
        QTest::newRow("Ctrl+, in the open menu") << true << int(Qt::Key_Comma) << false;
        QTest::newRow("Ctrl+Q in the open menu") << true << int(Qt::Key_Q) << true;
        QTest::newRow("Ctrl+, in a Parlix window") << false << int(Qt::Key_Comma) << false;
        QTest::newRow("Ctrl+Q in a Parlix window") << false << int(Qt::Key_Q) << true;
    }

    void shownShortcutsWork()
    {
        QFETCH(bool, inMenu);
        QFETCH(int, key);
        QFETCH(bool, quits);
        StatusItem item(nullptr);
        item.setupStatusItem();
        QWidget window;
        item.addShortcutsTo(&window);
        QSignalSpy settings(&item, &StatusItem::openSettingsRequested);
        QSignalSpy quit(&item, &StatusItem::quitRequested);
        QWidget* target = &window;
        if (inMenu) {
            item.menu()->popup(QPoint(100, 100));
            QTRY_VERIFY(item.menu()->isVisible());
            target = item.menu();
        } else {
            window.show();
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
        }
        QTest::keyClick(target, Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(settings.count(), quits ? 0 : 1);
        QCOMPARE(quit.count(), quits ? 1 : 0);
        QVERIFY(!item.menu()->isVisible());
    }
};

QTEST_MAIN(TestStatusItem)
#include "test_status_item.moc"
