#include "settings/IniText.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringList>

#include <array>

namespace IniText {

namespace {

const auto topLevelSection = QStringLiteral("General");

// The value of a digit in the base, or -1.
int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    const int value = u >= '0' && u <= '9'   ? u - '0'
                      : u >= 'a' && u <= 'f' ? u - 'a' + 10
                      : u >= 'A' && u <= 'F' ? u - 'A' + 10
                                             : 99;
    return value < base ? value : -1;
}

bool isPlainKeyCharacter(char16_t u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '-' || u == '.';
}

// Letters, digits, "_-." stay; "/" becomes "\"; the rest is %XX or %UXXXX.
QByteArray escapedKey(const QString &key)
{
    QByteArray out;
    for (QChar c : key) {
        const char16_t u = c.unicode();
        if (u == '/')
            out += '\\';
        else if (isPlainKeyCharacter(u))
            out += char(u);
        else if (u <= 0xFF)
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += "%U" + QByteArray::number(u, 16).rightJustified(4, '0').toUpper();
    }
    return out;
}

QString unescapedKey(const QString &text)
{
    QString key;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'%') {
            const bool wide = text.mid(i + 1, 1) == QLatin1String("U");
            const qsizetype start = i + 1 + (wide ? 1 : 0), digits = wide ? 4 : 2;
            const QString hex = text.mid(start, digits);
            bool ok = hex.size() == digits;
            for (QChar c : hex)
                ok = ok && digitValue(c, 16) >= 0;
            if (ok) {
                key += QChar(char16_t(hex.toUInt(nullptr, 16)));
                i = start + digits - 1;
                continue;
            }
        }
        key += text[i] == u'\\' ? QChar(u'/') : text[i];
    }
    return key;
}

const QString controlCharacters = QStringLiteral("\a\b\f\n\r\t\v");
const QString controlLetters = QStringLiteral("abfnrtv");

// One element: control characters, quote and backslash escaped; quoted when it holds a
// separator or starts or ends with a blank. Byte arrays keep to ASCII (\x above 0x7E).
QByteArray escapedText(const QString &text, bool bytes)
{
    QString out;
    bool escapeHexDigit = false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool hexNext = escapeHexDigit && digitValue(c, 16) >= 0;
        const qsizetype named = controlCharacters.indexOf(c);
        escapeHexDigit = false;
        if (named >= 0) {
            out += QLatin1Char('\\') + controlLetters[named];
        } else if (u == '"' || u == '\\') {
            out += QLatin1Char('\\') + c;
        } else if (hexNext || u < 0x20 || (bytes && u >= 0x7F)) {
            out += QStringLiteral("\\x") + QString::number(u, 16);
            escapeHexDigit = true;
        } else {
            out += c;
        }
    }
    const bool separators = text.contains(u';') || text.contains(u',') || text.contains(u'=');
    if (separators || out.startsWith(u' ') || out.endsWith(u' '))
        out = u'"' + out + u'"';
    return out.toUtf8();
}

QString elementText(const QVariant &value, bool *bytes)
{
    *bytes = true;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray:
        return QStringLiteral("@ByteArray(") + QString::fromLatin1(value.toByteArray()) + u')';
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        *bytes = false;
        const QString text = value.toString();
        return text.startsWith(u'@') ? u'@' + text : text;
    }
    default: {
        QByteArray data;
        QDataStream stream(&data, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_4_0);
        stream << value;
        return QStringLiteral("@Variant(") + QString::fromLatin1(data) + u')';
    }
    }
}

QByteArray valueText(const QVariant &value)
{
    const bool isList = value.typeId() == QMetaType::QStringList ||
                        (value.typeId() == QMetaType::QVariantList && value.toList().size() != 1);
    QByteArrayList elements;
    bool bytes = false;
    for (const QVariant &element : isList ? value.toList() : QVariantList{value}) {
        const QString text = elementText(element, &bytes);
        elements += escapedText(text, bytes);
    }
    return isList && elements.isEmpty() ? QByteArray("@Invalid()") : elements.join(", ");
}

