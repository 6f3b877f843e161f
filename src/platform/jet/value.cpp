// Value conversions and the date serial arithmetic. The serial counts days from
// 1899-12-30; before that day the integer part is negative while the fraction
// still counts forward from midnight, as the engine stores it.
#include "platform/jet/value.h"

#include <QStringDecoder>

#include "platform/jet/error.h"

#include <QLocale>

#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <cmath>
#include <vector>

namespace jet {

namespace {

// Days from civil, proleptic Gregorian (Howard Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const std::int64_t kEpoch = daysFromCivil(1899, 12, 30);

int daysInMonth(int y, int m)
{
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
        return 29;
    return dm[m - 1];
}

} // namespace

bool validDate(const DateParts& p)
{
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12)
        return false;
    if (p.day < 1 || p.day > daysInMonth(p.year, p.month))
        return false;
    return p.hour >= 0 && p.hour < 24 && p.minute >= 0 && p.minute < 60 && p.second >= 0 && p.second < 60;
}

DateTime toDateTime(const DateParts& p)
{
    const std::int64_t days = daysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) - kEpoch;
    const double frac = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
    // Negative serials keep the time as a positive fraction "behind" the day.
    return DateTime{days >= 0 ? days + frac : days - frac};
}

DateParts toParts(DateTime d)
{
    double ip = 0;
    double frac = std::modf(d.serial, &ip);
    std::int64_t days = static_cast<std::int64_t>(ip);
    frac = std::fabs(frac);
    std::int64_t secs = static_cast<std::int64_t>(std::llround(frac * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        days += d.serial >= 0 ? 1 : -1;
    }
    DateParts p;
    civilFromDays(days + kEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

bool dateInRange(DateTime d)
{
    if (!std::isfinite(d.serial) || std::fabs(d.serial) > 3.0e6)
        return false;
    const DateParts p = toParts(d);
    return p.year >= 100 && p.year <= 9999;
}

bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0xD800 || u > 0xDFFF)
            continue;
        if (u <= 0xDBFF && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

QString storedDate(DateTime d)
{
    const DateParts p = toParts(d);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

bool looksStoredDate(const QString& s)
{
    if (s.size() != 19)
        return false;
    for (int i = 0; i < 19; ++i) {
        const QChar c = s[i];
        const bool sep = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        if (sep) {
            const char want = (i == 4 || i == 7) ? '-' : (i == 10 ? ' ' : ':');
            if (c != QLatin1Char(want))
                return false;
        } else if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

std::optional<DateTime> parseStoredDate(const QString& s)
{
    if (!looksStoredDate(s))
        return std::nullopt;
    DateParts p;
    p.year = s.mid(0, 4).toInt();
    p.month = s.mid(5, 2).toInt();
    p.day = s.mid(8, 2).toInt();
    p.hour = s.mid(11, 2).toInt();
    p.minute = s.mid(14, 2).toInt();
    p.second = s.mid(17, 2).toInt();
    if (!validDate(p))
        return std::nullopt;
    return toDateTime(p);
}

QString displayDate(DateTime d)
{
    const DateParts p = toParts(d);
    // A value on the day the serial counts from is a time of day: midnight
    // (serial 0) is "12:00:00 AM", never the date 12/30/1899.
    const bool hasDate = !(p.year == 1899 && p.month == 12 && p.day == 30);
    const bool hasTime = p.hour || p.minute || p.second || !hasDate;
    QString out;
    if (hasDate)
        out = QString::asprintf("%d/%d/%d", p.month, p.day, p.year);
    if (hasTime) {
        const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += QString::asprintf("%d:%02d:%02d %s", h12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
    }
    return out;
}

namespace {

// One piece of a typed date: a run of digits, a run of letters, or one
// separator character (a run of blanks counts as one blank).
struct DatePiece {
    enum Kind { Digits, Letters, Sep } kind;
    QStringView text;
    QChar sep;
    int value = 0;   // Digits: the number, capped so it cannot overflow
};

bool splitDatePieces(QStringView s, std::vector<DatePiece>& out)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        const qsizetype start = i;
        if (c >= u'0' && c <= u'9') {
            int v = 0;
            while (i < n && s[i] >= u'0' && s[i] <= u'9') {
                v = std::min(v * 10 + (s[i].unicode() - u'0'), 1000000);
                ++i;
            }
            out.push_back({DatePiece::Digits, s.sliced(start, i - start), QChar(), v});
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            while (i < n && ((s[i] >= u'a' && s[i] <= u'z') || (s[i] >= u'A' && s[i] <= u'Z')))
                ++i;
            out.push_back({DatePiece::Letters, s.sliced(start, i - start), QChar(), 0});
        } else if (c == u' ' || c == u'\t') {
            while (i < n && (s[i] == u' ' || s[i] == u'\t'))
                ++i;
            out.push_back({DatePiece::Sep, s.sliced(start, i - start), QChar(u' '), 0});
        } else if (c == u'/' || c == u'-' || c == u',' || c == u':') {
            ++i;
            out.push_back({DatePiece::Sep, s.sliced(start, 1), c, 0});
        } else {
            return false;
        }
    }
    return true;
}

/// The month of an English month name or its first three letters (and
/// "Sept"), 0 for any other word.
int monthOfName(QStringView w)
{
    static const char* const names[] = {"january", "february", "march",     "april",   "may",      "june",
                                        "july",    "august",   "september", "october", "november", "december"};
    if (w.size() < 3)
        return 0;
    for (int m = 0; m < 12; ++m) {
        const QLatin1StringView full(names[m]);
        if (w.compare(full, Qt::CaseInsensitive) == 0 || w.compare(full.first(3), Qt::CaseInsensitive) == 0)
            return m + 1;
    }
    return w.compare(QLatin1StringView("sept"), Qt::CaseInsensitive) == 0 ? 9 : 0;
}

bool isDigits(const DatePiece& p, qsizetype minLen, qsizetype maxLen)
{
    return p.kind == DatePiece::Digits && p.text.size() >= minLen && p.text.size() <= maxLen;
}

bool isSep(const DatePiece& p, char c) { return p.kind == DatePiece::Sep && p.sep == QLatin1Char(c); }

/// A year as written: one or two digits in the window 1930 to 2029.
int yearOf(const DatePiece& p) { return p.text.size() <= 2 ? (p.value < 30 ? 2000 + p.value : 1900 + p.value) : p.value; }

/// The time among the pieces: [first, last) is what it takes, hour, minute
/// and second are filled. False when the pieces hold no time or a broken one.
bool findTime(const std::vector<DatePiece>& v, size_t& first, size_t& last, DateParts& p)
{
    const size_t n = v.size();
    size_t colon = n;
    for (size_t i = 0; i < n; ++i)
        if (isSep(v[i], ':')) {
            colon = i;
            break;
        }
    size_t end = 0;
    if (colon < n) {
        if (colon == 0 || colon + 1 >= n || !isDigits(v[colon - 1], 1, 2) || !isDigits(v[colon + 1], 1, 2))
            return false;
        first = colon - 1;
        p.hour = v[first].value;
        p.minute = v[colon + 1].value;
        end = colon + 2;
        if (end < n && isSep(v[end], ':')) {
            if (end + 1 >= n || !isDigits(v[end + 1], 1, 2))
                return false;
            p.second = v[end + 1].value;
            end += 2;
        }
    } else {
        // "10 PM": an hour with AM or PM only.
        size_t w = n;
        for (size_t i = 0; i < n; ++i)
            if (v[i].kind == DatePiece::Letters && monthOfName(v[i].text) == 0)
                w = i;
        if (w == n)
            return true;   // no time at all
        size_t h = w;
        if (h > 0 && isSep(v[h - 1], ' '))
            --h;
        if (h == 0 || !isDigits(v[h - 1], 1, 2))
            return false;
        first = h - 1;
        p.hour = v[first].value;
        end = first + 1;
    }
    if (first > 0 && !isSep(v[first - 1], ' '))
        return false;   // "2003-10:30": the hour must stand apart
    // AM or PM, with or without a blank before it.
    size_t k = end;
    if (k < n && isSep(v[k], ' '))
        ++k;
    if (k < n && v[k].kind == DatePiece::Letters) {
        const QStringView w = v[k].text;
        const bool am = w.compare(QLatin1StringView("AM"), Qt::CaseInsensitive) == 0;
        const bool pm = w.compare(QLatin1StringView("PM"), Qt::CaseInsensitive) == 0;
        if (am || pm) {
            if (p.hour > 12)
                return false;
            p.hour = p.hour % 12 + (pm ? 12 : 0);
            end = k + 1;
        }
    }
    if (end < n && !isSep(v[end], ' '))
        return false;
    last = end;
    return p.minute < 60 && p.second < 60 && p.hour < 24;
}

/// The date of the pieces [a, b) (no blanks at either end).
bool readDatePart(const std::vector<DatePiece>& v, size_t a, size_t b, DateParts& p)
{
    // The words and numbers, and what stands between each two of them.
    std::vector<const DatePiece*> items;
    std::vector<QString> gaps;
    for (size_t i = a; i < b; ++i) {
        if (v[i].kind == DatePiece::Sep) {
            if (items.empty())
                return false;
            if (gaps.size() < items.size())
                gaps.emplace_back();
            if (v[i].sep != QLatin1Char(' '))
                gaps.back() += v[i].sep;
            continue;
        }
        if (!items.empty() && gaps.size() != items.size())
            return false;   // two items with nothing between them
        items.push_back(&v[i]);
    }
    if (items.size() != 3 || gaps.size() != 2)
        return false;
    const DatePiece &x = *items[0], &y = *items[1], &z = *items[2];
    if (x.kind == DatePiece::Digits && y.kind == DatePiece::Digits && z.kind == DatePiece::Digits) {
        // m/d/y or y-m-d: one separator, the same twice.
        if (gaps[0] != gaps[1] || (gaps[0] != QLatin1String("/") && gaps[0] != QLatin1String("-")))
            return false;
        if (isDigits(x, 4, 4)) {
            if (!isDigits(y, 1, 2) || !isDigits(z, 1, 2))
                return false;
            p.year = x.value;
            p.month = y.value;
            p.day = z.value;
            return true;
        }
        if (!isDigits(x, 1, 2) || !isDigits(y, 1, 2) || !isDigits(z, 1, 4))
            return false;
        p.month = x.value;
        p.day = y.value;
        p.year = yearOf(z);
        return true;
    }
    // With the month's name: "Jan 5 2000", "Jan 5, 2000", "5-Jan-2000".
    auto gapOk = [](const QString& g) {
        return g.isEmpty() || g == QLatin1String(",") || g == QLatin1String("-") || g == QLatin1String("/");
    };
    if (!gapOk(gaps[0]) || !gapOk(gaps[1]))
        return false;
    const DatePiece* month = nullptr;
    const DatePiece* day = nullptr;
    if (x.kind == DatePiece::Letters && y.kind == DatePiece::Digits) {
        month = &x;
        day = &y;
    } else if (x.kind == DatePiece::Digits && y.kind == DatePiece::Letters) {
        day = &x;
        month = &y;
    } else {
        return false;
    }
    p.month = monthOfName(month->text);
    if (p.month == 0 || !isDigits(*day, 1, 2) || !(isDigits(z, 4, 4) || isDigits(z, 2, 2)))
        return false;
    p.day = day->value;
    p.year = yearOf(z);
    return true;
}

} // namespace

std::optional<DateTime> readDateText(QStringView text)
{
    const QStringView s = text.trimmed();
    if (s.isEmpty() || s.size() > 64)
        return std::nullopt;
    std::vector<DatePiece> v;
    v.reserve(16);
    if (!splitDatePieces(s, v))
        return std::nullopt;
    DateParts p;
    size_t tFirst = v.size(), tLast = v.size();
    if (!findTime(v, tFirst, tLast, p))
        return std::nullopt;
    // The date stands before the time or after it, apart by a blank.
    size_t a = 0, b = v.size();
    if (tFirst < v.size()) {
        if (tFirst > 0) {
            b = tFirst - 1;   // before the blank
            if (tLast < v.size())
                return std::nullopt;
        } else {
            a = tLast < v.size() ? tLast + 1 : tLast;
        }
    }
    const bool hasTime = tFirst < v.size();
    if (a < b) {
        DateParts d;
        if (!readDatePart(v, a, b, d))
            return std::nullopt;
        p.year = d.year;
        p.month = d.month;
        p.day = d.day;
    } else if (!hasTime) {
        return std::nullopt;
    }
    if (!validDate(p))
        return std::nullopt;
    return toDateTime(p);
}

std::optional<Currency> currencyOfDecimal(std::string_view t)
{
    size_t i = 0;
    const size_t n = t.size();
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    std::string digits;
    long fraction = 0;
    bool point = false;
    for (; i < n && ((t[i] >= '0' && t[i] <= '9') || (t[i] == '.' && !point)); ++i) {
        if (t[i] == '.') {
            point = true;
            continue;
        }
        if (digits.empty() && t[i] == '0') {
            if (point)
                ++fraction;   // a leading zero after the point still counts
            continue;
        }
        digits.push_back(t[i]);
        if (point)
            ++fraction;
    }
    long exponent = 0;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (t[i] == '+' || t[i] == '-'))
            negExp = t[i++] == '-';
        if (i >= n)
            return std::nullopt;
        for (; i < n && t[i] >= '0' && t[i] <= '9'; ++i)
            exponent = std::min(exponent * 10 + (t[i] - '0'), 100000L);
        if (negExp)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    // value = digits * 10^(exponent - fraction); units of 1/10000 = digits * 10^shift
    const long shift = exponent - fraction + 4;
    using Big = __int128;
    const Big limit = static_cast<Big>(kCurrencyMaxUnits);
    Big units = 0;
    if (digits.empty()) {
        units = 0;
    } else if (shift >= 0) {
        if (static_cast<long>(digits.size()) + shift > 19)
            return std::nullopt;
        for (char c : digits)
            units = units * 10 + (c - '0');
        for (long k = 0; k < shift; ++k)
            units *= 10;
    } else {
        const size_t drop = static_cast<size_t>(-shift);
        const size_t keep = drop >= digits.size() ? 0 : digits.size() - drop;
        if (keep > 19)
            return std::nullopt;
        for (size_t k = 0; k < keep; ++k)
            units = units * 10 + (digits[k] - '0');
        if (drop <= digits.size()) {
            // Half to even on the first digit dropped and the rest after it.
            const char first = digits[keep];
            const bool restNonZero = digits.find_first_not_of('0', keep + 1) != std::string::npos;
            if (first > '5' || (first == '5' && (restNonZero || (units % 2) == 1)))
                ++units;
        }
    }
    if (units > limit)
        return std::nullopt;
    const auto count = static_cast<std::int64_t>(units);
    return Currency{negative ? -count : count};
}

std::optional<Currency> currencyOf(double d)
{
    if (!std::isfinite(d))
        return std::nullopt;
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, d);
    if (written.ec != std::errc())
        return std::nullopt;
    return currencyOfDecimal(std::string_view(text, static_cast<size_t>(written.ptr - text)));
}

namespace {

/// "-12.3400" for -123400: the whole digits and all four decimals.
int currencyDigits(Currency c, char (&text)[32])
{
    const std::uint64_t mag = c.units < 0 ? 0 - static_cast<std::uint64_t>(c.units) : static_cast<std::uint64_t>(c.units);
    return std::snprintf(text, sizeof text, "%s%llu.%04llu", c.units < 0 ? "-" : "",
                         static_cast<unsigned long long>(mag / 10000), static_cast<unsigned long long>(mag % 10000));
}

std::optional<Currency> currencyOfBig(__int128 units)
{
    if (units > kCurrencyMaxUnits || units < -static_cast<__int128>(kCurrencyMaxUnits))
        return std::nullopt;
    return Currency{static_cast<std::int64_t>(units)};
}

} // namespace

double currencyDouble(Currency c)
{
    // 9999999999999999 ten-thousandths is 999999999999.9999: the count as a
    // double divided by 10000 would round twice and give 1E+12.
    char text[32];
    const int len = currencyDigits(c, text);
    double out = 0;
    std::from_chars(text, text + len, out);
    return out;
}

QString currencyText(Currency c)
{
    char text[32];
    int len = currencyDigits(c, text);
    while (text[len - 1] == '0')
        --len;
    if (text[len - 1] == '.')
        --len;
    return QString::fromLatin1(text, len);
}

std::optional<Currency> currencySum(Currency a, Currency b)
{
    return currencyOfBig(static_cast<__int128>(a.units) + b.units);
}

std::optional<Currency> currencyDifference(Currency a, Currency b)
{
    return currencyOfBig(static_cast<__int128>(a.units) - b.units);
}

std::optional<Currency> currencyProduct(Currency a, Currency b)
{
    // The product of two counts is in hundred-millionths: back to four
    // decimals, half to even.
    const __int128 p = static_cast<__int128>(a.units) * b.units;
    __int128 q = p / 10000;
    const __int128 r = p % 10000;
    const __int128 twice = (r < 0 ? -r : r) * 2;
    if (twice > 10000 || (twice == 10000 && (q % 2) != 0))
        q += p < 0 ? -1 : 1;
    return currencyOfBig(q);
}

std::optional<Currency> currencyOfWhole(std::int64_t n)
{
    return currencyOfBig(static_cast<__int128>(n) * 10000);
}

QByteArray currencyBlob(Currency c)
{
    QByteArray b(9, Qt::Uninitialized);
    b[0] = 'C';
    const std::uint64_t u = static_cast<std::uint64_t>(c.units) ^ (std::uint64_t(1) << 63);
    for (int i = 0; i < 8; ++i)
        b[1 + i] = static_cast<char>((u >> (56 - 8 * i)) & 0xff);
    return b;
}

std::optional<Currency> currencyOfBlob(const void* p, int n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    if (n != 9 || !b || b[0] != 'C')
        return std::nullopt;
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u = (u << 8) | b[1 + i];
    return Currency{static_cast<std::int64_t>(u ^ (std::uint64_t(1) << 63))};
}

int compareCurrency(Currency c, double d)
{
    if (std::isnan(d))
        return 1;
    if (d >= 1e16)
        return -1;
    if (d <= -1e16)
        return 1;
    // The double's shortest decimal, scaled to ten-thousandths without
    // rounding: compared as two exact numbers.
    char text[512];   // the longest fixed form of a double is some 330 characters
    const auto written = std::to_chars(text, text + sizeof text, d, std::chars_format::fixed);
    if (written.ec != std::errc())
        return c.units < 0 ? -1 : 1;
    const std::string_view t(text, static_cast<size_t>(written.ptr - text));
    const size_t point = t.find('.');
    const std::string_view whole = t.substr(0, point);
    const std::string_view frac = point == std::string_view::npos ? std::string_view() : t.substr(point + 1);
    bool negative = false;
    __int128 w = 0;
    for (char ch : whole) {
        if (ch == '-')
            negative = true;
        else
            w = w * 10 + (ch - '0');
    }
    __int128 units = w * 10000;
    __int128 scale = 1000;
    for (size_t k = 0; k < frac.size() && k < 4; ++k, scale /= 10)
        units += (frac[k] - '0') * scale;
    const bool beyond = frac.size() > 4 && frac.substr(4).find_first_not_of('0') != std::string_view::npos;
    // |d| = units + beyond (a fraction of a ten-thousandth more)
    const __int128 mine = c.units;
    if (!negative) {
        if (mine < units) return -1;
        if (mine > units) return 1;
        return beyond ? -1 : 0;
    }
    const __int128 neg = -units;
    if (mine < neg) return -1;
    if (mine > neg) return 1;
    return beyond ? 1 : 0;
}

QString numberText(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NaN");
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(static_cast<std::int64_t>(d));
    if (std::fabs(d) >= 1e11 && std::fabs(d) < 1e15) {
        // An amount of four decimals or fewer past 15 digits (a Currency
        // value such as 999999999999.9999) is shown whole, as Currency
        // shows it: the 15 digits would round it to another amount.
        char text[40];
        const auto written = std::to_chars(text, text + sizeof text, d, std::chars_format::fixed);
        if (written.ec == std::errc()) {
            const std::string_view t(text, static_cast<size_t>(written.ptr - text));
            const size_t point = t.find('.');
            if (point != std::string_view::npos && t.size() - point - 1 <= 4)
                return QString::fromLatin1(text, written.ptr - text);
        }
    }
    QString s = QString::number(d, 'g', 15);
    if (s.contains(QLatin1Char('e'))) {
        // 1.5e+20 -> 1.5E+20, as the engine writes it
        s = s.toUpper();
    }
    return s;
}

QString sqlNumber(double d)
{
    if (!std::isfinite(d))
        throw JetError(errTypeMismatch, QStringLiteral("Type mismatch"));
    if (d == std::floor(d) && std::fabs(d) < 9007199254740992.0)
        return QString::number(static_cast<std::int64_t>(d));
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

std::optional<double> readTypedNumber(const QString& typed)
{
    double d = 0;
    if (readNumberText(typed, d) != NumberRead::Number)
        return std::nullopt;
    return d;
}

NumberRead readNumberText(const QString& text, double& out)
{
    const QString t = text.trimmed();
    const qsizetype n = t.size();
    if (n == 0 || n > 400)
        return NumberRead::NotNumber;
    char ascii[416];
    int a = 0;
    qsizetype i = 0;
    if (t[0] == u'+' || t[0] == u'-') {
        if (t[0] == u'-')
            ascii[a++] = '-';
        ++i;
    }
    int digits = 0;
    auto digit = [&](qsizetype k) { return k < n && t[k] >= u'0' && t[k] <= u'9'; };
    while (digit(i)) {
        ascii[a++] = static_cast<char>(t[i++].unicode());
        ++digits;
    }
    if (i < n && t[i] == u'.') {
        ascii[a++] = '.';
        ++i;
        while (digit(i)) {
            ascii[a++] = static_cast<char>(t[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return NumberRead::NotNumber;
    bool negativeExponent = false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ascii[a++] = 'e';
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) {
            negativeExponent = t[i] == u'-';
            ascii[a++] = static_cast<char>(t[i++].unicode());
        }
        if (!digit(i))
            return NumberRead::NotNumber;
        while (digit(i) && a < 410)
            ascii[a++] = static_cast<char>(t[i++].unicode());
    }
    if (i != n)
        return NumberRead::NotNumber;
    if (ascii[a - 1] == '.')
        --a;   // "5." reads as 5
    const auto res = std::from_chars(ascii, ascii + a, out);
    if (res.ec == std::errc::result_out_of_range) {
        if (negativeExponent) {
            out = 0;   // too small to hold: zero
            return NumberRead::Number;
        }
        return NumberRead::TooLarge;
    }
    if (res.ec != std::errc() || !std::isfinite(out))
        return NumberRead::NotNumber;
    return NumberRead::Number;
}

double singleValue(double d)
{
    const float f = static_cast<float>(d);
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, f);
    double out = f;
    if (written.ec == std::errc())
        std::from_chars(text, written.ptr, out);
    return out;
}

std::optional<bool> readYesNoWord(const QString& text)
{
    const QString t = text.trimmed();
    for (const char* yes : {"True", "Yes", "On"})
        if (t.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return true;
    for (const char* no : {"False", "No", "Off"})
        if (t.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return false;
    return std::nullopt;
}

bool Value::toBool() const
{
    switch (kind()) {
    case Kind::Null: return false;
    case Kind::Bool: return std::get<bool>(v_);
    case Kind::Long: return std::get<std::int64_t>(v_) != 0;
    case Kind::Double: return std::get<double>(v_) != 0.0;
    case Kind::Date: return std::get<DateTime>(v_).serial != 0.0;
    case Kind::Currency: return std::get<Currency>(v_).units != 0;
    case Kind::Text: {
        const QString& s = std::get<QString>(v_);
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok && d != 0.0;
    }
    }
    return false;
}

std::int64_t Value::toLong() const
{
    switch (kind()) {
    case Kind::Bool: return std::get<bool>(v_) ? -1 : 0;
    case Kind::Long: return std::get<std::int64_t>(v_);
    case Kind::Double: return static_cast<std::int64_t>(std::nearbyint(std::get<double>(v_)));
    case Kind::Currency: {
        // Half to even on the exact amount.
        const std::int64_t u = std::get<Currency>(v_).units;
        std::int64_t q = u / 10000;
        const std::int64_t r = u % 10000;
        const std::int64_t twice = (r < 0 ? -r : r) * 2;
        if (twice > 10000 || (twice == 10000 && (q % 2) != 0))
            q += u < 0 ? -1 : 1;
        return q;
    }
    case Kind::Date: return static_cast<std::int64_t>(std::nearbyint(std::get<DateTime>(v_).serial));
    case Kind::Text: {
        bool ok = false;
        const double d = std::get<QString>(v_).trimmed().toDouble(&ok);
        return ok ? static_cast<std::int64_t>(std::nearbyint(d)) : 0;
    }
    case Kind::Null: break;
    }
    return 0;
}

double Value::toDouble() const
{
    switch (kind()) {
    case Kind::Bool: return std::get<bool>(v_) ? -1.0 : 0.0;
    case Kind::Long: return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::Double: return std::get<double>(v_);
    case Kind::Currency: return currencyDouble(std::get<Currency>(v_));
    case Kind::Date: return std::get<DateTime>(v_).serial;
    case Kind::Text: return std::get<QString>(v_).trimmed().toDouble();
    case Kind::Null: break;
    }
    return 0.0;
}

DateTime Value::toDate() const
{
    switch (kind()) {
    case Kind::Date: return std::get<DateTime>(v_);
    case Kind::Text: {
        if (auto d = parseStoredDate(std::get<QString>(v_)))
            return *d;
        return DateTime{toDouble()};
    }
    default: return DateTime{toDouble()};
    }
}

Currency Value::currency() const
{
    const Currency* c = std::get_if<Currency>(&v_);
    return c ? *c : Currency{};
}

QString Value::toString() const
{
    switch (kind()) {
    case Kind::Null: return QString();
    case Kind::Bool: return std::get<bool>(v_) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Long: return QString::number(std::get<std::int64_t>(v_));
    case Kind::Double: return numberText(std::get<double>(v_));
    case Kind::Currency: return currencyText(std::get<Currency>(v_));
    case Kind::Date: return displayDate(std::get<DateTime>(v_));
    case Kind::Text: return std::get<QString>(v_);
    }
    return QString();
}

} // namespace jet
