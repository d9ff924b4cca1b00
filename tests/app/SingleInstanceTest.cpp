// The single-instance lock and socket against other users, other runtime folders and socket
// paths too long for an address. This program also plays the other process ("--child"), as
// this user or, through setpriv, as another one.

#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t otherUser = 65534;

// --child claim|ask <lock folder> <socket folder>: prints the role (and then serves for a
// while as primary) or the answer to "check-now".
int runChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    if (std::strcmp(argv[2], "ask") == 0) {
        const auto reply = instance.ask(SingleInstance::Request::checkNow, 2000);
        std::printf("%s\n", reply ? reply->constData() : "none");
        return 0;
    }
    const auto role = instance.claim(SingleInstance::Request::reopen, 2000);
    std::printf("%s\n", std::array{"primary", "handedOver", "failed"}[int(role)]);
    std::fflush(stdout);
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return role == SingleInstance::Role::primary ? app.exec() : 0;
}

// Starts a child, as another user when asked, and returns its first line (the event loop runs
// meanwhile, so an instance in this process can answer it).
QByteArray child(QProcess &process, const QStringList &arguments, bool asOtherUser = false)
{
    const QStringList user{"--reuid=65534", "--regid=65534", "--clear-groups"};
    process.start("setpriv", (asOtherUser ? user : QStringList()) +
                                 QStringList{QCoreApplication::applicationFilePath(), "--child"} +
                                 arguments);
    (void)QTest::qWaitFor(
        [&] { return process.canReadLine() || process.state() == QProcess::NotRunning; }, 10000);
    return process.readLine().trimmed();
}

bool isPrivateFolder(const QString &path)
{
    struct stat info = {};
    return QDir::isAbsolutePath(path) && ::lstat(qPrintable(path), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString path(const QString &name) const { return m_root.filePath(name); }
    QString folder(const QString &name, int mode, uid_t owner)
    {
        QDir().mkpath(path(name));
        ::chmod(qPrintable(path(name)), mode);
        return ::chown(qPrintable(path(name)), owner, owner) == 0 ? path(name) : QString();
    }

private Q_SLOTS:
    void initTestCase() { ::chmod(qPrintable(m_root.path()), 0711); }

    void runtimeFolderIsTheUsersOwnAndPrivate()
    {
        qputenv("TMPDIR", folder("tmp", 01777, 0).toLocal8Bit());
        QFile::link(folder("own", 0700, 0), path("link"));
        struct Row
        {
            const char *runtime;
            bool used;
        };
        for (const Row row : {Row{"own", true}, Row{"open", false}, Row{"other", false},
                              Row{"link", false}, Row{"", false}}) {
            folder("open", 0755, 0);
            folder("other", 0700, otherUser);
            qputenv("XDG_RUNTIME_DIR", *row.runtime ? path(row.runtime).toLocal8Bit() : "");
            const QString chosen = SingleInstance::runtimeDirectory();
            QVERIFY2((chosen == path(row.runtime)) == row.used, row.runtime);
            QVERIFY2(isPrivateFolder(chosen), qPrintable(chosen));
        }
        // A fallback folder someone else made first is not used either: the name is abstract.
        QDir(path("tmp")).rmdir(QStringLiteral("vigilmount-%1").arg(::geteuid()));
        folder(QStringLiteral("tmp/vigilmount-%1").arg(::geteuid()), 0700, otherUser);
        QCOMPARE(SingleInstance::runtimeDirectory(), QString());
        QVERIFY(!SingleInstance(path("data"), {}).socketName().contains('/'));
    }

    void oneInstancePerHistoryWhateverTheRuntimeFolder()
    {
        SingleInstance first(path("data"), folder("run1", 0700, 0));
        QSignalSpy requests(&first, &SingleInstance::requested);
        QCOMPARE(first.claim(), SingleInstance::Role::primary);
        QProcess sameRuntime, otherRuntime;
        QCOMPARE(child(sameRuntime, {"claim", path("data"), path("run1")}), "handedOver");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(child(otherRuntime, {"claim", path("data"), folder("run2", 0700, 0)}), "failed");
    }

    void anOverlongPathFallsBackAndOtherUsersAreNotTrusted()
    {
        const QString longFolder = path(QString(120, 'r')),
                      otherData = folder("od", 0700, otherUser);
        QProcess decoy, asker, ownAsker;
        QCOMPARE(child(decoy, {"claim", otherData, longFolder}, true), "primary");
        // This user's instance still runs; a start that finds it busy never believes the decoy.
        SingleInstance first(path("data2"), longFolder), second(path("data2"), longFolder);
        QCOMPARE(first.claim(), SingleInstance::Role::primary);
        QVERIFY(first.errorString().contains("cannot listen"));
        QCOMPARE(second.claim(SingleInstance::Request::reopen, 1000), SingleInstance::Role::failed);
        QVERIFY2(second.errorString().contains("another user"), qPrintable(second.errorString()));
        decoy.kill();
        decoy.waitForFinished();

        // Without the decoy the abstract name works, for this user only.
        SingleInstance primary(path("data3"), longFolder);
        QSignalSpy requests(&primary, &SingleInstance::requested);
        QCOMPARE(primary.claim(), SingleInstance::Role::primary);
        QCOMPARE(primary.errorString(), QString());
        QCOMPARE(child(asker, {"ask", otherData, longFolder}, true), "none");
        QCOMPARE(child(ownAsker, {"ask", path("data3"), longFolder}), "ok");
        QCOMPARE(requests.size(), 1);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SingleInstanceTest.moc"
