#include "platform/FileDescriptor.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace DescriptorFiles {

int openDirectory(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int openDirectoryAt(int at, const char *path)
{
    return ::openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
}

ssize_t readAt(int at, const char *path, char *buffer, size_t size)
{
    const FileDescriptor file(::openat(at, path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid())
        return -1;
    size_t total = 0;
    while (total < size) {
        const ssize_t got = ::read(file.get(), buffer + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += size_t(got);
    }
    return ssize_t(total);
}

QByteArray readAllAt(int at, const char *path)
{
    QByteArray content;
    const FileDescriptor file(::openat(at, path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.valid())
        return content;
    char chunk[4096];
    while (content.size() < 64 * 1024) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        content.append(chunk, got);
    }
    return content;
}

} // namespace DescriptorFiles
