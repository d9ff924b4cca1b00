#include "TabSupport.h"

#include "settings/SettingsStore.h"
#include "ui/settings/ElidingLabel.h"
#include "ui/settings/HistoryView.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/SettingsForm.h"
#include "ui/settings/SettingsUIState.h"
#include "ui/settings/SettingsWindowController.h"
#include "ui/settings/SummaryCard.h"

#include <QClipboard>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QToolTip>

using Kind = LogEvent::Kind;
using SettingsForm::contrastRatio;

namespace {

const QString longMountPoint =
    QStringLiteral("/run/user/1000/gvfs/smb-share:server=mediaserver.example.lan,share=media,"
                   "user=someone-with-a-long-name");

QPalette lightPalette()
{
    return QApplication::style()->standardPalette();
}

// A dark scheme whose highlight is close to its buttons (2.7:1), as some themes have it.
QPalette darkPalette()
{
    QPalette dark(QColor(0x3a, 0x3a, 0x3a), QColor(0x2d, 0x2d, 0x2d));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

// The colour at the leading edge of a segment, clear of its text.
QColor segmentFill(const QImage &picture, const QRect &segment)
{
    const qreal scale = picture.devicePixelRatio();
    return picture.pixelColor(int((segment.left() + 5) * scale), int(segment.center().y() * scale));
}

// The visible controls of a tab that are cut by an ancestor, or that overlap one another.
QStringList placementProblems(QWidget *tab, QWidget *window)
{
    QStringList problems;
    QList<QPair<QWidget *, QRect>> placed;
    for (QWidget *w : tab->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || !isControl(w))
            continue;
        const QRect rect(w->mapTo(window, QPoint(0, 0)), w->size());
        QRect visible = window->rect();
        for (QWidget *up = w->parentWidget(); up != window; up = up->parentWidget())
            visible &= QRect(up->mapTo(window, QPoint(0, 0)), up->size());
        const QString what = w->metaObject()->className() + QStringLiteral(" ") + w->objectName();
        if (!visible.contains(rect))
            problems << QStringLiteral("cut off: ") + what;
        for (const auto &[other, otherRect] : placed)
            if (rect.intersects(otherRect) && !w->isAncestorOf(other) && !other->isAncestorOf(w))
                problems << QStringLiteral("overlaps: ") + what;
        placed.append({w, rect});
    }
    for (QScrollArea *scroll : tab->findChildren<QScrollArea *>())
        if (scroll->verticalScrollBar()->maximum() > 0)
            problems << QStringLiteral("scrolls: ") + scroll->objectName();
    return problems;
}

} // namespace

// The whole settings window on a watchdog with fake ports, as a user sees it.
class SettingsLookTest : public QObject
{
    Q_OBJECT

    struct World : TabWorld
    {
        SettingsUIState ui;
        std::unique_ptr<SettingsWindowController> controller; // gone before the watchdog
    };
    std::unique_ptr<World> w;
    QWidget *window = nullptr;
    QTabWidget *tabs = nullptr;

