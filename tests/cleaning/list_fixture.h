// A working database in a temporary folder holding a small keyed tblData:
// a text column, a memo, a number, a date, a text column that is all Null and
// one column named like the grouping query's count alias.
#pragma once

#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/value.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <ostream>

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{';
    for (const QString& s : l) {
        PrintTo(s, os);
        *os << ' ';
    }
    *os << '}';
}

namespace listfixture {

/// One row: Name, Notes, Age, Born (a day serial), Count; nullopt is Null.
struct Row {
    std::optional<QString> name;
    std::optional<QString> notes;
    std::optional<double> age;
    std::optional<double> born;
    std::optional<QString> count;
};

inline jet::Value text(const std::optional<QString>& s) { return s ? jet::Value(*s) : jet::Value(); }

/// Creates tblData on db with the rows in order (keys 1..n).
inline void makeList(jet::Database& db, const std::vector<Row>& rows)
{
    db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [Notes] LONGTEXT, [Age] DOUBLE, "
                              "[Born] DATETIME, [Blank] TEXT(255), [Count] TEXT(255));"),
               jet::dbFailOnError);
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("BEGIN"));
    jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData (Name, Notes, Age, Born, Count) VALUES (?1, ?2, ?3, ?4, ?5)"));
    for (const Row& r : rows) {
        ins.bind(1, text(r.name));
        ins.bind(2, text(r.notes));
        ins.bind(3, r.age ? jet::Value(*r.age) : jet::Value());
        ins.bind(4, r.born ? jet::Value(jet::DateTime{*r.born}) : jet::Value());
        ins.bind(5, text(r.count));
        ins.step();
        ins.reset();
    }
    c.exec(QStringLiteral("COMMIT"));
    db.appendField(QStringLiteral("tblData"),
                   jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
    db.execute(QStringLiteral("ALTER TABLE tblData ADD CONSTRAINT pk PRIMARY KEY (LumacorPrimK)"), jet::dbFailOnError);
}

/// The column's values in key order, Null shown as <null>.
inline QStringList column(jet::Database& db, const QString& name)
{
    QStringList out;
    auto rs = db.openRecordset(QStringLiteral("SELECT [%1] FROM tblData ORDER BY [LumacorPrimK]").arg(name),
                               jet::dbOpenSnapshot);
    while (!rs->eof()) {
        const jet::Value v = rs->value(0);
        out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        rs->moveNext();
    }
    return out;
}

inline qint64 count(jet::Database& db, const QString& where)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData WHERE ") + where, jet::dbOpenSnapshot);
    return rs->value(0).toLong();
}

/// A database file of its own in a temporary folder.
class ListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    jet::Database open(const QString& file)
    {
        return jet::Database::open(dir.filePath(file), true);
    }

    QTemporaryDir dir;
};

} // namespace listfixture
