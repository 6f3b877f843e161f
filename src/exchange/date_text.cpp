// Date and time texts of the text wizard. The text is searched for the first
// and second date delimiter, then a blank, then the first and second time
// delimiter, each search starting after the one before; the pieces between
// them are checked as fixed-width digit runs. No allocation: the import calls
// this for every value of a date column.
#include "exchange/date_text.h"

#include "exchange/text_lines.h"

namespace exchange {
namespace {

// The value of a run of minLen to maxLen ASCII digits, or -1.
int digitRun(QStringView s, int minLen, int maxLen)
{
    if (s.size() < minLen || s.size() > maxLen)
        return -1;
    int v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

qsizetype find(QStringView s, const std::optional<QChar>& c, qsizetype from)
{
    return c ? s.indexOf(*c, from) : -1;
}

bool isBlank(QStringView s)
{
    for (QChar c : s)
        if (c != u' ')
            return false;
    return true;
}

} // namespace

std::optional<DateOrder> dateOrderFromText(QStringView text)
{
    struct Name { const char16_t* text; DateOrder order; };
    static const Name names[] = {
        {u"MDY", DateOrder::MDY}, {u"DMY", DateOrder::DMY}, {u"MYD", DateOrder::MYD},
        {u"DYM", DateOrder::DYM}, {u"YMD", DateOrder::YMD}, {u"YDM", DateOrder::YDM},
    };
    for (const Name& n : names)
        if (text == QStringView(n.text))
            return n.order;
    return std::nullopt;
}

DateSettings DateSettings::fromTexts(const QString& order, const QString& dateDelimiter,
                                     const QString& timeDelimiter)
{
    DateSettings s;
    s.order = dateOrderFromText(order);
    s.dateDelimiter = dateDelimiter.isEmpty() ? std::nullopt : std::optional<QChar>(dateDelimiter.at(0));
    s.timeDelimiter = timeDelimiter.isEmpty() ? std::nullopt : std::optional<QChar>(timeDelimiter.at(0));
    return s;
}

std::optional<jet::DateTime> parseDateTime(QStringView v, const DateSettings& settings)
{
    if (v.isEmpty())
        return std::nullopt;

    const qsizetype p1 = find(v, settings.dateDelimiter, 0);
    const qsizetype p2 = p1 >= 0 ? find(v, settings.dateDelimiter, p1 + 1) : -1;
    const qsizetype p3 = v.indexOf(u' ', p2 >= 0 ? p2 + 1 : 0);
    const qsizetype p4 = find(v, settings.timeDelimiter, p3 >= 0 ? p3 + 1 : 0);
    const qsizetype p5 = p4 >= 0 ? find(v, settings.timeDelimiter, p4 + 1) : -1;

    jet::DateParts parts; // the zero date until a date part is read
    const bool hasDate = p1 >= 0 && p2 >= 0;
    if (hasDate) {
        if (!settings.order)
            return std::nullopt;
        const QStringView a = v.sliced(0, p1);
        const QStringView b = v.sliced(p1 + 1, p2 - p1 - 1);
        const QStringView c = p3 >= 0 ? v.sliced(p2 + 1, p3 - p2 - 1) : v.sliced(p2 + 1);
        QStringView m, d, y;
        switch (*settings.order) {
        case DateOrder::MDY: m = a; d = b; y = c; break;
        case DateOrder::DMY: d = a; m = b; y = c; break;
        case DateOrder::MYD: m = a; y = b; d = c; break;
        case DateOrder::DYM: d = a; y = b; m = c; break;
        case DateOrder::YMD: y = a; m = b; d = c; break;
        case DateOrder::YDM: y = a; d = b; m = c; break;
        }
        const int day = digitRun(d, 1, 2);
        const int month = digitRun(m, 1, 2);
        int year = digitRun(y, 1, 4);
        if (day < 1 || day > 31 || month < 1 || month > 12 || year < 0)
            return std::nullopt;
        if (y.size() <= 2)
            year += year < 30 ? 2000 : 1900;
        else if (year <= 99)
            return std::nullopt; // "0005": leading zeros do not make a short year
        parts.year = year;
        parts.month = month;
        parts.day = day;
        // A day the month does not have is refused rather than carried into the
        // next month: 31/02/2003 silently becoming 3 March would change the data.
        if (!jet::validDate(parts))
            return std::nullopt;
    } else if (p3 >= 0 && !isBlank(v.sliced(0, p3))) {
        // Text ahead of a time with no date would otherwise be thrown away
        // ("Room 10:20" read as 10:20).
        return std::nullopt;
    }

    if (p4 < 0) {
        if (p3 >= 0 || !hasDate)
            return std::nullopt;
        return jet::toDateTime(parts);
    }

    const qsizetype hourStart = p3 >= 0 ? p3 + 1 : 0;
    const int hour = digitRun(trimSpaces(v.sliced(hourStart, p4 - hourStart)), 1, 2);
    const QStringView minText = p5 >= 0 ? v.sliced(p4 + 1, p5 - p4 - 1) : v.sliced(p4 + 1);
    const int minute = digitRun(minText, 1, 2);
    const int second = p5 >= 0 ? digitRun(v.sliced(p5 + 1), 1, 2) : 0;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    return jet::toDateTime(parts);
}

} // namespace exchange
