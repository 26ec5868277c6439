#pragma once

#include "settings/app_paths.h"
#include "settings/settings.h"
#include "setup/setup_window_controller.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// What the wizard tests share: a clean settings store and data folder, a resources
// folder holding the stand-ins for the shipped uv and server script, and the wizard's
// controls by name. The stand-ins read PARLIX_UV_STANDIN and PARLIX_STANDIN_ANNOUNCE_READY.
class SetupTestBench {
public:
    SetupTestBench()
    {
        Settings::shared().remove(QStringLiteral("useLocalServer"));
        Settings::shared().remove(QStringLiteral("setupCompleted"));
        QDir(APP_SUPPORT_PATH()).removeRecursively();
        qputenv("PARLIX_RESOURCES_DIR", resources.path().toUtf8());
        qputenv("PARLIX_UV_RELEASE", resources.filePath(QStringLiteral("release")).toUtf8());
        qputenv("PARLIX_UV_STANDIN", "ok");
        qputenv("PARLIX_STANDIN_ANNOUNCE_READY", "1");
        for (const QString& name : {QStringLiteral("uv"), QStringLiteral("local_server.py")}) {
            QFile::copy(QStringLiteral(PARLIX_TEST_SOURCE_DIR "/setup/standins/") + name, resources.filePath(name));
            QFile::setPermissions(resources.filePath(name), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    }
    // Lets a stand-in uv that was told to hang go.
    ~SetupTestBench() { QFile(resources.filePath(QStringLiteral("release"))).open(QIODevice::WriteOnly); }

    static bool makeModel()
    {
        const QString dir = APP_SUPPORT_PATH() + QStringLiteral("/Fun-ASR-Nano-2512");
        QFile model(dir + QStringLiteral("/model.pt"));
        return QDir().mkpath(dir) && model.open(QIODevice::WriteOnly);
    }
    // A venv whose interpreter is the system one, as the stand-in uv makes it.
    static bool makeVenv()
    {
        const QString bin = APP_SUPPORT_PATH() + QStringLiteral("/venv/bin");
        return QDir().mkpath(bin) && QFile::link(QStringLiteral("/usr/bin/python3"), bin + QStringLiteral("/python3"));
    }

    template <class T = QLabel>
    static T* control(const SetupWindowController& c, const char* name)
    {
        return c.window()->findChild<T*>(QString::fromLatin1(name));
    }
    static QString status(const SetupWindowController& c) { return control(c, "statusLabel")->text(); }
    static QString detail(const SetupWindowController& c) { return control(c, "detailLabel")->text(); }
    static QPushButton* button(const SetupWindowController& c) { return control<QPushButton>(c, "actionButton"); }
    static QProgressBar* bar(const SetupWindowController& c) { return control<QProgressBar>(c, "progressBar"); }
    static QComboBox* selector(const SetupWindowController& c) { return control<QComboBox>(c, "modeSelector"); }

    QTemporaryDir resources;
};
