#include "ui/settings/ShareUrlInput.h"

#include <QLineEdit>

namespace {

// How many characters one edit put in: typing puts one, a paste or a drop more.
qsizetype insertedLength(const QString &before, const QString &after)
{
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return after.size() - prefix - suffix;
}

} // namespace

ShareUrlInput::ShareUrlInput(QLineEdit *field)
    : QObject(field), m_field(field), m_shown(field->text())
{
    // Every change, typed or set, so that an edit can be compared with the text before it.
    connect(field, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_before = std::exchange(m_shown, text); });
    connect(field, &QLineEdit::textEdited, this, &ShareUrlInput::edited);
    connect(field, &QLineEdit::editingFinished, this, &ShareUrlInput::finished);
}

void ShareUrlInput::edited(const QString &text)
{
    // Whichever of the two signals came first, the text before this edit is known.
    const QString &before = m_shown == text ? m_before : m_shown;
    const bool inOnePiece = insertedLength(before, text) > 1;
    m_holding = ShareUrl::looksLikeUrl(text);
    if (!m_holding) {
        Q_EMIT hostEdited(text);
        return;
    }
    if (inOnePiece) {
        if (const std::optional<ShareUrl> url = ShareUrl::parse(text)) {
            m_holding = false;
            Q_EMIT urlEntered(*url);
        }
    }
}

void ShareUrlInput::finished()
{
    if (!m_holding)
        return;
    const QString text = m_field->text();
    if (const std::optional<ShareUrl> url = ShareUrl::parse(text)) {
        m_holding = false;
        Q_EMIT urlEntered(*url);
    } else {
        Q_EMIT incompleteUrl();
    }
}
