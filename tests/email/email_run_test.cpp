#include "email/email_run.h"

#include "common/general.h"
#include "email/address_check.h"
#include "email/column_run.h"
#include "email/counts_model.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QTemporaryDir>
#include <functional>
#include <map>
#include <optional>
#include <vector>
#include <gtest/gtest.h>

using namespace email;

namespace {

QString q(const char* s)
{
    return QString::fromUtf8(s);
}

// com, net and org are generic; uk and fr are country codes.
DomainLists standardLists()
{
    return DomainLists({"com", "net", "org"}, {{"uk", "United Kingdom"}, {"fr", "France"}});
}

/// A recordset as a list shows it: a line of field names and types, then
/// each row as "a|b|c", Null shown as <null>.
QStringList listed(jet::Recordset& rs)
{
    QStringList out;
    QStringList head;
    for (int i = 0; i < rs.fieldCount(); ++i)
        head << rs.field(i).name + QLatin1Char(':') + QString::number(rs.field(i).type);
    out << head.join(QLatin1Char('|'));
    for (; !rs.eof(); rs.moveNext()) {
        QStringList row;
        for (int i = 0; i < rs.fieldCount(); ++i) {
            const jet::Value v = rs.value(i);
            row << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        out << row.join(QLatin1Char('|'));
    }
    return out;
}

/// A working database with tblData (Name, Email and a narrow Short column,
/// then the key) and the two e-mail work tables as the workbench makes them.
class EmailRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [Email] TEXT(255), [Short] TEXT(16), "
                                  "[Notes] LONGTEXT)"),
                   jet::dbFailOnError);
        db.execute(QStringLiteral(
                       "CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(255), SubDomain TEXT(255), "
                       "Domain TEXT(255), Country TEXT(2), Suggest1 TEXT(255), Suggest2 TEXT(255), Suggest3 TEXT(255), "
                       "Suggest4 TEXT(255),  Suggest5 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"),
                   jet::dbFailOnError);
        db.execute(QStringLiteral("CREATE TABLE Z_ccTLD (ccTLD TEXT(2), ccTLD_Name TEXT(255), CONSTRAINT pk PRIMARY KEY (ccTLD));"),
                   jet::dbFailOnError);
        db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('uk', 'United Kingdom')"));
        db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('fr', 'France')"));
    }
    void TearDown() override { db.close(); }

    /// Fills tblData's column with the values, Name "r1".."rn", in one
    /// transaction, and keys the table.
    void fillValues(const char* column, const std::vector<jet::Value>& cells)
    {
        jet::Connection& c = db.connection();
        c.exec(QStringLiteral("BEGIN"));
        {
            jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData (Name, \"%1\") VALUES (?1, ?2)").arg(q(column)));
            int n = 0;
            for (const jet::Value& cell : cells) {
                ins.bind(1, jet::Value(QStringLiteral("r%1").arg(++n)));
                ins.bind(2, cell);
                ins.step();
                ins.reset();
            }
        }
        c.exec(QStringLiteral("COMMIT"));
        c.bump();
        db.appendField(QStringLiteral("tblData"),
                       jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
    }

    /// The same with text cells (nullptr for Null).
    void fill(const char* column, std::initializer_list<const char*> cells)
    {
        std::vector<jet::Value> values;
        for (const char* cell : cells)
            values.push_back(cell ? jet::Value(q(cell)) : jet::Value());
        fillValues(column, values);
    }

    EmailRun run(const QString& column = QStringLiteral("Email"))
    {
        RunResult r = validateColumn(db, column, lists, specials);
        EXPECT_TRUE(r.ok) << r.error.toStdString();
        return r.run;
    }

    /// The rows of a query as "a|b|c" lines, Null shown as <null>.
    QStringList rows(const QString& sql)
    {
        QStringList out;
        auto rs = db.openRecordset(sql, jet::dbOpenSnapshot);
        while (!rs->eof()) {
            QStringList cells;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                const jet::Value v = rs->value(i);
                cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            }
            out << cells.join(QLatin1Char('|'));
            rs->moveNext();
        }
        return out;
    }

    QStringList emailsTable()
    {
        return rows(QStringLiteral("SELECT D.Name, D.Email, E.IsValid, E.Suggest1 FROM tblData D "
                                   "INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK ORDER BY D.LumacorPrimK"));
    }

    QStringList column(const char* name)
    {
        return rows(QStringLiteral("SELECT [%1] FROM tblData ORDER BY LumacorPrimK").arg(q(name)));
    }

    QTemporaryDir dir;
    jet::Database db;
    DomainLists lists = standardLists();
    QString specials = defaultSpecialChars();
};

} // namespace

