// The single-instance lock and socket against other users, other runtime folders and over-long
// socket paths. This program also plays the other process, as this user or (setpriv) another.

#include "app/SingleInstance.h"

#include <QLocalSocket>
#include <QtTest>

#include <array>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t otherUser = 65534;

// --child claim|ask <lock folder> <socket folder>: prints the role or the answer to "check-now".
int runChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    if (QByteArray(argv[2]) == "ask") { // a bare client of an abstract name, believing anyone
        QLocalSocket socket;
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(instance.socketName());
        (void)(socket.waitForConnected(2000) && socket.write("check-now\n") &&
               socket.waitForReadyRead(2000));
        std::printf("%s", socket.canReadLine() ? socket.readLine().constData() : "none\n");
        return 0;
    }
    const auto role = instance.claim(SingleInstance::Request::reopen, 2000);
    std::printf("%s\n", std::array{"primary", "handedOver", "failed"}[int(role)]);
    std::fflush(stdout);
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return role == SingleInstance::Role::primary ? app.exec() : 0;
}

// The first line of a child, as another user when asked; this process answers it meanwhile.
QByteArray child(QProcess &process, const QStringList &arguments, bool asOtherUser = false)
{
    process.start("setpriv",
                  (asOtherUser ? QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"}
                               : QStringList()) +
                      QStringList{QCoreApplication::applicationFilePath(), "--child"} + arguments);
    (void)QTest::qWaitFor(
        [&] { return process.canReadLine() || process.state() == QProcess::NotRunning; }, 10000);
    const QByteArray line = process.readLine().trimmed();
    if (line != "primary")
        process.waitForFinished(5000);
    return line;
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
        folder("open", 0755, 0);
        folder("other", 0700, otherUser);
        for (const char *runtime : {"own", "open", "other", "link", ""}) {
            qputenv("XDG_RUNTIME_DIR", *runtime ? path(runtime).toLocal8Bit() : "");
            const QString chosen = SingleInstance::runtimeDirectory();
            QVERIFY2((chosen == path(runtime)) == (runtime == QLatin1String("own")), runtime);
            const QFileInfo info(chosen);
            QVERIFY2(info.isAbsolute() && !info.isSymLink() && info.ownerId() == ::geteuid() &&
                         !(info.permissions() & 0x77),
                     qPrintable(chosen));
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
    if (argc == 5 && QByteArray(argv[1]) == "--child")
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SingleInstanceTest.moc"
