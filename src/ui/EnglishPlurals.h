#pragma once

#include <QTranslator>

// The English plural of texts written as "%n repair(s) failed": "(s)" becomes "s" unless the
// count is one. Installed first, so a translation for the user's language takes precedence
// and English needs no translation file of its own.
class EnglishPlurals : public QTranslator
{
    Q_OBJECT

public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText,
                      const char *disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }

    // Installs one instance on the running application (once). A program that links the
    // texts using "(s)" calls it, which also links in the hook that installs it at start-up.
    static void install();
};
