#pragma once

#include <QSet>
#include <QString>

class QWidget;

// Access keys (Alt+letter) for the settings window, chosen from the texts as they are shown,
// so that every translation gets keys of its own without marking them by hand.
namespace AccessKeys {

// The text with an access key that is not in taken (the first letter of a word when one is
// free, else any letter), the key added to taken. A text that already has a key keeps it.
// Without a free letter the text comes back unchanged.
QString withAccessKey(const QString &text, QSet<QChar> &taken);

// Gives every button with a text and every label with a buddy under root a key of its own,
// none of them in taken. Returns the keys in use under root, taken included.
QSet<QChar> assign(QWidget *root, QSet<QChar> taken = {});

} // namespace AccessKeys
