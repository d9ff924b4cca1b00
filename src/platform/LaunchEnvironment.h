#pragma once

#include <QByteArray>
#include <QList>

// The environment a started server gets: this process's own, less every variable whose name
// suggests it carries a secret (a password, token or credential never reaches the server).
class LaunchEnvironment
{
public:
    // Reads this process's environment now.
    LaunchEnvironment();

    // The "NAME=value" entries passed on, in the environment's order.
    const QList<QByteArray> &entries() const { return m_entries; }
    // The names held back.
    const QList<QByteArray> &withheldNames() const { return m_withheldNames; }

private:
    QList<QByteArray> m_entries;
    QList<QByteArray> m_withheldNames;
};
