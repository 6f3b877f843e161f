// Character-class tests and the WHERE texts of the distinct-values list's
// "Special" filters.
//
// Classes are defined on Windows-1252 codes, the code page the settings table
// of special characters is written in. Text here is Unicode, so the Other test
// is worked out once: codes 0 to 127 are U+0000 to U+007F, codes 160 to 255 are
// U+00A0 to U+00FF, and codes 128 to 159 are 27 scattered characters (the euro
// sign, curly quotes, dashes, Œ, Š, Ž, Ÿ, ...) and five unassigned codes that
// pass through as U+0081, U+008D, U+008F, U+0090, U+009D. Every code point from
// U+0080 up therefore has either a code of 127 to 159 or 161 to 255, or no code
// at all; all of those are Other, so the only character at or above U+0080 that
// is not Other is the no-break space. No table lookup is needed per character.
#include "cleaning/char_classes.h"

#include "common/codepage.h"

#include <algorithm>

namespace cleaning {
namespace {

QChar ansiChar(int code) { return codepage::charOfCode(code); }

bool isChosen(const SpecChar& row) { return row.flag != 0 && row.code >= 1 && row.code <= 255; }

inline bool isOther(char16_t u)
{
    if (u < 0x80)
        return (u >= 1 && u <= 12) || (u >= 14 && u <= 31) || u == 127;
    return u != 0xA0;
}

QString puncEnding(int code)
{
    switch (code) {
    case 33:
        return QStringLiteral("] LIKE '*!*' ");
    case 34:
        return QStringLiteral("] LIKE '*[\"]*' ");
    case 93:
        return QStringLiteral("] LIKE '*]*' ");
    case 124:
        // The bar never stands in the text itself.
        return QStringLiteral("] LIKE \"*\" & CHR(124) & \"*\" ");
    default:
        return QStringLiteral("] LIKE \"*[") + ansiChar(code) + QStringLiteral("]*\" ");
    }
}

QString otherCondition(const QString& column)
{
    const QString orTerm = QStringLiteral("   OR [") + column + QStringLiteral("] LIKE '*[");
    const QString close = QStringLiteral("]*' ");
    QString w = QStringLiteral("WHERE [") + column + QStringLiteral("] LIKE '*[") + ansiChar(1)
        + u'-' + ansiChar(7) + close;
    for (int code : {8, 9, 10, 11, 12})
        w += orTerm + ansiChar(code) + close;
    for (auto [first, last] : {std::pair{14, 31}, std::pair{127, 159}, std::pair{161, 255}})
        w += orTerm + ansiChar(first) + u'-' + ansiChar(last) + close;
    return w;
}

} // namespace

CharClass selectedClass(bool alpha, bool numeric, bool puncts, bool other)
{
    if (other)
        return CharClass::Other;
    if (puncts)
        return CharClass::Puncts;
    if (numeric)
        return CharClass::Numeric;
    if (alpha)
        return CharClass::Alpha;
    return CharClass::None;
}

bool hasAsciiLetter(QStringView value)
{
    return std::any_of(value.begin(), value.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
    });
}

bool hasAsciiDigit(QStringView value)
{
    return std::any_of(value.begin(), value.end(), [](QChar c) {
        return c.unicode() >= u'0' && c.unicode() <= u'9';
    });
}

// Per UTF-16 unit: both halves of a surrogate pair are at or above U+0080, so a
// character outside the BMP (or a stray surrogate) is Other as a whole.
bool hasOtherChar(QStringView value)
{
    return std::any_of(value.begin(), value.end(), [](QChar c) { return isOther(c.unicode()); });
}

ClassFilter::ClassFilter(CharClass cls, std::span<const SpecChar> specChars)
    : cls_(cls)
{
    if (cls_ != CharClass::Puncts)
        return;
    for (const SpecChar& row : specChars) {
        if (!isChosen(row))
            continue;
        if (row.code < 128)
            asciiChosen_.set(static_cast<std::size_t>(row.code));
        else
            otherChosen_.push_back(ansiChar(row.code).unicode());
    }
}

bool ClassFilter::hasChosen(QStringView value) const
{
    for (QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 128) {
            if (asciiChosen_.test(u))
                return true;
        } else if (!otherChosen_.empty()
                   && std::find(otherChosen_.begin(), otherChosen_.end(), u) != otherChosen_.end()) {
            return true;
        }
    }
    return false;
}

bool ClassFilter::passes(QStringView value) const
{
    switch (cls_) {
    case CharClass::None:
        return true;
    case CharClass::Alpha:
        return hasAsciiLetter(value);
    case CharClass::Numeric:
        return hasAsciiDigit(value);
    case CharClass::Puncts:
        return hasChosen(value);
    case CharClass::Other:
        return hasOtherChar(value);
    }
    return false;
}

QString classCondition(const QString& column, CharClass cls, std::span<const SpecChar> specChars)
{
    switch (cls) {
    case CharClass::None:
        return QString();
    case CharClass::Alpha:
        return QStringLiteral(" WHERE [") + column + QStringLiteral("] LIKE '*[a-z]*' ")
            + QStringLiteral("    OR [") + column + QStringLiteral("] LIKE '*[A-Z]*' ");
    case CharClass::Numeric:
        return QStringLiteral(" WHERE [") + column + QStringLiteral("] LIKE '*[0-9]*' ");
    case CharClass::Puncts: {
        QString w = QStringLiteral(" WHERE FALSE ");
        for (const SpecChar& row : specChars) {
            if (isChosen(row))
                w += QStringLiteral(" OR [") + column + puncEnding(row.code);
        }
        return w;
    }
    case CharClass::Other:
        return otherCondition(column);
    }
    return QString();
}

} // namespace cleaning
