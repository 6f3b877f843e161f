// Counting and removing identical records of tblData.
//
// Call order: comparedColumns, searchDuplicates (counts and tblDupes_AllX),
// readGroupTable for the grid, then removeDuplicates with the search's result.
//
// How: the page's own statements group tblData three times for a search
// (distinct count, duplicate count, result table) and once more for a
// removal. Here one grouping statement per search collects the groups of two
// or more into a temporary table, each with its size, its lowest key and the
// list of its keys; the counts, tblDupes_AllX and the removal's key tables
// all come from that table, and the distinct count is the record count less
// the duplicates. A grouping of a million rows costs a sort; everything else
// is a scan or key lookups. The key lists cost one integer of text per record
// during the grouping.
//
// Hazards: a removal must never trust groups the list no longer has. The
// search records the connection's change count; a removal that finds it
// changed, or whose deleted records no longer equal the record each is
// deleted for, groups again inside its transaction before deleting anything.
// The removal is one workspace transaction: any failure rolls back all of it,
// tblDupes_Min and tblDupes_Del included, and returns the reason.
#include "duplicates/dupe_remover.h"

#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"

#include <algorithm>

namespace dupes {
namespace {

const QString kKey = QStringLiteral("LumacorPrimK");
const QString kGroups = QStringLiteral("temp.qb_dupe_groups");

bool isText(const Column& c) { return c.type == jet::dbText || c.type == jet::dbMemo; }

QString bracket(const QString& n) { return QLatin1Char('[') + n + QLatin1Char(']'); }

[[noreturn]] void noTable(const QString& name)
{
    throw jet::JetError(jet::errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                                        "Make sure it exists and that its name is spelled correctly.")
                                             .arg(name));
}

QString realTable(jet::Connection& c, const QString& name)
{
    const QString real = c.tableName(name);
    if (real.isEmpty())
        noTable(name);
    return real;
}

// SQLite text of the grouping value of a column of alias a: the same
// equality as the page's IIF(ISNULL(x),'',x) for text, the plain value else.
QString valueExpr(const Column& col, const QString& a)
{
    const QString ref = a + QLatin1Char('.') + jet::quoteName(col.name);
    return isText(col) ? QStringLiteral("coalesce(%1,'')").arg(ref) : ref;
}

QString groupExpr(const Column& col, const QString& a)
{
    return isText(col) ? valueExpr(col, a) + QLatin1String(" COLLATE JETCI") : valueExpr(col, a);
}

QString joinTerms(const std::vector<Column>& cols, const std::function<QString(const Column&)>& f)
{
    QStringList out;
    for (const Column& c : cols)
        out << f(c);
    return out.join(QLatin1String(", "));
}

// (Re)creates the temporary table of the groups of two or more: size, lowest
// key, the keys as a JSON array, and the grouping values under the columns'
// own names and types.
void collectGroups(jet::Connection& c, const QString& data, const std::vector<Column>& columns)
{
    const jet::ColumnList defs = c.columns(data);
    QStringList cols{QStringLiteral("qb_n INTEGER"), QStringLiteral("qb_keep INTEGER"), QStringLiteral("qb_keys TEXT")};
    for (const Column& col : columns) {
        jet::ColumnInfo info{col.name, col.type, 255, 0};
        for (const jet::ColumnInfo& d : defs)
            if (d.name.compare(col.name, Qt::CaseInsensitive) == 0)
                info = jet::ColumnInfo{col.name, d.type, d.size, d.attributes & ~jet::dbAutoIncrField};
        cols << jet::columnDefinition(info, false, false);
    }
    c.exec(QStringLiteral("DROP TABLE IF EXISTS ") + kGroups);
    c.exec(QStringLiteral("CREATE TEMP TABLE qb_dupe_groups (%1)").arg(cols.join(QLatin1String(", "))));
    const QString key = QStringLiteral("T.") + jet::quoteName(kKey);
    c.exec(QStringLiteral("INSERT INTO %1 SELECT COUNT(*), MIN(%2), json_group_array(%2), %3 FROM main.%4 T "
                          "GROUP BY %5 HAVING COUNT(*)>1")
               .arg(kGroups, key, joinTerms(columns, [](const Column& col) { return valueExpr(col, QStringLiteral("T")); }),
                    jet::quoteName(data),
                    joinTerms(columns, [](const Column& col) { return groupExpr(col, QStringLiteral("T")); })));
}

bool groupsTableExists(jet::Connection& c)
{
    jet::Stmt s(&c, QStringLiteral("SELECT 1 FROM temp.sqlite_master WHERE name='qb_dupe_groups'"));
    return s.step();
}

qint64 scalar(jet::Connection& c, const QString& sql)
{
    jet::Stmt s(&c, sql);
    return s.step() ? s.int64(0) : 0;
}

// Records of the collected groups that a removal would delete and that still
// equal the record kept for them.
qint64 stillIdentical(jet::Connection& c, const QString& data, const std::vector<Column>& columns)
{
    QStringList same;
    for (const Column& col : columns) {
        if (isText(col))
            same << QStringLiteral("%1 = %2").arg(groupExpr(col, QStringLiteral("D")), valueExpr(col, QStringLiteral("K")));
        else
            same << QStringLiteral("%1 IS %2").arg(valueExpr(col, QStringLiteral("D")), valueExpr(col, QStringLiteral("K")));
    }
    const QString key = jet::quoteName(kKey);
    return scalar(c, QStringLiteral("SELECT count(*) FROM %1 G, json_each(G.qb_keys) J "
                                    "JOIN main.%2 D ON D.%3 = J.value JOIN main.%2 K ON K.%3 = G.qb_keep "
                                    "WHERE J.value <> G.qb_keep AND %4")
                             .arg(kGroups, jet::quoteName(data), key, same.join(QLatin1String(" AND "))));
}

qint64 duplicatesInGroups(jet::Connection& c)
{
    return scalar(c, QStringLiteral("SELECT coalesce(sum(qb_n) - count(*), 0) FROM ") + kGroups);
}

QString partTerms(const std::vector<Column>& cols, const std::function<QString(const Column&)>& f, bool joinWithComma)
{
    QString out;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (joinWithComma && i > 0)
            out += QLatin1Char(',');
        out += f(cols[i]);
    }
    if (!joinWithComma && !out.isEmpty())
        out.chop(1);
    return out;
}

} // namespace

