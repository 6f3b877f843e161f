// A field value as the engine hands it out: Null, a flag, a whole number, a
// double, a date or text. Null is never the same as "". Dates are kept as the
// serial the engine uses everywhere: days since 1899-12-30, the fraction being
// the time of day.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

namespace jet {

/// Date-time as a day serial (1899-12-30 = 0, 1900-01-01 = 2, noon = .5).
struct DateTime {
    double serial = 0.0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

/// Calendar parts of a date; conversions round to whole seconds.
struct DateParts {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

/// True when the parts form a real date (year 100 to 9999) and a real time.
bool validDate(const DateParts& p);
DateTime toDateTime(const DateParts& p);
DateParts toParts(DateTime d);

/// True when the serial, rounded to whole seconds as dates are kept, falls
/// on a day from 1/1/100 to 12/31/9999, the range of the engine's dates.
bool dateInRange(DateTime d);

/// The magnitude from which a double no longer rounds to a finite float: a
/// Single holds what lies below it.
inline constexpr double kSingleLimit = 3.4028235677973366e38;

/// A Currency amount: an exact count of ten-thousandths, four decimals over
/// the range the engine gives the type, -922,337,203,685,477.5807 to
/// 922,337,203,685,477.5807. Columns of the type store the count itself, so
/// no digit of an amount ever passes through a double.
struct Currency {
    std::int64_t units = 0;
    friend bool operator==(const Currency&, const Currency&) = default;
};

/// The largest count a Currency value holds (and its negative the smallest).
inline constexpr std::int64_t kCurrencyMaxUnits = 9223372036854775807LL;

/// A Currency value of the ASCII text of a decimal number (sign, digits, one
/// point, exponent) rounded half to even to four decimals on its decimal
/// digits, so that "0.00015" is 0.0002 and "2.00005" is 2. nullopt for text
/// of another shape and beyond the Currency range.
std::optional<Currency> currencyOfDecimal(std::string_view decimal);
/// The same for a double, by the shortest decimal that reads back as it
/// (0.1 is one thousand ten-thousandths). nullopt for NaN, infinities and
/// amounts beyond the range.
std::optional<Currency> currencyOf(double d);
/// The double nearest the amount (rounded once, from its decimal digits).
double currencyDouble(Currency c);
/// The amount's text with every digit and no trailing zeros: "0.1", "-5",
/// "922337203685477.5807".
QString currencyText(Currency c);
/// The sum, difference and product of amounts, and of an amount and a
/// whole number; nullopt beyond the range. A product is rounded half to
/// even to four decimals.
std::optional<Currency> currencySum(Currency a, Currency b);
std::optional<Currency> currencyDifference(Currency a, Currency b);
std::optional<Currency> currencyProduct(Currency a, Currency b);
std::optional<Currency> currencyOfWhole(std::int64_t n);
/// The form a query's own Currency column (SUM of a Currency column) leaves
/// the engine in: nine bytes, 'C' and the count big-endian with its sign bit
/// turned, so that the bytes sort as the amounts do. Read back by
/// currencyOfBlob, which gives nullopt for any other bytes.
QByteArray currencyBlob(Currency c);
std::optional<Currency> currencyOfBlob(const void* p, int n);
/// -1, 0 or 1 as the amount is below, equal to or above the double, compared
/// exactly (0.1 equals CCur(0.1): the double is taken as its shortest decimal).
int compareCurrency(Currency c, double d);

/// True when text holds a surrogate that is not half of a pair, which
/// UTF-8 cannot hold.
bool hasLoneSurrogate(QStringView text);

/// "yyyy-mm-dd hh:mm:ss": the stored form, which sorts and compares as text.
QString storedDate(DateTime d);
/// Parses the stored form back; nullopt for anything else.
std::optional<DateTime> parseStoredDate(const QString& s);
/// True when text has exactly the stored date shape.
bool looksStoredDate(const QString& s);
/// The text the engine gives for a date: "m/d/yyyy", "h:nn:ss AM" or both. A
/// value on 12/30/1899 (the serial's day 0) is a time alone, midnight included.
QString displayDate(DateTime d);

/// A date or time typed as the engine's SQL reads it between # signs and
/// wherever text is written into a date: a date, a time or a date and a time,
/// separated by blanks. Dates: m/d/yyyy, m-d-yyyy, yyyy-mm-dd, yyyy/mm/dd
/// (a two-digit year 00 to 29 is 2000 to 2029, 30 to 99 is 1930 to 1999) and
/// with the month's English name or its first three letters: "Jan 5 2000",
/// "Jan 5, 2000", "5-Jan-2000", "5 January 2000". Times: h:mm or h:mm:ss on
/// the 24-hour clock, or with AM or PM ("10:30 PM", "10:30:00PM", "10 PM").
/// A time alone falls on the day the serial counts from (12/30/1899), so
/// every text displayDate gives reads back as the same value. nullopt for
/// anything else, and for a day or time that does not exist.
std::optional<DateTime> readDateText(QStringView text);

/// Text from the engine's UTF-8 bytes (engine_text.h) with every character
/// kept: a leading U+FEFF, and half a surrogate pair in utf8OfText's form.
QString textFromUtf8(const char* p, qsizetype n);

enum class Kind { Null, Bool, Long, Double, Date, Text, Currency };

class Value {
public:
    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(DateTime d) : v_(d) {}
    Value(Currency c) : v_(c) {}
    Value(const QString& s) : v_(s) {}
    Value(QString&& s) : v_(std::move(s)) {}
    Value(const char* s) : v_(QString::fromUtf8(s)) {}

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isText() const { return kind() == Kind::Text; }
    bool isNumber() const { return kind() == Kind::Long || kind() == Kind::Double || kind() == Kind::Currency; }
    bool isCurrency() const { return kind() == Kind::Currency; }
    /// The amount of a Currency value (zero for any other kind).
    Currency currency() const;

