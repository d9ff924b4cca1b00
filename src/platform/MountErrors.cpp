#include "platform/MountErrors.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstring>

namespace MountErrors {

namespace {

// The errno value whose system text ends a GIO message ("Failed to mount Windows share: No
// such file or directory" gives ENOENT), or 0. The longest matching text wins.
int errnoFromMessage(const char *message)
{
    const size_t length = message ? std::strlen(message) : 0;
    int best = 0;
    size_t bestLength = 0;
    for (int code = 1; code < 134; ++code) {
        const char *text = g_strerror(code);
        const size_t textLength = std::strlen(text);
        if (textLength == 0 || textLength > length || textLength <= bestLength)
            continue;
        const char *tail = message + (length - textLength);
        if (std::strcmp(tail, text) != 0)
            continue;
        if (tail != message && tail[-1] != ' ')
            continue;
        best = code;
        bestLength = textLength;
    }
    return best;
}

int errnoForIoErrorCode(int code, const char *message)
{
    switch (code) {
    case G_IO_ERROR_FAILED_HANDLED:
    case G_IO_ERROR_PERMISSION_DENIED:
        return EACCES;
    case G_IO_ERROR_ALREADY_MOUNTED:
        return EEXIST;
    case G_IO_ERROR_TIMED_OUT:
        return ETIMEDOUT;
    case G_IO_ERROR_HOST_NOT_FOUND:
    case G_IO_ERROR_HOST_UNREACHABLE:
        return EHOSTUNREACH;
    case G_IO_ERROR_NETWORK_UNREACHABLE:
        return ENETUNREACH;
    case G_IO_ERROR_CONNECTION_REFUSED:
        return ECONNREFUSED;
    case G_IO_ERROR_NOT_FOUND:
        return ENOENT;
    case G_IO_ERROR_FAILED:
        if (const int fromMessage = errnoFromMessage(message))
            return fromMessage;
        return EIO;
    default:
        return EIO;
    }
}

} // namespace

QString messageForCode(int code)
{
    switch (code) {
    case EPERM:
    case EACCES:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("Outcome", "The server rejected the user name or password."));
    case ENOENT:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("Outcome", "The share doesn't exist on that server."));
    case EBUSY:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("Outcome", "The volume is busy."));
    case EEXIST:
        return QStringLiteral("That volume is already mounted.");
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("Outcome", "The server couldn't be reached on the network."));
    case ETIMEDOUT:
        return QString::fromUtf8(
            QT_TRANSLATE_NOOP("Outcome", "The server didn't respond in time."));
    case ECANCELED:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("Outcome", "The mount was cancelled."));
    default:
        return QString::fromUtf8(QT_TRANSLATE_NOOP("Outcome", "The share couldn't be mounted."));
    }
}

QString sentenceForCode(int code)
{
    return messageForCode(code) + QStringLiteral(" (code ") + QString::number(code) +
           QLatin1Char(')');
}

int errnoForGioError(const GError *error, bool credentialsRefused, bool boundReached)
{
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED)
        return boundReached ? ETIMEDOUT : ECANCELED;
    if (credentialsRefused)
        return EACCES;
    if (error->domain != G_IO_ERROR)
        return EIO;
    return errnoForIoErrorCode(error->code, error->message);
}

} // namespace MountErrors
