#include "app/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

QStringList translationFolders()
{
    const QDir binary(QCoreApplication::applicationDirPath());
    return {binary.filePath(QStringLiteral("../share/vigilmount/translations")),
            // The build tree: the binary in src/, the .qm files in translations/.
            binary.filePath(QStringLiteral("../translations")),
            QStringLiteral(VIGILMOUNT_TRANSLATIONS_DIR)};
}

bool installTranslations(const QLocale &locale, const QStringList &folders)
{
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;

    auto *own = new QTranslator(QCoreApplication::instance());
    for (const QString &folder : folders) {
        if (own->load(locale, QStringLiteral("vigilmount"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(own);
            return true;
        }
    }
    delete own;
    return false;
}
