// Sound-alike codes, the Filter and Find dialogs' conditions and the Replace
// dialog's text rule. Kept apart from the dialogs so they can be tested as tables.
#include "workbench/gridsearch.h"

#include "common/general.h"
#include "exchange/date_text.h"
#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QLocale>
#include <optional>

namespace workbench {

namespace {

constexpr int kDecimal = 20;   // DAO's Decimal type code

QChar soundCode(QChar c)
{
    switch (c.unicode()) {
    case 'B': case 'F': case 'P': case 'V':
        return QLatin1Char('1');
    case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z':
        return QLatin1Char('2');
    case 'D': case 'T':
        return QLatin1Char('3');
    case 'L':
        return QLatin1Char('4');
    case 'M': case 'N':
        return QLatin1Char('5');
    case 'R':
        return QLatin1Char('6');
    default:
        return QLatin1Char('0');
    }
}

/// The number the typed text reads as: blanks around it, a sign, digits with
/// thousands separators and one decimal point, an exponent. Nothing for text
/// the engine's SQL could not take as a number once written out ("inf",
/// "1e999").
std::optional<double> readsAsNumber(const QString& typed)
{
    QString t = typed.trimmed();
    t.remove(QLatin1Char(','));
    return jet::readTypedNumber(t);
}

std::optional<jet::DateTime> readsAsDate(const QString& t)
{
    const QString s = t.trimmed();
    using exchange::DateOrder;
    exchange::DateSettings mdy;   // month/day/year with slashes and colons
    if (auto d = exchange::parseDateTime(s, mdy))
        return d;
    exchange::DateSettings ymd;
    ymd.order = DateOrder::YMD;
    ymd.dateDelimiter = QLatin1Char('-');
    return exchange::parseDateTime(s, ymd);
}

/// mm/dd/yyyy hh:nn:ss whatever the locale.
QString usDateTime(jet::DateTime d)
{
    const jet::DateParts p = jet::toParts(d);
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(p.month, 2, 10, QLatin1Char('0'))
        .arg(p.day, 2, 10, QLatin1Char('0'))
        .arg(p.year, 4, 10, QLatin1Char('0'))
        .arg(p.hour, 2, 10, QLatin1Char('0'))
        .arg(p.minute, 2, 10, QLatin1Char('0'))
        .arg(p.second, 2, 10, QLatin1Char('0'));
}

QString bracket(const QString& field) { return QLatin1Char('[') + field + QLatin1Char(']'); }

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

} // namespace

QString Soundex(const QString& word)
{
    const QString w = word.toUpper();
    QString result = w.left(1);
    QChar previous;
    for (qsizetype i = 0; result.size() < 4; ++i) {
        if (i >= w.size()) {
            result += QLatin1Char('0');
            continue;
        }
        const QChar code = soundCode(w.at(i));
        if (code != previous && code != QLatin1Char('0') && i != 0)
            result += code;
        previous = code;
    }
    return result;
}

QString filterCondition(const QString& field, int daoType, const QString& text, bool& unknownType)
{
    unknownType = false;
    const QString f = bracket(field);
    switch (daoType) {
    case jet::dbBoolean: case jet::dbByte: case jet::dbInteger: case jet::dbLong:
    case jet::dbCurrency: case jet::dbSingle: case jet::dbDouble: case kDecimal:
        if (text.isEmpty())
            return f + QStringLiteral(" IS NULL ");
        // The number read goes into the statement, not the typed text: "1,000" is 1000.
        if (const auto number = readsAsNumber(text))
            return f + QLatin1Char('=') + jet::sqlNumber(*number) + QLatin1Char(' ');
        return f + QStringLiteral(" LIKE ") + quoted(general::Double_Quotes(text)) + QLatin1Char(' ');
    case jet::dbDate: {
        if (text.isEmpty())
            return f + QStringLiteral(" IS NULL ");
        if (const auto d = readsAsDate(text))
            return f + QStringLiteral("=#") + usDateTime(*d) + QStringLiteral("# ");
        // A number goes through the date mask as a count of days; other text unchanged.
        QString shown = text;
        bool isNumber = false;
        const double days = QLocale::c().toDouble(text.trimmed(), &isNumber);
        if (isNumber && days > -657435.0 && days < 2958466.0)
            shown = usDateTime(jet::DateTime{days});
        return f + QStringLiteral(" LIKE ") + quoted(general::Double_Quotes(shown)) + QLatin1Char(' ');
    }
    case jet::dbText: case jet::dbMemo:
        if (text.isEmpty())
            return f + QStringLiteral(" IS NULL OR ") + f + QStringLiteral("=\"\" ");
        return f + QStringLiteral(" LIKE ") + quoted(general::Double_Quotes(text)) + QLatin1Char(' ');
    default:
        unknownType = true;
        return QString();
    }
}

QString findCondition(FindMode mode, const QString& field, const QString& text)
{
    const QString t = general::Double_Quotes(text);
    QString pattern;
    switch (mode) {
    case FindMode::Exact: pattern = t; break;
    case FindMode::AnyPart: pattern = QLatin1Char('*') + t + QLatin1Char('*'); break;
    case FindMode::StartOf: pattern = t + QLatin1Char('*'); break;
    }
    return bracket(field) + QStringLiteral(" LIKE ") + quoted(pattern) + QLatin1Char(' ');
}

QString replaceIgnoringCase(const QString& text, const QString& find, const QString& replacement)
{
    if (find.isEmpty())
        return text;
    QString out = text;
    out.replace(find, replacement, Qt::CaseInsensitive);
    return out;
}

} // namespace workbench
