// Round and Format on decimal digits. A number is taken apart once into its
// shortest decimal digits and the place of the point; rounding and the
// placing of digits into a format's placeholders work on those digits, so no
// binary fraction shows through (0.285 at two decimals is 0.29 for Format,
// 0.28 for Round, as the typed number says).
#include "platform/jet/format.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace jet {
namespace {

/// A number as its decimal digits: value = 0.digits x 10^point, digits
/// without leading or trailing zeros ("" for zero).
struct Decimal {
    bool negative = false;
    std::string digits;
    int point = 0;   // digits before the decimal point (may be < 0 or > digits.size())
};

Decimal decimalOf(double d)
{
    Decimal out;
    out.negative = std::signbit(d) && d != 0;
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(d), std::chars_format::scientific);
    const std::string s(text, written.ptr);
    const size_t e = s.find('e');
    std::string mantissa = s.substr(0, e);
    const int exponent = std::stoi(s.substr(e + 1));
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    out.digits = mantissa;
    out.point = exponent + 1;
    while (!out.digits.empty() && out.digits.back() == '0')
        out.digits.pop_back();
    if (out.digits.empty())
        out.point = 0;
    return out;
}

double doubleOf(const Decimal& d)
{
    if (d.digits.empty())
        return 0.0;
    const std::string s = (d.negative ? "-0." : "0.") + d.digits + "e" + std::to_string(d.point);
    double out = 0;
    std::from_chars(s.data(), s.data() + s.size(), out);
    return out;
}

enum class Half { Even, AwayFromZero };

/// Rounds to `decimals` digits after the point.
void roundDecimal(Decimal& d, int decimals, Half half)
{
    const long keepLong = static_cast<long>(d.point) + decimals;
    if (keepLong >= static_cast<long>(d.digits.size()))
        return;
    if (keepLong < 0) {
        d.digits.clear();
        d.point = 0;
        return;
    }
    const size_t keep = static_cast<size_t>(keepLong);
    const char first = d.digits[keep];
    const bool restNonZero = d.digits.find_first_not_of('0', keep + 1) != std::string::npos;
    std::string kept = d.digits.substr(0, keep);
    const bool lastOdd = !kept.empty() && ((kept.back() - '0') % 2 == 1);
    const bool up = half == Half::AwayFromZero ? first >= '5'
                                               : (first > '5' || (first == '5' && (restNonZero || lastOdd)));
    if (up) {
        int i = static_cast<int>(kept.size()) - 1;
        while (i >= 0 && kept[static_cast<size_t>(i)] == '9') {
            kept[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++kept[static_cast<size_t>(i)];
        } else {
            kept.insert(kept.begin(), '1');
            ++d.point;
        }
    }
    while (!kept.empty() && kept.back() == '0')
        kept.pop_back();
    d.digits = kept;
    if (d.digits.empty()) {
        d.point = 0;
        d.negative = false;
    }
}

/// The digits before the point ("" for none) and after it (all of them).
std::string integerDigits(const Decimal& d)
{
    if (d.point <= 0)
        return std::string();
    std::string s = d.digits.substr(0, std::min<size_t>(d.digits.size(), static_cast<size_t>(d.point)));
    s.append(static_cast<size_t>(d.point) - s.size(), '0');
    return s;
}

std::string fractionDigits(const Decimal& d)
{
    if (d.point >= static_cast<int>(d.digits.size()))
        return std::string();
    if (d.point >= 0)
        return d.digits.substr(static_cast<size_t>(d.point));
    return std::string(static_cast<size_t>(-d.point), '0') + d.digits;
}

Formatted refuse(const QString& why)
{
    Formatted f;
    f.refusal = why;
    return f;
}

Formatted textOf(const QString& s)
{
    Formatted f;
    f.text = s;
    return f;
}

// ---- format tokens -----------------------------------------------------------

/// One piece of a format section: a literal text or a format letter run.
struct Piece {
    bool literal = false;
    QString text;   // literal: the text; else the run as written ("0", "#", ".", ",", "%", "mm", "AM/PM", ...)
};

/// Splits a format at ";" outside quotes and after no backslash.
QStringList sections(const QString& f)
{
    QStringList out{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f[i];
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && c == u'\\' && i + 1 < f.size()) {
            out.back() += c;
            out.back() += f[++i];
            continue;
        }
        if (!quoted && c == u';') {
            out << QString();
            continue;
        }
        out.back() += c;
    }
    return out;
}

