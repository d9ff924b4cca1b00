#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

// A 64 KiB tmpfs mounted over a folder while the object lives, to be filled so that writes
// fail for want of space. The harness runs every test as root in a private mount namespace.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &folder) : m_folder(folder)
    {
        QDir().mkpath(folder);
        m_mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=64k"), QStringLiteral("tmpfs"), folder}) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_folder});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }

    // Takes every free block but the given number of bytes.
    bool fill(qint64 leaveFree = 0)
    {
        QFile filler(fillerPath());
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'x');
        while (filler.write(block) > 0) {
        }
        return filler.resize(qMax<qint64>(0, filler.size() - leaveFree));
    }

    void release() { QFile::remove(fillerPath()); }

private:
    QString fillerPath() const { return m_folder + QStringLiteral("/filler"); }

    QString m_folder;
    bool m_mounted = false;
};
