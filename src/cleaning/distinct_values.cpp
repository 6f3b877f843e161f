// The distinct-values listing: the statements and their run.
//
// Without a filter the list is an empty-value row (Null, and for text and
// memo columns also "") followed by one row per distinct value. With a typed
// pattern or a class only the rows the condition selects are grouped, and no
// empty-value row is made.
//
// The statements are built as the engine's SQL, but the listing does not run
// the grouping ones: GROUP BY makes the engine sort every row of the table
// under its collation, which on a million rows costs most of a second before
// the first group comes back. The listing instead reads the column once on the
// same rows (scanSql, with the same WHERE text, so the engine's LIKE decides
// what is selected), counts the values in a hash table keyed as the
// collation compares (case-folded text; numbers by value), and sorts only the
// groups, with the collation's own compare. Results equal the grouping
// statements', down to the order.
//
// The aliases: the engine resolves an ORDER BY name against the result's
// aliases before the table's columns, so a column named like an alias would
// be sorted by the count. The aliases change when the column bears either name.
//
// The Other class is the one filter not left to the engine: its WHERE text
// holds ranges of code-page codes, and the engine's LIKE compares code points,
// which would list values whose only unusual character is a no-break space and
// miss the euro sign, curly quotes and every character the code page lacks.
// For Other every non-Null value is read and tested with hasOtherChar.
#include "cleaning/distinct_values.h"

#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/jet/translator.h"

#include <QByteArray>

#include <algorithm>
#include <unordered_map>

namespace cleaning {
namespace {

struct Aliases {
    QString value;
    QString count;
};

Aliases aliasesFor(const QString& column)
{
    const auto same = [&](const char* alias) {
        return column.compare(QLatin1String(alias), Qt::CaseInsensitive) == 0;
    };
    if (same("Colum") || same("Count"))
        return {QStringLiteral("Colum1"), QStringLiteral("Count1")};
    return {QStringLiteral("Colum"), QStringLiteral("Count")};
}

bool isTextType(int fieldType) { return fieldType == jet::dbText || fieldType == jet::dbMemo; }

QString selectPart(const QString& column, const Aliases& a)
{
    return QStringLiteral("SELECT [") + column + QStringLiteral("] AS ") + a.value
        + QStringLiteral(" , COUNT(*) AS ") + a.count + QStringLiteral(" ");
}

QString scanPart(const QString& column)
{
    return QStringLiteral("SELECT [") + column + QStringLiteral("] FROM tblData ");
}

// The query over the non-empty values, in the unfiltered list's form.
QString nonEmptyQuery(const QString& column, int fieldType, const Aliases& a)
{
    QString sql = selectPart(column, a) + QStringLiteral("FROM tblData ") + QStringLiteral("WHERE [")
        + column + QStringLiteral("] IS NOT NULL ");
    if (isTextType(fieldType))
        sql += QStringLiteral("  AND [") + column + QStringLiteral("]<>\"\" ");
    return sql + QStringLiteral("GROUP BY [") + column + QStringLiteral("] ") + QStringLiteral("ORDER BY ")
        + QStringLiteral("[") + column + QStringLiteral("] ");
}

jet::ColumnInfo findColumn(jet::Connection& c, const QString& column)
{
    const QString table = c.tableName(QStringLiteral("tblData"));
    if (table.isEmpty())
        throw jet::JetError(jet::errNoTable,
                            QStringLiteral("The database engine cannot find the input table or query 'tblData'."));
    for (const jet::ColumnInfo& info : c.columns(table))
        if (info.name.compare(column, Qt::CaseInsensitive) == 0)
            return info;
    throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
}

// Text groups: equal when the collation calls them equal (case folded per
// character), so the hash folds the same way.
struct FoldHash {
    std::size_t operator()(const QString& s) const noexcept
    {
        std::size_t h = 1469598103934665603ull;
        const qsizetype n = s.size();
        const QChar* p = s.constData();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = p[i].unicode();
            if (c < 0x80) {
                if (c >= u'A' && c <= u'Z')
                    c += 32;
            } else if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
                c = QChar::toCaseFolded(QChar::surrogateToUcs4(p[i].unicode(), p[i + 1].unicode()));
                ++i;
            } else {
                c = QChar::toCaseFolded(c);
            }
            h = (h ^ c) * 1099511628211ull;
        }
        return h;
    }
};

struct FoldEqual {
    bool operator()(const QString& a, const QString& b) const
    {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
};

struct Group {
    jet::Value value;   // the first row's value
    qint64 count = 0;
    double number = 0;  // numbers: the value
    QByteArray text;    // text: the stored text in UTF-8, for the collation's compare
    bool isNumber = false;
};

// Numbers before text, as the engine orders its storage classes; text by the
// collation itself.
bool groupLess(const Group& a, const Group& b)
{
    if (a.isNumber != b.isNumber)
        return a.isNumber;
    if (a.isNumber)
        return a.number < b.number;
    return jet::jetCompare(a.text.constData(), static_cast<int>(a.text.size()), b.text.constData(),
                           static_cast<int>(b.text.size()))
        < 0;
}

bool isNumberKind(jet::Kind k) { return k == jet::Kind::Long || k == jet::Kind::Double || k == jet::Kind::Bool; }

} // namespace