/// The pieces of one section; false with why when it holds an unclosed quote.
bool pieces(const QString& s, std::vector<Piece>& out, QString& why)
{
    auto lit = [&](const QString& t) {
        if (!out.empty() && out.back().literal)
            out.back().text += t;
        else
            out.push_back({true, t});
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'"') {
            const qsizetype close = s.indexOf(u'"', i + 1);
            if (close < 0) {
                why = QStringLiteral("Format text '%1' has a quote that is not closed.").arg(s);
                return false;
            }
            lit(s.mid(i + 1, close - i - 1));
            i = close;
        } else if (c == u'\\') {
            if (i + 1 < s.size())
                lit(QString(s[++i]));
        } else if (s.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            out.push_back({false, s.mid(i, 5)});
            i += 4;
        } else if (s.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            out.push_back({false, s.mid(i, 3)});
            i += 2;
        } else if (c.isLetter()) {
            // A run of one letter: "yyyy", "mm", "E".
            qsizetype j = i;
            while (j < s.size() && s[j].toLower() == c.toLower())
                ++j;
            out.push_back({false, s.mid(i, j - i)});
            i = j - 1;
        } else if (c == u'0' || c == u'#' || c == u'.' || c == u',' || c == u'%' || c == u'@' || c == u'&'
                   || c == u'<' || c == u'>' || c == u'!' || c == u'/' || c == u':' || c == u'*' || c == u'_') {
            out.push_back({false, QString(c)});
        } else {
            lit(QString(c));   // - + $ ( ) blanks and other characters show as they are
        }
    }
    return true;
}

bool isDigitPlaceholder(const Piece& p) { return !p.literal && (p.text == u'0' || p.text == u'#'); }

// ---- numbers -----------------------------------------------------------------