std::vector<Column> comparedColumns(jet::Database& db, Scope scope, const QStringList& selected)
{
    jet::Connection& c = db.connection();
    const jet::ColumnList defs = c.columns(realTable(c, QStringLiteral("tblData")));
    std::vector<Column> out;
    if (scope == Scope::All) {
        for (const jet::ColumnInfo& d : defs)
            if (d.name.compare(kKey, Qt::CaseInsensitive) != 0)
                out.push_back(Column{d.name, d.type});
        return out;
    }
    for (const QString& name : selected) {
        const auto it = std::find_if(defs.begin(), defs.end(), [&](const jet::ColumnInfo& d) {
            return d.name.compare(name, Qt::CaseInsensitive) == 0 && d.name.compare(kKey, Qt::CaseInsensitive) != 0;
        });
        if (it == defs.end())
            throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
        out.push_back(Column{it->name, it->type});
    }
    return out;
}

QString searchGroupList(const std::vector<Column>& columns, Scope scope)
{
    if (scope == Scope::All)
        return partTerms(columns, [](const Column& c) {
            const QString n = bracket(c.name);
            return isText(c) ? QStringLiteral(" IIF(ISNULL(") + n + QStringLiteral("),'',") + n + QStringLiteral("),")
                             : QStringLiteral(" ") + n + QStringLiteral(",");
        }, false);
    return partTerms(columns, [](const Column& c) {
        const QString n = bracket(c.name);
        return isText(c) ? QStringLiteral(" IIF(ISNULL(") + n + QStringLiteral("),'',") + n + QStringLiteral(") ")
                         : QStringLiteral(" ") + n;
    }, true);
}

QString searchSelectList(const std::vector<Column>& columns, Scope scope)
{
    const bool all = scope == Scope::All;
    const QString end = all ? QStringLiteral(",") : QStringLiteral(" ");
    return partTerms(columns, [&](const Column& c) {
        const QString n = bracket(c.name);
        return isText(c) ? QStringLiteral(" IIF(ISNULL(T1.") + n + QStringLiteral("),'',T1.") + n + QStringLiteral(") AS ") + n + end
                         : QStringLiteral(" T1.") + n + end;
    }, !all);
}

QString removalGroupList(const std::vector<Column>& columns)
{
    return partTerms(columns, [](const Column& c) {
        const QString n = bracket(c.name);
        return isText(c) ? QStringLiteral(" IIF(ISNULL(") + n + QStringLiteral("),'',") + n + QStringLiteral(") ")
                         : QStringLiteral(" ") + n + QStringLiteral(" ");
    }, true);
}

