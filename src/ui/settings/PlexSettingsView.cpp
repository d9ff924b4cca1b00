#include "ui/settings/PlexSettingsView.h"

#include "monitor/Watchdog.h"
#include "settings/AppSettings.h"
#include "ui/Symbols.h"
#include "ui/settings/SettingsForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

using namespace SettingsForm;

namespace {

// Lets through folders (to move around in) and the files that can start the media server:
// executables and desktop entries.
class LaunchableFilesFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        auto *files = qobject_cast<QFileSystemModel *>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable() || info.suffix() == QLatin1String("desktop");
    }
};

// The folder the file dialog of "Choose…" opens in.
QString chooserStartDirectory()
{
    const QString packaged = QStringLiteral("/usr/lib/plexmediaserver");
    return QFileInfo(packaged).isDir() ? packaged : QStringLiteral("/usr/lib");
}

} // namespace

PlexSettingsView::PlexSettingsView(AppSettings &settings, Watchdog &watchdog, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_watchdog(watchdog)
{
    QVBoxLayout *form = makeScrollingForm(this);
    buildWatchingSection(form);
    buildApplicationSection(form);
    buildStatusSection(form);
    connectControls();
    refresh();
}

void PlexSettingsView::buildWatchingSection(QVBoxLayout *form)
{
    QVBoxLayout *watching = addSection(form);
    m_watchToggle = new QCheckBox(tr("Keep Plex Media Server running"));
    m_watchToggle->setObjectName(QStringLiteral("watchPlexToggle"));
    watching->addWidget(m_watchToggle);
    m_restartHungToggle = new QCheckBox(tr("Restart Plex Media Server when it stops answering"));
    m_restartHungToggle->setObjectName(QStringLiteral("restartHungPlexToggle"));
    m_restartHungToggle->setAccessibleName(m_restartHungToggle->text());
    watching->addWidget(m_restartHungToggle);
}

// The path field with "Choose…", whether the path exists, and the reset button.
void PlexSettingsView::buildApplicationSection(QVBoxLayout *form)
{
    QVBoxLayout *application = addSection(form, tr("Application"));
    QHBoxLayout *pathRow = addRow(application);
    m_pathField = new QLineEdit;
    m_pathField->setObjectName(QStringLiteral("pathField"));
    m_pathField->setPlaceholderText(tr("Path to Plex Media Server"));
    m_pathField->setAccessibleName(tr("Path to Plex Media Server"));
    pathRow->addWidget(m_pathField, 1);
    m_choose = new QPushButton(tr("Choose…"));
    m_choose->setObjectName(QStringLiteral("chooseButton"));
    pathRow->addWidget(m_choose);

    QHBoxLayout *foundRow = addRow(application, rowSpacing(this));
    m_foundIcon = new QLabel;
    m_foundIcon->setObjectName(QStringLiteral("foundIcon"));
    m_foundIcon->setFixedSize(16, 16);
    foundRow->addWidget(m_foundIcon, 0, Qt::AlignTop);
    // Caption-sized, in the plain text colour: it reports on the path above.
    m_foundText = new QLabel;
    m_foundText->setObjectName(QStringLiteral("foundText"));
    m_foundText->setWordWrap(true);
    m_foundText->setFont(captionFont(m_foundText->font()));
    foundRow->addWidget(m_foundText, 1);

    m_reset = new QPushButton(tr("Reset to default location"));
    m_reset->setObjectName(QStringLiteral("resetButton"));
    QHBoxLayout *resetRow = addRow(application);
    resetRow->addWidget(m_reset);
    resetRow->addStretch(1);
}

void PlexSettingsView::buildStatusSection(QVBoxLayout *form)
{
    QVBoxLayout *status = addSection(form, tr("Status"));
    m_status = addValueRow(status, tr("Plex Media Server"));
    m_status->setObjectName(QStringLiteral("plexStatus"));
    m_startNow = new QPushButton(tr("Start Plex Now"));
    m_startNow->setObjectName(QStringLiteral("startPlexButton"));
    QHBoxLayout *startRow = addRow(status);
    startRow->addWidget(m_startNow);
    startRow->addStretch(1);
}

void PlexSettingsView::connectControls()
{
    connect(m_watchToggle, &QCheckBox::clicked, &m_settings, &AppSettings::setWatchPlex);
    connect(m_restartHungToggle, &QCheckBox::clicked, &m_settings,
            &AppSettings::setRestartUnresponsivePlex);
    connect(m_pathField, &QLineEdit::textEdited, &m_settings, &AppSettings::setPlexAppPath);
    connect(m_choose, &QPushButton::clicked, this, &PlexSettingsView::chooseApplication);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        m_settings.setPlexAppPath(AppSettings::Keys::plexAppPath.registeredDefault);
    });
    connect(m_startNow, &QPushButton::clicked, this, [this] { m_watchdog.launchPlexNow(); });

    connect(&m_settings, &AppSettings::changed, this, &PlexSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::plexRunningChanged, this, &PlexSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::plexNotAnsweringChanged, this, &PlexSettingsView::refresh);
}

void PlexSettingsView::chooseApplication()
{
    // Qt's own dialog: it is the one that can narrow the listing to executables.
    QFileDialog dialog(window(), tr("Choose Plex Media Server"), chooserStartDirectory());
    dialog.setObjectName(QStringLiteral("chooseApplicationDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setProxyModel(new LaunchableFilesFilter(&dialog));
    dialog.setLabelText(QFileDialog::Accept, tr("Choose"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return;
    m_settings.setPlexAppPath(chosen.first());
}

void PlexSettingsView::refresh()
{
    m_watchToggle->setChecked(m_settings.watchPlex());
    m_restartHungToggle->setChecked(m_settings.restartUnresponsivePlex());
    const QString path = m_settings.plexAppPath();
    if (m_pathField->text() != path)
        m_pathField->setText(path);

    // The path exactly as stored: a trailing blank makes it a different path.
    const bool found = !path.isEmpty() && QFileInfo::exists(path);
    const int side = m_foundIcon->width();
    if (found) {
        m_foundIcon->setPixmap(
            tintedSymbolIcon(QStringLiteral("checkmark.circle.fill"), green(), side)
                .pixmap(QSize(side, side), devicePixelRatioF()));
        m_foundText->setText(tr("Found"));
    } else {
        m_foundIcon->setPixmap(
            tintedSymbolIcon(QStringLiteral("exclamationmark.triangle.fill"), orange(), side)
                .pixmap(QSize(side, side), devicePixelRatioF()));
        m_foundText->setText(tr("Not found at this path — Vigilmount will fall back to asking "
                                "the system where Plex is installed."));
    }
    m_foundIcon->setAccessibleName(found ? tr("Found") : tr("Not found"));

    const std::optional<bool> running = m_watchdog.plexRunning();
    m_status->setText(m_watchdog.plexNotAnswering() ? tr("Not answering")
                      : !running                    ? tr("Unknown")
                      : *running                    ? tr("Running")
                                                    : tr("Not running"));
}

void PlexSettingsView::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void PlexSettingsView::changeEvent(QEvent *event)
{
    // The path may have appeared or gone while the window was in the background.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
    QWidget::changeEvent(event);
}
