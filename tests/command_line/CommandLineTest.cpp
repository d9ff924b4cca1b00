// "vigilmount --status", "--check-now" and "--help-all" as a user types them, against the real
// program in a private home.

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

class Sandbox
{
public:
    Sandbox()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        for (const QString variable :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            const QString dir = m_root.filePath(variable);
            QDir().mkpath(dir);
            QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            m_env.insert(variable, dir);
        }
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        // Every check is recorded, so a manual one shows in the history.
        QSettings(m_env.value("XDG_CONFIG_HOME") + "/Vigilmount/Vigilmount.conf",
                  QSettings::IniFormat)
            .setValue("verboseLogging", true);
    }
    ~Sandbox()
    {
        if (m_instance) {
            m_instance->terminate();
            m_instance->waitForFinished(10000);
        }
    }
    // Runs the program to its end: exit status, standard output, standard error.
    std::tuple<int, QString, QString> run(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(VIGILMOUNT_BINARY, arguments);
        if (!process.waitForFinished(15000))
            return {-1, {}, {}};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }
    bool startInstance()
    {
        m_instance = std::make_unique<QProcess>();
        m_instance->setProcessEnvironment(m_env);
        m_instance->start(VIGILMOUNT_BINARY, {"--headless"});
        return historyHas("checkStarted: startup");
    }
    bool historyHas(const QString &line) const
    {
        return QTest::qWaitFor([&] { return history().contains(line); }, 15000);
    }

private:
    QStringList history() const
    {
        QStringList lines;
        QFile file(m_env.value("XDG_DATA_HOME") + "/Vigilmount/events.jsonl");
        if (file.open(QIODevice::ReadOnly))
            while (!file.atEnd()) {
                const QJsonObject record = QJsonDocument::fromJson(file.readLine()).object();
                lines << record.value("kind").toString() + ": " + record.value("detail").toString();
            }
        return lines;
    }

    QTemporaryDir m_root;
    QProcessEnvironment m_env;
    std::unique_ptr<QProcess> m_instance;
};

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusWithoutAnInstance()
    {
        const auto [status, out, err] = Sandbox().run({"--status"});
        QCOMPARE(status, 3);
        QCOMPARE(err, "vigilmount: Vigilmount is not running.\n");
        QVERIFY(out.isEmpty());
    }

    void requestsToARunningInstance()
    {
        Sandbox box;
        QVERIFY(box.startInstance());

        const auto [status, out, err] = box.run({"--status"});
        QCOMPARE(status, 0);
        QVERIFY2(out.endsWith('\n') && out.count('\n') == 1, qPrintable(out));
        QJsonParseError error;
        const QJsonObject state = QJsonDocument::fromJson(out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(state.keys(), (QStringList{"isChecking", "lastCheck", "lastMessage", "plexRunning",
                                            "volumeMountPoint", "volumeMounted"}));
        QVERIFY(state["isChecking"].isBool() && state["lastMessage"].isString());
        QVERIFY(state["volumeMounted"].isNull() || state["volumeMounted"].isBool());
        QVERIFY(state["lastCheck"].isNull() ||
                QDateTime::fromString(state["lastCheck"].toString(), Qt::ISODate).timeSpec() ==
                    Qt::UTC);

        QCOMPARE(std::get<0>(box.run({"--check-now"})), 0);
        QVERIFY(box.historyHas("checkStarted: manual"));
    }

    void helpAllListsQtOptions()
    {
        const auto [status, out, err] = Sandbox().run({"--help-all"});
        QCOMPARE(status, 0);
        QVERIFY2(out.contains("-platform") && out.contains("--status"), qPrintable(out));
        QVERIFY(!std::get<1>(Sandbox().run({"--help"})).contains("-platform"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
