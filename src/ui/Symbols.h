#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

// Icons by symbol name ("checkmark.circle.fill", "gearshape", ...). Each symbol maps to a
// freedesktop icon name taken from the current icon theme; every one also ships as a bundled
// SVG, so the program looks complete without any theme.
namespace Symbols {

// The freedesktop icon names tried for a symbol, in order; empty for an unknown symbol.
QStringList freedesktopNames(const QString &symbolName);

// The bundled tray glyphs: the Vigilmount mark or the warning triangle, in the variant that
// reads on a panel of the given brightness.
QIcon trayIcon(bool attention, bool darkPanel);

// Whether a background of this colour counts as dark (light glyphs are drawn on it).
bool isDark(const QColor &background);

} // namespace Symbols

// The icon for a symbol name: the theme's icon when it has one, else the bundled fallback.
// An unknown symbol gives a null icon (the caller then shows no image).
QIcon symbolIcon(const QString &symbolName);

// The same icon recoloured (for the green, orange and red status marks).
QIcon tintedSymbolIcon(const QString &symbolName, const QColor &color, int size = 16);
