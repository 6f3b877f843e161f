// The near-duplicate search as the page runs it on the working database.
//
// Call order: one query reads the column's values as text, record by record
// in key order, with whether each matches the pattern, only for the lengths
// the search can reach; findNearPairs merges them into distinct values (equal
// but for case is one value) with their record counts and pairs them; then,
// in one workspace transaction, the result tables are emptied and refilled
// through prepared inserts.
//
// Cost: one scan of the column, one hash probe per record, the pairing
// (close to linear), and one insert per pair and per counted value. A
// failure anywhere rolls the tables back to the previous search's rows and
// says why.
//
// The marks and DummyField are left Null: DummyField holds one character,
// so the "123" the review list was once touched with does not fit it.
#include "duplicates/near_search.h"

#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/sqlfunctions.h"

#include <QHash>

#include <algorithm>

namespace neardup {
namespace {

QString realTable(jet::Connection& c, const QString& name)
{
    const QString real = c.tableName(name);
    if (real.isEmpty())
        throw jet::JetError(jet::errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                                            "Make sure it exists and that its name is spelled correctly.")
                                                 .arg(name));
    return real;
}

std::vector<ValueCount> readValues(jet::Connection& c, const QString& data, const QString& column, int type,
                                   const NearSearchRequest& req)
{
    std::vector<ValueCount> out;
    const int lo = req.minLength - (req.type == SearchType::OneCharMissing ? 1 : 0);
    if (lo > req.maxLength)
        return out;
    const QString ref = QStringLiteral("T.") + jet::quoteName(column);
    const QString matches = req.filter.isEmpty() ? QStringLiteral("1") : QStringLiteral("%1 LIKE ?3").arg(ref);
    // A text column is its own text and SQLite counts its characters as the
    // engine does; skipping the conversions saves a third of a million-value read.
    const bool text = type == jet::dbText || type == jet::dbMemo;
    // Other values go as their text with every digit of a number, so that a
    // converted pair finds its rows again by value.
    const QString value = text ? ref : jet::exactTextSql(ref, type);
    const QString length = QStringLiteral("length(%1)").arg(value);
    // One record at a time, in key order: findNearPairs merges the values
    // equal but for case (as the engine's collation compares them), adding
    // their counts, and keeps the first spelling, which is the one a GROUP BY
    // of the column lists. Grouping here instead would sort the whole column
    // with the collation, by far the dearest part of the search.
    jet::Stmt s(&c, QStringLiteral("SELECT %1, %2 FROM main.%3 T WHERE %4 IS NOT NULL AND %5 BETWEEN ?1 AND ?2 ORDER BY T.rowid")
                        .arg(value, matches, jet::quoteName(data), ref, length));
    s.bindInt(1, lo);
    s.bindInt(2, req.maxLength);
    if (!req.filter.isEmpty())
        s.bind(3, jet::Value(req.filter));
    // Values equal but for case are merged as they are read, exactly as
    // findNearPairs merges them (the first spelling stays, the counts add up,
    // a match of any spelling counts): ten million records then hold their
    // distinct values in memory, not one string each.
    QHash<QString, std::size_t> seen;
    while (s.step()) {
        QString text = s.value(0, jet::dbText).toString();
        const bool matches = s.int64(1) != 0;
        QString key = text.toCaseFolded();
        if (const auto it = seen.constFind(key); it != seen.cend()) {
            ValueCount& v = out[*it];
            ++v.count;
            v.matchesFilter = v.matchesFilter || matches;
            continue;
        }
        seen.insert(std::move(key), out.size());
        out.push_back(ValueCount{std::move(text), 1, matches});
    }
    return out;
}

class ProgressByLength {
public:
    ProgressByLength(common::Progress& p, int minLength) : p_(p), min_(minLength) {}
    void operator()(int length) const { p_.step(length - min_ + 1); }

private:
    common::Progress& p_;
    int min_;
};

} // namespace

bool NearSearchRecord::allowsConversionOf(const QString& otherColumn) const
{
    return ok && !column.isEmpty() && column.compare(otherColumn, Qt::CaseInsensitive) == 0;
}

NearSearchRecord runNearSearch(jet::Database& db, const NearSearchRequest& request, common::Progress& progress)
{
    NearSearchRecord r;
    r.type = request.type;
    r.minLength = request.minLength;
    r.maxLength = request.maxLength;
    r.filter = request.filter;
    jet::Connection& c = db.connection();
    bool began = false;
    try {
        const QString data = realTable(c, QStringLiteral("tblData"));
        int type = jet::dbText;
        for (const jet::ColumnInfo& ci : c.columns(data)) {
            if (ci.name.compare(request.column, Qt::CaseInsensitive) == 0) {
                r.column = ci.name;
                type = ci.type;
            }
        }
        if (r.column.isEmpty() || r.column.compare(QLatin1String("LumacorPrimK"), Qt::CaseInsensitive) == 0)
            throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
        const QString pairsTable = realTable(c, QStringLiteral("tblSpecSearch1"));
        const QString countsTable = realTable(c, QStringLiteral("tblCounts1"));

        progress.start(std::max(0, request.maxLength - request.minLength + 1) + 2);
        SearchOptions o;
        o.type = request.type;
        o.minLength = request.minLength;
        o.maxLength = request.maxLength;
        o.onLength = ProgressByLength(progress, request.minLength);
        const SearchResult found = findNearPairs(readValues(c, data, r.column, type, request), o);

        jet::Workspace::beginTrans();
        began = true;
        c.exec(QStringLiteral("DELETE FROM main.") + jet::quoteName(pairsTable));
        c.exec(QStringLiteral("DELETE FROM main.") + jet::quoteName(countsTable));
        jet::Stmt pair(&c, QStringLiteral("INSERT INTO main.%1 (Column1, Count1, Column2, Count2) "
                                          "VALUES (?1, ?2, ?3, ?4)")
                               .arg(jet::quoteName(pairsTable)));
        for (const PairRow& p : found.pairs) {
            pair.bind(1, jet::Value(p.column1));
            pair.bind(2, jet::Value(QString::number(p.count1)));
            pair.bind(3, jet::Value(p.column2));
            pair.bind(4, jet::Value(QString::number(p.count2)));
            pair.step();
            pair.reset();
        }
        jet::Stmt count(&c, QStringLiteral("INSERT INTO main.%1 (Column1, Count1) VALUES (?1, ?2)").arg(jet::quoteName(countsTable)));
        for (const CountRow& k : found.counts) {
            count.bind(1, jet::Value(k.column1));
            count.bindInt(2, k.count1);
            count.step();
            count.reset();
        }
        jet::Workspace::commitTrans();
        began = false;
        c.bump();
        r.pairs = qint64(found.pairs.size());
        r.tooLong = found.tooLong;
        r.ok = true;
    } catch (const jet::JetError& e) {
        if (began) {
            try {
                jet::Workspace::rollback();
            } catch (...) {
            }
        }
        r.ok = false;
        r.error = e.description();
        r.pairs = 0;
    }
    progress.step(std::max(0, request.maxLength - request.minLength + 1) + 2);
    return r;
}

} // namespace neardup
