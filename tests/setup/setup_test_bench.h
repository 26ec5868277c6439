#pragma once

#include "settings/app_paths.h"
#include "settings/settings.h"
#include "setup/setup_window_controller.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// A clean settings store and data folder, a resources folder with stand-ins for the shipped
// uv (PARLIX_UV_STANDIN: ok, fail, or hang until released) and server script, and the wizard.
struct SetupTestBench {
    QTemporaryDir resources;
    // The clean-up of orphans reaches only this bench's own servers.
    LocalServerManager server {
        LocalServerOptions {.orphanPattern = resources.filePath(u"local_server.py"_qs)}};
    std::unique_ptr<SetupWindowController> wizard;
    int completions = 0;

    SetupTestBench()
    {
        Settings::shared().remove(u"useLocalServer"_qs);
        Settings::shared().remove(u"setupCompleted"_qs);
        QDir(APP_SUPPORT_PATH()).removeRecursively();
        qputenv("PARLIX_RESOURCES_DIR", resources.path().toUtf8());
        qputenv("PARLIX_UV_RELEASE", resources.filePath(u"release"_qs).toUtf8());
        qputenv("PARLIX_UV_STANDIN", "ok");
        for (const QString& name : {u"uv"_qs, u"local_server.py"_qs})
            QFile::copy(
                QStringLiteral(PARLIX_TEST_SOURCE_DIR "/setup/standins/") + name, resources.filePath(name));
    }
    ~SetupTestBench()
    {
        wizard.reset();
        QFile(resources.filePath(u"release"_qs)).open(QIODevice::WriteOnly);
    }

    bool open(std::function<bool()> trusted = {})
    {
        wizard = std::make_unique<SetupWindowController>(std::move(trusted), server);
        wizard->onComplete = [this] { ++completions; };
        wizard->showWindow();
        return QTest::qWaitForWindowExposed(wizard->window());
    }
    template <class T = QLabel> T* get(const char* name) const
    {
        return wizard->window()->findChild<T*>(QString::fromLatin1(name));
    }
    QString status() const { return get("statusLabel")->text(); }
    QPushButton* action() const { return get<QPushButton>("actionButton"); }
};
