// Currency keeps four decimals over its whole range, exactly: written by SQL
// or through a recordset, summed, compared, shown and carried out to the
// exports and back, no digit of an amount changes, and an amount past the
// range is refused, never stored as another.
#include "engine_fixture.h"

#include "support/outside_need.h"
#include "support/outside_run.h"
#include "platform/drivers/jet_writer.h"
#include "platform/jet/recordset.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <string>

namespace {

const char* const kOverflow = "error: Numeric field overflow.";

class CurrencyValues : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        db.execute(QStringLiteral("CREATE TABLE t (k LONG, c CURRENCY, d DOUBLE, x TEXT(50))"));
    }

    /// Runs the statement; "" when it ran, else "error: " and the description.
    std::string run(const QString& sql)
    {
        try {
            db.execute(sql, jet::dbFailOnError);
            return {};
        } catch (const jet::JetError& e) {
            return "error: " + e.description().toStdString();
        }
    }

    /// The first row of a query as scalar() gives it, or "error: " and the description.
    std::string value(const QString& sql)
    {
        try {
            return scalar(sql).toStdString();
        } catch (const jet::JetError& e) {
            return "error: " + e.description().toStdString();
        }
    }

    /// Writes text into c of the one row through a recordset, as the grid does.
    std::string gridWrite(const QString& typed)
    {
        try {
            auto rs = db.openRecordset(QStringLiteral("SELECT c FROM t"), jet::dbOpenDynaset);
            rs->edit();
            rs->setValue(0, jet::Value(typed));
            rs->update();
            return {};
        } catch (const jet::JetError& e) {
            return "error: " + e.description().toStdString();
        }
    }
};

// Each amount as written, and as every road shows it back (or the refusal).
const struct {
    const char* written;   // the SQL value; quoted, it is also what is typed in the grid
    const char* shown;
} kAmounts[] = {
    {"'12345678901234.5678'", "12345678901234.5678"},
    {"12345678901234.5678", "12345678901234.5678"},
    {"'922337203685477.5807'", "922337203685477.5807"},
    {"922337203685477.5807", "922337203685477.5807"},
    {"'-922337203685477.5807'", "-922337203685477.5807"},
    {"-922337203685477.5807", "-922337203685477.5807"},
    {"'0.1'", "0.1"},
    {"'1.5'", "1.5"},
    {"'-0.0001'", "-0.0001"},
    {"'0.00015'", "0.0002"},   // four decimals, half to even
    {"'0.00025'", "0.0002"},
    {"'2.00005'", "2"},
    {"'999999999999.99995'", "1000000000000"},
    {"'922337203685477.5808'", kOverflow},
    {"922337203685477.5808", kOverflow},
    {"'-922337203685477.5808'", kOverflow},
    {"'922337203685477.58075'", kOverflow},
    {"1e16", kOverflow},
};

TEST_F(CurrencyValues, EveryAmountIsStoredAndShownWithEveryDigitOnEachRoad)
{
    ASSERT_EQ(run(QStringLiteral("INSERT INTO t (k, c) VALUES (1, 7)")), std::string());
    for (const auto& a : kAmounts) {
        const QString written = QString::fromLatin1(a.written);
        const std::string shown = a.shown;
        const bool refused = shown.rfind("error", 0) == 0;
        SCOPED_TRACE(a.written);
        ASSERT_EQ(run(QStringLiteral("UPDATE t SET c = 7")), std::string());

        // SQL's UPDATE, and the amount read back as itself, through CStr and &.
        EXPECT_EQ(run(QStringLiteral("UPDATE t SET c = %1").arg(written)), refused ? shown : std::string());
        const std::string kept = refused ? "7" : shown;
        EXPECT_EQ(value(QStringLiteral("SELECT c FROM t")), kept);
        EXPECT_EQ(value(QStringLiteral("SELECT CSTR(c) FROM t")), kept);
        EXPECT_EQ(value(QStringLiteral("SELECT c & '' FROM t")), kept);
        EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM t WHERE c = %1").arg(QString::fromStdString(kept))), "1");

        // INSERT ... VALUES.
        EXPECT_EQ(run(QStringLiteral("INSERT INTO t (k, c) VALUES (2, %1)").arg(written)), refused ? shown : std::string());
        EXPECT_EQ(value(QStringLiteral("SELECT c FROM t WHERE k = 2")), refused ? "<none>" : shown);
        ASSERT_EQ(run(QStringLiteral("DELETE FROM t WHERE k = 2")), std::string());

        // A recordset's write, the grid's road, from the typed text.
        ASSERT_EQ(run(QStringLiteral("UPDATE t SET c = 7")), std::string());
        QString typed = written;
        typed.remove(QLatin1Char('\''));
        EXPECT_EQ(gridWrite(typed), refused ? shown : std::string());
        EXPECT_EQ(value(QStringLiteral("SELECT c FROM t")), kept);
    }
}

