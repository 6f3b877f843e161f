// The dialect's stand-in gives the dialect's value or refuses, never another
// value: a function the dialect does not have is undefined (SQLite's own
// functions of the same name never answer), Round rounds half to even,
// Format gives the dialect's text or refuses the format, a comparison used as
// a value is -1 or 0, a date compared with a number compares its serial, and
// a time of day alone reads as its time on every road that makes text of it.
#include "engine_fixture.h"

#include "platform/jet/connection.h"
#include "platform/jet/format.h"
#include "platform/jet/recordset.h"
#include "platform/jet/translator.h"

#include <QString>

namespace {

const char* const kMismatch = "error: Data type mismatch in criteria expression.";
const char* const kInvalidCall = "error: Invalid procedure call or argument.";
const char* const kBitwise = "error: AND, OR and NOT of numbers or text are not supported; compare the values instead.";

class DialectValues : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        db.execute(QStringLiteral("CREATE TABLE t (k LONG, dt DATETIME, tm DATETIME, noon DATETIME, n DOUBLE, l LONG, "
                                  "big DOUBLE, lg LONG, txt TEXT(50), word TEXT(50), m MEMO, flag YESNO)"));
        db.execute(QStringLiteral("INSERT INTO t VALUES (1, #1/2/2003#, #0:00:00#, #12:00:00#, 7.5, 7, 40000, 40000, "
                                  "\"12.5\", \"abc\", \"memo\", False)"),
                   jet::dbFailOnError);
    }


    struct Case {
        const char* expression;
        const char* value;   ///< the engine's text, "<null>", or "error: " and the description
    };
    void check(std::initializer_list<Case> cases)
    {
        for (const Case& c : cases)
            EXPECT_EQ(eval(QString::fromUtf8(c.expression)).toStdString(), c.value) << c.expression;
    }
};

TEST_F(DialectValues, FunctionsTheDialectDoesNotHaveAreUndefined)
{
    check({
        // SQLite has these; the dialect does not know them by these names
        {"replace(word, \"a\", \"x\")", "error: Undefined function 'replace' in expression."},
        {"Substr(word, 1, 1)", "error: Undefined function 'Substr' in expression."},
        {"printf(\"%d\", l)", "error: Undefined function 'printf' in expression."},
        {"upper(word)", "error: Undefined function 'upper' in expression."},
        {"typeof(l)", "error: Undefined function 'typeof' in expression."},
        {"IIF(l > 1, julianday(dt), 0)", "error: Undefined function 'julianday' in expression."},
        // nor these at all
        {"Year(dt)", "error: Undefined function 'Year' in expression."},
        {"NoSuch(1)", "error: Undefined function 'NoSuch' in expression."},
        // the dialect's own still answer, and so do the functions the translation writes
        {"Left(word, 2) & Right(word, 1)", "abc"},
        {"UCase(Mid(word, 2))", "BC"},
        {"UCase$(Left$(word, 1)) & Trim$(\"  x \")", "Ax"},
        {"Len(dt + 1)", "8"},
        {"l IN (1, 7)", "-1"},
    });
    // WHERE, UPDATE and a find criterion refuse them too, and change nothing.
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET word = upper(word)")).toStdString(),
              "error: Undefined function 'upper' in expression.");
    EXPECT_EQ(eval(QStringLiteral("word")), QStringLiteral("abc"));
    EXPECT_EQ(run(QStringLiteral("DELETE FROM t WHERE length(word) = 3")).toStdString(),
              "error: Undefined function 'length' in expression.");
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM t")), QStringLiteral("1"));
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM t"), jet::dbOpenDynaset);
    try {
        rs->findFirst(QStringLiteral("lower(word) = \"abc\""));
        ADD_FAILURE() << "the find ran";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.description().toStdString(), "Undefined function 'lower' in expression.");
    }
}

