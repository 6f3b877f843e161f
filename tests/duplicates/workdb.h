// A small working database for the duplicate tests: tblData built from rows
// of values and keyed 1..n in row order, plus the work tables the workbench
// creates when it opens.
#pragma once

#include "workbench/opening.h"

#include <gtest/gtest.h>

#include "platform/jet/database.h"
#include "platform/jet/value.h"

#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

namespace testdb {

inline QString literal(const jet::Value& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.isText()) {
        QString s = *v.textPtr();
        s.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + s + QLatin1Char('"');
    }
    if (v.kind() == jet::Kind::Date)
        return QLatin1Char('#') + jet::displayDate(v.toDate()) + QLatin1Char('#');
    return v.toString();
}

/// definitions: "[Name] TEXT(50)" and so on; rows: one value per column.
inline void makeData(jet::Database& db, const QStringList& definitions, const std::vector<std::vector<jet::Value>>& rows)
{
    db.execute(QStringLiteral("CREATE TABLE tblData (%1)").arg(definitions.join(QLatin1String(", "))));
    // One transaction for all rows: a commit (and a sync of the disk) per row
    // made a list of ten thousand take a minute.
    jet::Workspace::beginTrans();
    for (const auto& row : rows) {
        QStringList vals;
        for (const jet::Value& v : row)
            vals << literal(v);
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(vals.join(QLatin1String(", "))));
    }
    jet::Workspace::commitTrans();
    db.appendField(QStringLiteral("tblData"),
                   jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
}

/// The work tables, made as the workbench makes them when it opens.
inline void makeWorkTables(jet::Database& db)
{
    ASSERT_TRUE(workbench::rebuildWorkTables(db));
}

/// One column of a query's rows as whole numbers, ascending.
inline std::vector<qint64> longs(jet::Database& db, const QString& sql)
{
    std::vector<qint64> out;
    for (auto rs = db.openRecordset(sql, jet::dbOpenSnapshot); !rs->eof(); rs->moveNext())
        out.push_back(rs->value(0).toLong());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace testdb