QString distinctCountSql(const QString& groupList)
{
    return QStringLiteral("SELECT COUNT(*) AS Count FROM tblData GROUP BY ") + groupList;
}

QString duplicateCountSql(const QString& groupList)
{
    return distinctCountSql(groupList) + QStringLiteral(" HAVING COUNT(*)>1");
}

QString resultTableSql(const QString& selectList, const QString& groupList)
{
    return QStringLiteral("SELECT COUNT(*) AS Count, ") + selectList + QStringLiteral(" INTO tblDupes_AllX FROM tblData T1 GROUP BY ")
           + groupList + QStringLiteral(" HAVING COUNT(*)>1");
}

QStringList removalSql(const QString& groupList)
{
    return {
        QStringLiteral("DELETE * FROM tblDupes_Min;"),
        QStringLiteral("INSERT INTO tblDupes_Min (LumacorPrimK) SELECT MIN(tblData.LumacorPrimK) AS LumacorPrimK FROM tblData GROUP BY ")
            + groupList + QStringLiteral(" "),
        QStringLiteral("DELETE * FROM tblDupes_Del "),
        QStringLiteral("INSERT INTO tblDupes_Del (LumacorPrimK) SELECT T2.LumacorPrimK "
                       "FROM tblDupes_Min T1 RIGHT JOIN tblData T2 ON T1.LumacorPrimK=T2.LumacorPrimK "
                       "WHERE T1.LumacorPrimK IS NULL;"),
        QStringLiteral("DELETE * FROM tblData WHERE LumacorPrimK IN (SELECT LumacorPrimK ") + QString(23, QLatin1Char(' '))
            + QStringLiteral("FROM tblDupes_Del);"),
    };
}

SearchResult searchDuplicates(jet::Database& db, Scope scope, const std::vector<Column>& columns, common::Progress& progress)
{
    SearchResult r;
    r.scope = scope;
    r.columns = columns;
    try {
        if (columns.empty())
            throw jet::JetError(jet::errSyntax, QStringLiteral("No columns to compare."));
        jet::Connection& c = db.connection();
        const QString data = realTable(c, QStringLiteral("tblData"));
        progress.start(3);
        collectGroups(c, data, columns);
        progress.step(1);
        const qint64 total = scalar(c, QStringLiteral("SELECT count(*) FROM main.") + jet::quoteName(data));
        r.duplicate = duplicatesInGroups(c);
        r.distinct = total - r.duplicate;
        progress.step(2);
        if (general::DropTable(db, QStringLiteral("tblDupes_AllX")))
            throw jet::JetError(jet::errGeneral, QStringLiteral("Could not delete table tblDupes"));
        QStringList fields{QStringLiteral("qb_n AS \"Count\"")};
        for (const Column& col : columns)
            fields << jet::quoteName(col.name);
        jet::createTableFromSelect(c, QString(), QStringLiteral("tblDupes_AllX"),
                                   QStringLiteral("SELECT %1 FROM %2").arg(fields.join(QLatin1String(", ")), kGroups));
        progress.step(3);
        c.bump();
        r.generation = c.generation();
        r.ok = true;
    } catch (const jet::JetError& e) {
        r.ok = false;
        r.error = e.description();
    }
    return r;
}

GroupTable readGroupTable(jet::Database& db)
{
    GroupTable t;
    if (!db.hasTable(QStringLiteral("tblDupes_AllX")))
        return t;
    auto rs = db.openRecordset(QStringLiteral(" SELECT  * FROM tblDupes_AllX"), jet::dbOpenSnapshot);
    for (int i = 0; i < rs->fieldCount(); ++i)
        t.fields << rs->field(i).name;
    for (; !rs->eof(); rs->moveNext()) {
        Group g;
        g.count = rs->value(0).toLong();
        for (int i = 1; i < rs->fieldCount(); ++i)
            g.values.push_back(rs->value(i));
        t.rows.push_back(std::move(g));
    }
    return t;
}