Formatted formatNumber(double value, const QString& format)
{
    const QStringList secs = sections(format);
    if (secs.size() > 3)
        return refuse(QStringLiteral("Format text '%1': a section for Null is not supported.").arg(format));
    QString section = secs[0];
    bool sign = value < 0;
    double v = value;
    if (value < 0 && secs.size() >= 2 && !secs[1].isEmpty()) {
        section = secs[1];
        sign = false;   // the negative section shows its own signs
        v = -value;
    } else if (value == 0 && secs.size() >= 3 && !secs[2].isEmpty()) {
        section = secs[2];
    }
    std::vector<Piece> ps;
    QString why;
    if (!pieces(section, ps, why))
        return refuse(why);

    // Parts: the integer part runs to the first ".", the fraction after it.
    size_t pointAt = ps.size();
    int percents = 0;
    for (size_t i = 0; i < ps.size(); ++i) {
        const Piece& p = ps[i];
        if (p.literal)
            continue;
        if (p.text == u'.' && pointAt == ps.size()) {
            pointAt = i;
        } else if (p.text == u'%') {
            ++percents;
        } else if (!isDigitPlaceholder(p) && p.text != u',') {
            return refuse(QStringLiteral("Format text '%1': '%2' is not supported in a number format.")
                              .arg(format, p.text));
        }
    }
    if (pointAt < ps.size())
        for (size_t i = pointAt + 1; i < ps.size(); ++i)
            if (!ps[i].literal && (ps[i].text == u'.' || ps[i].text == u','))
                return refuse(QStringLiteral("Format text '%1': '%2' after the decimal point is not supported.")
                                  .arg(format, ps[i].text));

    // Integer placeholders; a "," between two of them groups thousands.
    std::vector<size_t> intPlaces;
    bool grouping = false;
    for (size_t i = 0; i < pointAt; ++i) {
        if (isDigitPlaceholder(ps[i])) {
            intPlaces.push_back(i);
        } else if (!ps[i].literal && ps[i].text == u',') {
            bool after = false;
            for (size_t j = i + 1; j < pointAt; ++j)
                after = after || isDigitPlaceholder(ps[j]);
            if (intPlaces.empty() || !after)
                return refuse(QStringLiteral("Format text '%1': scaling by thousands is not supported.").arg(format));
            grouping = true;
        }
    }
    if (grouping)
        for (size_t i = intPlaces.front(); i < intPlaces.back(); ++i)
            if (ps[i].literal)
                return refuse(QStringLiteral("Format text '%1': text between grouped digits is not supported.").arg(format));
    std::vector<size_t> fracPlaces;
    int fracZeros = 0;   // the fraction shows at least this many digits
    for (size_t i = pointAt + 1; i < ps.size(); ++i)
        if (isDigitPlaceholder(ps[i])) {
            fracPlaces.push_back(i);
            if (ps[i].text == u'0')
                fracZeros = static_cast<int>(fracPlaces.size());
        }

    Decimal d = decimalOf(v);
    d.point += 2 * percents;   // each % shows the number times 100
    d.negative = false;
    roundDecimal(d, static_cast<int>(fracPlaces.size()), Half::AwayFromZero);
    if (sign && d.digits.empty())
        return refuse(QStringLiteral("Format text '%1': a negative number that rounds to zero is not supported.").arg(format));

    std::string whole = integerDigits(d);
    int intZeros = 0;   // placeholders from the first "0" on
    for (size_t k = 0; k < intPlaces.size(); ++k)
        if (ps[intPlaces[k]].text == u'0') {
            intZeros = static_cast<int>(intPlaces.size() - k);
            break;
        }
    if (static_cast<int>(whole.size()) < intZeros)
        whole.insert(0, static_cast<size_t>(intZeros) - whole.size(), '0');
    std::string frac = fractionDigits(d);
    if (static_cast<int>(frac.size()) < fracZeros)
        frac.append(static_cast<size_t>(fracZeros) - frac.size(), '0');

    QString out;
    if (sign)
        out += u'-';
    const size_t places = intPlaces.size();
    for (size_t i = 0; i < ps.size(); ++i) {
        const Piece& p = ps[i];
        if (p.literal) {
            out += p.text;
            continue;
        }
        if (i < pointAt && isDigitPlaceholder(p)) {
            const size_t j = static_cast<size_t>(std::find(intPlaces.begin(), intPlaces.end(), i) - intPlaces.begin());
            if (grouping) {
                if (j == 0) {
                    std::string g;
                    for (size_t k = 0; k < whole.size(); ++k) {
                        if (k > 0 && (whole.size() - k) % 3 == 0)
                            g += ',';
                        g += whole[k];
                    }
                    out += QString::fromLatin1(g.data(), static_cast<qsizetype>(g.size()));
                }
                continue;
            }
            // Right-aligned: placeholder j takes the digit `places - 1 - j`
            // from the right; the first one takes every digit beyond them.
            const size_t fromRight = places - 1 - j;
            if (j == 0 && whole.size() > places)
                out += QString::fromLatin1(whole.data(), static_cast<qsizetype>(whole.size() - places + 1));
            else if (fromRight < whole.size())
                out += QChar::fromLatin1(whole[whole.size() - 1 - fromRight]);
        } else if (p.text == u'.') {
            out += u'.';
        } else if (p.text == u'%') {
            out += u'%';
        } else if (i > pointAt && isDigitPlaceholder(p)) {
            const size_t k = static_cast<size_t>(std::find(fracPlaces.begin(), fracPlaces.end(), i) - fracPlaces.begin());
            if (k < frac.size())
                out += QChar::fromLatin1(frac[k]);
        }
    }
    return textOf(out);
}

