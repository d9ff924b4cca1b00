#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// An owned file descriptor, closed with its owner.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor();

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Reads below an open directory without following links (the *at() calls), into fixed buffers
// where the caller has one: the process scan reads every process of the machine per cycle.
namespace DescriptorFiles {

// Opens a directory by path; -1 when it cannot be opened.
int openDirectory(const QString &path);
// Opens a directory below another, not through a link; -1 when it cannot be opened.
int openDirectoryAt(int at, const char *path);
// Reads up to size bytes of a file below a directory; the length read, or -1.
ssize_t readAt(int at, const char *path, char *buffer, size_t size);
// Up to 64 KiB of a file below a directory; empty when it cannot be read.
QByteArray readAllAt(int at, const char *path);

} // namespace DescriptorFiles