TEST_F(EmailRunTest, RunWritesOneRowPerFilledCellAndTrimsTheCell)
{
    struct Case { const char* cell; const char* row; const char* cellAfter; };
    const Case cases[] = {
        {"  Sales.Desk@Mail.Example.COM ", "True|sales.desk|mail.example|com||<null>", "Sales.Desk@Mail.Example.COM"},
        {"sales@example.co.uk", "True|sales|example|co|uk|<null>", "sales@example.co.uk"},
        {"sales@example.uk", "True|sales||example|uk|<null>", "sales@example.uk"},
        {"s desk@example.fr", "True|sdesk||example|fr|<null>", "s desk@example.fr"},
        {"   ", "False|<null>|<null>|<null>|<null>|<null>", ""},
        {"infoexample.com", "False|<null>|<null>|<null>|<null>|info@example.com", "infoexample.com"},
        {"sales@examplecom", "False|sales|<null>|<null>|<null>|sales@example.com", "sales@examplecom"},
        {"sales@example.zz", "False|sales|<null>|<null>|<null>|<null>", "sales@example.zz"},
        {"a@@example.com", "False|<null>|<null>|<null>|<null>|<null>", "a@@example.com"},
        {" @example.com", "False||<null>|<null>|<null>|<null>", "@example.com"},
    };
    // Null and "" get no row.
    fill("Email", {cases[0].cell, cases[1].cell, nullptr, cases[2].cell, cases[3].cell, cases[4].cell, "",
                   cases[5].cell, cases[6].cell, cases[7].cell, cases[8].cell, cases[9].cell});

    const EmailRun r = run();
    EXPECT_EQ(r.column, QStringLiteral("Email"));
    EXPECT_EQ(r.rows, 10);
    EXPECT_EQ(r.invalid, 6);
    EXPECT_EQ(r.trimmed, 3);
    EXPECT_EQ(r.oversized, 0);
    EXPECT_TRUE(isCurrent(db, r, QStringLiteral("Email")));

    const QStringList stored = rows(QStringLiteral(
        "SELECT D.Email, E.IsValid, E.Account, E.SubDomain, E.Domain, E.Country, E.Suggest1, E.Suggest2, E.Suggest3, "
        "E.Suggest4, E.Suggest5 FROM tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK "
        "ORDER BY D.LumacorPrimK"));
    ASSERT_EQ(stored.size(), 10);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(cases[i].cell);
        EXPECT_EQ(stored[i], q(cases[i].cellAfter) + QLatin1Char('|') + q(cases[i].row)
                                 + QStringLiteral("|<null>|<null>|<null>|<null>"));
    }
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM tblEMails WHERE LumacorPrimK IN (3, 7)")),
              QStringList{QStringLiteral("0")});
}

TEST_F(EmailRunTest, RunReplacesTheResultsOfTheLastColumn)
{
    fill("Email", {"a@example.com", "b@example.com", "bad"});
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("UPDATE tblData SET Notes = 'only@example.net' WHERE LumacorPrimK = 2"));
    c.bump();
    run();
    const EmailRun notes = run(QStringLiteral("notes"));
    EXPECT_EQ(notes.column, QStringLiteral("Notes"));
    EXPECT_EQ(notes.rows, 1);
    EXPECT_EQ(rows(QStringLiteral("SELECT LumacorPrimK, Domain FROM tblEMails")), QStringList{QStringLiteral("2|net")});
}

TEST_F(EmailRunTest, PartsTooLongForTheirColumnsAreStoredNull)
{
    // A memo column holds cells no address column could: the run keeps going
    // and stores Null where a value does not fit; a 255-character value fits.
    const QString acc255 = QString(255, u'a');
    const QString acc256 = QString(256, u'b');
    // The correction of "…@xxcom" adds a dot: from a 249-character account it
    // is 256 characters long, from a 248-character one exactly 255.
    const QString acc249 = QString(249, u'c');
    const QString acc248 = QString(248, u'd');
    struct Case { QString cell; QString row; };
    const Case cases[] = {
        {acc255 + QStringLiteral("@example.com"), QStringLiteral("True|") + acc255 + QStringLiteral("|example|com||<null>")},
        {acc256 + QStringLiteral("@example.com"), QStringLiteral("True|<null>|example|com||<null>")},
        {acc249 + QStringLiteral("@xxcom"), QStringLiteral("False|") + acc249 + QStringLiteral("|<null>|<null>|<null>|<null>")},
        {acc248 + QStringLiteral("@xxcom"),
         QStringLiteral("False|") + acc248 + QStringLiteral("|<null>|<null>|<null>|") + acc248 + QStringLiteral("@xx.com")},
        // A country code too long for the country column (a hand-edited list).
        {QStringLiteral("ab@example.abc"), QStringLiteral("True|ab||example|<null>|<null>")},
    };
    lists = DomainLists({"com"}, {{"abc", "Too long a code"}});
    std::vector<jet::Value> cells;
    for (const Case& k : cases)
        cells.push_back(jet::Value(k.cell));
    fillValues("Notes", cells);

    const EmailRun r = run(QStringLiteral("Notes"));
    EXPECT_EQ(r.rows, 5);
    EXPECT_EQ(r.oversized, 3);
    const QStringList stored = rows(QStringLiteral(
        "SELECT IsValid, Account, SubDomain, Domain, Country, Suggest1 FROM tblEMails ORDER BY LumacorPrimK"));
    ASSERT_EQ(stored.size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(stored[i], cases[i].row) << "row " << i + 1;
}

TEST_F(EmailRunTest, ColumnChecksHoldAfterTheRunAndOnNarrowerColumns)
{
    // The run's own insert may go without the column checks only because its
    // values always meet them; a tblEMails with narrower columns keeps them,
    // and the checks are back on for every statement after the run.
    struct Case {
        const char* table;   // tblEMails as made by hand or an older version
        bool ok;
    };
    const Case cases[] = {
        {"CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(255), SubDomain TEXT(255), "
         "Domain TEXT(255), Country TEXT(2), Suggest1 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK))",
         true},
        {"CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(255), SubDomain TEXT(255), "
         "Domain TEXT(255), Country TEXT(1), Suggest1 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK))",
         false},
        {"CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(3), SubDomain TEXT(255), "
         "Domain TEXT(255), Country TEXT(2), Suggest1 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK))",
         false},
        {"CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account LONGTEXT, SubDomain TEXT(255), "
         "Domain LONGTEXT, Country TEXT(2), Suggest1 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK))",
         true},
    };
    fill("Email", {"anna@mail.example.uk", "bad"});
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(++n);
        db.execute(QStringLiteral("DROP TABLE tblEMails"), jet::dbFailOnError);
        db.execute(q(k.table), jet::dbFailOnError);
        const RunResult r = validateColumn(db, QStringLiteral("Email"), lists, specials);
        EXPECT_EQ(r.ok, k.ok) << r.error.toStdString();
        const QStringList stored = rows(QStringLiteral("SELECT LumacorPrimK, Account, Country FROM tblEMails ORDER BY 1"));
        EXPECT_EQ(stored, k.ok ? QStringList({"1|anna|uk", "2|<null>|<null>"}) : QStringList()) << stored.join(' ').toStdString();
        jet::Connection& c = db.connection();
        EXPECT_THROW(c.exec(QStringLiteral("INSERT INTO tblEMails (LumacorPrimK, Country) VALUES (9, 'abc')")),
                     jet::JetError);
        EXPECT_THROW(c.exec(QStringLiteral("INSERT INTO tblEMails (LumacorPrimK) VALUES ('nine')")), jet::JetError);
    }
}

