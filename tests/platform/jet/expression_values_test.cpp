// The engine's operators give the dialect's value or its error, never another
// value: a date plus or minus a number is a date, the difference of two dates
// is days, dates compare with dates and with date arithmetic, Mod rounds its
// operands half to even and stops at a zero divisor, a number written into
// text takes the dialect's text of it, and Currency rounds on the decimal.
#include "engine_fixture.h"
#include "support/outside_need.h"
#include "support/outside_run.h"

#include "platform/jet/recordset.h"

#include <QDate>
#include <QString>

namespace {

const char* const kMismatch = "error: Data type mismatch in criteria expression.";
const char* const kOverflow = "error: Overflow";
const char* const kByZero = "error: Division by zero";

class ExpressionValues : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        db.execute(QStringLiteral("CREATE TABLE t (dt DATETIME, dt2 DATETIME, n DOUBLE, l LONG, c CURRENCY, "
                                  "txt TEXT(50), word TEXT(50), m MEMO)"));
        db.execute(QStringLiteral("INSERT INTO t VALUES (#1/2/2003#, #1/1/2003 12:00:00#, 7.5, 7, 1.5, \"12\", "
                                  "\"ab\", \"memo\")"));
    }

};

TEST_F(ExpressionValues, EachExpressionGivesTheDialectsValueOrItsError)
{
    const struct {
        const char* expression;
        const char* value;
    } cases[] = {
        // dates and numbers
        {"dt + 1", "1/3/2003"},
        {"1 + dt", "1/3/2003"},
        {"dt - 1", "1/1/2003"},
        {"dt + 0.5", "1/2/2003 12:00:00 PM"},
        {"dt - 30 * 2", "11/3/2002"},
        {"dt + 1 - 1", "1/2/2003"},
        {"1 - 2 + dt", "1/1/2003"},
        {"dt + txt", "1/14/2003"},
        {"dt - dt2", "0.5"},
        {"dt2 - dt", "-0.5"},
        {"#1/2/2003# - #12/25/2002#", "8"},
        {"dt + #12:00:00 PM#", "1/2/2003 12:00:00 PM"},
        {"(dt - dt2) * 4", "2"},
        {"dt * 1", "37623"},
        {"dt + 3000000", kOverflow},
        {"dt - 3000000", kOverflow},
        {"dt + Null", "<null>"},
        {"Null - dt", "<null>"},
        {"dt + word", kMismatch},
        {"CSTR(dt + 1)", "1/3/2003"},
        {"LEN(dt - 1)", "8"},
        {"Date() - Date()", "0"},
        // dates compare with dates and with date arithmetic
        {"IIF(dt > #1/1/2003# - 1, \"yes\", \"no\")", "yes"},
        {"IIF(dt + 1 > #1/2/2003#, \"yes\", \"no\")", "yes"},
        {"IIF(dt - 1 = #1/1/2003#, \"yes\", \"no\")", "yes"},
        {"IIF(dt > Date() - 30, \"yes\", \"no\")", "no"},
        {"IIF(dt - dt2 < 1, \"yes\", \"no\")", "yes"},
        // text and numbers
        {"txt + 1", "13"},
        {"txt - 1", "11"},
        {"word + word", "abab"},
        {"txt + word", "12ab"},
        {"word + 1", kMismatch},
        {"txt - word", kMismatch},
        {"word * 2", kMismatch},
        {"-word", kMismatch},
        {"-txt", "-12"},
        {"n * 2", "15"},
        {"n + 0.25", "7.75"},
        {"l + 1", "8"},
        {"1e308 * 10", kOverflow},
        {"1.7e308 + 1.7e308", kOverflow},
        {"-1.7e308 - 1.7e308", kOverflow},
        // Mod
        {"7.5 Mod 2", "0"},
        {"6.5 Mod 4", "2"},
        {"n Mod 2", "0"},
        {"-7 Mod 2", "-1"},
        {"7 Mod -2", "1"},
        {"l Mod 3 * 2", "1"},
        {"1 + l Mod 3", "2"},
        {"l Mod 4 Mod 2", "1"},
        {"\"9\" Mod 4", "1"},
        {"7 Mod 0", kByZero},
        {"7 Mod 0.4", kByZero},
        {"3000000000 Mod 7", kOverflow},
        {"Null Mod 2", "<null>"},
        {"word Mod 2", kMismatch},
        // Currency rounds half to even on the decimal digits
        {"CCUR(\"0.00015\")", "0.0002"},
        {"CCUR(\"0.00025\")", "0.0002"},
        {"CCUR(\"-0.00015\")", "-0.0002"},
        {"CCUR(0.00015)", "0.0002"},
        {"CCUR(\"1.00005\")", "1"},
        {"CCUR(\"999999999999.9999\")", "999999999999.9999"},
        {"CCUR(\"1,234.56785\")", "1234.5678"},
        {"CCUR(\"922337203685477.5808\")", kOverflow},
        // sums of dates are not built: refused, never the sum of the years
        {"SUM(dt)", kMismatch},
        {"AVG(t.dt)", kMismatch},
        {"SUM(l)", "7"},
        {"MAX(dt)", "1/2/2003"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(QString::fromLatin1(c.expression)).toStdString(), c.value) << c.expression;
}

TEST_F(ExpressionValues, StatementsStoreDatesAndSelectByDateArithmetic)
{
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET dt = dt + 1")), QString());
    EXPECT_EQ(eval(QStringLiteral("dt")), QStringLiteral("1/3/2003"));
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET dt2 = dt - 0.25")), QString());
    EXPECT_EQ(eval(QStringLiteral("dt2")), QStringLiteral("1/2/2003 6:00:00 PM"));
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET n = dt - dt2")), QString());
    EXPECT_EQ(eval(QStringLiteral("n")), QStringLiteral("0.25"));
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET dt = dt + 3000000")), QString::fromLatin1(kOverflow));
    EXPECT_EQ(eval(QStringLiteral("dt")), QStringLiteral("1/3/2003"));

    // A row of five days ago is within the last 30 days; the one of 2003 is not.
    const QDate recent = QDate::currentDate().addDays(-5);
    EXPECT_EQ(run(QStringLiteral("INSERT INTO t (dt, l) VALUES (#%1#, 2)").arg(recent.toString(QStringLiteral("M/d/yyyy")))),
              QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt > Date() - 30")), QStringList{QStringLiteral("2")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt < Date() - 30")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE Now() - dt > 30")), QStringList{QStringLiteral("7")});

    // A date compares with a number as with the date of that serial (1/3/2003 is 37624).
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt = 37624")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE 37625 > dt")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt > 37624.5 ORDER BY l")), QStringList{QStringLiteral("2")});
    // So does date arithmetic: 1/3/2003 + 1 is 37625.
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt + 1 = 37625")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt + 1 > 37624 AND 37626 > dt + 1")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE dt - 1 < 37623.5")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE Date() > 37624 AND CDATE(37624) = 37624 AND l = 7")),
              QStringList{QStringLiteral("7")});
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t WHERE n * 4 = 1 AND l = 7")), QStringList{QStringLiteral("7")});
    EXPECT_EQ(run(QStringLiteral("DELETE FROM t WHERE dt < 37624.5")), QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT l FROM t")), QStringList{QStringLiteral("2")});
}

