// Convert and Clear Selection for the near-duplicate review list, and the
// filter of one Dupe Remover group.
//
// Convert runs four set-based statements in one savepoint: the two joined
// replacements in tblData (marked Column1 values take Column2, then marked
// Column2 values take Column1, so a pair marked on both sides ends on
// Column1) and the two count moves in tblSpecSearch1. The join costs one scan
// of tblData per direction, however many pairs are marked. A replacement
// that finds fewer records than the search counted for its marked values is
// undone with the rest: the conversion succeeds whole or not at all.
#include "duplicates/conversion.h"

#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/recordset.h"
#include "platform/jet/types.h"

namespace neardup {
namespace {

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    return QString::fromLocal8Bit(e.what());
}

/// The records the marked values of one side (1: Column1 marked in
/// Convert1, 2: Column2 in Convert2) hold by the search's counts, each value
/// counted once however many pairs it is marked in.
qint64 markedRecords(jet::Database& db, int side)
{
    jet::Stmt s(&db.connection(),
                QStringLiteral("SELECT COALESCE(SUM(n), 0) FROM (SELECT MAX(CAST(Count%1 AS INTEGER)) AS n "
                               "FROM tblSpecSearch1 WHERE Convert%1 = 'X' GROUP BY Column%1)")
                    .arg(side));
    return s.step() ? s.int64(0) : 0;
}

} // namespace

std::optional<QString> pairCast(int fieldType, const QString& side)
{
    const QString s = QStringLiteral("S.") + side;
    const auto cast = [&s](const char* function) { return QStringLiteral("%1(%2) ").arg(QLatin1String(function), s); };
    switch (fieldType) {
    case jet::dbBoolean: return cast("CBOOL");
    case jet::dbByte: return cast("CBYTE");
    case jet::dbInteger: return cast("CINT");
    case jet::dbLong: return cast("CLNG");
    case jet::dbCurrency: return cast("CCUR");
    case jet::dbSingle: return cast("CSNG");
    case jet::dbDouble:
    case 15: return cast("CDBL");   // GUIDs have no better comparison than the double one
    case jet::dbDate: return cast("CDATE");
    case jet::dbText: return s + QLatin1Char(' ');
    case jet::dbMemo: return cast("CVAR");
    case 20: return cast("CDEC");
    default: return std::nullopt;
    }
}

ConversionResult convertMarkedPairs(jet::Database& db, const QString& column, const ConversionOptions& options)
{
    ConversionResult r;
    try {
        {
            auto rs = db.openRecordset(
                QStringLiteral("SELECT * FROM tblSpecSearch1 WHERE Convert1='X' OR Convert2='X'"), jet::dbOpenSnapshot);
            if (rs->eof()) {
                r.message = QString::fromLatin1(kNothingToConvert);
                return r;
            }
        }
        int type = 0;
        {
            auto rs = db.openRecordset(QStringLiteral("SELECT TOP 1 * FROM tblData;"), jet::dbOpenSnapshot);
            const int i = rs->fieldIndex(column);
            if (i < 0)
                throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
            type = rs->field(i).type;
        }
        const std::optional<QString> cast1 = pairCast(type, QStringLiteral("Column1"));
        const std::optional<QString> cast2 = pairCast(type, QStringLiteral("Column2"));
        if (!cast1 || !cast2) {
            r.message = QStringLiteral("Unknown Data Type");
            return r;
        }
        const QString c = column;
        const QString statements[] = {
            QStringLiteral("UPDATE tblData D INNER JOIN tblSpecSearch1 S ON D.[%1]=%2 SET D.[%1]=S.Column2 "
                           "WHERE S.Convert1='X';")
                .arg(c, *cast1),
            QStringLiteral("UPDATE tblData D INNER JOIN tblSpecSearch1 S ON D.[%1]=%2 SET D.[%1]=S.Column1 "
                           "WHERE S.Convert2='X';")
                .arg(c, *cast2),
            QStringLiteral("UPDATE tblSpecSearch1 S SET S.Count2 = CSTR(CLNG(S.Count2) + CLNG(S.Count1)), S.Count1='0' "
                           "WHERE S.Convert1='X';"),
            // The count is a text column: the zero goes in as text.
            QStringLiteral("UPDATE tblSpecSearch1 S SET S.Count1 = CSTR(CLNG(S.Count1) + CLNG(S.Count2)), S.Count2='0' "
                           "WHERE S.Convert2='X';"),
        };
        // The records the search counted for the marked values: each
        // replacement must find at least these, or the pair texts did not
        // compare with the column's values as they are stored (and the
        // conversion would change less than the list promises).
        const qint64 expected[] = {markedRecords(db, 1), markedRecords(db, 2)};
        jet::Savepoint sp(db.connection(), QStringLiteral("qb_convert"));
        int step = 0;
        for (const QString& sql : statements) {
            ++step;
            if (options.beforeStep)
                options.beforeStep(step);
            db.execute(sql, jet::dbFailOnError);
            if (step <= 2 && db.recordsAffected() < expected[step - 1])
                throw jet::JetError(jet::errGeneral,
                                    QStringLiteral("Only %1 of the %2 records holding the marked values were found in "
                                                   "the column [%3]. Nothing was converted.")
                                        .arg(db.recordsAffected())
                                        .arg(expected[step - 1])
                                        .arg(column));
        }
        sp.commit();
        r.ok = true;
        r.message = QString::fromLatin1(kConversionSucceeded);
    } catch (const std::exception& e) {
        r.message = describe(e);
    }
    return r;
}