TEST_F(EmailRunTest, PartsBeyondAsciiAreStoredAsTheyAre)
{
    // Accented letters, a character outside the first plane and a lone
    // surrogate half: each part reaches its column with the text the check gave.
    struct Case { QString cell; const char* row; };
    const Case cases[] = {
        {QStringLiteral("Jos\u00E9@Example.com"), "True|jos\u00E9|example|com|"},
        {QStringLiteral("Zo\u00EB@mail.shop.fr"), "True|zo\u00EB|mail|shop|fr"},
        {QString::fromUtf8("a\xF0\x9F\x98\x80" "b@example.com"), "False|a\xF0\x9F\x98\x80" "b|<null>|<null>|<null>"},
        {QStringLiteral("ab@ex\u00E4mple.com"), "False|ab|<null>|<null>|<null>"},
        {QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y@example.com"), nullptr},
    };
    std::vector<jet::Value> cells;
    for (const Case& k : cases)
        cells.push_back(jet::Value(k.cell));
    fillValues("Email", cells);
    run();
    const QStringList stored = rows(QStringLiteral("SELECT IsValid, Account, SubDomain, Domain, Country FROM tblEMails "
                                                   "ORDER BY LumacorPrimK"));
    ASSERT_EQ(stored.size(), 5);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(stored[i], QString::fromUtf8(cases[i].row)) << "row " << i + 1 << " " << stored[i].toStdString();
    // The lone half is stored as the engine stores any such text.
    jet::Stmt s(&db.connection(), QStringLiteral("SELECT Account = ?1 FROM tblEMails WHERE LumacorPrimK = 5"));
    const QString expected = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y");
    s.bind(1, jet::Value(QString::fromUtf8(expected.toUtf8())));
    ASSERT_TRUE(s.step());
    EXPECT_EQ(s.int64(0), 1) << stored[4].toStdString();
}

TEST_F(EmailRunTest, FailedRunChangesNothing)
{
    fill("Email", {" a@example.com", "bad", "c@example.com "});
    const EmailRun first = run();
    // Trim the cells back to padded ones, then make every later write of
    // tblData fail: the run's trim comes last, after all of tblEMails is written.
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("UPDATE tblData SET Email = ' x@example.com' WHERE LumacorPrimK = 1"));
    c.exec(QStringLiteral("DELETE FROM tblEMails WHERE LumacorPrimK = 3"));
    c.exec(QStringLiteral("CREATE TRIGGER qb_test_fail BEFORE UPDATE ON tblData BEGIN SELECT RAISE(ABORT, 'forced failure'); END"));
    c.bump();
    const QStringList before = emailsTable();
    const QStringList cellsBefore = column("Email");

    const RunResult r = validateColumn(db, QStringLiteral("Email"), lists, specials);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.cancelled);
    EXPECT_TRUE(r.error.contains(QStringLiteral("forced failure"))) << r.error.toStdString();
    EXPECT_EQ(emailsTable(), before);
    EXPECT_EQ(column("Email"), cellsBefore);
    EXPECT_FALSE(isCurrent(db, first, QStringLiteral("Email")));

    const RunResult missing = validateColumn(db, QStringLiteral("Mail"), lists, specials);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_EQ(emailsTable(), before);
}

TEST_F(EmailRunTest, CancelledRunRollsBackAndReportsProgress)
{
    struct StopAtOnce : common::Progress {
        void start(qint64 total) override { started = total; }
        void step(qint64 done) override { last = done; }
        bool cancelled() const override { return last > 0; }
        qint64 started = -1, last = 0;
    } stop;
    std::vector<jet::Value> cells;
    for (int i = 0; i < 5000; ++i)
        cells.push_back(jet::Value(QStringLiteral(" u%1@example.com").arg(i)));
    fillValues("Email", cells);

    const RunResult r = validateColumn(db, QStringLiteral("Email"), lists, specials, stop);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(stop.started, 5000);
    EXPECT_GT(stop.last, 0);
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM tblEMails")), QStringList{QStringLiteral("0")});
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM tblData WHERE Email LIKE ' *'")), QStringList{QStringLiteral("5000")});
}

