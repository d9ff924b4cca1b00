#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

class AppSettings;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SegmentedControl;
class ShareUrlInput;
struct ShareUrl;
class Spinner;
class QVBoxLayout;
class Watchdog;

// The Volume tab: the network share's protocol, server, share name and credentials (the
// password only in the keyring, a failed save shown in red), where it is mounted, and
// "Mount Now", which runs one check cycle and shows its summary.
class VolumeSettingsView : public QWidget
{
    Q_OBJECT

public:
    // The example host of the server placeholder, also shown in the file-manager path while
    // the server address is empty.
    static inline const QString exampleHost = QStringLiteral("mediaserver");

    VolumeSettingsView(AppSettings &settings, Watchdog &watchdog, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildWatchingSection(QVBoxLayout *form);
    void buildServerSection(QVBoxLayout *form);
    void buildCredentialsSection(QVBoxLayout *form);
    void buildStatusSection(QVBoxLayout *form);
    void connectControls();
    void loadPassword();
    void passwordEdited(const QString &password);
    // Queues the edited password for the current account; the answer shows in the red line.
    void storePassword();
    // Starts the next queued keyring write once the previous one has answered.
    void writeNextPassword();
    void usernameChanged(const QString &username);
    // A URL typed or pasted as the server address, split into the settings it names.
    void applyShareUrl(const ShareUrl &url);
    void mountNow();
    void refresh();

    AppSettings &m_settings;
    Watchdog &m_watchdog;

    // The password being edited; it lives only here and in the keyring.
    QString m_password;
    // Keyring writes run one at a time, oldest account first; a later password for the same
    // account replaces a queued one, so the latest write wins.
    struct PasswordWrite
    {
        QString account;
        QString password;
    };
    QList<PasswordWrite> m_queuedWrites;
    bool m_writing = false;
    // Counts edits, so that a read answered after typing doesn't overwrite the field.
    int m_edits = 0;
    std::optional<QString> m_testResult;
    bool m_testing = false;
    QString m_lastUsername;

    QCheckBox *m_watchToggle;
    QCheckBox *m_repairToggle;
    SegmentedControl *m_protocol;
    QLineEdit *m_hostField;
    ShareUrlInput *m_hostInput;
    QLabel *m_addressNote;
    QLineEdit *m_shareField;
    QLabel *m_fileManagerPath;
    QLineEdit *m_userField;
    QLineEdit *m_passwordField;
    QLabel *m_keyringError;
    QLabel *m_mountPoint;
    QPushButton *m_mountNow;
    Spinner *m_spinner;
    QLabel *m_result;
};
