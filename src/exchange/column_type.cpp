// Type words, value tests and stored values of the text import's columns. The
// number reader is our own rather than the locale's, so that a file reads the
// same on every machine, and it is strict about thousands separators: "1,23"
// is text, not the number 123.
#include "exchange/column_type.h"

#include "exchange/text_lines.h"

#include <charconv>
#include <cmath>

namespace exchange {
namespace {

struct NumberShape {
    double value = 0;
    int significantDigits = 0;
    bool leadingZero = false; // whole part of two or more digits starting with 0
};

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

std::optional<NumberShape> readNumber(QStringView text)
{
    const QStringView t = trimSpaces(text);
    const qsizetype n = t.size();
    if (n == 0 || n > 400)
        return std::nullopt;

    // The ASCII form without thousands separators, for std::from_chars.
    char ascii[512];
    int a = 0;
    qsizetype i = 0;
    if (t[i] == u'+' || t[i] == u'-') {
        if (t[i] == u'-')
            ascii[a++] = '-';
        ++i;
    }

    NumberShape shape;
    int wholeDigits = 0;
    bool seenNonZero = false;
    auto takeDigit = [&](QChar c) {
        ascii[a++] = static_cast<char>(c.unicode());
        if (c != u'0')
            seenNonZero = true;
        if (seenNonZero)
            ++shape.significantDigits;
    };

    // Whole part, with separators only between groups of exactly three digits
    // and a first group of one to three.
    int group = 0;
    bool grouped = false;
    const qsizetype wholeStart = i;
    while (i < n && (isDigit(t[i]) || t[i] == u',')) {
        if (t[i] == u',') {
            if (group == 0 || (grouped && group != 3) || (!grouped && group > 3))
                return std::nullopt;
            grouped = true;
            group = 0;
        } else {
            takeDigit(t[i]);
            ++group;
            ++wholeDigits;
        }
        ++i;
    }
    if (grouped && group != 3)
        return std::nullopt;
    shape.leadingZero = wholeDigits > 1 && t[wholeStart] == u'0';

    int fracDigits = 0;
    if (i < n && t[i] == u'.') {
        ascii[a++] = '.';
        ++i;
        while (i < n && isDigit(t[i])) {
            takeDigit(t[i]);
            ++fracDigits;
            ++i;
        }
    }
    if (wholeDigits + fracDigits == 0)
        return std::nullopt;

    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ascii[a++] = 'e';
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ascii[a++] = static_cast<char>(t[i++].unicode());
        int expDigits = 0;
        while (i < n && isDigit(t[i])) {
            ascii[a++] = static_cast<char>(t[i++].unicode());
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;

    // "5." is fine for us but not for from_chars' grammar in every library.
    if (ascii[a - 1] == '.')
        --a;
    const auto res = std::from_chars(ascii, ascii + a, shape.value);
    if (res.ec != std::errc() || res.ptr != ascii + a || !std::isfinite(shape.value))
        return std::nullopt;
    return shape;
}

} // namespace

QString typeWord(ColumnType type)
{
    switch (type) {
    case ColumnType::DateTime: return QStringLiteral("Date/Time");
    case ColumnType::Number: return QStringLiteral("Number");
    case ColumnType::Text: return QStringLiteral("Text (255)");
    case ColumnType::Memo: return QStringLiteral("Memo");
    }
    return QString();
}

std::optional<ColumnType> typeFromWord(QStringView word)
{
    for (ColumnType t : {ColumnType::DateTime, ColumnType::Number, ColumnType::Text, ColumnType::Memo})
        if (word == typeWord(t))
            return t;
    return std::nullopt;
}

QString sqlTypeName(ColumnType type)
{
    switch (type) {
    case ColumnType::DateTime: return QStringLiteral("DATETIME");
    case ColumnType::Number: return QStringLiteral("DOUBLE");
    case ColumnType::Text: return QStringLiteral("TEXT (255)");
    case ColumnType::Memo: return QStringLiteral("LONGTEXT");
    }
    return QString();
}

std::optional<double> parseNumber(QStringView text)
{
    const auto shape = readNumber(text);
    if (!shape)
        return std::nullopt;
    return shape->value;
}

bool fitsNumber(QStringView text)
{
    const auto shape = readNumber(text);
    return shape && !shape->leadingZero && shape->significantDigits <= 15;
}

bool fitsType(ColumnType type, QStringView value, const DateSettings& dates)
{
    switch (type) {
    case ColumnType::DateTime: return parseDateTime(value, dates).has_value();
    case ColumnType::Number: return fitsNumber(value);
    case ColumnType::Text: return value.size() <= kTextColumnLength;
    case ColumnType::Memo: return true;
    }
    return false;
}

ColumnType lowerToFit(ColumnType type, QStringView value, const DateSettings& dates)
{
    if (value.isEmpty())
        return type;
    while (type != ColumnType::Memo && !fitsType(type, value, dates))
        type = static_cast<ColumnType>(static_cast<int>(type) + 1);
    return type;
}

jet::Value storedValue(ColumnType type, QStringView value, const DateSettings& dates)
{
    if (value.isEmpty())
        return jet::Value();
    switch (type) {
    case ColumnType::DateTime:
        if (const auto d = parseDateTime(value, dates))
            return jet::Value(*d);
        return jet::Value();
    case ColumnType::Number:
        if (fitsNumber(value))
            return jet::Value(*parseNumber(value));
        return jet::Value();
    case ColumnType::Text: {
        qsizetype len = std::min(value.size(), kTextColumnLength);
        // Never leave half of a surrogate pair at the cut.
        if (len < value.size() && value[len - 1].isHighSurrogate())
            --len;
        return jet::Value(value.first(len).toString());
    }
    case ColumnType::Memo:
        return jet::Value(value.toString());
    }
    return jet::Value();
}

QString createTableStatement(const QString& table, const QStringList& names,
                             const std::vector<ColumnType>& types)
{
    if (names.isEmpty() || types.size() != static_cast<size_t>(names.size()))
        return QString();
    QString sql = QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (");
    for (qsizetype i = 0; i < names.size(); ++i) {
        sql += QStringLiteral(" [") + names[i] + QStringLiteral("]  ")
               + sqlTypeName(types[static_cast<size_t>(i)]) + QLatin1Char(',');
    }
    sql.chop(1);
    sql += QStringLiteral(");");
    return sql;
}

} // namespace exchange