TEST_F(DialectValues, RoundIsHalfToEvenOnTheDecimalDigits)
{
    check({
        {"Round(2.5)", "2"},          {"Round(3.5)", "4"},           {"Round(-2.5)", "-2"},
        {"Round(0.5)", "0"},          {"Round(1.5)", "2"},           {"Round(2.45, 1)", "2.4"},
        {"Round(2.55, 1)", "2.6"},    {"Round(2.675, 2)", "2.68"},   {"Round(0.125, 2)", "0.12"},
        {"Round(0.135, 2)", "0.14"},  {"Round(1234.5678, 2)", "1234.57"}, {"Round(99.95, 1)", "100"},
        {"Round(2.4999)", "2"},       {"Round(n)", "8"},             {"Round(n, 5)", "7.5"},
        {"Round(l)", "7"},            {"Round(txt)", "12"},          {"Round(\"2.5\")", "2"},
        {"Round(Null)", "<null>"},    {"Round(l, -1)", kInvalidCall}, {"Round(word)", kMismatch},
        {"Round(dt)", kMismatch},     {"Round(n, Null)", "error: Invalid use of Null"},
    });
    // The same rule outside SQL.
    EXPECT_EQ(jet::roundHalfEven(0.285, 2), 0.28);
    EXPECT_EQ(jet::roundHalfEven(-0.0001, 2), 0.0);
    EXPECT_EQ(jet::roundHalfEven(1e300, 2), 1e300);
}

TEST_F(DialectValues, FormatGivesTheDialectsTextOrRefusesTheFormat)
{
    check({
        // numbers, custom
        {"Format(1234.5, \"0.00\")", "1234.50"},
        {"Format(1234.5, \"#,##0.00\")", "1,234.50"},
        {"Format(1234567.891, \"#,##0.00\")", "1,234,567.89"},
        {"Format(0.5, \"#.00\")", ".50"},
        {"Format(0.5, \"0.##\")", "0.5"},
        {"Format(1, \"#.##\")", "1."},
        {"Format(2.5, \"0\")", "3"},
        {"Format(2.675, \"0.00\")", "2.68"},
        {"Format(7, \"000\")", "007"},
        {"Format(123456789, \"000-00-0000\")", "123-45-6789"},
        {"Format(-1234.5, \"0.0\")", "-1234.5"},
        {"Format(-5, \"$0\")", "-$5"},
        {"Format(-5, \"0;(0)\")", "(5)"},
        {"Format(0, \"0;-0;\"\"none\"\"\")", "none"},
        {"Format(0.1234, \"0.0%\")", "12.3%"},
        {"Format(n, \"0.000\")", "7.500"},
        {"Format(txt, \"0.00\")", "12.50"},
        {"Format(word, \"0.00\")", "abc"},
        {"Format(Null, \"0.00\")", "<null>"},
        {"Format(1234.5)", "1234.5"},
        // numbers, named
        {"Format(1234.5, \"General Number\")", "1234.5"},
        {"Format(1234.5, \"Fixed\")", "1234.50"},
        {"Format(1234.5, \"Standard\")", "1,234.50"},
        {"Format(0.25, \"Percent\")", "25.00%"},
        {"Format(5, \"Yes/No\")", "Yes"},
        {"Format(0, \"True/False\")", "False"},
        {"Format(flag, \"On/Off\")", "Off"},
        // dates, custom
        {"Format(#1/5/2000#, \"yyyy-mm-dd\")", "2000-01-05"},
        {"Format(#1/5/2000 13:04:05#, \"hh:mm:ss\")", "13:04:05"},
        {"Format(#1/5/2000 13:04:05#, \"dddd, mmmm d, yyyy h:nn AM/PM\")", "Wednesday, January 5, 2000 1:04 PM"},
        {"Format(#1/5/2000 01:04:05#, \"ddd d mmm yy h:nn am/pm\")", "Wed 5 Jan 00 1:04 am"},
        {"Format(#1/5/2000 13:04:05#, \"h a/p\")", "1 p"},
        {"Format(dt, \"m/d/yyyy\")", "1/2/2003"},
        {"Format(36530, \"mm/dd/yyyy\")", "01/05/2000"},
        {"Format(\"1/5/2000\", \"d-mmm-yyyy\")", "5-Jan-2000"},
        {"Format(dt, \"\\Y\\e\\a\\r yyyy\")", "Year 2003"},
        // dates, named
        {"Format(#1/5/2000#, \"Long Date\")", "Wednesday, January 5, 2000"},
        {"Format(#1/5/2000#, \"Medium Date\")", "05-Jan-00"},
        {"Format(#1/5/2000#, \"Short Date\")", "1/5/2000"},
        {"Format(#13:04:05#, \"Long Time\")", "1:04:05 PM"},
        {"Format(#13:04:05#, \"Medium Time\")", "01:04 PM"},
        {"Format(#13:04:05#, \"Short Time\")", "13:04"},
        {"Format(tm, \"General Date\")", "12:00:00 AM"},
        {"Format(#1/5/2000 13:04:05#, \"General Date\")", "1/5/2000 1:04:05 PM"},
        // refused: what this engine does not build, and text that would read back as a date
        {"Format(1234.5, \"Currency\")", "error: The format 'Currency' is not supported."},
        {"Format(1234.5, \"Scientific\")", "error: The format 'Scientific' is not supported."},
        {"Format(1234.5, \"0.00E+00\")", "error: Format text '0.00E+00': 'E' is not supported in a number format."},
        {"Format(1234, \"#,\")", "error: Format text '#,': scaling by thousands is not supported."},
        {"Format(txt, \"@@@@\")", "error: Format text '@@@@': '@' is not supported in a number format."},
        {"Format(dt, \"ww\")", "error: Format text 'ww': 'ww' is not supported in a date format."},
        {"Format(dt, \"q\")", "error: Format text 'q': 'q' is not supported in a date format."},
        {"Format(dt, \"c\")", "error: Format text 'c': 'c' is not supported in a date format."},
        {"Format(-0.001, \"0.00\")",
         "error: Format text '0.00': a negative number that rounds to zero is not supported."},
        {"Format(dt, \"yyyy-mm-dd hh:nn:ss\")",
         "error: Format text 'yyyy-mm-dd hh:nn:ss' gives text in the stored date form, which reads back as a date."},
        {"Format(l, Null)", "error: Invalid use of Null"},
    });
    // Written into text, Format's text is stored as it is.
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET word = Format(#1/5/2000#, \"yyyy-mm-dd\")")), QString());
    EXPECT_EQ(eval(QStringLiteral("word")), QStringLiteral("2000-01-05"));
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET m = Format(1234.5, \"0.00\")")), QString());
    EXPECT_EQ(eval(QStringLiteral("m")), QStringLiteral("1234.50"));
}

