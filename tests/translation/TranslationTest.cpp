// The program under a German locale: the tray menu, the settings window, history titles and
// counted texts come out in German, and the German .ts file leaves nothing untranslated.

#include "app/CompositionRoot.h"
#include "app/Translations.h"
#include "history/LogEvent.h"
#include "ui/menubar/StatusMenuModel.h"
#include "ui/settings/SettingsRootView.h"

#include <QDomDocument>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList menuTitles()
{
    const StatusMenuModel::Inputs inputs{.volumeConfigured = true,
                                         .shareName = QStringLiteral("media"),
                                         .plexRunning = false,
                                         .volumeMounted = false,
                                         .volumeMountPoint = {},
                                         .lastCheck = {},
                                         .plexOutages = 1,
                                         .volumeOutages = 2};
    QStringList titles;
    for (const StatusMenuModel::Row &row : StatusMenuModel::rows(inputs))
        titles << row.title; // empty for a separator
    return titles;
}

// The %1 and %n a text fills in.
QStringList placeholders(const QString &text)
{
    QStringList found;
    for (const QRegularExpressionMatch &match : QRegularExpression("%(\\d+|n)").globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

    QStringList m_englishMenu;

private Q_SLOTS:
    void initTestCase()
    {
        m_englishMenu = menuTitles();
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        QVERIFY(installTranslations(QLocale(), {QStringLiteral(VIGILMOUNT_QM_DIR)}));
    }

    // Every menu row is translated, the share name and the counts filled in.
    void menuHistoryAndCountsSpeakGerman()
    {
        const QStringList german = menuTitles();
        for (qsizetype row = 0; row < german.size(); ++row)
            QVERIFY2(german[row].isEmpty() || german[row] != m_englishMenu.value(row),
                     qPrintable(german[row]));
        QVERIFY2(german.contains(QStringLiteral("media einhängen")) &&
                     german.contains(QStringLiteral("Letzte 7 Tage: 1 Plex, 2 Volume")),
                 qPrintable(german.join('|')));
        QCOMPARE(LogEvent::title(LogEvent::Kind::volumeMountFailed),
                 QStringLiteral("Einhängen des Volumes fehlgeschlagen"));
        QCOMPARE(QCoreApplication::translate("HistoryView", "%n repair(s) failed", nullptr, 1),
                 QStringLiteral("1 Reparatur fehlgeschlagen"));
        QCOMPARE(QCoreApplication::translate("HistoryView", "%n repair(s) failed", nullptr, 3),
                 QStringLiteral("3 Reparaturen fehlgeschlagen"));
    }

    void windowSpeaksGermanAndShowsTheAppIcon()
    {
        CompositionRoot root(CompositionRoot::Mode::desktop);
        root.windowController()->show(SettingsTab::general);
        const QWidget *window = root.windowController()->window();
        QVERIFY(!window->windowIcon().pixmap(32).isNull());
        QCOMPARE(SettingsRootView::label(SettingsTab::general), QStringLiteral("Allgemein"));
        QStringList texts; // of the labels and buttons, as shown (without access-key marks)
        for (const QWidget *widget : window->findChildren<QWidget *>())
            texts << widget->property("text").toString().remove(QLatin1Char('&'));
        for (const char *expected :
             {"Prüfen alle", "Noch nicht geprüft", "Jede Prüfung protokollieren"})
            QVERIFY2(texts.contains(QString::fromUtf8(expected)), qPrintable(texts.join('|')));
    }

    // Every message has its German text in every plural form, with the source's placeholders.
    void germanTranslationIsComplete()
    {
        QFile file(QStringLiteral(VIGILMOUNT_TS_FILE));
        QDomDocument ts;
        QVERIFY(file.open(QIODevice::ReadOnly) && ts.setContent(&file));
        const QDomNodeList messages = ts.elementsByTagName("message");
        QVERIFY(messages.size() > 100);
        QStringList gaps;
        for (int i = 0; i < messages.size(); ++i) {
            const QString source = messages.at(i).firstChildElement("source").text();
            const QDomElement translation = messages.at(i).firstChildElement("translation");
            QStringList forms;
            for (QDomElement form = translation.firstChildElement("numerusform"); !form.isNull();
                 form = form.nextSiblingElement("numerusform"))
                forms << form.text();
            for (const QString &form : forms.isEmpty() ? QStringList{translation.text()} : forms)
                if (translation.hasAttribute("type") || form.isEmpty() ||
                    placeholders(form) != placeholders(source))
                    gaps << source;
        }
        QVERIFY2(gaps.isEmpty(), qPrintable(gaps.join('\n')));
    }
};

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
