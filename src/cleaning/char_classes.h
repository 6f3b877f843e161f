// The character classes that narrow the distinct-values list while "Special" is
// ticked: values holding a letter, a digit, a chosen punctuation character or
// another (control or extended) character. Both forms are here: the WHERE text
// of the grouping query, and a test of one value for filtering a list of
// distinct values without asking the database again.
#pragma once

#include <QString>
#include <QStringView>

#include <bitset>
#include <span>
#include <vector>

namespace cleaning {

enum class CharClass { None, Alpha, Numeric, Puncts, Other };

/// One row of the special-character table: a character code in the Windows-1252
/// code page and its chosen flag (0 not chosen, anything else chosen).
struct SpecChar {
    int code = 0;
    int flag = 0;
};

/// The class the four boxes select. Normally at most one is ticked; should more
/// be, the last in the order Alpha, Numeric, Puncts, Other wins.
CharClass selectedClass(bool alpha, bool numeric, bool puncts, bool other);

/// True when the value holds an ASCII letter, a to z or A to Z. Accented and
/// other letters do not count here (they count as Other).
bool hasAsciiLetter(QStringView value);
/// True when the value holds one of the digits 0 to 9.
bool hasAsciiDigit(QStringView value);
/// True when the value holds a character of Windows-1252 code 1 to 12, 14 to 31,
/// 127 to 159 or 161 to 255, or any character that code page cannot represent.
/// Code 0, the carriage return, the no-break space and 32 to 126 are not Other.
bool hasOtherChar(QStringView value);

/// One class, compiled once for testing many values. Rows of the special
/// characters with a code outside 1 to 255 are ignored.
class ClassFilter {
public:
    ClassFilter(CharClass cls, std::span<const SpecChar> specChars);

    /// Whether a non-Null value passes. With no class every value passes, the
    /// empty one included; with a class the empty value never does.
    bool passes(QStringView value) const;

private:
    bool hasChosen(QStringView value) const;

    CharClass cls_;
    std::bitset<128> asciiChosen_;
    std::vector<char32_t> otherChosen_; // chosen codes 128 to 255 as code points
};

/// The WHERE text for the grouping query, "" for no class. Alpha, Numeric and
/// Puncts start with " WHERE ", Other with "WHERE " (the query's "FROM tblData "
/// ends with a blank); every text ends with a blank. Puncts with nothing chosen
/// is " WHERE FALSE ". The column name goes in brackets as it is.
///
/// The Other text puts the characters of codes 1 to 255 raw into bracket sets
/// and ranges of Windows-1252 codes (127 to 159 runs from U+007F to U+0178 and
/// is not a range of code points). An engine that compares ranges by code point
/// matches a different set; hasOtherChar is the test to trust.
QString classCondition(const QString& column, CharClass cls, std::span<const SpecChar> specChars);

} // namespace cleaning
