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

// What the wizard tests share: a resources folder with stand-ins for the shipped tools,
// a clean settings store and data folder, and the wizard's controls by name.
class SetupTestBench {
public:
    enum Shipped { Nothing = 0, Uv = 1, ServerScript = 2 };

    // Fills a fresh resources folder and points PARLIX_RESOURCES_DIR at it.
    bool prepare(int shipped)
    {
        if (!resources.isValid())
            return false;
        Settings::shared().remove(QStringLiteral("useLocalServer"));
        Settings::shared().remove(QStringLiteral("setupCompleted"));
        QDir(APP_SUPPORT_PATH()).removeRecursively();
        qputenv("PARLIX_RESOURCES_DIR", resources.path().toUtf8());
        qputenv("PARLIX_UV_STANDIN", "ok");
        qputenv("PARLIX_UV_RELEASE", resources.filePath(QStringLiteral("release")).toUtf8());
        qputenv("PARLIX_STANDIN_ANNOUNCE_READY", "1");
        return (!(shipped & Uv) || ship(QStringLiteral("uv")))
            && (!(shipped & ServerScript) || ship(QStringLiteral("local_server.py")));
    }

    // Lets a stand-in uv that was told to hang go.
    ~SetupTestBench()
    {
        QFile release(resources.filePath(QStringLiteral("release")));
        release.open(QIODevice::WriteOnly);
    }

    bool ship(const QString& name)
    {
        const QString target = resources.filePath(name);
        QFile::remove(target);
        return QFile::copy(QStringLiteral(PARLIX_TEST_SOURCE_DIR "/setup/standins/") + name, target)
            && QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    static bool makeFile(const QString& relativePath)
    {
        const QString path = APP_SUPPORT_PATH() + QLatin1Char('/') + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    }

    // A venv whose interpreter is the system one, as the stand-in uv would make it.
    static bool makeVenv()
    {
        const QString bin = APP_SUPPORT_PATH() + QStringLiteral("/venv/bin");
        return QDir().mkpath(bin) && QFile::link(QStringLiteral("/usr/bin/python3"), bin + QStringLiteral("/python3"));
    }

    static QLabel* statusLabel(const SetupWindowController& c) { return find<QLabel>(c, "statusLabel"); }
    static QLabel* detailLabel(const SetupWindowController& c) { return find<QLabel>(c, "detailLabel"); }
    static QProgressBar* progressBar(const SetupWindowController& c) { return find<QProgressBar>(c, "progressBar"); }
    static QPushButton* actionButton(const SetupWindowController& c) { return find<QPushButton>(c, "actionButton"); }
    static QPushButton* skipButton(const SetupWindowController& c) { return find<QPushButton>(c, "skipButton"); }
    static QComboBox* modeSelector(const SetupWindowController& c) { return find<QComboBox>(c, "modeSelector"); }

    QTemporaryDir resources;

private:
    template <class T>
    static T* find(const SetupWindowController& c, const char* name)
    {
        return c.window()->findChild<T*>(QString::fromLatin1(name));
    }
};