// ---- dates -------------------------------------------------------------------

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

Formatted formatDate(DateTime dt, const QString& format)
{
    if (!dateInRange(dt))
        return refuse(QStringLiteral("Overflow"));
    std::vector<Piece> ps;
    QString why;
    if (sections(format).size() > 1)
        return refuse(QStringLiteral("Format text '%1': sections are not supported in a date format.").arg(format));
    if (!pieces(format, ps, why))
        return refuse(why);
    const DateParts p = toParts(dt);
    bool twelve = false;
    for (const Piece& x : ps)
        twelve = twelve || (!x.literal && (x.text.size() == 5 || x.text.size() == 3) && x.text.contains(u'/'));
    // Day of the week: 30 December 1899 was a Saturday.
    const long long days = static_cast<long long>(std::floor(toDateTime({p.year, p.month, p.day, 0, 0, 0}).serial));
    const int weekday = static_cast<int>(((days + 6) % 7 + 7) % 7);
    QString out;
    bool afterHour = false;
    for (const Piece& x : ps) {
        if (x.literal) {
            out += x.text;
            continue;
        }
        const QString t = x.text;
        const QString l = t.toLower();
        const int n = static_cast<int>(t.size());
        if (l == QLatin1String("/") || l == QLatin1String(":") || l == QLatin1String(".") || l == QLatin1String(",")) {
            out += t;
            continue;
        }
        if (l[0] == u'm' && afterHour && n <= 2) {
            out += n == 1 ? QString::number(p.minute) : QString::asprintf("%02d", p.minute);
            afterHour = false;
            continue;
        }
        afterHour = false;
        if (l == QLatin1String("d"))
            out += QString::number(p.day);
        else if (l == QLatin1String("dd"))
            out += QString::asprintf("%02d", p.day);
        else if (l == QLatin1String("ddd"))
            out += QLatin1String(kDays[weekday]).left(3);
        else if (l == QLatin1String("dddd"))
            out += QLatin1String(kDays[weekday]);
        else if (l == QLatin1String("m"))
            out += QString::number(p.month);
        else if (l == QLatin1String("mm"))
            out += QString::asprintf("%02d", p.month);
        else if (l == QLatin1String("mmm"))
            out += QLatin1String(kMonths[p.month - 1]).left(3);
        else if (l == QLatin1String("mmmm"))
            out += QLatin1String(kMonths[p.month - 1]);
        else if (l == QLatin1String("yy"))
            out += QString::asprintf("%02d", p.year % 100);
        else if (l == QLatin1String("yyyy"))
            out += QString::number(p.year);
        else if (l == QLatin1String("h") || l == QLatin1String("hh")) {
            const int h = twelve ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
            out += n == 1 ? QString::number(h) : QString::asprintf("%02d", h);
            afterHour = true;
        } else if (l == QLatin1String("n") || l == QLatin1String("nn"))
            out += n == 1 ? QString::number(p.minute) : QString::asprintf("%02d", p.minute);
        else if (l == QLatin1String("s") || l == QLatin1String("ss"))
            out += n == 1 ? QString::number(p.second) : QString::asprintf("%02d", p.second);
        else if (l == QLatin1String("am/pm") || l == QLatin1String("a/p")) {
            // The case of the format's own letters: AM/PM, am/pm, A/P, a/p.
            const bool pm = p.hour >= 12;
            QString mark = n == 5 ? QString(pm ? QStringLiteral("PM") : QStringLiteral("AM"))
                                  : QString(pm ? QStringLiteral("P") : QStringLiteral("A"));
            if (t[pm ? (n == 5 ? 3 : 2) : 0].isLower())
                mark = mark.toLower();
            out += mark;
        } else
            return refuse(QStringLiteral("Format text '%1': '%2' is not supported in a date format.").arg(format, t));
    }
    return textOf(out);
}