TEST_F(DialectValues, AComparisonUsedAsAValueIsMinusOneOrZero)
{
    check({
        {"(1=1) * 5", "-5"},
        {"(1=2) * 5", "0"},
        {"1 < 2", "-1"},
        {"n > 5", "-1"},
        {"n > 100", "0"},
        {"(n > 5) + (l > 5)", "-2"},
        {"word LIKE \"a*\"", "-1"},
        {"word NOT LIKE \"a*\"", "0"},
        {"n IS NULL", "0"},
        {"n IS NOT NULL", "-1"},
        {"n BETWEEN 7 AND 8", "-1"},
        {"l IN (1, 7)", "-1"},
        {"l NOT IN (1, 7)", "0"},
        {"n > 5 AND l < 5", "0"},
        {"n > 5 OR l < 5", "-1"},
        {"NOT (n > 5)", "0"},
        {"(n > 5) = True", "-1"},
        {"(n > 5) = -1", "-1"},
        {"Abs(n > 5)", "1"},
        {"IIF(n > 5, \"big\", \"small\")", "big"},
        {"IIF((n > 5) = True, \"big\", \"small\")", "big"},
        {"Nz(n > 5, 0)", "-1"},
        {"(SELECT COUNT(*) FROM t AS u WHERE u.l = 7) > 0", "-1"},
        // Yes/No values combine as conditions do; numbers would combine bit by bit: refused
        {"NOT flag", "-1"},
        {"flag OR n > 5", "-1"},
        {"IsNull(n) OR True", "-1"},
        {"5 AND 3", kBitwise},
        {"NOT l", kBitwise},
        {"n > 5 AND l", kBitwise},
        {"word OR flag", kBitwise},
    });
    EXPECT_EQ(run(QStringLiteral("DELETE FROM t WHERE l AND n > 5")).toStdString(), kBitwise);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM t")), QStringLiteral("1"));
    // A comparison as a condition keeps selecting; compared with True it selects the same rows.
    EXPECT_EQ(rows(QStringLiteral("SELECT k FROM t WHERE (n > 5) = True")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(rows(QStringLiteral("SELECT k FROM t WHERE (n > 100) = False")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(rows(QStringLiteral("SELECT k FROM t WHERE n > 5 AND NOT (l > 7) AND l BETWEEN 1 AND 9")),
              QStringList{QStringLiteral("1")});
    EXPECT_EQ(rows(QStringLiteral("SELECT k FROM t WHERE (n > 5) = False")), QStringList());
    EXPECT_EQ(rows(QStringLiteral("SELECT k FROM t WHERE k IN (SELECT k FROM t WHERE (l = 7) = True)")),
              QStringList{QStringLiteral("1")});
    // Written by SET, a comparison is a Yes or -1.
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET flag = (n > 5), lg = (n > 5), big = (n > 5) * 2")), QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT flag, lg, big FROM t")), QStringList{QStringLiteral("True|-1|-2")});
    EXPECT_EQ(rows(QStringLiteral("SELECT k FROM t WHERE flag = (l = 7)")), QStringList{QStringLiteral("1")});
    // In a find criterion too.
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM t"), jet::dbOpenDynaset);
    rs->findFirst(QStringLiteral("(n > 5) = True"));
    EXPECT_FALSE(rs->noMatch());
}

TEST_F(DialectValues, ADateComparedWithANumberComparesItsSerial)
{
    // 1/1/2000 is 36526, 1/2/2003 37623; big and lg hold 40000 (7/6/2009).
    check({
        {"#1/1/2000# = 36526", "-1"},
        {"36526 = #1/1/2000#", "-1"},
        {"36528 < #1/2/2000#", "0"},
        {"#1/2/2000# > 36526.5", "-1"},
        {"#1/1/2000# + 1 = 36527", "-1"},
        {"#1/1/2000# - 36526 = 0", "-1"},
        {"dt = 37623", "-1"},
        {"dt > 37623.5", "0"},
        {"37622 < dt", "-1"},
        {"dt < 3000000", "-1"},
        {"dt > -700000", "-1"},
        {"CDATE(37623) = 37623", "-1"},
        {"CDATE(\"1/2/2003\") = 37623", "-1"},
        {"Date() > 36526", "-1"},
        {"Now() > 36526", "-1"},
        {"dt + 1 = 37624", "-1"},
        {"big > #1/1/2000#", "-1"},
        {"lg > #1/1/2000#", "-1"},
        {"#1/1/2000# < big", "-1"},
        {"lg = #7/6/2009#", "-1"},
        {"l < #1/1/1900#", "0"},
        {"dt < big", "-1"},
        {"lg > dt", "-1"},
        {"tm = 0", "-1"},
        {"noon = 0.5", "-1"},
        {"lg BETWEEN #1/1/2000# AND #1/1/2010#", "-1"},
        {"l BETWEEN #1/1/2000# AND #1/1/2010#", "0"},
        {"dt BETWEEN 37000 AND 38000", "-1"},
        {"dt BETWEEN 38000 AND 39000", "0"},
    });
    for (const char* where : {"big > #1/1/2000#", "lg > #1/1/2000#", "#1/1/2000# < lg", "lg >= #7/6/2009#",
                              "dt = 37623", "dt >= 37623 AND dt < 37624", "dt + 1 = 37624", "lg > dt",
                              "lg BETWEEN #1/1/2000# AND #1/1/2010#", "dt BETWEEN 37000 AND 38000"}) {
        EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM t WHERE ") + QLatin1String(where)), QStringLiteral("1")) << where;
    }
    // A find criterion compares the same way.
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM t"), jet::dbOpenDynaset);
    for (const char* criterion : {"dt = 37623", "lg > #1/1/2000#", "tm = 0", "dt + 1 = 37624"}) {
        rs->findFirst(QLatin1String(criterion));
        EXPECT_FALSE(rs->noMatch()) << criterion;
    }
    rs->close();
    EXPECT_EQ(run(QStringLiteral("DELETE FROM t WHERE lg < #1/1/2000#")), QString());
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM t")), QStringLiteral("1"));
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET word = \"late\" WHERE big > #1/1/2000#")), QString());
    EXPECT_EQ(eval(QStringLiteral("word")), QStringLiteral("late"));
}

