// The Column Cleaner's conversion as SQL text: one OR term per old value, one
// UPDATE, one transaction. Every value is first converted as any write into
// the column converts it (jet::coerce): a value the column cannot hold is
// refused with what the column holds, before anything is changed, and a
// typed new value can never become part of the statement's syntax.
#include "cleaning/column_convert.h"

#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/types.h"


namespace cleaning {

const char* const kClashMessage = "One of the items listed in selection list is also listed as the new value";

namespace {


/// The column's field type: the one given, else the one its delimiter tells.
int typeOf(const ConvertRequest& r)
{
    if (r.fieldType != 0)
        return r.fieldType;
    if (r.delimiter == QLatin1String("#"))
        return jet::dbDate;
    return r.delimiter.isEmpty() ? jet::dbDouble : jet::dbText;
}

/// What a column of the type holds, as the refusal of a value says it.
QString holds(const ConvertRequest& r)
{
    switch (typeOf(r)) {
    case jet::dbBoolean: return QStringLiteral("Yes/No values");
    case jet::dbByte: return QStringLiteral("whole numbers from 0 to 255");
    case jet::dbInteger: return QStringLiteral("whole numbers from -32768 to 32767");
    case jet::dbLong: return QStringLiteral("whole numbers from -2147483648 to 2147483647");
    case jet::dbSingle: return QStringLiteral("numbers from -3.402823E+38 to 3.402823E+38");
    case jet::dbCurrency: return QStringLiteral("amounts from -922337203685477.5807 to 922337203685477.5807");
    case jet::dbDate: return QStringLiteral("dates");
    case jet::dbText:
        if (r.fieldSize > 0)
            return QStringLiteral("text of up to %1 characters").arg(r.fieldSize);
        return QStringLiteral("text");
    default: return QStringLiteral("numbers");
    }
}

[[noreturn]] void refuse(const QString& text, const ConvertRequest& r)
{
    throw jet::JetError(jet::errTypeMismatch, QStringLiteral("The column %1 holds %2: \"%3\" is not one of them.")
                                                  .arg(r.column, holds(r), text));
}

/// The text as the column takes it, by the conversion every write goes
/// through; refused with the column's description when it cannot hold it.
jet::Value converted(const QString& text, const ConvertRequest& r, int type)
{
    try {
        return jet::coerce(jet::Value(text), type);
    } catch (const jet::JetError&) {
        refuse(text, r);
    }
}

/// The value as a literal of the column: a date between #, a number or a
/// Yes/No flag as the number the column stores, text between its
/// delimiters with the quotes doubled.
QString literal(const QString& text, const ConvertRequest& r)
{
    const QString& d = r.delimiter;
    if (d == QLatin1String("#")) {
        const jet::DateParts p = jet::toParts(converted(text, r, jet::dbDate).toDate());
        return QString::asprintf("#%02d/%02d/%04d %02d:%02d:%02d#", p.month, p.day, p.year, p.hour, p.minute, p.second);
    }
    if (d.isEmpty()) {
        int type = typeOf(r);
        if (type == jet::dbText || type == jet::dbMemo || type == jet::dbDate)
            type = jet::dbDouble;   // no delimiter: the column holds numbers
        const jet::Value v = converted(text, r, type);
        switch (v.kind()) {
        case jet::Kind::Bool: return v.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
        case jet::Kind::Long: return QString::number(v.toLong());
        case jet::Kind::Double: return jet::sqlNumber(v.toDouble());
        case jet::Kind::Currency: return jet::currencyText(v.currency());   // every digit
        default: refuse(text, r);
        }
    }
    if (typeOf(r) == jet::dbText && r.fieldSize > 0 && text.size() > r.fieldSize)
        refuse(text, r);
    return d + general::Double_Quotes(text) + d;
}

} // namespace

std::optional<QString> dateLiteralText(const QString& shown)
{
    const QString t = shown.trimmed();
    auto d = jet::parseStoredDate(t);
    if (!d)
        d = jet::readDateText(t);
    if (!d)
        return std::nullopt;
    const jet::DateParts p = jet::toParts(*d);
    return QString::asprintf("%02d/%02d/%04d %02d:%02d:%02d", p.month, p.day, p.year, p.hour, p.minute, p.second);
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
    // The column's type and length, for the check of the new value.
    ConvertRequest checked = request;
    try {
        for (const jet::ColumnInfo& c : db.connection().columns(QStringLiteral("tblData")))
            if (c.name.compare(request.column, Qt::CaseInsensitive) == 0) {
                if (checked.fieldType == 0)
                    checked.fieldType = c.type;
                checked.fieldSize = c.type == jet::dbText ? c.size : 0;
            }
    } catch (const jet::JetError&) {
        // No tblData: the statement reports it.
    }
    QString sql;
    try {
        const auto condition = convertCondition(checked);
        if (!condition) {
            result.outcome = ConvertOutcome::Clash;
            result.message = QString::fromLatin1(kClashMessage);
            return result;
        }
        sql = convertStatement(checked, *condition);
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