QVariant elementValue(const QString &text)
{
    const auto inside = [&](qsizetype prefix) {
        return text.mid(prefix, text.size() - prefix - 1);
    };
    if (text.startsWith(u"@@"))
        return text.mid(1);
    if (!text.startsWith(u'@') || !text.endsWith(u')'))
        return text;
    if (text.startsWith(u"@ByteArray("))
        return inside(11).toLatin1();
    if (text.startsWith(u"@String("))
        return inside(8);
    if (text == u"@Invalid()")
        return {};
    if (text.startsWith(u"@Variant(")) {
        QByteArray data = inside(9).toLatin1();
        QDataStream stream(&data, QIODevice::ReadOnly);
        stream.setVersion(QDataStream::Qt_4_0);
        QVariant value;
        stream >> value;
        return value;
    }
    return text;
}

// Reads the escape after a backslash at text[i] and moves i past it: a letter, \x with hex
// digits, a backslash with octal digits, or the character itself.
char32_t unescaped(const QString &text, qsizetype &i)
{
    const QChar c = text[i++];
    if (const qsizetype n = controlLetters.indexOf(c); n >= 0)
        return controlCharacters[n].unicode();
    const int base = c == u'x' ? 16 : digitValue(c, 8) >= 0 ? 8 : 0;
    if (base == 0)
        return c.unicode();
    char32_t code = base == 8 ? char32_t(digitValue(c, 8)) : 0;
    for (; i < text.size() && digitValue(text[i], base) >= 0 && code <= 0x10FFFF; ++i)
        code = code * base + char32_t(digitValue(text[i], base));
    return code;
}

// Splits a value into its elements, undoing quotes and escapes; unquoted blanks around an
// element are dropped.
QStringList elements(const QString &text)
{
    QStringList out{QString()};
    qsizetype kept = 0; // the length of the last element without trailing unquoted blanks
    bool quoted = false;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i++];
        QString &current = out.last();
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && i < text.size()) {
            current += QString::fromUcs4(std::array{unescaped(text, i)}.data(), 1);
            kept = current.size();
        } else if (c == u',' && !quoted) {
            current.truncate(kept);
            out += QString();
            kept = 0;
        } else if (quoted || !c.isSpace()) {
            current += c;
            kept = current.size();
        } else if (!current.isEmpty()) {
            current += c;
        }
    }
    out.last().truncate(kept);
    return out;
}

} // namespace

QByteArray write(const QSettings::SettingsMap &values)
{
    QMap<QString, QByteArray> sections; // keys without a group are in the unnamed one
    for (auto it = values.begin(); it != values.end(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        sections[section] += escapedKey(it.key().mid(slash + 1)) + '=' + valueText(*it) + '\n';
    }
    QByteArray text;
    for (auto it = sections.begin(); it != sections.end(); ++it) {
        // A group named like the top-level section is told apart by a leading %.
        const bool named = !it.key().isEmpty();
        const bool clash = it.key().compare(topLevelSection, Qt::CaseInsensitive) == 0;
        const QByteArray name = !named  ? topLevelSection.toUtf8()
                                : clash ? '%' + it.key().toUtf8()
                                        : escapedKey(it.key());
        text += (text.isEmpty() ? "[" : "\n[") + name + "]\n" + *it;
    }
    return text;
}

QSettings::SettingsMap read(const QByteArray &text)
{
    QSettings::SettingsMap values;
    QString section;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = unescapedKey(line.mid(1, line.size() - 2));
            if (section.compare(topLevelSection, Qt::CaseInsensitive) == 0)
                section.clear();
            else if (section.compare(u"%General", Qt::CaseInsensitive) == 0)
                section = section.mid(1);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        const QString key = unescapedKey(line.left(equals).trimmed());
        const QStringList parts = elements(line.mid(equals + 1));
        const QString path = section.isEmpty() ? key : section + u'/' + key;
        if (parts.size() == 1)
            values[path] = elementValue(parts.first());
        else
            values[path] = parts;
    }
    return values;
}

} // namespace IniText
