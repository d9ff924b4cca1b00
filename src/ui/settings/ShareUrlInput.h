#pragma once

#include "settings/ShareUrl.h"

#include <QObject>

class QLineEdit;

// Watches the server address field for smb:// and afp:// URLs. Plain text is passed on as
// the host as it is typed. A URL is held back until it is complete: pasted or dropped in one
// piece, or when editing ends. Then it is passed on split into its parts, so that no user
// name or password in it ever reaches the settings.
class ShareUrlInput : public QObject
{
    Q_OBJECT

public:
    explicit ShareUrlInput(QLineEdit *field);

    // The field holds a URL that was not passed on yet; its text is not the stored host.
    bool isHolding() const { return m_holding; }

Q_SIGNALS:
    void hostEdited(const QString &host);
    void urlEntered(const ShareUrl &url);
    // Editing ended on a URL without a server.
    void incompleteUrl();

private:
    void edited(const QString &text);
    void finished();

    QLineEdit *m_field;
    QString m_shown;
    QString m_before;
    bool m_holding = false;
};
