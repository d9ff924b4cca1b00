#pragma once

#include <QWidget>

class AppSettings;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class Watchdog;

// The Plex tab: whether the media server is watched, where it is installed (typed, chosen or
// reset), whether that path exists, and the server's status with a button to start it.
class PlexSettingsView : public QWidget
{
    Q_OBJECT

public:
    PlexSettingsView(AppSettings &settings, Watchdog &watchdog, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildWatchingSection(QVBoxLayout *form);
    void buildApplicationSection(QVBoxLayout *form);
    void buildStatusSection(QVBoxLayout *form);
    void connectControls();
    void chooseApplication();
    void refresh();

    AppSettings &m_settings;
    Watchdog &m_watchdog;

    QCheckBox *m_watchToggle;
    QCheckBox *m_restartHungToggle;
    QLineEdit *m_pathField;
    QPushButton *m_choose;
    QLabel *m_foundIcon;
    QLabel *m_foundText;
    QPushButton *m_reset;
    QLabel *m_status;
    QPushButton *m_startNow;
};
