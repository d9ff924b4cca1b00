#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// Icons for the symbol names the settings tabs use, from the desktop's icon theme.
QIcon settingsSymbolIcon(const QString &symbolName);

// The symbol drawn in one colour (symbolic icons are monochrome shapes).
QPixmap tintedSymbol(const QString &symbolName, const QColor &color, int size,
                     qreal devicePixelRatio = 1.0);