TEST_F(EmailRunTest, CountsGroupTheValidAddressesByTheTickedParts)
{
    fill("Email", {"ann@example.com", "bob@example.com", "ann@mail.example.com", "cara@shop.co.uk", "dan@shop.fr",
                   "o\"neil@example.com", "bad@example.zz", "broken"});
    run();
    struct Case { std::vector<int> ticks; std::vector<std::pair<int, const char*>> filters; bool filtered; QStringList expected; };
    const Case cases[] = {
        // No part: one row, the number of valid addresses.
        {{}, {}, false, {"6"}},
        {{3}, {}, false, {"co|1", "com|4", "shop|1"}},
        {{2, 3}, {}, false, {"example|com|3", "mail.example|com|1", "shop|co|1", "|shop|1"}},
        // Generic domains have an empty code and count under 'USA'.
        {{4}, {}, false, {"|USA|4", "fr|France|1", "uk|United Kingdom|1"}},
        {{1}, {{1, "a*"}}, true, {"ann|2"}},
        // A double quote in a pattern is doubled for the engine.
        {{1}, {{1, "o\"*"}}, true, {"o\"neil|1"}},
        {{4}, {{5, "U*"}}, true, {"|USA|4", "uk|United Kingdom|1"}},
        // A filter box of an unticked part is not read.
        {{3}, {{1, "zzz"}}, false, {"co|1", "com|4", "shop|1"}},
    };
    for (const Case& k : cases) {
        CountsChoice choice;
        for (int t : k.ticks)
            choice.ticked[size_t(t)] = true;
        for (const auto& [box, text] : k.filters)
            choice.filter[size_t(box)] = q(text);
        const QString sql = countsQuery(choice);
        SCOPED_TRACE(sql.toStdString());
        EXPECT_EQ(countsFiltered(choice), k.filtered);
        QStringList got = rows(sql), expected = k.expected;
        got.sort();
        expected.sort();
        EXPECT_EQ(got, expected);
    }
}

TEST_F(EmailRunTest, CountsListGivesTheRowsOfItsQuery)
{
    // The counts list may count the parts ahead of its query; whatever the
    // parts hold (spellings that differ only in case, Null and empty parts,
    // invalid rows, codes missing from Z_ccTLD or listed twice in it) it shows
    // exactly the query's rows, fields and order.
    struct Row { int valid; const char* account; const char* sub; const char* domain; const char* country; };
    const std::vector<Row> plain = {
        {-1, "ann", "", "example", ""},   {-1, "bob", "", "example", ""},   {-1, "cy", "mail", "example", "uk"},
        {-1, "dee", nullptr, "shop", "fr"}, {-1, "eve", "", "shop", "fr"},   {0, "fay", "", "example", "uk"},
        {-1, "gus", "", "zone", "zz"},    {-1, "hal", "", "zone", nullptr}, {-1, "ann", "", "shop", "uk"},
    };
    std::vector<Row> mixed = plain;
    mixed.push_back({-1, "Ann", "", "Example", "UK"});
    mixed.push_back({-1, "ivy", "Mail", "example", "Uk"});
    mixed.push_back({-1, "jo", "mail", "example", "uk"});
    struct Case {
        const std::vector<Row>* rows;
        bool twiceListed;   // Z_ccTLD without its key, "uk" listed twice
        std::vector<int> ticks;
        std::vector<std::pair<int, const char*>> filters;
        CountsSort sort;
    };
    const Case cases[] = {
        {&plain, false, {3}, {}, {0, false}},
        {&plain, false, {3}, {}, {1, true}},
        {&plain, false, {2, 3}, {}, {2, true}},
        {&plain, false, {4}, {}, {1, false}},
        {&plain, false, {2, 3, 4}, {}, {4, true}},
        {&plain, false, {3, 4}, {{3, "*o*"}, {5, "U*"}}, {0, false}},
        {&plain, false, {1, 3}, {}, {0, false}},
        {&plain, false, {}, {}, {0, false}},
        {&mixed, false, {3}, {}, {0, false}},
        {&mixed, false, {2, 3, 4}, {}, {3, true}},
        {&mixed, false, {4}, {{4, "u*"}}, {2, false}},
        {&mixed, false, {1, 2, 3, 4}, {}, {4, true}},
        {&plain, true, {3, 4}, {}, {0, false}},
        {&plain, true, {4}, {}, {2, true}},
    };
    jet::Connection& c = db.connection();
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(++n);
        c.exec(QStringLiteral("DELETE FROM tblEMails"));
        {
            jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblEMails (LumacorPrimK, IsValid, Account, SubDomain, Domain, "
                                             "Country) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"));
            int key = 0;
            for (const Row& r : *k.rows) {
                ins.bindInt(1, ++key);
                ins.bindInt(2, r.valid);
                const char* texts[] = {r.account, r.sub, r.domain, r.country};
                for (int i = 0; i < 4; ++i)
                    ins.bind(i + 3, texts[i] ? jet::Value(q(texts[i])) : jet::Value());
                ins.step();
                ins.reset();
            }
        }
        if (k.twiceListed) {
            db.execute(QStringLiteral("DROP TABLE Z_ccTLD"), jet::dbFailOnError);
            db.execute(QStringLiteral("CREATE TABLE Z_ccTLD (ccTLD TEXT(2), ccTLD_Name TEXT(255))"), jet::dbFailOnError);
            db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('uk', 'United Kingdom')"));
            db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('UK', 'Great Britain')"));
            db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('fr', 'France')"));
        }
        c.bump();
        CountsChoice choice;
        for (int t : k.ticks)
            choice.ticked[size_t(t)] = true;
        for (const auto& [box, text] : k.filters)
            choice.filter[size_t(box)] = q(text);
        const QString sql = sortedCountsQuery(countsQuery(choice), k.sort);
        SCOPED_TRACE(sql.toStdString());
        auto direct = db.openRecordset(sql, jet::dbOpenSnapshot);
        const QStringList expected = listed(*direct);
        direct.reset();
        auto shown = openCounts(db, choice, [&](const QString& query) { return sortedCountsQuery(query, k.sort); });
        ASSERT_TRUE(shown);
        EXPECT_EQ(listed(*shown), expected);
        EXPECT_GT(expected.size(), 1);
        shown.reset();
        // The same list from the valid rows counted as a run writes them.
        std::map<std::array<std::optional<std::string>, 3>, qint64> counted;
        for (const Row& r : *k.rows) {
            if (r.valid == 0)
                continue;
            std::array<std::optional<std::string>, 3> parts;
            const char* texts[] = {r.sub, r.domain, r.country};
            for (int i = 0; i < 3; ++i)
                if (texts[i])
                    parts[size_t(i)] = texts[i];
            ++counted[parts];
        }
        ValidGroups groups;
        for (const auto& [parts, n] : counted)
            groups.push_back(ValidGroup{parts, n});
        auto fromRun = openCounts(
            db, choice, [&](const QString& query) { return sortedCountsQuery(query, k.sort); }, &groups);
        ASSERT_TRUE(fromRun);
        EXPECT_EQ(listed(*fromRun), expected);
        fromRun.reset();
        EXPECT_TRUE(c.tables().contains(QStringLiteral("tblEMails"), Qt::CaseInsensitive));
    }
}

