#include "settings/ShareUrl.h"

#include <QUrl>

namespace {

// The protocol whose raw value is the scheme, in any case.
std::optional<ShareProtocol> protocolOf(const QString &scheme)
{
    for (const ShareProtocol protocol : {ShareProtocol::smb, ShareProtocol::afp}) {
        if (scheme.compare(rawValue(protocol), Qt::CaseInsensitive) == 0)
            return protocol;
    }
    return std::nullopt;
}

} // namespace

bool ShareUrl::looksLikeUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    return colon > 0 && protocolOf(trimmed.left(colon)).has_value();
}

std::optional<ShareUrl> ShareUrl::parse(const QString &text)
{
    const QUrl url(text.trimmed());
    const std::optional<ShareProtocol> protocol = protocolOf(url.scheme());
    if (!url.isValid() || !protocol || url.host().isEmpty())
        return std::nullopt;
    ShareUrl parts;
    parts.protocol = *protocol;
    parts.host = url.host();
    parts.share = url.path(QUrl::FullyDecoded).section(QLatin1Char('/'), 1, 1);
    parts.hadCredentials = !url.userInfo().isEmpty();
    return parts;
}
