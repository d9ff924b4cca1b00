#pragma once

#include <QString>

// The reverse-DNS application id: the name of the desktop entry, the AppStream component and
// the icon, and what notifications and the window system are told the program is.
inline const QString applicationId = QStringLiteral("org.vigilmount.Vigilmount");
