// Value conversions and the date serial arithmetic. The serial counts days from
// 1899-12-30; before that day the integer part is negative while the fraction
// still counts forward from midnight, as the engine stores it.
#include "platform/jet/value.h"

#include <QStringDecoder>

#include "platform/jet/error.h"

#include <QLocale>

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace jet {

QString textFromUtf8(const char* p, qsizetype n)
{
    if (n >= 3 && p[0] == '\xEF' && p[1] == '\xBB' && p[2] == '\xBF') {
        QStringDecoder dec(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                                      | QStringConverter::Flag::ConvertInitialBom);
        return dec.decode(QByteArrayView(p, n));
    }
    return QString::fromUtf8(p, n);
}
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
    const bool hasTime = p.hour || p.minute || p.second;
    const bool hasDate = !(p.year == 1899 && p.month == 12 && p.day == 30);
    QString out;
    if (hasDate || !hasTime)
        out = QString::asprintf("%d/%d/%d", p.month, p.day, p.year);
    if (hasTime) {
        const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += QString::asprintf("%d:%02d:%02d %s", h12, p.minute, p.second, p.hour < 12 ? "AM" : "PM");
    }
    return out;
}

QString numberText(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NaN");
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(static_cast<std::int64_t>(d));
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

QString Value::toString() const
{
    switch (kind()) {
    case Kind::Null: return QString();
    case Kind::Bool: return std::get<bool>(v_) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Long: return QString::number(std::get<std::int64_t>(v_));
    case Kind::Double: return numberText(std::get<double>(v_));
    case Kind::Date: return displayDate(std::get<DateTime>(v_));
    case Kind::Text: return std::get<QString>(v_);
    }
    return QString();
}

} // namespace jet
