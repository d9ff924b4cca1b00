#include "ui/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTest>

namespace {

// Renders an icon and tells whether anything was drawn.
bool drawsSomething(const QIcon &icon)
{
    const QImage image = icon.pixmap(QSize(22, 22)).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

QColor averageOpaqueColour(const QIcon &icon)
{
    const QImage image =
        icon.pixmap(QSize(44, 44)).toImage().convertToFormat(QImage::Format_ARGB32);
    qint64 r = 0, g = 0, b = 0, n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) < 250)
                continue;
            r += qRed(pixel);
            g += qGreen(pixel);
            b += qBlue(pixel);
            ++n;
        }
    }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

} // namespace

class SymbolsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySymbolDrawsWithoutATheme()
    {
        const QStringList symbols = {"checkmark.circle",
                                     "checkmark.circle.fill",
                                     "xmark.circle.fill",
                                     "xmark.octagon.fill",
                                     "exclamationmark.triangle.fill",
                                     "questionmark.circle",
                                     "minus.circle",
                                     "externaldrive.fill.badge.checkmark",
                                     "externaldrive.badge.xmark",
                                     "externaldrive.connected.to.line.below",
                                     "clock",
                                     "chart.bar",
                                     "chart.bar.doc.horizontal",
                                     "gearshape",
                                     "power",
                                     "sun.max",
                                     "info.circle",
                                     "arrow.clockwise",
                                     "arrow.clockwise.circle.fill",
                                     "play.slash",
                                     "checkmark.seal"};
        const QColor green(0x2e, 0xa0, 0x43);
        for (const QString &symbol : symbols) {
            const QStringList names = Symbols::freedesktopNames(symbol);
            QVERIFY2(!names.isEmpty() && names.first().endsWith("-symbolic"), qPrintable(symbol));
            QVERIFY2(QFile::exists(QStringLiteral(":/icons/%1.svg").arg(names.first())),
                     qPrintable(symbol));
            // No icon theme here: what shows is the bundled drawing.
            QVERIFY2(drawsSomething(symbolIcon(symbol)), qPrintable(symbol));
            const QColor tinted = averageOpaqueColour(tintedSymbolIcon(symbol, green, 22));
            // Antialiased edges blend a little: within a few levels of the tint.
            QVERIFY2(qAbs(tinted.red() - green.red()) < 8 &&
                         qAbs(tinted.green() - green.green()) < 8 &&
                         qAbs(tinted.blue() - green.blue()) < 8,
                     qPrintable(symbol + ' ' + tinted.name()));
        }
    }

    void unknownSymbolGivesNoImage()
    {
        QVERIFY(symbolIcon(QStringLiteral("no.such.symbol")).isNull());
        QVERIFY(tintedSymbolIcon(QStringLiteral("no.such.symbol"), Qt::red).isNull());
        QVERIFY(Symbols::freedesktopNames(QString()).isEmpty());
    }

    void trayGlyphsReadOnBothPanels()
    {
        for (const bool attention : {false, true}) {
            const QColor onDark = averageOpaqueColour(Symbols::trayIcon(attention, true));
            const QColor onLight = averageOpaqueColour(Symbols::trayIcon(attention, false));
            QVERIFY2(onDark.lightnessF() > 0.5, "light glyph for a dark panel");
            QVERIFY2(onLight.lightnessF() < 0.5, "dark glyph for a light panel");
        }
        QVERIFY(drawsSomething(symbolIcon(QStringLiteral("play.tv"))));
        QVERIFY(Symbols::isDark(QColor(0x20, 0x20, 0x20)));
        QVERIFY(!Symbols::isDark(QColor(0xf0, 0xf0, 0xf0)));
    }
};

QTEST_MAIN(SymbolsTest)
#include "SymbolsTest.moc"