void clearMarks(jet::Database& db)
{
    db.execute(QStringLiteral("UPDATE tblSpecSearch1 SET Convert1='', Convert2='';"), jet::dbFailOnError);
}

} // namespace neardup

namespace dupes {
namespace {

QString nullTerm(const QString& n, const QString& equalsWhat, bool isNull)
{
    return QStringLiteral("([%1]=%2 OR (ISNULL([%1]) AND %3)) ")
        .arg(n, isNull ? QStringLiteral("NULL") : equalsWhat, isNull ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

/// The date as the engine's # literal reads it, whatever the locale.
QString dateLiteral(const jet::Value& v)
{
    const jet::DateParts p = jet::toParts(v.toDate());
    return QStringLiteral("#%1/%2/%3 %4:%5:%6#")
        .arg(p.month, 2, 10, QLatin1Char('0'))
        .arg(p.day, 2, 10, QLatin1Char('0'))
        .arg(p.year, 4, 10, QLatin1Char('0'))
        .arg(p.hour, 2, 10, QLatin1Char('0'))
        .arg(p.minute, 2, 10, QLatin1Char('0'))
        .arg(p.second, 2, 10, QLatin1Char('0'));
}

/// A number as the engine's SQL reads it: '.' for decimals, -1 for Yes.
QString numberLiteral(const jet::Value& v)
{
    if (v.kind() == jet::Kind::Bool)
        return v.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (v.kind() == jet::Kind::Long)
        return QString::number(v.toLong());
    return jet::sqlNumber(v.toDouble());
}

} // namespace

QString groupFilter(const std::vector<Column>& columns, const std::vector<jet::Value>& values)
{
    QString filter;
    for (size_t i = 0; i < columns.size() && i < values.size(); ++i) {
        const QString& n = columns[i].name;
        const jet::Value& v = values[i];
        const bool empty = v.isNull() || (v.isText() && v.textPtr()->isEmpty());
        QString term;
        switch (columns[i].type) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 20:
            term = nullTerm(n, empty ? QString() : numberLiteral(v), empty);
            break;
        case jet::dbDate:
            term = nullTerm(n, empty ? QString() : dateLiteral(v), empty);
            break;
        case jet::dbText:
        case jet::dbMemo:
            term = QStringLiteral("(IIF(ISNULL([%1]),\"\",[%1])=\"%2\") ")
                       .arg(n, general::Double_Quotes(v.isNull() ? QString() : v.toString()));
            break;
        default: continue;   // no way to match it: leave the column out rather than break the filter
        }
        if (!filter.isEmpty())
            filter += QStringLiteral(" AND ");
        filter += term;
    }
    return filter;
}

} // namespace dupes