TEST_F(EmailRunTest, LongRunWritesEachCellsOwnResultAndCountsWhatItWrote)
{
    // Enough cells for many batches checked side by side: every row of
    // tblEMails must still be the check of its own cell, trims must land on
    // their own rows, and the run's counts must be those of what it wrote.
    const char* const shapes[] = {"user%1@example.com", " padded%1@shop.fr ", "bad%1@example.zz", "Mixed%1@Mail.Example.CO.UK",
                                  "nodomain%1", "x%1@EXAMPLE.com", "%1@sub.shop.fr", "a@@b%1.com", "tab%1@example.com\t"};
    const int count = 30011;
    std::vector<jet::Value> cells;
    for (int i = 0; i < count; ++i) {
        // Every 97th cell empty or Null: those get no row.
        const QString cell = i % 97 == 5 ? QString() : QString::fromLatin1(shapes[(i * 7) % 9]).arg(i % 500);
        cells.push_back(i % 194 == 5 ? jet::Value() : jet::Value(cell));
    }
    fillValues("Email", cells);
    const QStringList before = column("Email");

    const RunResult r = validateColumn(db, QStringLiteral("Email"), lists, specials);
    ASSERT_TRUE(r.ok) << r.error.toStdString();

    const QStringList written = rows(QStringLiteral("SELECT D.LumacorPrimK, E.IsValid, E.Account, E.SubDomain, E.Domain, "
                                                    "E.Country, E.Suggest1 FROM tblData D INNER JOIN tblEMails E ON "
                                                    "D.LumacorPrimK=E.LumacorPrimK ORDER BY D.LumacorPrimK"));
    QStringList expected;
    qint64 invalid = 0;
    for (int i = 0; i < before.size(); ++i) {
        if (before[i] == QLatin1String("<null>") || before[i].isEmpty())
            continue;
        const EmailCheck k = checkEmail(trimBlanks(before[i]).toString(), lists, specials, true);
        invalid += !k.isValid;
        auto text = [](const std::optional<QString>& v) { return v ? *v : QStringLiteral("<null>"); };
        expected << QStringList{QString::number(i + 1), k.isValid ? QStringLiteral("True") : QStringLiteral("False"),
                                text(k.account), text(k.subDomain), text(k.domain), text(k.country), text(k.suggestion)}
                        .join(QLatin1Char('|'));
    }
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(r.run.rows, expected.size());
    EXPECT_EQ(r.run.invalid, invalid);
    // Each padded cell trimmed in its own row, every other cell as it was.
    const QStringList after = column("Email");
    ASSERT_EQ(after.size(), before.size());
    qint64 trimmed = 0;
    for (int i = 0; i < before.size(); ++i) {
        const QString want = before[i] == QLatin1String("<null>") ? before[i] : trimBlanks(before[i]).toString();
        trimmed += want != before[i];
        EXPECT_EQ(after[i], want) << "row " << i + 1;
    }
    EXPECT_GT(trimmed, 0);
    EXPECT_EQ(r.run.trimmed, trimmed);

    const CountsSort sort{0, false};
    for (const std::vector<int>& ticks : std::vector<std::vector<int>>{{3}, {2, 3}, {4}, {2, 3, 4}, {3, 4}}) {
        CountsChoice choice;
        for (int t : ticks)
            choice.ticked[size_t(t)] = true;
        auto sorted = [&](const QString& query) { return sortedCountsQuery(query, sort); };
        auto fromTable = openCounts(db, choice, sorted);
        auto fromRun = openCounts(db, choice, sorted, &r.groups);
        ASSERT_TRUE(fromTable && fromRun);
        QStringList a, b;
        for (auto* rs : {fromTable.get(), fromRun.get()}) {
            QStringList& out = rs == fromTable.get() ? a : b;
            while (!rs->eof()) {
                QStringList cells;
                for (int i = 0; i < rs->fieldCount(); ++i)
                    cells << rs->value(i).toString();
                out << cells.join(QLatin1Char('|'));
                rs->moveNext();
            }
        }
        EXPECT_GT(a.size(), 1);
        EXPECT_EQ(b, a);
    }
}

