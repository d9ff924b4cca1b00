#include "ui/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

static void initBundledResources()
{
    // The resources live in a static library: register them once before the first lookup.
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(done);
}

namespace Symbols {

namespace {

const QString vigilmountMark = QStringLiteral("vigilmount");

const QHash<QString, QStringList> &table()
{
    static const QHash<QString, QStringList> names = {
        {QStringLiteral("play.tv"), {vigilmountMark}},
        {QStringLiteral("checkmark.circle"), {QStringLiteral("emblem-ok-symbolic")}},
        {QStringLiteral("checkmark.circle.fill"), {QStringLiteral("emblem-ok-symbolic")}},
        {QStringLiteral("xmark.circle.fill"), {QStringLiteral("dialog-error-symbolic")}},
        {QStringLiteral("xmark.octagon.fill"), {QStringLiteral("dialog-error-symbolic")}},
        {QStringLiteral("exclamationmark.triangle.fill"),
         {QStringLiteral("dialog-warning-symbolic")}},
        {QStringLiteral("questionmark.circle"), {QStringLiteral("dialog-question-symbolic")}},
        {QStringLiteral("minus.circle"), {QStringLiteral("list-remove-symbolic")}},
        {QStringLiteral("externaldrive.fill.badge.checkmark"),
         {QStringLiteral("network-server-symbolic"), QStringLiteral("drive-harddisk-symbolic")}},
        {QStringLiteral("externaldrive.badge.xmark"),
         {QStringLiteral("network-server-symbolic"), QStringLiteral("drive-harddisk-symbolic")}},
        {QStringLiteral("externaldrive.connected.to.line.below"),
         {QStringLiteral("network-server-symbolic"), QStringLiteral("drive-harddisk-symbolic")}},
        {QStringLiteral("clock"), {QStringLiteral("appointment-soon-symbolic")}},
        {QStringLiteral("chart.bar"), {QStringLiteral("x-office-spreadsheet-symbolic")}},
        {QStringLiteral("chart.bar.doc.horizontal"),
         {QStringLiteral("x-office-spreadsheet-symbolic")}},
        {QStringLiteral("gearshape"), {QStringLiteral("preferences-system-symbolic")}},
        {QStringLiteral("power"), {QStringLiteral("system-shutdown-symbolic")}},
        {QStringLiteral("sun.max"), {QStringLiteral("weather-clear-symbolic")}},
        {QStringLiteral("info.circle"), {QStringLiteral("dialog-information-symbolic")}},
        {QStringLiteral("arrow.clockwise"), {QStringLiteral("view-refresh-symbolic")}},
        {QStringLiteral("arrow.clockwise.circle.fill"), {QStringLiteral("view-refresh-symbolic")}},
        {QStringLiteral("play.slash"), {QStringLiteral("media-playback-stop-symbolic")}},
        {QStringLiteral("checkmark.seal"), {QStringLiteral("emblem-default-symbolic")}},
    };
    return names;
}

bool panelIsDark()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    return isDark(QGuiApplication::palette().color(QPalette::Window));
}

} // namespace

QStringList freedesktopNames(const QString &symbolName)
{
    return table().value(symbolName);
}

bool isDark(const QColor &background)
{
    return background.isValid() && background.lightnessF() < 0.5;
}

QIcon trayIcon(bool attention, bool darkPanel)
{
    initBundledResources();
    const QString base = attention ? QStringLiteral("vigilmount-attention") : vigilmountMark;
    const QString variant = darkPanel ? QStringLiteral("-light") : QStringLiteral("-dark");
    return QIcon(QStringLiteral(":/icons/%1%2.svg").arg(base, variant));
}

} // namespace Symbols

QIcon symbolIcon(const QString &symbolName)
{
    initBundledResources();
    const QStringList names = Symbols::freedesktopNames(symbolName);
    if (names.isEmpty())
        return {};
    if (names.first() == Symbols::vigilmountMark)
        return Symbols::trayIcon(false, Symbols::panelIsDark());
    for (const QString &name : names) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(names.first()));
}

QIcon tintedSymbolIcon(const QString &symbolName, const QColor &color, int size)
{
    const QIcon source = symbolIcon(symbolName);
    if (source.isNull())
        return {};
    QIcon tinted;
    for (const int scale : {1, 2}) {
        QPixmap pixmap = source.pixmap(QSize(size, size) * scale);
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        tinted.addPixmap(pixmap);
    }
    return tinted;
}