// A comparison that stands as a condition stays SQLite's own, so an index on
// its column still finds the rows; only a comparison used as a value is
// turned into -1 or 0.
TEST_F(DialectValues, ConditionsOnAnIndexedColumnStillUseItsIndex)
{
    db.execute(QStringLiteral("CREATE TABLE big (id LONG, code TEXT(20), d DATETIME, CONSTRAINT pk PRIMARY KEY (id))"));
    db.execute(QStringLiteral("CREATE INDEX code_ix ON big (code)"));
    db.execute(QStringLiteral("CREATE INDEX d_ix ON big (d)"));
    const struct {
        const char* where;
        const char* index;   ///< the index the plan names, as SQLite names it
    } cases[] = {
        {"code = \"A1\"", "code_ix"},
        {"code = \"A1\" AND id > 3", ""},
        {"(code = \"A1\") OR (code = \"B2\")", "code_ix"},
        {"d > #1/1/2000#", "d_ix"},
        {"d = 37623", "d_ix"},
        {"id = 5", "PRIMARY KEY"},
        {"id > 5 AND (d > #1/1/2000#) = True", "PRIMARY KEY"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        const jet::Translated t = jet::translate(QStringLiteral("SELECT id FROM big WHERE ") + QLatin1String(c.where),
                                                 [&](const QString& table) { return db.connection().columns(
                                                                                    db.connection().tableName(table)); });
        jet::Stmt plan(&db.connection(), QStringLiteral("EXPLAIN QUERY PLAN ") + t.sql);
        QString detail;
        while (plan.step())
            detail += plan.value(3, jet::dbText).toString() + QLatin1Char('\n');
        EXPECT_TRUE(detail.contains(QStringLiteral("USING"))) << detail.toStdString() << t.sql.toStdString();
        EXPECT_FALSE(detail.startsWith(QStringLiteral("SCAN"))) << detail.toStdString() << t.sql.toStdString();
        if (*c.index) {
            EXPECT_TRUE(detail.contains(QLatin1String(c.index))) << detail.toStdString() << t.sql.toStdString();
        }
    }
}

// A time of day alone (a value on 12/30/1899, the day the serial counts
// from) is its time wherever it becomes text; a date without a time stays
// its date, and a date with a time is both.
TEST_F(DialectValues, ATimeOfDayAloneIsItsTimeWhereverItBecomesText)
{
    check({
        {"tm", "12:00:00 AM"},
        {"noon", "12:00:00 PM"},
        {"CSTR(tm)", "12:00:00 AM"},
        {"CSTR(noon)", "12:00:00 PM"},
        {"tm & \"\"", "12:00:00 AM"},
        {"\"at \" & noon", "at 12:00:00 PM"},
        {"CSTR(#0:00:01#)", "12:00:01 AM"},
        {"CSTR(#1/5/2000#)", "1/5/2000"},
        {"CSTR(#1/5/2000 13:30:00#)", "1/5/2000 1:30:00 PM"},
        {"CSTR(#12/30/1899#)", "12:00:00 AM"},
        {"LEN(tm)", "11"},
        {"CDATE(CSTR(tm)) = tm", "-1"},
    });
    for (const char* column : {"word", "m"}) {
        SCOPED_TRACE(column);
        for (const auto& [value, text] : {std::pair{"tm", "12:00:00 AM"}, std::pair{"noon", "12:00:00 PM"},
                                          std::pair{"#0:00:00#", "12:00:00 AM"}, std::pair{"dt", "1/2/2003"}}) {
            EXPECT_EQ(run(QStringLiteral("UPDATE t SET %1 = %2").arg(QLatin1String(column), QLatin1String(value))), QString());
            EXPECT_EQ(eval(QLatin1String(column)).toStdString(), text) << value;
        }
    }
    EXPECT_EQ(run(QStringLiteral("INSERT INTO t (k, word) VALUES (2, #0:00:00#)")), QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT word FROM t WHERE k = 2")), QStringList{QStringLiteral("12:00:00 AM")});
}

} // namespace
