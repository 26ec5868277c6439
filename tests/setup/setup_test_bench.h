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

// A clean settings store and data folder, and a resources folder with stand-ins for the
// shipped uv (PARLIX_UV_STANDIN: ok, fail, or hang until released) and server script.
struct SetupTestBench {
    QTemporaryDir resources;

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
    ~SetupTestBench() { QFile(resources.filePath(u"release"_qs)).open(QIODevice::WriteOnly); }
};