TEST_F(ExpressionValues, ANumberWrittenIntoTextTakesTheDialectsText)
{
    const struct {
        const char* value;
        const char* text;
    } cases[] = {
        {"24.0", "24"},          {"n * 2", "15"},         {"0.00005", "5E-05"}, {"n / 3", "2.5"},
        {"1 / 3", "0.333333333333333"}, {"1e20", "1E+20"}, {"dt", "1/2/2003"}, {"dt + 0.5", "1/2/2003 12:00:00 PM"},
        {"l", "7"},              {"c", "1.5"},            {"\"2003-01-02 00:00:00\"", "2003-01-02 00:00:00"},
        {"1e308 * 10", kOverflow},
    };
    for (const char* column : {"txt", "m"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(column) + " = " + c.value);
            db.execute(QStringLiteral("UPDATE t SET %1 = \"before\"").arg(QLatin1String(column)));
            const QString outcome = run(QStringLiteral("UPDATE t SET %1 = %2").arg(QLatin1String(column), QLatin1String(c.value)));
            const bool refused = QLatin1String(c.text).startsWith(QLatin1String("error: "));
            EXPECT_EQ(outcome.toStdString(), refused ? c.text : "");
            EXPECT_EQ(eval(QLatin1String(column)).toStdString(), refused ? "before" : c.text);
        }
    }
    // INSERT ... VALUES and INSERT ... SELECT write the same text.
    EXPECT_EQ(run(QStringLiteral("INSERT INTO t (txt, l) VALUES (0.00005, 100)")), QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT txt FROM t WHERE l = 100")), QStringList{QStringLiteral("5E-05")});
    EXPECT_EQ(run(QStringLiteral("INSERT INTO t (txt, l) SELECT n * 2 AS txt, 101 AS l FROM t WHERE l = 7")), QString());
    EXPECT_EQ(rows(QStringLiteral("SELECT txt FROM t WHERE l = 101")), QStringList{QStringLiteral("15")});
}

