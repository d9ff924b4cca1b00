#include "history/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now and says whether the close succeeded (it may report a deferred write error).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Opens the file for appending; a missing one is created user-only (and only then chmod-ed).
int openForAppend(const QByteArray &path)
{
    constexpr int flags = O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.constData(), O_RDWR | flags);
        if (fd < 0 && errno == EACCES) // a file we may write but not read
            fd = ::open(path.constData(), O_WRONLY | flags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | flags, 0600);
        if (fd >= 0) {
            ::fchmod(fd, 0600);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

} // namespace

namespace PrivateFile {

bool ensureOwnFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (::mkdir(native.constData(), 0700) == 0)
        ::chmod(native.constData(), 0700);
    struct stat info
    {};
    return ::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

bool isOwnRegularFile(const QString &path)
{
    struct stat info
    {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_uid == ::geteuid();
}

bool isOwnRegularFile(int fd)
{
    struct stat info
    {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

bool appendLine(const QString &path, const QByteArray &line)
{
    Descriptor file(openForAppend(QFile::encodeName(path)));
    if (file.get() < 0 || !isOwnRegularFile(file.get()))
        return false;
    struct stat info
    {};
    if (::fstat(file.get(), &info) != 0)
        return false;
    QByteArray bytes = line;
    if (info.st_size > 0) {
        char last = 0;
        if (::pread(file.get(), &last, 1, info.st_size - 1) != 1 || last != '\n')
            bytes.prepend('\n');
    }
    // One write: with O_APPEND the kernel places it at the end, whoever else appends.
    return writeAll(file.get(), bytes.constData(), bytes.size()) && file.close();
}

} // namespace PrivateFile

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC)); // created 0600
    if (file.get() < 0)
        return false;
    // Every byte must be on the disk before the rename, or a full disk replaces the file with
    // a shorter one.
    const bool written = writeAll(file.get(), bytes.constData(), bytes.size()) &&
                         ::fsync(file.get()) == 0 && file.close();
    if (written && ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    ::unlink(temporary.constData());
    return false;
}
