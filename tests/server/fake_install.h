#pragma once

#include "settings/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A private installation for manager tests: a resources folder holding the given server
// script (and, unless told otherwise, a uv), and a venv whose python3 is the system's.
// The clean-up pattern is this folder's script path, so that only our own stand-ins die.
class FakeInstall {
public:
    QTemporaryDir data;
    QTemporaryDir resources;

    bool setUp(const QString& scriptSource, bool withUv = true)
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("PARLIX_RESOURCES_DIR", QFile::encodeName(resources.path()));
        QDir().mkpath(QDir::homePath()); // the child's working directory
        if (!scriptSource.isEmpty() && !QFile::copy(scriptSource, scriptPath()))
            return false;
        if (withUv) {
            QFile uv(resources.path() + QStringLiteral("/uv"));
            if (!uv.open(QIODevice::WriteOnly))
                return false;
        }
        const QString bin = APP_SUPPORT_PATH() + QStringLiteral("/venv/bin");
        return QDir().mkpath(bin) && QFile::link(QStringLiteral("/usr/bin/python3"), bin + QStringLiteral("/python3"));
    }

    QString scriptPath() const { return resources.path() + QStringLiteral("/local_server.py"); }
    QString pythonPath() const { return APP_SUPPORT_PATH() + QStringLiteral("/venv/bin/python3"); }
};
