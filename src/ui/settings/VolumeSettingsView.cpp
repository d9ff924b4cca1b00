#include "ui/settings/VolumeSettingsView.h"

#include "monitor/Watchdog.h"
#include "platform/Keychain.h"
#include "settings/AppSettings.h"
#include "ui/settings/SegmentedControl.h"
#include "ui/settings/SettingsForm.h"
#include "ui/settings/ShareUrlInput.h"
#include "ui/settings/Spinner.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SettingsForm;

namespace {

// One check cycle tagged "manual mount", then its summary into the view's result line. The
// view may be gone by the time the cycle ends; the watchdog outlives every view.
QCoro::Task<> runMountCheck(QPointer<VolumeSettingsView> view, Watchdog *watchdog,
                            std::function<void(const QString &)> finish)
{
    co_await watchdog->checkNow(QStringLiteral("manual mount"));
    if (view)
        finish(watchdog->lastMessage());
}

} // namespace

VolumeSettingsView::VolumeSettingsView(AppSettings &settings, Watchdog &watchdog, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_watchdog(watchdog),
      m_lastUsername(settings.username())
{
    QVBoxLayout *form = makeScrollingForm(this);
    buildWatchingSection(form);
    buildServerSection(form);
    buildCredentialsSection(form);
    buildStatusSection(form);
    connectControls();
    refresh();
}

void VolumeSettingsView::buildWatchingSection(QVBoxLayout *form)
{
    QVBoxLayout *watching = addSection(form);
    m_watchToggle = new QCheckBox(tr("Keep the Plex network volume mounted"));
    m_watchToggle->setObjectName(QStringLiteral("watchVolumeToggle"));
    watching->addWidget(m_watchToggle);
    m_repairToggle = new QCheckBox(tr("Reconnect the volume when it stops responding"));
    m_repairToggle->setObjectName(QStringLiteral("repairVolumeToggle"));
    m_repairToggle->setAccessibleName(m_repairToggle->text());
    watching->addWidget(m_repairToggle);
}

void VolumeSettingsView::buildServerSection(QVBoxLayout *form)
{
    QVBoxLayout *server = addSection(form, tr("Server"));
    QFormLayout *serverFields = addFields(server);
    m_protocol = new SegmentedControl({QStringLiteral("SMB"), QStringLiteral("AFP")});
    m_protocol->setObjectName(QStringLiteral("protocolPicker"));
    m_protocol->setAccessibleName(tr("Protocol"));
    m_protocol->setFixedWidth(qMax(180, m_protocol->sizeHint().width()));
    serverFields->addRow(tr("Protocol"), m_protocol);
    m_hostField = addField(serverFields, tr("Server address"),
                           tr("%1.local or 192.168.1.20").arg(exampleHost));
    m_hostField->setObjectName(QStringLiteral("hostField"));
    m_hostInput = new ShareUrlInput(m_hostField);
    m_shareField = addField(serverFields, tr("Share name"), QStringLiteral("Plex"));
    m_shareField->setObjectName(QStringLiteral("shareField"));
    m_addressNote = makeCaption();
    m_addressNote->setObjectName(QStringLiteral("addressNote"));
    m_addressNote->hide();
    server->addWidget(m_addressNote);
    m_fileManagerPath = makeCaption();
    m_fileManagerPath->setObjectName(QStringLiteral("fileManagerPath"));
    server->addWidget(m_fileManagerPath);
}

void VolumeSettingsView::buildCredentialsSection(QVBoxLayout *form)
{
    QVBoxLayout *credentials = addSection(form, tr("Credentials"));
    QFormLayout *credentialFields = addFields(credentials);
    m_userField = addField(credentialFields, tr("User name"));
    m_userField->setObjectName(QStringLiteral("userField"));
    m_passwordField = addField(credentialFields, tr("Password"));
    m_passwordField->setObjectName(QStringLiteral("passwordField"));
    m_passwordField->setEchoMode(QLineEdit::Password);
    credentials->addWidget(makeCaption(
        tr("The password is stored in your login keyring, never in the app's preferences. "
           "Leave both blank to use a guest connection or a password the system has already "
           "saved.")));
    m_keyringError = makeErrorLine(QStringLiteral("keyringError"));
    credentials->addWidget(m_keyringError);
}

void VolumeSettingsView::buildStatusSection(QVBoxLayout *form)
{
    QVBoxLayout *status = addSection(form, tr("Status"));
    m_mountPoint = addValueRow(status, tr("Mount point"));
    m_mountPoint->setObjectName(QStringLiteral("mountPoint"));
    QHBoxLayout *mountRow = addRow(status);
    m_mountNow = new QPushButton(tr("Mount Now"));
    m_mountNow->setObjectName(QStringLiteral("mountNowButton"));
    mountRow->addWidget(m_mountNow);
    m_spinner = new Spinner;
    m_spinner->setObjectName(QStringLiteral("mountSpinner"));
    m_spinner->setAccessibleName(tr("Mounting"));
    mountRow->addWidget(m_spinner);
    mountRow->addStretch(1);
    m_result = makeCaption();
    m_result->setObjectName(QStringLiteral("mountResult"));
    status->addWidget(m_result);
}

void VolumeSettingsView::connectControls()
{
    connect(m_watchToggle, &QCheckBox::clicked, &m_settings, &AppSettings::setWatchVolume);
    connect(m_repairToggle, &QCheckBox::clicked, &m_settings,
            &AppSettings::setRepairUnresponsiveVolume);
    connect(m_protocol, &SegmentedControl::activated, this, [this](int index) {
        m_settings.setShareProtocol(index == 1 ? ShareProtocol::afp : ShareProtocol::smb);
    });
    connect(m_hostInput, &ShareUrlInput::hostEdited, this, [this](const QString &host) {
        m_addressNote->hide();
        m_settings.setServerHost(host);
    });
    connect(m_hostInput, &ShareUrlInput::urlEntered, this, &VolumeSettingsView::applyShareUrl);
    connect(m_hostInput, &ShareUrlInput::incompleteUrl, this, [this] {
        m_addressNote->setText(tr("Not saved: a share address reads smb://server/share or "
                                  "afp://server/share."));
        m_addressNote->show();
    });
    connect(m_shareField, &QLineEdit::textEdited, &m_settings, &AppSettings::setShareName);
    connect(m_userField, &QLineEdit::textEdited, &m_settings, &AppSettings::setUsername);
    connect(m_passwordField, &QLineEdit::textEdited, this, &VolumeSettingsView::passwordEdited);
    connect(m_mountNow, &QPushButton::clicked, this, &VolumeSettingsView::mountNow);

    connect(&m_settings, &AppSettings::usernameChanged, this, &VolumeSettingsView::usernameChanged);
    connect(&m_settings, &AppSettings::changed, this, &VolumeSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::volumeMountedChanged, this, &VolumeSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::volumeMountPointChanged, this, &VolumeSettingsView::refresh);
    connect(&m_watchdog, &Watchdog::volumeNotRespondingChanged, this, &VolumeSettingsView::refresh);
}

void VolumeSettingsView::applyShareUrl(const ShareUrl &url)
{
    m_settings.setShareProtocol(url.protocol);
    m_settings.setServerHost(url.host);
    if (!url.share.isEmpty())
        m_settings.setShareName(url.share);
    m_addressNote->setText(
        url.hadCredentials
            ? tr("The address was split into protocol, server and share name. The user name "
                 "and password in it were not kept: enter them under Credentials.")
            : tr("The address was split into protocol, server and share name."));
    m_addressNote->show();
}

void VolumeSettingsView::showEvent(QShowEvent *event)
{
    loadPassword();
    QWidget::showEvent(event);
}

void VolumeSettingsView::loadPassword()
{
    const QString account = m_settings.keychainAccount();
    Keychain::password(account, [view = QPointer(this), account,
                                 edits = m_edits](const Keychain::PasswordOutcome &stored) {
        // Typing, a queued write or another account since the read began wins over it.
        if (!view || view->m_edits != edits || view->m_writing || !view->m_queuedWrites.isEmpty() ||
            view->m_settings.keychainAccount() != account)
            return;
        if (!stored) {
            showError(view->m_keyringError, stored.error());
            return;
        }
        showError(view->m_keyringError, std::nullopt);
        view->m_password = stored.value().value_or(QString());
        view->m_passwordField->setText(view->m_password);
    });
}

void VolumeSettingsView::passwordEdited(const QString &password)
{
    if (password == m_password)
        return;
    ++m_edits;
    m_password = password;
    storePassword();
}

void VolumeSettingsView::storePassword()
{
    const QString account = m_settings.keychainAccount();
    m_queuedWrites.removeIf([&](const PasswordWrite &queued) { return queued.account == account; });
    m_queuedWrites.append({account, m_password});
    writeNextPassword();
}

void VolumeSettingsView::writeNextPassword()
{
    if (m_writing || m_queuedWrites.isEmpty())
        return;
    m_writing = true;
    const PasswordWrite write = m_queuedWrites.takeFirst();
    // An empty password removes the item.
    Keychain::save(write.password, write.account, [view = QPointer(this)](const Status &saved) {
        if (!view)
            return;
        view->m_writing = false;
        // The red line tells how the newest write went.
        if (view->m_queuedWrites.isEmpty())
            showError(view->m_keyringError, saved ? std::nullopt : std::optional(saved.error()));
        view->writeNextPassword();
    });
}

void VolumeSettingsView::usernameChanged(const QString &username)
{
    // The store notifies on every assignment; only a different user name moves the password.
    if (username == m_lastUsername)
        return;
    m_lastUsername = username;
    storePassword();
}

void VolumeSettingsView::mountNow()
{
    m_testing = true;
    m_testResult.reset();
    refresh();
    runMountCheck(this, &m_watchdog, [this](const QString &summary) {
        m_testResult = summary;
        m_testing = false;
        refresh();
    });
}

void VolumeSettingsView::refresh()
{
    m_watchToggle->setChecked(m_settings.watchVolume());
    m_repairToggle->setChecked(m_settings.repairUnresponsiveVolume());
    m_protocol->setCurrentIndex(m_settings.shareProtocol() == ShareProtocol::afp ? 1 : 0);
    const QString host = m_settings.serverHost();
    const QString share = m_settings.shareName();
    // A URL still being typed is not the stored host yet: it stays in the field.
    if (m_hostField->text() != host && !m_hostInput->isHolding())
        m_hostField->setText(host);
    if (m_shareField->text() != share)
        m_shareField->setText(share);
    if (m_userField->text() != m_settings.username())
        m_userField->setText(m_settings.username());

    // Blank-only values are shown as they are; only an empty value takes the example.
    m_fileManagerPath->setText(
        tr("This is the name you'd click in your file manager › Network › %1 › %2.")
            .arg(host.isEmpty() ? exampleHost : host,
                 share.isEmpty() ? QStringLiteral("Plex") : share));

    // A share that stopped responding keeps its mount point; the status says what is wrong.
    if (m_watchdog.volumeNotResponding())
        m_mountPoint->setText(tr("Not responding"));
    else if (const std::optional<QString> point = m_watchdog.volumeMountPoint())
        m_mountPoint->setText(*point);
    else if (m_watchdog.volumeMounted() == false)
        m_mountPoint->setText(tr("Not mounted"));
    else
        m_mountPoint->setText(tr("Unknown"));

    m_mountNow->setEnabled(m_settings.isVolumeConfigured() && !m_testing);
    m_spinner->setVisible(m_testing);
    m_result->setText(m_testResult.value_or(QString()));
    m_result->setVisible(m_testResult.has_value());
}