    bool toBool() const;
    std::int64_t toLong() const;   ///< Rounds doubles half to even, as the engine's CLng does.
    double toDouble() const;
    DateTime toDate() const;
    /// The engine's text form: numbers without trailing zeros (an amount with
    /// every digit), dates as displayDate,
    /// flags as "True"/"False", Null as "".
    QString toString() const;

    const QString* textPtr() const { return std::get_if<QString>(&v_); }

    friend bool operator==(const Value&, const Value&) = default;

private:
    std::variant<std::monostate, bool, std::int64_t, double, DateTime, QString, Currency> v_;
};

/// The engine's text for a double: up to 15 significant digits, no trailing zeros.
QString numberText(double d);

/// A double as a number literal of the engine's SQL: the shortest decimal text
/// that reads back as the same double (up to 17 significant digits), '.' for
/// decimals whatever the locale. Whole numbers below 2^53 come without
/// exponent. Throws JetError for NaN and infinities, which have no literal.
QString sqlNumber(double d);

/// A number typed by the user, as the engine's SQL reads it: blanks around
/// it, a sign, digits, one decimal point and an exponent, no thousands
/// separators. nullopt for anything else, and for values out of the double
/// range ("1e999") or not a number ("inf", "nan").
std::optional<double> readTypedNumber(const QString& typed);

enum class NumberRead { Number, NotNumber, TooLarge };

/// Text as the engine reads a number from text written into a number field:
/// blanks around it, a sign, digits with one decimal point, an exponent.
/// "nan", "inf", hex and thousands separators are no number; a number beyond
/// the double range is too large; one too small to hold reads as 0.
NumberRead readNumberText(const QString& text, double& out);

/// A Single as the engine keeps it: the double rounded to the nearest float,
/// then taken as the shortest decimal that reads back as that float (0.16,
/// not 0.1599999964237213), so that it compares equal to the number typed.
/// The double must lie within the Single range.
double singleValue(double d);

/// A Yes/No word as the engine reads text into a Yes/No field: "True",
/// "Yes" and "On" are Yes, "False", "No" and "Off" are No, without regard to
/// case or blanks around; nullopt for any other text.
std::optional<bool> readYesNoWord(const QString& text);

} // namespace jet
