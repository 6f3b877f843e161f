// The Column Cleaner's conversion as SQL text: one OR term per old value, one
// UPDATE, one transaction. Literals of a column without delimiters (numbers,
// Yes/No) are checked before they are written, so a typed new value can never
// become part of the statement's syntax.
#include "cleaning/column_convert.h"

#include "common/general.h"
#include "platform/jet/error.h"
#include "platform/jet/types.h"

#include <QDateTime>
#include <QLocale>

namespace cleaning {

const char* const kClashMessage = "One of the items listed in selection list is also listed as the new value";

namespace {

const QString kDateFormat = QStringLiteral("MM/dd/yyyy HH:mm:ss");

/// What a column of the type holds, as the refusal of a value says it.
QString holds(const ConvertRequest& r)
{
    if (r.delimiter == QLatin1String("#"))
        return QStringLiteral("dates");
    if (r.fieldType == jet::dbBoolean)
        return QStringLiteral("Yes/No values");
    return QStringLiteral("numbers");
}

[[noreturn]] void refuse(const QString& text, const ConvertRequest& r)
{
    throw jet::JetError(jet::errTypeMismatch, QStringLiteral("The column %1 holds %2: \"%3\" is not one of them.")
                                                  .arg(r.column, holds(r), text));
}

/// A literal for a column without delimiters: a number as the number read,
/// or a Yes/No word.
QString bareLiteral(const QString& text, const ConvertRequest& r)
{
    if (const auto number = jet::readTypedNumber(text))
        return jet::sqlNumber(*number);
    const QString t = text.trimmed();
    for (const char* word : {"True", "False", "Yes", "No", "On", "Off"})
        if (t.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return t;
    refuse(text, r);
}

/// The value as a literal of the column: between its delimiters, quotes doubled.
QString literal(const QString& text, const ConvertRequest& r)
{
    const QString& d = r.delimiter;
    if (d == QLatin1String("#")) {
        const auto date = dateLiteralText(text);
        if (!date)
            refuse(text, r);
        return QLatin1Char('#') + *date + QLatin1Char('#');
    }
    if (d.isEmpty())
        return bareLiteral(text, r);
    return d + general::Double_Quotes(text) + d;
}

} // namespace

std::optional<QString> dateLiteralText(const QString& shown)
{
    const QString t = shown.trimmed();
    if (const auto stored = jet::parseStoredDate(t)) {
        const jet::DateParts p = jet::toParts(*stored);
        return QString::asprintf("%02d/%02d/%04d %02d:%02d:%02d", p.month, p.day, p.year, p.hour, p.minute, p.second);
    }
    const QLocale c = QLocale::c();
    for (const char* f : {"M/d/yyyy h:mm:ss AP", "M/d/yyyy h:mm AP", "M/d/yyyy H:mm:ss", "M/d/yyyy H:mm", "M/d/yyyy"}) {
        const QDateTime dt = c.toDateTime(t, QString::fromLatin1(f));
        if (dt.isValid())
            return dt.toString(kDateFormat);
    }
    for (const char* f : {"h:mm:ss AP", "h:mm AP", "H:mm:ss", "H:mm"}) {
        const QTime time = c.toTime(t, QString::fromLatin1(f));
        if (time.isValid())
            return QDateTime(QDate(1899, 12, 30), time).toString(kDateFormat);
    }
    return std::nullopt;
}

std::optional<QString> convertCondition(const ConvertRequest& request)
{
    const QString& c = request.column;
    const QString& d = request.delimiter;
    const QString upperNew = request.newValue.toUpper();
    QString where = QStringLiteral("WHERE ");
    for (const QString& value : request.oldValues) {
        if (value.toUpper() == upperNew)
            return std::nullopt;
        if (!value.isEmpty())
            where += QLatin1Char('[') + c + QStringLiteral("]=") + literal(value, request) + QStringLiteral(" OR ");
        else if (d == QLatin1String("\""))
            where += QLatin1Char('[') + c + QStringLiteral("]=\"\" OR [") + c + QStringLiteral("] IS NULL OR ");
        else
            where += QLatin1Char('[') + c + QStringLiteral("] IS NULL OR ");
    }
    where.chop(3);   // " OR " becomes a single space
    return where;
}

QString convertStatement(const ConvertRequest& request, const QString& condition)
{
    QString sql = QStringLiteral("UPDATE tblData SET [") + request.column;
    if (request.newValue.isEmpty())
        sql += QStringLiteral("]=NULL ");
    else
        sql += QStringLiteral("]=") + literal(request.newValue, request) + QLatin1Char(' ');
    return sql + condition;
}

ConvertResult runColumnConvert(jet::Database& db, const ConvertRequest& request)
{
    ConvertResult result;
    if (request.oldValues.isEmpty()) {
        result.outcome = ConvertOutcome::Converted;
        return result;
    }
    QString sql;
    try {
        const auto condition = convertCondition(request);
        if (!condition) {
            result.outcome = ConvertOutcome::Clash;
            result.message = QString::fromLatin1(kClashMessage);
            return result;
        }
        sql = convertStatement(request, *condition);
    } catch (const jet::JetError& e) {
        result.message = e.description();
        return result;
    }
    jet::Workspace::beginTrans();
    try {
        db.execute(sql, jet::dbFailOnError);
        result.rowsChanged = db.recordsAffected();
        jet::Workspace::commitTrans();
    } catch (const std::exception& e) {
        jet::Workspace::rollback();
        const auto* j = dynamic_cast<const jet::JetError*>(&e);
        result.message = j ? j->description() : QString::fromLocal8Bit(e.what());
        return result;
    }
    result.outcome = ConvertOutcome::Converted;
    return result;
}

} // namespace cleaning