TEST_F(EmailRunTest, RefreshLeavesTheConnectionsReadSettingAsItFoundIt)
{
    fill("Email", {"ann@example.com", "broken", "cy@shop.fr"});
    jet::Connection& c = db.connection();
    auto mapLimit = [&] {
        jet::Stmt s(&c, QStringLiteral("PRAGMA mmap_size"));
        return s.step() ? s.int64(0) : qint64(-1);
    };
    struct Case { const char* column; qint64 limit; bool ok; };
    const Case cases[] = {
        {"Email", 0, true},
        {"Email", 65536, true},
        {"Missing", 0, false},
        {"Missing", 65536, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.column) + " " + std::to_string(k.limit));
        c.exec(QStringLiteral("PRAGMA mmap_size = %1").arg(k.limit));
        const qint64 before = mapLimit();
        CountsModel counts;
        counts.setHeaders({QStringLiteral("Domain"), QStringLiteral("Count")});
        ResultViews views{nullptr, &counts, {}};
        CountsChoice choice;
        choice.ticked[3] = true;
        InvalidSort sort{4, false};
        const RunResult r = validateAndShow(db, q(k.column), lists, specials, choice, CountsSort{}, sort, views);
        EXPECT_EQ(r.ok, k.ok) << r.error.toStdString();
        EXPECT_EQ(mapLimit(), before);
        EXPECT_EQ(counts.rowCount(), 2);
    }
}

TEST(EmailTexts, CountsQueryText)
{
    CountsChoice choice;
    choice.ticked[1] = choice.ticked[4] = choice.ticked[5] = choice.ticked[6] = true;
    choice.filter[1] = QStringLiteral("a*");
    choice.filter[5] = QStringLiteral("U*");
    EXPECT_EQ(countsQuery(choice),
              QStringLiteral("SELECT  Account ,  E.Country AS Country, IIF(ISNULL(CCTLD_Name),'USA',CCTLD_Name) ,  "
                             "COUNT(*) AS Count FROM Z_ccTLD Z RIGHT JOIN tblEmails E ON Z.ccTLD=E.Country "
                             "WHERE IsValid=TRUE  AND Account LIKE \"a*\"  AND IIF(ISNULL(CCTLD_Name),'USA',CCTLD_Name) "
                             "LIKE \"U*\"  GROUP BY  Account ,  E.Country, ccTLD_Name "));
    EXPECT_EQ(countsQuery(CountsChoice{}),
              QStringLiteral("SELECT  COUNT(*) AS Count FROM Z_ccTLD Z RIGHT JOIN tblEmails E ON Z.ccTLD=E.Country "
                             "WHERE IsValid=TRUE  "));
}

TEST_F(EmailRunTest, ValidRowFilterPicksTheRowsOfOneCountsRow)
{
    fill("Email", {"ann@example.com", "ann@mail.example.com", "ann@example.uk", "ann@shop.co.uk", "ann@nowhere.zz",
                   "bob@example.com"});
    run();
    using Row = std::vector<std::pair<QString, QString>>;
    struct Case { Row shown; QStringList names; };
    const Case cases[] = {
        {{{"Account", "ann"}, {"Count", "3"}}, {"r1", "r2", "r3", "r4"}},
        // An empty sub-domain matches only the addresses without one.
        {{{"Sub-domain", ""}, {"Domain", "example"}}, {"r3"}},
        // An empty code matches the addresses on generic domains; the name column adds nothing.
        {{{"Account", "ann"}, {"Tld", ""}, {"Country", "USA"}}, {"r1", "r2"}},
        {{{"Tld", "uk"}, {"Country", "United Kingdom"}}, {"r3", "r4"}},
        {{{"Account", "o\"neil"}}, {}},
    };
    for (const Case& k : cases) {
        const QString filter = validRowFilter(k.shown);
        SCOPED_TRACE(filter.toStdString());
        EXPECT_EQ(rows(QStringLiteral("SELECT Name FROM tblData WHERE ") + filter + QStringLiteral(" ORDER BY Name")), k.names);
    }
    const QString indent(18, u' ');
    EXPECT_EQ(validRowFilter({{QStringLiteral("Account"), QStringLiteral("ann")}, {QStringLiteral("Sub-domain"), QString()}}),
              QStringLiteral(" LumacorPrimK IN (SELECT LumacorPrimK ") + indent + QStringLiteral("FROM tblEMails ") + indent
                  + QStringLiteral("WHERE IsValid=TRUE  AND Account=\"ann\" AND (IIF(ISNULL(Subdomain),\"\",Subdomain)=\"\") )"));
}

TEST_F(EmailRunTest, InvalidListAndItsFilters)
{
    fill("Email", {"ok@example.com", "infoexample.com", "sales@examplecom", "x\"y@example.zz"});
    run();
    // Fresh results: "Possible Correction" descending (Null last).
    InvalidSort sort{4, false};
    ASSERT_TRUE(clickInvalidHeader(sort, 3));
    EXPECT_EQ(sort.column, 4);
    EXPECT_TRUE(sort.descending);
    EXPECT_EQ(rows(invalidListSource(QStringLiteral("Email"), sort.column, sort.descending)),
              (QStringList{"3|3|sales@examplecom|sales@example.com", "2|2|infoexample.com|info@example.com",
                           "4|4|x\"y@example.zz|<null>"}));
    ASSERT_TRUE(clickInvalidHeader(sort, 2));
    EXPECT_EQ(sort.column, 3);
    EXPECT_FALSE(sort.descending);
    EXPECT_EQ(rows(invalidListSource(QStringLiteral("Email"), sort.column, sort.descending)).first(),
              QStringLiteral("2|2|infoexample.com|info@example.com"));
    EXPECT_FALSE(clickInvalidHeader(sort, 1));
    EXPECT_EQ(sort.column, 3);

    EXPECT_EQ(invalidAddressFilter(QStringLiteral("Email"), q("x\"y@example.zz")), q(" [Email]=\"x\"\"y@example.zz\""));
    EXPECT_EQ(rows(QStringLiteral("SELECT Name FROM tblData WHERE ") + invalidAddressFilter(QStringLiteral("Email"), q("x\"y@example.zz"))),
              QStringList{QStringLiteral("r4")});
    const QString indent(18, u' ');
    EXPECT_EQ(allInvalidFilter(), QStringLiteral(" LumacorPrimK IN (SELECT LumacorPrimK ") + indent
                                      + QStringLiteral("FROM tblEMails ") + indent + QStringLiteral("WHERE IsValid=FALSE) "));
    EXPECT_EQ(rows(QStringLiteral("SELECT Name FROM tblData WHERE ") + allInvalidFilter() + QStringLiteral("ORDER BY Name")),
              (QStringList{"r2", "r3", "r4"}));
}

