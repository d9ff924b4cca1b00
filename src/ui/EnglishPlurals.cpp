#include "ui/EnglishPlurals.h"

#include <QCoreApplication>
#include <QPointer>

QString EnglishPlurals::translate(const char *, const char *sourceText, const char *, int n) const
{
    static const QString marker = QStringLiteral("(s)");
    const QString text = QString::fromUtf8(sourceText);
    if (n < 0 || !text.contains(marker))
        return {};
    // QCoreApplication::translate replaces %n afterwards.
    return QString(text).replace(marker, n == 1 ? QString() : QStringLiteral("s"));
}

void EnglishPlurals::install()
{
    static QPointer<EnglishPlurals> installed;
    if (installed || !QCoreApplication::instance())
        return;
    installed = new EnglishPlurals(QCoreApplication::instance());
    QCoreApplication::installTranslator(installed);
}

// Runs as the application object is built, before any translation for the user's language is
// installed (which must come later to take precedence).
namespace {
void installEnglishPlurals()
{
    EnglishPlurals::install();
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(installEnglishPlurals)