/// A format whose letters are date parts (no digit placeholders).
bool isDateFormat(const QString& format)
{
    std::vector<Piece> ps;
    QString why;
    if (!pieces(format, ps, why))
        return false;
    bool date = false;
    for (const Piece& p : ps) {
        if (p.literal)
            continue;
        if (isDigitPlaceholder(p) || p.text == u'%')
            return false;
        if (p.text[0].isLetter())
            date = true;
    }
    return date;
}

struct Named {
    const char* name;
    const char* format;   // nullptr: handled by name
    bool date;
};

const Named kNamed[] = {
    {"General Number", nullptr, false},
    {"Fixed", "0.00", false},
    {"Standard", "#,##0.00", false},
    {"Percent", "0.00%", false},
    {"Yes/No", nullptr, false},
    {"True/False", nullptr, false},
    {"On/Off", nullptr, false},
    {"General Date", nullptr, true},
    {"Long Date", "dddd, mmmm d, yyyy", true},
    {"Medium Date", "dd-mmm-yy", true},
    {"Short Date", "m/d/yyyy", true},
    {"Long Time", "h:nn:ss AM/PM", true},
    {"Medium Time", "hh:nn AM/PM", true},
    {"Short Time", "hh:nn", true},
};

/// Text that reads back as a stored date would come back as a date, not as
/// the text Format made.
Formatted checked(Formatted f, const QString& format)
{
    if (f.text && looksStoredDate(*f.text))
        return refuse(QStringLiteral("Format text '%1' gives text in the stored date form, which reads back as a date.")
                          .arg(format));
    return f;
}

} // namespace

double roundHalfEven(double d, int decimals)
{
    if (!std::isfinite(d))
        return d;
    Decimal x = decimalOf(d);
    const bool negative = x.negative;
    roundDecimal(x, decimals, Half::Even);
    x.negative = negative && !x.digits.empty();
    return doubleOf(x);
}

Formatted formatValue(const Value& value, const QString& format)
{
    if (value.isNull()) {
        Formatted f;
        return f;
    }
    // The value as a number and as a date, where it reads as one.
    std::optional<double> number;
    std::optional<DateTime> date;
    switch (value.kind()) {
    case Kind::Bool: number = value.toBool() ? -1.0 : 0.0; break;
    case Kind::Long:
    case Kind::Double: number = value.toDouble(); break;
    case Kind::Date: date = value.toDate(); break;
    case Kind::Text: {
        const QString& t = *value.textPtr();
        number = readTypedNumber(t);
        if (!number)
            date = readDateText(t);
        break;
    }
    case Kind::Null: break;
    }
    if (format.isEmpty())
        return checked(textOf(value.toString()), format);

    const Named* named = nullptr;
    for (const Named& n : kNamed)
        if (format.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0)
            named = &n;
    if (!named) {
        for (const char* no : {"Currency", "Scientific", "Euro"})
            if (format.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
                return refuse(QStringLiteral("The format '%1' is not supported.").arg(format));
    }
    const bool dateFormat = named ? named->date : isDateFormat(format);
    // Text that is neither a number nor a date comes back as it is.
    if (!number && !date)
        return textOf(*value.textPtr());
    if (dateFormat) {
        const DateTime dt = date ? *date : DateTime{*number};
        if (named && !named->format)
            return checked(textOf(displayDate(dt)), format);
        return checked(formatDate(dt, named ? QString::fromLatin1(named->format) : format), format);
    }
    const double n = number ? *number : date->serial;
    if (named && !named->format) {
        const QString name = QString::fromLatin1(named->name);
        if (name == QLatin1String("General Number"))
            return textOf(numberText(n));
        const bool on = n != 0;
        if (name == QLatin1String("Yes/No"))
            return textOf(on ? QStringLiteral("Yes") : QStringLiteral("No"));
        if (name == QLatin1String("True/False"))
            return textOf(on ? QStringLiteral("True") : QStringLiteral("False"));
        return textOf(on ? QStringLiteral("On") : QStringLiteral("Off"));
    }
    return checked(formatNumber(n, named ? QString::fromLatin1(named->format) : format), format);
}

} // namespace jet
