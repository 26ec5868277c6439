#include "app/dictation/recording_file.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A real folder (not a link) of this user that nobody else may enter. fixMode: a folder
// of ours with a looser mode is made private.
bool isPrivateDirectory(const QByteArray& path, bool fixMode)
{
    struct stat st { };
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 077) == 0)
        return true;
    return fixMode && ::chmod(path.constData(), 0700) == 0;
}

} // namespace

QString RecordingFile::directory()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateDirectory(runtime, false))
        return QFile::decodeName(runtime);
    const QString ours = QDir::tempPath() + QStringLiteral("/parlix-%1").arg(::getuid());
    const QByteArray encoded = QFile::encodeName(ours);
    ::mkdir(encoded.constData(), 0700);
    if (isPrivateDirectory(encoded, true))
        return ours;
    // Someone else holds that name: a fresh folder of our own, for the rest of this run.
    static const QString fresh = [] {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/parlix-XXXXXX"));
        return ::mkdtemp(pattern.data()) ? QFile::decodeName(pattern) : QString();
    }();
    return fresh;
}

QString RecordingFile::path()
{
    return directory() + QStringLiteral("/voice_input.wav");
}

bool RecordingFile::write(const QByteArray& wav)
{
    const QByteArray name = QFile::encodeName(path());
    ::unlink(name.constData());
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const char* data = wav.constData();
    qsizetype left = wav.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data += n;
        left -= n;
    }
    const bool written = ::close(fd) == 0 && left == 0;
    if (!written)
        ::unlink(name.constData()); // a full disk: no half recording left behind
    return written;
}
