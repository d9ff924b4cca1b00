#pragma once

#include <QString>

// Trims the "whitespaces" class at both ends: tab and the Unicode space separators (space,
// no-break space, ...). Line breaks and everything else stay. User-typed text is stored
// untrimmed and trimmed this way only where it is used.
QString trimmedHorizontalBlanks(const QString &text);
