#pragma once

#include <QLocale>
#include <QStringList>

// The folders searched by default, in order.
QStringList translationFolders();

// Loads Vigilmount's translation (and Qt's own) for the locale onto the running application.
// Vigilmount's .qm files are looked for next to an installed binary
// (<prefix>/share/vigilmount/translations), in the build tree, then in the configured install
// folder. Returns whether a Vigilmount translation was found; English needs none.
bool installTranslations(const QLocale &locale = QLocale(),
                         const QStringList &folders = translationFolders());