DistinctQuery distinctQuery(const QString& column, int fieldType, const DistinctFilter& filter)
{
    const Aliases a = aliasesFor(column);
    QString where;
    DistinctQuery q;
    if (!filter.special) {
        if (!filter.likePattern.isEmpty())
            where = QStringLiteral(" WHERE [") + column + QStringLiteral("] LIKE \"")
                + general::Double_Quotes(filter.likePattern) + QStringLiteral("\"");
    } else if (filter.cls == CharClass::Other) {
        q.mainSql = nonEmptyQuery(column, fieldType, a);
        q.scanSql = scanPart(column) + QStringLiteral("WHERE [") + column + QStringLiteral("] IS NOT NULL ");
        q.valueTest = CharClass::Other;
        return q;
    } else {
        where = classCondition(column, filter.cls, filter.specChars);
    }

    if (!where.isEmpty()) {
        q.mainSql = selectPart(column, a) + QStringLiteral("FROM tblData ") + where + QStringLiteral("GROUP BY [")
            + column + QStringLiteral("] ") + QStringLiteral("ORDER BY ") + QStringLiteral("[") + column
            + QStringLiteral("] ");
        q.scanSql = scanPart(column) + where;
        return q;
    }

    q.emptySql = QStringLiteral("SELECT \"\" AS ") + a.value + QStringLiteral(" , COUNT(*) AS ") + a.count
        + QStringLiteral(" ") + QStringLiteral("FROM tblData ") + QStringLiteral("WHERE [") + column
        + QStringLiteral("] IS NULL ");
    if (isTextType(fieldType))
        q.emptySql += QStringLiteral("   OR [") + column + QStringLiteral("]=\"\" ");
    q.mainSql = nonEmptyQuery(column, fieldType, a);
    q.scanSql = scanPart(column);
    return q;
}

DistinctList distinctValues(jet::Database& db, const QString& column, const DistinctFilter& filter)
{
    DistinctList list;
    try {
        jet::Connection& c = db.connection();
        const jet::ColumnInfo info = findColumn(c, column);
        list.fieldType = info.type;
        const DistinctQuery q = distinctQuery(column, info.type, filter);
        const bool listEmpty = !q.emptySql.isEmpty();
        const bool text = isTextType(info.type);
        const ClassFilter test(q.valueTest, filter.specChars);

        std::vector<Group> groups;
        std::unordered_map<QString, std::size_t, FoldHash, FoldEqual> byText;
        std::unordered_map<double, std::size_t> byNumber;
        qint64 empties = 0;

        jet::Stmt s(&c, jet::translate(q.scanSql).sql);
        while (s.step()) {
            jet::Value v = s.value(0, info.type);
            if (v.isNull()) {
                empties += listEmpty;
                continue;
            }
            if (isNumberKind(v.kind())) {
                const double d = v.toDouble();
                auto [it, fresh] = byNumber.try_emplace(d, groups.size());
                if (fresh) {
                    Group g;
                    g.value = std::move(v);
                    g.number = d;
                    g.isNumber = true;
                    groups.push_back(std::move(g));
                }
                ++groups[it->second].count;
                continue;
            }
            // Dates group and sort as the text they are stored as.
            QString key = v.kind() == jet::Kind::Date ? jet::storedDate(v.toDate()) : v.toString();
            if (listEmpty && text && key.isEmpty()) {
                ++empties;
                continue;
            }
            if (q.valueTest != CharClass::None && !test.passes(v.toString()))
                continue;
            auto it = byText.find(key);
            if (it == byText.end()) {
                Group g;
                g.value = std::move(v);
                groups.push_back(std::move(g));
                it = byText.emplace(std::move(key), groups.size() - 1).first;
            }
            ++groups[it->second].count;
        }

        for (const auto& [key, index] : byText)
            groups[index].text = key.toUtf8();
        std::sort(groups.begin(), groups.end(), groupLess);

        list.rows.reserve(groups.size() + 1);
        if (empties > 0)
            list.rows.push_back(DistinctRow{jet::Value(), empties, true});
        for (Group& g : groups)
            list.rows.push_back(DistinctRow{std::move(g.value), g.count, false});
    } catch (const jet::JetError& e) {
        list.rows.clear();
        list.error = e.description();
    }
    return list;
}

QString literalDelimiter(int fieldType)
{
    if (fieldType == jet::dbDate)
        return QStringLiteral("#");
    if (isTextType(fieldType))
        return QStringLiteral("\"");
    return QString();
}

QString valueFilter(const QString& column, int fieldType, const DistinctRow& row)
{
    const QString name = QStringLiteral("[") + column + QStringLiteral("]");
    if (row.empty || row.value.isNull()) {
        if (isTextType(fieldType))
            return name + QStringLiteral("=\"\" OR ") + name + QStringLiteral(" IS NULL ");
        return name + QStringLiteral(" IS NULL ");
    }
    if (fieldType == jet::dbDate && row.value.kind() == jet::Kind::Date) {
        const jet::DateParts p = jet::toParts(row.value.toDate());
        return name + QStringLiteral("=#%1/%2/%3 %4:%5:%6# ")
                          .arg(p.month, 2, 10, QLatin1Char('0'))
                          .arg(p.day, 2, 10, QLatin1Char('0'))
                          .arg(p.year, 4, 10, QLatin1Char('0'))
                          .arg(p.hour, 2, 10, QLatin1Char('0'))
                          .arg(p.minute, 2, 10, QLatin1Char('0'))
                          .arg(p.second, 2, 10, QLatin1Char('0'));
    }
    if (row.value.isText() || isTextType(fieldType))
        return name + QStringLiteral("=\"") + general::Double_Quotes(row.value.toString()) + QStringLiteral("\" ");
    // Every digit of the stored number, not the 15 the list shows.
    if (row.value.kind() == jet::Kind::Double)
        return name + QStringLiteral("=") + jet::sqlNumber(row.value.toDouble()) + QStringLiteral(" ");
    return name + QStringLiteral("=") + row.value.toString() + QStringLiteral(" ");
}

} // namespace cleaning
