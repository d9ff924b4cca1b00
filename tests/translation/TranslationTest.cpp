// The program under a German locale: the tray menu, the settings window, history titles and
// counted texts come out in German, and the German .ts file leaves nothing untranslated.

#include "app/CompositionRoot.h"
#include "app/Translations.h"
#include "history/LogEvent.h"
#include "ui/menubar/StatusMenuModel.h"
#include "ui/settings/SettingsRootView.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QXmlStreamReader>

namespace {

QStringList menuLabels(const StatusMenuModel::Inputs &inputs)
{
    QStringList labels;
    for (const StatusMenuModel::Row &row : StatusMenuModel::rows(inputs, QLocale()))
        labels << row.title;
    return labels;
}

QStringList visibleTexts(const QWidget &window)
{
    QStringList texts;
    for (const QLabel *label : window.findChildren<QLabel *>())
        texts << label->text();
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>())
        texts << button->text();
    return texts;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        QVERIFY(installTranslations(QLocale(), {QStringLiteral(VIGILMOUNT_QM_DIR)}));
    }

    void menuSpeaksGerman()
    {
        StatusMenuModel::Inputs inputs;
        inputs.plexRunning = false;
        inputs.volumeConfigured = true;
        inputs.shareName = QStringLiteral("media");
        inputs.volumeMounted = false;
        inputs.plexOutages = 1;
        inputs.volumeOutages = 2;
        const QStringList labels = menuLabels(inputs);
        for (const char *expected :
             {"Plex: läuft nicht", "Volume: getrennt", "Noch keine Prüfung", "Jetzt prüfen",
              "Plex Media Server starten", "media einhängen", "Letzte 7 Tage: 1 Plex, 2 Volume",
              "Verlauf …", "Einstellungen …", "Vigilmount beenden"})
            QVERIFY2(labels.contains(QString::fromUtf8(expected)), qPrintable(labels.join('|')));
    }

    void historyTitlesAndCountsSpeakGerman()
    {
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
        const QStringList texts = visibleTexts(*window);
        for (const char *expected :
             {"Prüfen alle", "Noch nicht geprüft", "Jede Prüfung protokollieren"})
            QVERIFY2(texts.contains(QString::fromUtf8(expected)), qPrintable(texts.join('|')));
    }

    // Every message has its German text: none unfinished, none empty, no plural form missing.
    void germanTranslationIsComplete()
    {
        QFile file(QStringLiteral(VIGILMOUNT_TS_FILE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader ts(&file);
        int messages = 0;
        QStringList gaps;
        QString source;
        while (!ts.atEnd()) {
            if (ts.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (ts.name() == QLatin1String("source"))
                source = ts.readElementText();
            if (ts.name() != QLatin1String("translation"))
                continue;
            ++messages;
            const bool unfinished = !ts.attributes().value(QLatin1String("type")).isEmpty();
            // A plural has one form per count class; a plain message has the text directly.
            QStringList forms;
            QString text;
            while (ts.readNext() != QXmlStreamReader::EndElement ||
                   ts.name() != QLatin1String("translation")) {
                if (ts.isCharacters())
                    text += ts.text();
                else if (ts.isStartElement())
                    forms << ts.readElementText();
            }
            if (forms.isEmpty())
                forms << text;
            if (unfinished || forms.contains(QString()))
                gaps << source;
        }
        QVERIFY2(!ts.hasError(), qPrintable(ts.errorString()));
        QVERIFY(messages > 100);
        QVERIFY2(gaps.isEmpty(), qPrintable(gaps.join('\n')));
    }
};

QTEST_MAIN(TranslationTest)
#include "TranslationTest.moc"
