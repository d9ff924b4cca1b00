#pragma once

#include <QString>

// The protocol of the network share. The raw value doubles as the URL scheme.
enum class ShareProtocol { smb, afp };

inline QString rawValue(ShareProtocol protocol)
{
    return protocol == ShareProtocol::afp ? QStringLiteral("afp") : QStringLiteral("smb");
}

// Only the exact text "afp" is AFP; anything else (also "AFP" or "") falls back to SMB.
inline ShareProtocol shareProtocolFromRaw(const QString &raw)
{
    return raw == QLatin1String("afp") ? ShareProtocol::afp : ShareProtocol::smb;
}