std::vector<GroupKeys> groupsWithKeys(jet::Database& db, const std::vector<Column>& columns)
{
    std::vector<GroupKeys> out;
    if (columns.empty())
        return out;
    jet::Connection& c = db.connection();
    const QString data = realTable(c, QStringLiteral("tblData"));
    const QString key = QStringLiteral("T.") + jet::quoteName(kKey);
    jet::Stmt s(&c, QStringLiteral("SELECT group_concat(%1), %2 FROM main.%3 T GROUP BY %4 HAVING COUNT(*)>1")
                        .arg(key, joinTerms(columns, [](const Column& col) { return valueExpr(col, QStringLiteral("T")); }),
                             jet::quoteName(data),
                             joinTerms(columns, [](const Column& col) { return groupExpr(col, QStringLiteral("T")); })));
    while (s.step()) {
        GroupKeys g;
        for (const QString& k : s.value(0, jet::dbText).toString().split(QLatin1Char(',')))
            g.keys.push_back(k.toLongLong());
        std::sort(g.keys.begin(), g.keys.end());
        for (size_t i = 0; i < columns.size(); ++i)
            g.values.push_back(s.value(int(i) + 1, columns[i].type));
        out.push_back(std::move(g));
    }
    std::sort(out.begin(), out.end(), [](const GroupKeys& a, const GroupKeys& b) { return a.keys.front() < b.keys.front(); });
    return out;
}

RemovalResult removeDuplicates(jet::Database& db, const SearchResult& search, const RemovalOptions& options)
{
    RemovalResult r;
    common::Progress& progress = options.progress ? *options.progress : common::noProgress();
    auto step = [&](int n) {
        progress.step(n - 1);
        if (options.beforeStep)
            options.beforeStep(n);
    };
    if (search.columns.empty()) {
        r.message = QStringLiteral("No columns to compare.");
        return r;
    }
    jet::Connection& c = db.connection();
    bool began = false;
    try {
        progress.start(5);
        const QString data = realTable(c, QStringLiteral("tblData"));
        const QString minTable = realTable(c, QStringLiteral("tblDupes_Min"));
        const QString delTable = realTable(c, QStringLiteral("tblDupes_Del"));
        jet::Workspace::beginTrans();
        began = true;

        step(1);
        c.exec(QStringLiteral("DELETE FROM main.") + jet::quoteName(minTable));
        c.exec(QStringLiteral("DELETE FROM main.") + jet::quoteName(delTable));

        step(2);
        bool trusted = search.ok && search.generation == c.generation() && groupsTableExists(c);
        if (trusted)
            trusted = stillIdentical(c, data, search.columns) == duplicatesInGroups(c);
        if (!trusted)
            collectGroups(c, data, search.columns);
        const qint64 counted = duplicatesInGroups(c);

        step(3);
        const QString key = jet::quoteName(kKey);
        c.exec(QStringLiteral("INSERT INTO main.%1 (%2) SELECT J.value FROM %3 G, json_each(G.qb_keys) J "
                              "WHERE J.value <> G.qb_keep ORDER BY 1")
                   .arg(jet::quoteName(delTable), key, kGroups));

        step(4);
        c.exec(QStringLiteral("INSERT INTO main.%1 (%2) SELECT T.%2 FROM main.%3 T "
                              "WHERE T.%2 NOT IN (SELECT %2 FROM main.%4) ORDER BY 1")
                   .arg(jet::quoteName(minTable), key, jet::quoteName(data), jet::quoteName(delTable)));

        step(5);
        c.exec(QStringLiteral("DELETE FROM main.%1 WHERE %2 IN (SELECT %2 FROM main.%3)")
                   .arg(jet::quoteName(data), key, jet::quoteName(delTable)));
        r.removed = c.changes();
        if (r.removed != counted)
            throw jet::JetError(jet::errGeneral, QStringLiteral("Only %1 of the %2 duplicate records could be removed.")
                                                     .arg(r.removed)
                                                     .arg(counted));
        jet::Workspace::commitTrans();
        began = false;
        r.ok = true;
        r.message = QString::fromLatin1(kRemovalSucceeded);
    } catch (const std::exception& e) {
        if (began) {
            try {
                jet::Workspace::rollback();
            } catch (...) {
            }
        }
        c.bump();
        const auto* je = dynamic_cast<const jet::JetError*>(&e);
        r.ok = false;
        r.removed = 0;
        r.message = je ? je->description() : QString::fromUtf8(e.what());
        return r;
    }
    // The groups describe the list before the removal: never reuse them.
    c.bump();
    try {
        c.exec(QStringLiteral("DROP TABLE IF EXISTS ") + kGroups);
    } catch (const jet::JetError&) {
    }
    progress.step(5);
    return r;
}

} // namespace dupes
