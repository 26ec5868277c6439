#include "app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString LOCAL_SERVER_URL()
{
    return QStringLiteral("http://127.0.0.1:%1/api/transcribe").arg(LOCAL_SERVER_PORT);
}

QString LOCAL_TRANSLATION_URL()
{
    return QStringLiteral("http://127.0.0.1:%1/translate").arg(LOCAL_SERVER_PORT);
}

QString APP_SUPPORT_PATH()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Parlix");
}

QString resourcesDirectory()
{
    // PARLIX_RESOURCES_DIR lets tests and odd installs point at another folder.
    const QString overridden = qEnvironmentVariable("PARLIX_RESOURCES_DIR");
    if (!overridden.isEmpty())
        return overridden;
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        exeDir + QStringLiteral("/Resources"),
        exeDir + QStringLiteral("/../share/parlix"),
    };
    for (const QString& dir : candidates) {
        if (QFileInfo(dir).isDir())
            return QDir::cleanPath(dir);
    }
    return {};
}

QString resourcePath(const QString& name)
{
    const QString dir = resourcesDirectory();
    if (dir.isEmpty())
        return {};
    const QString path = dir + QLatin1Char('/') + name;
    return QFileInfo::exists(path) ? path : QString();
}
