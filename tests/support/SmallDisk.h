#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>

// A 64 KiB tmpfs mounted over a folder while the object lives, to be filled so that writes
// fail for want of space. The harness runs every test as root in a private mount namespace.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &folder) : m_folder(folder), m_filler(folder + "/filler")
    {
        QDir().mkpath(folder);
        m_mounted =
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute("umount", {m_folder});
    }
    Q_DISABLE_COPY(SmallDisk)

    bool mounted() const { return m_mounted; }

    // Takes every free block but the given number of bytes.
    bool fill(qint64 leaveFree = 0)
    {
        QFile filler(m_filler);
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        while (filler.write(QByteArray(4096, 'x')) > 0) {
        }
        return filler.resize(qMax<qint64>(0, filler.size() - leaveFree));
    }
    void release() { QFile::remove(m_filler); }

private:
    const QString m_folder, m_filler;
    bool m_mounted = false;
};