TEST_F(CurrencyValues, SumsDifferencesAndComparisonsAreExact)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(run(QStringLiteral("INSERT INTO t (k, c, d) VALUES (%1, 0.1, 0.1)").arg(i)), std::string());
    const struct {
        const char* query;
        const char* value;
    } cases[] = {
        {"SELECT SUM(c) FROM t", "1"},
        {"SELECT IIF(SUM(c) = 1, 'equal', 'not') FROM t", "equal"},
        {"SELECT COUNT(*) FROM t HAVING SUM(c) = 1", "10"},
        {"SELECT COUNT(*) FROM t WHERE c = 0.1", "10"},
        {"SELECT COUNT(*) FROM t WHERE c = d", "10"},
        {"SELECT COUNT(*) FROM t WHERE c BETWEEN 0.1 AND 0.1", "10"},
        {"SELECT COUNT(*) FROM t WHERE 0.1 = c", "10"},
        {"SELECT COUNT(*) FROM t WHERE c > 0.0999", "10"},
        {"SELECT COUNT(*) FROM t WHERE c < 0.1", "0"},
        {"SELECT COUNT(*) FROM t WHERE c = 0.10001", "0"},
        {"SELECT MAX(c) FROM t", "0.1"},
        {"SELECT MIN(c) - 0.1 FROM t", "0"},
        {"SELECT AVG(c) FROM t", "0.1"},
        {"SELECT SUM(c * 3) FROM t", "3"},
        // With a Double the arithmetic is the Double's.
        {"SELECT COUNT(*) FROM t HAVING SUM(d) = 1", "<none>"},
        {"SELECT TOP 1 c * 0.5 FROM t", "0.05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(value(QString::fromLatin1(c.query)), c.value);
    }
    // A find criterion compares the same way.
    auto rs = db.openRecordset(QStringLiteral("SELECT k, c FROM t ORDER BY k"), jet::dbOpenDynaset);
    rs->findFirst(QStringLiteral("[c] = 0.1"));
    EXPECT_FALSE(rs->noMatch());
    rs->findFirst(QStringLiteral("[c] > 0.1"));
    EXPECT_TRUE(rs->noMatch());
}

