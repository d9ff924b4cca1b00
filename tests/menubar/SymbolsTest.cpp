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
    void everySymbolHasABundledFallback_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("freedesktopName");
        QTest::newRow("checkmark.circle") << "checkmark.circle"
                                          << "emblem-ok-symbolic";
        QTest::newRow("checkmark.circle.fill") << "checkmark.circle.fill"
                                               << "emblem-ok-symbolic";
        QTest::newRow("xmark.circle.fill") << "xmark.circle.fill"
                                           << "dialog-error-symbolic";
        QTest::newRow("xmark.octagon.fill") << "xmark.octagon.fill"
                                            << "dialog-error-symbolic";
        QTest::newRow("exclamationmark.triangle.fill") << "exclamationmark.triangle.fill"
                                                       << "dialog-warning-symbolic";
        QTest::newRow("questionmark.circle") << "questionmark.circle"
                                             << "dialog-question-symbolic";
        QTest::newRow("minus.circle") << "minus.circle"
                                      << "list-remove-symbolic";
        QTest::newRow("externaldrive.fill.badge.checkmark") << "externaldrive.fill.badge.checkmark"
                                                            << "network-server-symbolic";
        QTest::newRow("externaldrive.badge.xmark") << "externaldrive.badge.xmark"
                                                   << "network-server-symbolic";
        QTest::newRow("externaldrive.connected.to.line.below")
            << "externaldrive.connected.to.line.below"
            << "network-server-symbolic";
        QTest::newRow("clock") << "clock"
                               << "appointment-soon-symbolic";
        QTest::newRow("chart.bar") << "chart.bar"
                                   << "x-office-spreadsheet-symbolic";
        QTest::newRow("chart.bar.doc.horizontal") << "chart.bar.doc.horizontal"
                                                  << "x-office-spreadsheet-symbolic";
        QTest::newRow("gearshape") << "gearshape"
                                   << "preferences-system-symbolic";
        QTest::newRow("power") << "power"
                               << "system-shutdown-symbolic";
        QTest::newRow("sun.max") << "sun.max"
                                 << "weather-clear-symbolic";
        QTest::newRow("info.circle") << "info.circle"
                                     << "dialog-information-symbolic";
        QTest::newRow("arrow.clockwise") << "arrow.clockwise"
                                         << "view-refresh-symbolic";
        QTest::newRow("arrow.clockwise.circle.fill") << "arrow.clockwise.circle.fill"
                                                     << "view-refresh-symbolic";
        QTest::newRow("play.slash") << "play.slash"
                                    << "media-playback-stop-symbolic";
        QTest::newRow("checkmark.seal") << "checkmark.seal"
                                        << "emblem-default-symbolic";
    }
    void everySymbolHasABundledFallback()
    {
        QFETCH(QString, symbol);
        QFETCH(QString, freedesktopName);
        QCOMPARE(Symbols::freedesktopNames(symbol).value(0), freedesktopName);
        for (const QString &name : Symbols::freedesktopNames(symbol)) {
            const QString bundled = QStringLiteral(":/icons/%1.svg").arg(name);
            QVERIFY2(QFile::exists(bundled), qPrintable(bundled));
        }
        // No icon theme here: what shows is the bundled drawing.
        const QIcon icon = symbolIcon(symbol);
        QVERIFY(!icon.isNull());
        QVERIFY(drawsSomething(icon));
        const QColor green(0x2e, 0xa0, 0x43);
        const QColor tinted = averageOpaqueColour(tintedSymbolIcon(symbol, green, 22));
        // Antialiased edges blend a little: within a few levels of the tint.
        QVERIFY2(qAbs(tinted.red() - green.red()) < 8 && qAbs(tinted.green() - green.green()) < 8 &&
                     qAbs(tinted.blue() - green.blue()) < 8,
                 qPrintable(tinted.name()));
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