TEST_F(EmailRunTest, InvalidListFromTheRunGivesTheRowsOfItsQuery)
{
    // The list shown right after a run is made from the run's own rows. Over
    // several batches of cells (trimmed cells, suggestions equal but for case,
    // Null suggestions, text beyond ASCII) it must be the query's list row for
    // row, in the engine's order for each sort, equal values in key order.
    const char* pool[] = {"infoexample.com", "  sales@examplecom ", "x\"y@example.zz", "ok@example.com", nullptr, "",
                          "Infoexample.com", "bad@@", "sales@examplecom", "\xc3\x84NN@example.zz", "b@example.zz",
                          "ann smith@examplecom", "INFOEXAMPLE.COM", "\tzed@examplecom"};
    std::vector<jet::Value> cells;
    for (int i = 0; i < 9000; ++i) {
        const char* c = pool[(i * 7 + i / 14) % std::size(pool)];
        cells.push_back(c ? jet::Value(q(c)) : jet::Value());
    }
    fillValues("Email", cells);
    const InvalidSort sorts[] = {{4, true}, {4, false}, {3, false}, {3, true}};
    for (const InvalidSort& sort : sorts) {
        SCOPED_TRACE(sort.column * 10 + sort.descending);
        const RunResult r = validateColumn(db, QStringLiteral("Email"), lists, specials);
        ASSERT_TRUE(r.ok);
        ASSERT_GT(r.run.invalid, 4096);
        EXPECT_EQ(qint64(r.invalid.rows.size()), r.run.invalid);
        const auto known = invalidListRows(db, r.run, r.invalid, sort);
        ASSERT_TRUE(known);
        const QString source = invalidListSource(r.run.column, sort.column, sort.descending);
        auto fromRun = db.openRecordset(source, jet::dbOpenDynaset, known.get());
        auto fromQuery = db.openRecordset(source, jet::dbOpenDynaset);
        const QStringList expected = listed(*fromQuery);
        EXPECT_EQ(listed(*fromRun), expected);
        // A requery runs the query itself.
        fromRun->requery();
        EXPECT_EQ(listed(*fromRun), expected);
    }

    // Rows that no longer describe the list, or a cell that is not text, are
    // not used.
    RunResult r = validateColumn(db, QStringLiteral("Email"), lists, specials);
    ASSERT_TRUE(r.ok);
    db.execute(QStringLiteral("UPDATE tblData SET Email = 'x' WHERE LumacorPrimK = 1"), jet::dbFailOnError);
    EXPECT_FALSE(invalidListRows(db, r.run, r.invalid, InvalidSort{4, true}));
    db.connection().exec(QStringLiteral("UPDATE tblData SET Email = x'41' WHERE LumacorPrimK = 2"));
    r = validateColumn(db, QStringLiteral("Email"), lists, specials);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.invalid.complete);
    EXPECT_FALSE(invalidListRows(db, r.run, r.invalid, InvalidSort{4, true}));
}

TEST_F(EmailRunTest, UseAllSuggestionsWritesOnlyRealSuggestions)
{
    fill("Email", {"ok@example.com", "infoexample.com", "sales@examplecom", "sales@example.zz"});
    const EmailRun r = run();
    // A suggestion of blanks counts as none (written behind the engine's back,
    // so the run stays current).
    db.connection().exec(QStringLiteral("UPDATE tblEMails SET Suggest1 = '   ' WHERE LumacorPrimK = 4"));

    const ChangeResult done = useAllSuggestions(db, r, QStringLiteral("Email"));
    EXPECT_TRUE(done.ok) << done.reason.toStdString();
    EXPECT_EQ(done.rows, 2);
    EXPECT_EQ(column("Email"), (QStringList{"ok@example.com", "info@example.com", "sales@example.com", "sales@example.zz"}));
    EXPECT_FALSE(isCurrent(db, r, QStringLiteral("Email")));
    const EmailRun again = run();
    EXPECT_EQ(again.invalid, 1);
}

TEST_F(EmailRunTest, BlankAllInvalidNullsEveryInvalidAddress)
{
    fill("Email", {"ok@example.com", "infoexample.com", "sales@example.zz", "broken"});
    const EmailRun r = run();
    const ChangeResult done = blankAllInvalid(db, r, QStringLiteral("EMAIL"));
    EXPECT_TRUE(done.ok) << done.reason.toStdString();
    EXPECT_EQ(done.rows, 3);
    EXPECT_EQ(column("Email"), (QStringList{"ok@example.com", "<null>", "<null>", "<null>"}));
    const EmailRun again = run();
    EXPECT_EQ(again.rows, 1);
    EXPECT_EQ(again.invalid, 0);
    EXPECT_TRUE(rows(invalidListSource(QStringLiteral("Email"), 4, true)).isEmpty());
}