TEST_F(ExpressionValues, CurrencyRoundsOnTheDecimalAndKeepsItsFourDecimals)
{
    const struct {
        const char* value;
        const char* stored;
    } cases[] = {
        {"\"0.00015\"", "0.0002"}, {"\"0.00025\"", "0.0002"}, {"0.00015", "0.0002"}, {"\"2.00005\"", "2"},
        {"\"999999999999.9999\"", "999999999999.9999"}, {"999999999999.9999", "999999999999.9999"},
        {"\"-999999999999.9999\"", "-999999999999.9999"}, {"\"1.23456789e3\"", "1234.5679"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(run(QStringLiteral("UPDATE t SET c = %1").arg(QLatin1String(c.value))), QString());
        EXPECT_EQ(eval(QStringLiteral("c")).toStdString(), c.stored);
        // The value's text reads back as the same amount.
        EXPECT_EQ(run(QStringLiteral("UPDATE t SET c = CSTR(c)")), QString());
        EXPECT_EQ(eval(QStringLiteral("c")).toStdString(), c.stored);
    }
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET c = \"922337203685477.5808\"")),
              QStringLiteral("error: Numeric field overflow."));
}

} // namespace

#include "platform/drivers/jet_writer.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

/// The output of a program that is not ours, or "" with a failure when it is
/// missing (under CI) or a skip message (elsewhere) in skip.
QString outsideTool(const QString& program, const QStringList& args, QString& skip)
{
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        skip = program + QStringLiteral(" is not installed");
        return QString();
    }
    return testsupport::outsideOutput(program, args);
}

// 999999999999.9999 and its like are the same amount on every road: as the
// grid shows it, through CSTR, in the Access, Excel and text exports as the
// readers that are not ours read them, and imported back.
TEST_F(ExpressionValues, CurrencyIsTheSameAmountOnTheGridInSqlInTheExportsAndBack)
{
    const QStringList amounts{QStringLiteral("999999999999.9999"), QStringLiteral("-999999999999.9999"),
                              QStringLiteral("123456789012.3456"), QStringLiteral("0.0002"), QStringLiteral("-123.4567")};
    db.execute(QStringLiteral("CREATE TABLE tc (k LONG, c CURRENCY)"));
    for (qsizetype i = 0; i < amounts.size(); ++i)
        db.execute(QStringLiteral("INSERT INTO tc VALUES (%1, \"%2\")").arg(i).arg(amounts[i]), jet::dbFailOnError);
    auto column = [&](const QString& sql) {
        QStringList out;
        for (const QString& r : rows(sql))
            out << r;
        return out;
    };
    EXPECT_EQ(column(QStringLiteral("SELECT c FROM tc ORDER BY k")), amounts);
    EXPECT_EQ(column(QStringLiteral("SELECT CSTR(c) FROM tc ORDER BY k")), amounts);

    const QString mdb = dir.filePath(QStringLiteral("out.mdb"));
    {
        QFile empty(mdb);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        empty.write(drivers::emptyJetDatabase(drivers::JetVersion::Jet4));
    }
    db.execute(QStringLiteral("SELECT k, c INTO [;database=%1].[tc] FROM tc").arg(mdb), jet::dbFailOnError);
    EXPECT_EQ(column(QStringLiteral("SELECT T.c FROM [%1].[tc] AS T ORDER BY T.k").arg(mdb)), amounts);

    const QString xls = dir.filePath(QStringLiteral("out.xls"));
    db.execute(QStringLiteral("SELECT k, c INTO [Excel 8.0;Database=%1].[tc] FROM tc").arg(xls), jet::dbFailOnError);
    EXPECT_EQ(column(QStringLiteral("SELECT T.c FROM [Excel 8.0;HDR=YES;Database=%1].[tc$] AS T ORDER BY T.k").arg(xls)),
              amounts);

    db.execute(QStringLiteral("SELECT k, c INTO [TEXT;Database=%1].[out.txt] FROM tc").arg(dir.path()), jet::dbFailOnError);
    QFile text(dir.filePath(QStringLiteral("out.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    QStringList written = QString::fromUtf8(text.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(written.size(), amounts.size() + 1);
    for (qsizetype i = 0; i < amounts.size(); ++i)
        EXPECT_EQ(written[i + 1].section(QLatin1Char(','), 1), amounts[i]);

    QString skip;
    const QString exported = outsideTool(QStringLiteral("mdb-export"), {QStringLiteral("-d"), QStringLiteral("|"), mdb,
                                                                         QStringLiteral("tc")}, skip);
    const QString script = QStringLiteral("import sys, xlrd\n"
                                          "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                          "for r in range(1, s.nrows): print(repr(s.cell_value(r, 1)))\n");
    const QString read = skip.isEmpty() ? outsideTool(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
                                                      QStringLiteral("command -p python3 -c \"$0\" \"$1\""), script, xls}, skip)
                                        : QString();
    QB_NEED_OUTSIDE(skip.isEmpty(), skip.toStdString());
    QStringList mdbAmounts;
    for (const QString& line : exported.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        mdbAmounts << line.section(QLatin1Char('|'), 1);
    EXPECT_EQ(mdbAmounts, amounts);
    EXPECT_EQ(read.split(QLatin1Char('\n'), Qt::SkipEmptyParts), amounts);
}

} // namespace
