// Writing Parlix.conf so that a failed write never costs a stored setting.
#include "settings/settings.h"
#include "support/standard_output.h"

#include <QFile>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// QSettings writes one key=value line per key, each ending in a newline: a file cut off by
// a full disk lacks lines, or the newline of its last one.
bool holdsEveryKey(const QString& path, qsizetype keys)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys == 0;
    const QByteArray text = file.readAll();
    if (!text.isEmpty() && !text.endsWith('\n'))
        return false;
    qsizetype lines = 0;
    for (const QByteArray& line : text.split('\n'))
        lines += !line.startsWith('[') && !line.startsWith(';') && line.contains('=');
    return lines == keys;
}

// A fresh store on the same file holding every value as this session sees it: QSettings'
// error status never clears, and after a cut-off write it believes the file holds what it
// wrote. The next write then carries every lost change.
void startAfresh(std::unique_ptr<QSettings>& settings)
{
    QVariantMap values;
    for (const QString& key : settings->allKeys())
        values.insert(key, settings->value(key));
    const QString path = settings->fileName();
    settings.reset();
    settings = std::make_unique<QSettings>(path, QSettings::NativeFormat);
    for (const QString& key : settings->allKeys()) {
        if (!values.contains(key))
            settings->remove(key);
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings->setValue(it.key(), it.value());
}

} // namespace

// QSettings writes through a temporary file, but renames it over the stored one even when
// writing it failed (a full disk: EFBIG or ENOSPC) and still reports success. So the stored
// file is kept under a second name while it writes, and put back when the new one is not
// whole.
void Settings::save()
{
    if (m_defaults->status() != QSettings::NoError)
        startAfresh(m_defaults); // a failure before, even in reading
    const QString path = m_defaults->fileName();
    const QByteArray file = QFile::encodeName(path);
    const QByteArray kept = file + ".kept";
    ::unlink(kept.constData());
    const bool keeping = ::link(file.constData(), kept.constData()) == 0;
    m_defaults->sync();
    const bool ok
        = m_defaults->status() == QSettings::NoError && holdsEveryKey(path, m_defaults->allKeys().size());
    if (keeping && !ok)
        ::rename(kept.constData(), file.constData());
    else if (keeping)
        ::unlink(kept.constData());
    // It may hold the translation service's API key: the person's alone. Later writes keep
    // the mode (the file that replaces it is given the old one's).
    constexpr QFile::Permissions ownerOnly
        = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    if (ok && QFile::permissions(path) != ownerOnly)
        QFile::setPermissions(path, ownerOnly);

    if (!ok) {
        if (m_saveOK) // said once, and again after a success
            printLine(QStringLiteral("保存设置失败: 无法写入 ") + path);
        startAfresh(m_defaults);
    }
    m_saveOK = ok;
}