TEST_F(EmailRunTest, BulkFailureLeavesEveryRowAsItWas)
{
    // Short holds 16 characters: the first correction fits, the second
    // ("info@examples.com", 17) does not, so neither may be written.
    fill("Short", {"infoexample.com", "infoexamples.com", "ok@example.com"});
    const EmailRun r = run(QStringLiteral("Short"));
    ASSERT_EQ(r.invalid, 2);
    const QStringList before = column("Short");
    const ChangeResult failed = useAllSuggestions(db, r, QStringLiteral("Short"));
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.refused);
    EXPECT_TRUE(failed.reason.contains(QStringLiteral("too small"))) << failed.reason.toStdString();
    EXPECT_EQ(failed.rows, 0);
    EXPECT_EQ(column("Short"), before);
}

TEST_F(EmailRunTest, CorrectionsRefuseResultsThatAreNotCurrent)
{
    fill("Email", {"infoexample.com", "broken"});
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("UPDATE tblData SET Notes = 'infoexample.org'"));
    c.bump();
    struct Case { const char* what; std::function<void(EmailRun&)> change; const char* column; };
    const Case cases[] = {
        {"never validated", [](EmailRun& r) { r = EmailRun{}; }, "Email"},
        {"another column typed in", [](EmailRun&) {}, "Notes"},
        {"tblData edited since", [this](EmailRun&) {
             db.execute(QStringLiteral("UPDATE tblData SET Name = 'x' WHERE LumacorPrimK = 2"), jet::dbFailOnError);
         }, "Email"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EmailRun r = run();
        k.change(r);
        const QStringList before = column("Email");
        const QStringList notesBefore = column("Notes");
        const QString col = q(k.column);
        EXPECT_FALSE(isCurrent(db, r, col));
        for (const ChangeResult& res : {useAllSuggestions(db, r, col), blankAllInvalid(db, r, col),
                                        applySuggestion(db, r, col, 1)}) {
            EXPECT_TRUE(res.refused);
            EXPECT_FALSE(res.ok);
            EXPECT_FALSE(res.reason.isEmpty());
        }
        EXPECT_EQ(column("Email"), before);
        EXPECT_EQ(column("Notes"), notesBefore);
    }
    // The same column spelt in another case is the same column.
    const EmailRun r = run();
    EXPECT_TRUE(isCurrent(db, r, QStringLiteral("email")));
}

TEST_F(EmailRunTest, SingleCorrectionMakesTheRowValid)
{
    fill("Email", {"infoexample.com", "sales@examplecom", "sales@example.zz", "ok@example.com"});
    EmailRun r = run();
    ASSERT_EQ(r.invalid, 3);

    const ChangeResult one = applySuggestion(db, r, QStringLiteral("Email"), 1);
    EXPECT_TRUE(one.ok) << one.reason.toStdString();
    EXPECT_EQ(one.rows, 1);
    EXPECT_EQ(r.invalid, 2);
    EXPECT_TRUE(isCurrent(db, r, QStringLiteral("Email")));
    EXPECT_EQ(rows(QStringLiteral("SELECT IsValid, Account, SubDomain, Domain, Country, Suggest1 FROM tblEMails "
                                  "WHERE LumacorPrimK = 1")),
              QStringList{QStringLiteral("True|info|example|com||<null>")});

    // The run stays usable for the next double-click.
    EXPECT_TRUE(applySuggestion(db, r, QStringLiteral("Email"), 2).ok);
    // No suggestion, and an already valid row: nothing is written.
    for (qint64 key : {3, 4}) {
        const ChangeResult none = applySuggestion(db, r, QStringLiteral("Email"), key);
        EXPECT_TRUE(none.ok);
        EXPECT_EQ(none.rows, 0);
    }
    EXPECT_EQ(column("Email"), (QStringList{"info@example.com", "sales@example.com", "sales@example.zz", "ok@example.com"}));
    EXPECT_EQ(rows(invalidListSource(QStringLiteral("Email"), 4, true)), QStringList{QStringLiteral("3|3|sales@example.zz|<null>")});
    CountsChoice total;
    EXPECT_EQ(rows(countsQuery(total)), QStringList{QStringLiteral("3")});
    EXPECT_FALSE(applySuggestion(db, r, QStringLiteral("Email"), 99).ok);
}

TEST(EmailSettings, ListsComeFromTheSettingsArraysPastEmptySlots)
{
    general::gstrGTLDs = {};
    general::gstrCCTLDs = {};
    general::gintSpecChars = {};
    general::gstrGTLDs[1] = QStringLiteral("com");
    general::gstrGTLDs[3] = QStringLiteral("net");
    general::gstrCCTLDs[2] = {QStringLiteral("uk"), QStringLiteral("United Kingdom")};
    general::gintSpecChars[1][1] = '#';
    general::gintSpecChars[2][1] = '!';
    general::gintSpecChars[2][2] = 1;

    const DomainLists lists = settingsDomainLists();
    EXPECT_TRUE(lists.isGeneric(u"com"));
    EXPECT_TRUE(lists.isGeneric(u"net"));
    EXPECT_TRUE(lists.isCountry(u"uk"));
    EXPECT_EQ(lists.countries().front().name, QStringLiteral("United Kingdom"));
    EXPECT_EQ(settingsSpecialChars(), QStringLiteral("#!"));
    general::gstrGTLDs = {};
    general::gstrCCTLDs = {};
    general::gintSpecChars = {};
}
