#include "platform/LaunchEnvironment.h"

extern char **environ;

namespace {

bool isSecretName(const QByteArray &name)
{
    const QByteArray upper = name.toUpper();
    for (const char *word : {"PASSWORD", "PASSWD", "SECRET", "TOKEN", "CREDENTIAL"}) {
        if (upper.contains(word))
            return true;
    }
    return false;
}

} // namespace

LaunchEnvironment::LaunchEnvironment()
{
    for (char **entry = environ; entry && *entry; ++entry) {
        const QByteArray text(*entry);
        const qsizetype equals = text.indexOf('=');
        if (equals <= 0)
            continue;
        if (isSecretName(text.left(equals)))
            m_withheldNames.append(text.left(equals));
        else
            m_entries.append(text);
    }
}
