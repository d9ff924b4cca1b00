#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString resources = QStringLiteral(VIGILMOUNT_SOURCE_DIR "/src/resources/");

// Runs a validator that must be installed; a missing one fails the test.
void validate(const QString &tool, const QStringList &arguments)
{
    const QString path = QStandardPaths::findExecutable(tool);
    QVERIFY2(!path.isEmpty(), qPrintable(tool + " is not installed"));
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, arguments);
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(process.exitCode() == 0, process.readAll().constData());
}

} // namespace

class DesktopFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void desktopEntryIsValid()
    {
        validate("desktop-file-validate", {resources + "vigilmount.desktop"});
        QSettings entry(resources + "vigilmount.desktop", QSettings::IniFormat);
        entry.beginGroup("Desktop Entry");
        QCOMPARE(entry.value("Exec").toString(), QStringLiteral("vigilmount"));
        QCOMPARE(entry.value("Icon").toString(), QStringLiteral("vigilmount"));
        QCOMPARE(entry.value("Name").toString(), QStringLiteral("Vigilmount"));
        QVERIFY(QFile::exists(resources + "vigilmount.svg"));
    }

    void appStreamMetadataIsValid()
    {
        const QString file = resources + "org.vigilmount.Vigilmount.metainfo.xml";
        validate("appstreamcli", {"validate", "--no-net", file});
        QFile xml(file);
        QVERIFY(xml.open(QIODevice::ReadOnly));
        QVERIFY(xml.readAll().contains(
            "<launchable type=\"desktop-id\">vigilmount.desktop</launchable>"));
    }
};

QTEST_GUILESS_MAIN(DesktopFilesTest)
#include "DesktopFilesTest.moc"
