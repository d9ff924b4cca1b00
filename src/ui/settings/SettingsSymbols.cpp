#include "ui/settings/SettingsSymbols.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QStyle>

namespace {

struct SymbolSource
{
    const char *themeName;
    QStyle::StandardPixmap fallback;
};

const QHash<QString, SymbolSource> &symbolTable()
{
    static const QHash<QString, SymbolSource> table = {
        {QStringLiteral("checkmark.circle"), {"emblem-ok-symbolic", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("checkmark.circle.fill"),
         {"emblem-ok-symbolic", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("xmark.circle.fill"),
         {"dialog-error-symbolic", QStyle::SP_MessageBoxCritical}},
        {QStringLiteral("xmark.octagon.fill"),
         {"dialog-error-symbolic", QStyle::SP_MessageBoxCritical}},
        {QStringLiteral("exclamationmark.triangle.fill"),
         {"dialog-warning-symbolic", QStyle::SP_MessageBoxWarning}},
        {QStringLiteral("questionmark.circle"),
         {"dialog-question-symbolic", QStyle::SP_MessageBoxQuestion}},
        {QStringLiteral("minus.circle"), {"list-remove-symbolic", QStyle::SP_DialogNoButton}},
        {QStringLiteral("externaldrive.badge.xmark"),
         {"network-server-symbolic", QStyle::SP_DriveNetIcon}},
        {QStringLiteral("externaldrive.connected.to.line.below"),
         {"network-server-symbolic", QStyle::SP_DriveNetIcon}},
        {QStringLiteral("power"), {"system-shutdown-symbolic", QStyle::SP_TitleBarCloseButton}},
        {QStringLiteral("sun.max"), {"weather-clear-symbolic", QStyle::SP_MessageBoxInformation}},
        {QStringLiteral("info.circle"),
         {"dialog-information-symbolic", QStyle::SP_MessageBoxInformation}},
        {QStringLiteral("arrow.clockwise"), {"view-refresh-symbolic", QStyle::SP_BrowserReload}},
        {QStringLiteral("arrow.clockwise.circle.fill"),
         {"view-refresh-symbolic", QStyle::SP_BrowserReload}},
        {QStringLiteral("play.slash"), {"media-playback-stop-symbolic", QStyle::SP_MediaStop}},
        {QStringLiteral("checkmark.seal"),
         {"emblem-default-symbolic", QStyle::SP_DialogApplyButton}},
        {QStringLiteral("gearshape"),
         {"preferences-system-symbolic", QStyle::SP_FileDialogDetailedView}},
        {QStringLiteral("chart.bar.doc.horizontal"),
         {"x-office-spreadsheet-symbolic", QStyle::SP_FileDialogContentsView}},
    };
    return table;
}

} // namespace

QIcon settingsSymbolIcon(const QString &symbolName)
{
    const auto it = symbolTable().constFind(symbolName);
    if (it == symbolTable().constEnd())
        return {};
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(it->themeName));
    if (!themed.isNull())
        return themed;
    return QApplication::style()->standardIcon(it->fallback);
}

QPixmap tintedSymbol(const QString &symbolName, const QColor &color, int size,
                     qreal devicePixelRatio)
{
    QPixmap pixmap = settingsSymbolIcon(symbolName).pixmap(QSize(size, size), devicePixelRatio);
    if (pixmap.isNull())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}