    void open(SettingsTab tab)
    {
        w->controller = std::make_unique<SettingsWindowController>(
            SettingsContext{w->settings, w->log, w->dog, w->login, w->ui});
        w->controller->show(tab);
        window = w->controller->window();
        tabs = window->findChild<QTabWidget *>();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    template <typename T = QWidget> T *child(const char *name)
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    void mountAt(const QString &path)
    {
        w->fake.mounted = path;
        w->dog.checkNow("timer");
        QTRY_VERIFY(!w->dog.isChecking());
    }

private Q_SLOTS:
    void initTestCase()
    {
        useFixedEnvironment();
        qInfo("screenshots in %s", qPrintable(artifactsDir()));
    }
    void init() { w = std::make_unique<World>(); }
    void cleanup()
    {
        w.reset();
        QApplication::setPalette(lightPalette());
    }

    void fit_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("dark");
        const char *names[] = {"general", "plex", "volume", "history"};
        for (int tab = 0; tab < 4; ++tab)
            for (qreal points : {9.0, 10.0, 11.0, 13.8})
                for (bool dark : {false, true})
                    QTest::addRow("%s-%gpt-%s", names[tab], points, dark ? "dark" : "light")
                        << tab << points << dark;
    }
    // Every tab fits the window at each font size: nothing scrolls, nothing is cut off or
    // overlaps, and the selected segment stands out from the others by 3:1.
    void fit()
    {
        QFETCH(int, tab);
        QFETCH(qreal, points);
        QFETCH(bool, dark);
        const QFont original = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(original); });
        QFont font = original;
        font.setPointSizeF(points);
        QApplication::setFont(font);
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
        recordAt(w->log, Kind::plexDown, 26, "Plex stopped running");
        recordAt(w->log, Kind::volumeMountFailed, 3, "The server refused the password.");
        mountAt(longMountPoint);
        open(SettingsTab(tab));
        QVERIFY(window->width() >= 560 && window->height() >= 470);
        QCOMPARE(window->minimumSize(), window->maximumSize());

        QWidget *page = tabs->currentWidget();
        const QStringList problems =
            layoutProblems(page, window, QString::fromLatin1(QTest::currentDataTag())) +
            placementProblems(page, window);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

        for (auto *picker : page->findChildren<SegmentedControl *>()) {
            const QImage picture = picker->grab().toImage();
            const int selected = picker->currentIndex();
            const QColor fill = segmentFill(picture, picker->segment(selected)->geometry());
            for (int i = 0; i < picker->count(); ++i) {
                if (i == selected)
                    continue;
                const QColor other = segmentFill(picture, picker->segment(i)->geometry());
                QVERIFY2(contrastRatio(fill, other) >= 3.0,
                         qPrintable(QStringLiteral("%1 vs %2").arg(fill.name(), other.name())));
            }
        }
    }

    // A live switch from light to dark: captions, card titles and symbols take the new colours.
    void paletteSwitchRepaints()
    {
        recordAt(w->log, Kind::plexDown, 2);
        w->settings.setPlexAppPath("/nonexistent/plex");
        open(SettingsTab::history);
        QApplication::setPalette(darkPalette());
        QApplication::processEvents();
        window->grab().save(artifactsDir() + "/history-switched-dark.png");
        const QColor back = darkPalette().color(QPalette::Window);
        for (QLabel *label : window->findChildren<QLabel *>()) {
            const QColor text = label->palette().color(QPalette::WindowText);
            if (label->text().isEmpty() || text == SettingsForm::red())
                continue;
            QVERIFY2(contrastRatio(text, back) >= 3.0,
                     qPrintable(label->objectName() + ": " + label->text()));
        }
        // The card's symbol was drawn again in the dark scheme's secondary colour.
        const QImage symbol =
            child<SummaryCard>("crashesCard")->findChild<QLabel *>()->pixmap().toImage();
        const QColor expected = SettingsForm::secondaryColor(darkPalette());
        int opaque = 0;
        for (int x = 0; x < symbol.width(); ++x)
            for (int y = 0; y < symbol.height(); ++y)
                if (const QColor c = symbol.pixelColor(x, y); c.alpha() == 255) {
                    ++opaque;
                    QVERIFY(qAbs(c.lightness() - expected.lightness()) < 8);
                }
        QVERIFY(opaque > 0);
    }

    // The value rows read their values; a long path is cut in the middle, whole for AT and
    // in the tooltip, and leaves the window's width alone.
    void valueRows()
    {
        mountAt("/mnt/media");
        open(SettingsTab::volume);
        const int width = window->width();
        mountAt(longMountPoint);
        w->dog.checkNow("timer");
        QTRY_VERIFY(!w->dog.isChecking());
        for (auto [name, label, shown] : {std::tuple{"mountPoint", "Mount point", longMountPoint},
                                          {"plexStatus", "Plex Media Server", "Running"}}) {
            auto *value = child<QLabel>(name);
            QCOMPARE(value->text(), shown);
            QAccessibleInterface *read = QAccessible::queryAccessibleInterface(value);
            QCOMPARE(read->text(QAccessible::Name), shown);
            const auto labelledBy = read->relations(QAccessible::Label);
            QStringList labels; // the group box's title comes with them
            for (const auto &[other, relation] : labelledBy)
                if (auto *buddyLabel = qobject_cast<QLabel *>(other->object()))
                    labels << other->text(QAccessible::Name) +
                                  (buddyLabel->buddy() == value ? "" : " (no buddy)");
            QCOMPARE(labels, QStringList{label});
        }
        auto *path = child<ElidingLabel>("mountPoint");
        QCOMPARE(window->width(), width);
        QVERIFY(path->shownText().contains(QChar(0x2026)));
        QVERIFY(path->shownText().startsWith("/run/") && path->shownText().endsWith("-name"));
        QCOMPARE(QAccessible::queryAccessibleInterface(path)->text(QAccessible::Description),
                 longMountPoint);
        QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), path->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(path, &hover);
        QTRY_COMPARE(QToolTip::text(), longMountPoint);
    }

    // Every button and labelled control of a tab has a key of its own, the tabs' keys
    // included; the keys reach their controls.
    void accessKeys()
    {
        open(SettingsTab::volume);
        QSet<QString> tabKeys;
        for (int i = 0; i < tabs->count(); ++i)
            tabKeys << QKeySequence::mnemonic(tabs->tabText(i)).toString();
        QCOMPARE(tabKeys.size(), tabs->count());
        for (int i = 0; i < tabs->count(); ++i) {
            QSet<QString> keys = tabKeys;
            QStringList texts;
            for (auto *button : tabs->widget(i)->findChildren<QAbstractButton *>())
                texts << button->text();
            for (auto *label : tabs->widget(i)->findChildren<QLabel *>())
                if (label->buddy())
                    texts << label->text();
            for (const QString &text : texts) {
                const QString key = QKeySequence::mnemonic(text).toString();
                QVERIFY2(!text.isEmpty() && !key.isEmpty() && !keys.contains(key),
                         qPrintable(text));
                keys << key;
            }
        }
        const auto keyOf = [](const QString &text) {
            return QKeySequence::mnemonic(text)[0].key();
        };
        auto *server = child<QLineEdit>("hostField");
        QLabel *serverLabel = nullptr;
        for (auto *label : window->findChildren<QLabel *>())
            serverLabel = label->buddy() == server ? label : serverLabel;
        QVERIFY(serverLabel);
        QTest::keyClick(window, keyOf(serverLabel->text()), Qt::AltModifier);
        QVERIFY(server->hasFocus());
        QTest::keyClick(window, keyOf(tabs->tabText(3)), Qt::AltModifier);
        QCOMPARE(w->ui.tab(), SettingsTab::history);
    }

    // Ctrl+R checks at once; Escape and Ctrl+W close the window.
    void windowShortcuts()
    {
        open(SettingsTab::general);
        QSignalSpy checking(&w->dog, &Watchdog::isCheckingChanged);
        QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(checking.count() >= 1);
        for (QKeyCombination keys :
             {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
            w->controller->show(SettingsTab::volume);
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keyClick(child<QLineEdit>("shareField"), keys.key(), keys.keyboardModifiers());
            QVERIFY(!window->isVisible());
        }
    }

    void pastedAddress_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("stored"); // protocol|host|share
        QTest::addColumn<bool>("noted");
        QTest::newRow("smb, password") << "smb://user:pw@nas/media"
                                       << "smb|nas|media" << true;
        QTest::newRow("afp, encoded") << "afp://nas/Time%20Machine/x"
                                      << "afp|nas|Time Machine" << true;
        QTest::newRow("user, no share") << " AFP://pw@10.0.0.2 "
                                        << "afp|10.0.0.2|box" << true;
        QTest::newRow("plain host") << "nas.lan"
                                    << "smb|nas.lan|box" << false;
        QTest::newRow("not a URL") << "smb-pw.local"
                                   << "smb|smb-pw.local|box" << false;
    }
    // A pasted share URL is split; no user name or password in it is stored anywhere.
    void pastedAddress()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, stored);
        QFETCH(bool, noted);
        w->settings.setShareName("box");
        open(SettingsTab::volume);
        auto *field = child<QLineEdit>("hostField");
        field->setFocus();
        field->selectAll();
        QApplication::clipboard()->setText(pasted);
        QTest::keySequence(field, QKeySequence::Paste);
        const QString host = w->settings.serverHost();
        QCOMPARE(QStringList({rawValue(w->settings.shareProtocol()), host, w->settings.shareName()})
                     .join('|'),
                 stored);
        QCOMPARE(field->text(), host);
        QCOMPARE(child("addressNote")->isVisible(), noted);
        const auto store = SettingsStore::open();
        for (const QString &key : store->allKeys())
            QVERIFY2(!store->value(key).toString().contains("pw") || host.contains("pw"),
                     qPrintable(key));
    }

    // Typed a character at a time, the URL is held back until editing ends.
    void typedAddress()
    {
        open(SettingsTab::volume);
        QSignalSpy hosts(&w->settings, &AppSettings::serverHostChanged);
        auto *field = child<QLineEdit>("hostField");
        field->selectAll();
        QTest::keyClicks(field, "smb://bob:pw@nas/films");
        w->settings.setWatchVolume(false); // a refresh meanwhile keeps the typing
        QCOMPARE(field->text(), "smb://bob:pw@nas/films");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(w->settings.shareName(), "films");
        QCOMPARE(w->settings.username(), QString());
        for (const QList<QVariant> &stored : hosts)
            QVERIFY(!stored.first().toString().contains("bob"));
        QCOMPARE(w->settings.serverHost(), "nas");
    }

    // Something that just happened reads in the past, and showing the tab again updates it.
    void historyCaptionJustNow()
    {
        recordAt(w->log, Kind::plexDown, 0);
        recordAt(w->log, Kind::volumeDown, 0.0001);
        QWidget *view = w->show(new HistoryView(w->log, w->settings));
        const auto caption = [&](const char *card) {
            return view->findChild<SummaryCard *>(card)->caption();
        };
        QCOMPARE(caption("crashesCard"), "Last 0 sec. ago");
        QCOMPARE(caption("dropsCard"), "Last 0 sec. ago");
        currentNow += std::chrono::hours(2);
        w->window->hide();
        w->window->show();
        QCOMPARE(caption("crashesCard"), "Last 2 hr. ago");
    }
};

QTEST_MAIN(SettingsLookTest)
#include "SettingsLookTest.moc"
