#include "launch_at_login.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The Exec value of a desktop entry for one argument, in the entry's three layers: an
// argument with reserved characters goes in double quotes with ", `, $ and \ escaped by
// a backslash; % is doubled (field codes); then the value is escaped as any string value
// (\ becomes \\, line breaks \n), so a literal backslash ends up as four.
QString execValue(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    const bool needsQuotes
        = std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); });
    QString quoted;
    for (QChar c : argument) {
        if (needsQuotes
            && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\')))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    if (needsQuotes)
        quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    QString value;
    for (QChar c : quoted) {
        if (c == QLatin1Char('%'))
            value += QStringLiteral("%%");
        else if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else
            value += c;
    }
    return value;
}

QString desktopEntryTemplate()
{
    QFile file(QStringLiteral(":/parlix/parlix.desktop"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

namespace LaunchAtLogin {

QString autostartFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/parlix.desktop");
}

QString autostartEntry(const QString& exePath)
{
    QStringList lines = desktopEntryTemplate().split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=") + execValue(exePath);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    lines.append(QStringLiteral("X-GNOME-Autostart-enabled=true"));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool apply(bool enabled, QString* error)
{
    const QString path = autostartFilePath();
    if (!enabled) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *error = file.errorString();
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(autostartEntry(QCoreApplication::applicationFilePath()).toUtf8());
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace LaunchAtLogin
