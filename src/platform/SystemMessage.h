#pragma once

#include <QString>
#include <cstring>

// The system's own sentence for an errno value, passed on verbatim to the user.
inline QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
