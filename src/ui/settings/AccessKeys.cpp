#include "ui/settings/AccessKeys.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

namespace AccessKeys {

namespace {

// The key a text marks with a single '&', if any ("&&" is a literal ampersand).
std::optional<QChar> markedKey(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i;
    }
    return std::nullopt;
}

// Where the key goes: word starts first, then any letter or digit.
std::optional<qsizetype> freePosition(const QString &text, const QSet<QChar> &taken)
{
    const auto usable = [&](qsizetype i) {
        return text[i].isLetterOrNumber() && !taken.contains(text[i].toLower());
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
        if (wordStart && usable(i))
            return i;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (usable(i))
            return i;
    }
    return std::nullopt;
}

} // namespace

QString withAccessKey(const QString &text, QSet<QChar> &taken)
{
    if (const std::optional<QChar> marked = markedKey(text)) {
        taken.insert(*marked);
        return text;
    }
    QString plain = text;
    plain.replace(QLatin1String("&&"), QString(QChar::Null));
    const std::optional<qsizetype> at = freePosition(plain, taken);
    if (!at)
        return text;
    taken.insert(plain[*at].toLower());
    plain.insert(*at, QLatin1Char('&'));
    plain.replace(QChar::Null, QLatin1String("&&"));
    return plain;
}

QSet<QChar> assign(QWidget *root, QSet<QChar> taken)
{
    // Keys set by hand are kept, so they are taken before any is chosen.
    QList<QAbstractButton *> buttons;
    QList<QLabel *> labels;
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->text().isEmpty())
            continue;
        buttons << button;
        if (const auto key = markedKey(button->text()))
            taken.insert(*key);
    }
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->buddy() || label->text().isEmpty())
            continue;
        labels << label;
        if (const auto key = markedKey(label->text()))
            taken.insert(*key);
    }
    for (QLabel *label : labels)
        label->setText(withAccessKey(label->text(), taken));
    for (QAbstractButton *button : buttons)
        button->setText(withAccessKey(button->text(), taken));
    return taken;
}

} // namespace AccessKeys