TEST_F(CurrencyValues, ArithmeticWithAmountsAndWholeNumbersKeepsEveryDigit)
{
    ASSERT_EQ(run(QStringLiteral("INSERT INTO t (k, c) VALUES (1, '12345678901234.5678')")), std::string());
    const struct {
        const char* set;
        const char* stored;
    } cases[] = {
        {"c + 1", "12345678901235.5678"},
        {"c - CCUR('0.0001')", "12345678901235.5677"},
        {"c + c", "24691357802471.1354"},
        {"c - c + CCUR(0.0001)", "0.0001"},
        {"-c", "-0.0001"},
        {"c * 2", "-0.0002"},
        {"CCUR('12345678901234.5678') + 1", "12345678901235.5678"},
        {"c * 1", "12345678901235.5678"},
        {"(c - 1) * 10", "123456789012345.678"},
        // With a Double the arithmetic is the Double's: a quotient is one.
        {"c / 10", "12345678901234.566"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        ASSERT_EQ(run(QStringLiteral("UPDATE t SET c = %1").arg(QLatin1String(c.set))), std::string());
        EXPECT_EQ(value(QStringLiteral("SELECT c FROM t")), c.stored);
    }
    // Past the range: refused, the amount left as it was.
    ASSERT_EQ(run(QStringLiteral("UPDATE t SET c = '922337203685477.5807'")), std::string());
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET c = c + 0.0001")), std::string(kOverflow));
    EXPECT_EQ(run(QStringLiteral("UPDATE t SET c = c * 2")), std::string(kOverflow));
    EXPECT_EQ(value(QStringLiteral("SELECT c FROM t")), "922337203685477.5807");
    ASSERT_EQ(run(QStringLiteral("INSERT INTO t (k, c) VALUES (2, 0.0001)")), std::string());
    EXPECT_EQ(value(QStringLiteral("SELECT SUM(c) FROM t")), std::string(kOverflow));
    // Into other columns the amount goes as their type takes it.
    ASSERT_EQ(run(QStringLiteral("UPDATE t SET c = '12345678901234.5678' WHERE k = 1")), std::string());
    ASSERT_EQ(run(QStringLiteral("UPDATE t SET x = c, d = c WHERE k = 1")), std::string());
    EXPECT_EQ(value(QStringLiteral("SELECT x FROM t WHERE k = 1")), "12345678901234.5678");
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM t WHERE k = 1 AND d = 12345678901234.568")), "1");
}

// The range's ends and the tester's amounts go out to an Access file and a
// text file and come back in as they were; mdbtools reads the same amounts.
TEST_F(CurrencyValues, AmountsGoOutAndComeBackInWithEveryDigit)
{
    const QStringList amounts{QStringLiteral("12345678901234.5678"), QStringLiteral("922337203685477.5807"),
                              QStringLiteral("-922337203685477.5807"), QStringLiteral("0.1"), QStringLiteral("-5")};
    for (qsizetype i = 0; i < amounts.size(); ++i)
        ASSERT_EQ(run(QStringLiteral("INSERT INTO t (k, c) VALUES (%1, '%2')").arg(i).arg(amounts[i])), std::string());
    QStringList column;
    for (const QString& r : rows(QStringLiteral("SELECT c FROM t ORDER BY k")))
        column << r;
    EXPECT_EQ(column, amounts);

    // Text: plain decimals without trailing zeros.
    ASSERT_EQ(run(QStringLiteral("SELECT k, c INTO [TEXT;Database=%1].[out.txt] FROM t ORDER BY k").arg(dir.path())),
              std::string());
    QFile text(dir.filePath(QStringLiteral("out.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(text.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), amounts.size() + 1);
    for (qsizetype i = 0; i < amounts.size(); ++i)
        EXPECT_EQ(lines[i + 1].section(QLatin1Char(','), 1), amounts[i]);

    // Access: written, imported back, and read by mdbtools.
    const QString mdb = dir.filePath(QStringLiteral("out.mdb"));
    {
        QFile empty(mdb);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        empty.write(drivers::emptyJetDatabase(drivers::JetVersion::Jet4));
    }
    ASSERT_EQ(run(QStringLiteral("SELECT k, c INTO [;database=%1].[tc] FROM t").arg(mdb)), std::string());
    column.clear();
    for (const QString& r : rows(QStringLiteral("SELECT T.c FROM [%1].[tc] AS T ORDER BY T.k").arg(mdb)))
        column << r;
    EXPECT_EQ(column, amounts);
    ASSERT_EQ(run(QStringLiteral("SELECT T.k, T.c INTO back FROM [%1].[tc] AS T").arg(mdb)), std::string());
    EXPECT_EQ(value(QStringLiteral("SELECT SUM(c) FROM back WHERE k <> 1 AND k <> 2")), "12345678901229.6678");

    QB_NEED_OUTSIDE(!QStandardPaths::findExecutable(QStringLiteral("mdb-export")).isEmpty(), "mdb-export is not installed");
    const QString exported = testsupport::outsideOutput(QStringLiteral("mdb-export"), {QStringLiteral("-d"), QStringLiteral("|"), mdb,
                                                                      QStringLiteral("tc")});
    QStringList read;
    for (const QString& line : exported.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        read << line.section(QLatin1Char('|'), 1);
    ASSERT_EQ(read.size(), amounts.size());
    for (qsizetype i = 0; i < amounts.size(); ++i) {
        // mdbtools writes every amount with four decimals.
        QString r = read[i];
        if (r.contains(QLatin1Char('.'))) {
            while (r.endsWith(QLatin1Char('0')))
                r.chop(1);
            if (r.endsWith(QLatin1Char('.')))
                r.chop(1);
        }
        EXPECT_EQ(r, amounts[i]);
    }
}

} // namespace
