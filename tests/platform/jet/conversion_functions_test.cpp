// The engine's conversion functions as the dialect has them: the value they
// give, Null refused by all but CVAR, text that does not convert refused as
// a type mismatch, values out of range as an overflow.
#include "engine_fixture.h"

#include "platform/jet/recordset.h"

#include <QString>

namespace {

class ConversionFunctions : public EngineTest {
protected:
    QString eval(const QString& expression) { return EngineTest::eval(expression, QStringLiteral("tblData")); }
};

TEST_F(ConversionFunctions, ValuesNullAndTextThatDoesNotConvert)
{
    db.execute(QStringLiteral("CREATE TABLE tblData (x TEXT(10))"));
    db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"a\")"));
    const QString null = QStringLiteral("error: Invalid use of Null");
    const QString mismatch = QStringLiteral("error: Data type mismatch in criteria expression.");
    const QString overflow = QStringLiteral("error: Overflow");
    const struct { const char* expression; QString value; } cases[] = {
        {"CBOOL(\"True\")", "-1"}, {"CBOOL(\"false\")", "0"}, {"CBOOL(2.5)", "-1"}, {"CBOOL(\"0\")", "0"},
        {"CBOOL(\"maybe\")", mismatch}, {"CBOOL(NULL)", null},
        {"CBYTE(\"254.5\")", "254"}, {"CBYTE(255.5)", overflow}, {"CBYTE(-1)", overflow}, {"CBYTE(\"x\")", mismatch},
        {"CBYTE(NULL)", null},
        {"CINT(\"1,234\")", "1234"}, {"CINT(40000)", overflow},
        {"CCUR(\"1.23456\")", "1.2346"}, {"CCUR(2.00005)", "2"}, {"CCUR(1e20)", overflow}, {"CCUR(NULL)", null},
        {"CSNG(\"0.1\")", "0.1"}, {"CSNG(1e39)", overflow}, {"CSNG(\"one\")", mismatch},
        {"CDBL(\"0.30000000000000004\")", "0.3"}, {"CDEC(\"2.5\")", "2.5"}, {"CDEC(NULL)", null},
        {"CVAR(NULL)", "<null>"}, {"CVAR(\"text\")", "text"}, {"CVAR(12)", "12"},
        {"CDATE(\"1/2/2003\")", "1/2/2003"}, {"CDATE(\"2003-01-02 13:04:05\")", "1/2/2003 1:04:05 PM"},
        {"CDATE(\"1/2/2003 1:04:05 PM\")", "1/2/2003 1:04:05 PM"}, {"CDATE(36526)", "1/1/2000"},
        {"CDATE(\"36526.5\")", "1/1/2000 12:00:00 PM"}, {"CDATE(\"soon\")", mismatch}, {"CDATE(NULL)", null},
        {"CDATE(3e6)", overflow},
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(QString::fromLatin1(c.expression)).toStdString(), c.value.toStdString()) << c.expression;
    auto top = db.openRecordset(QStringLiteral("SELECT TOP 1 9/2 AS V FROM tblData"), jet::dbOpenSnapshot);
    EXPECT_EQ(top->value(0).toString(), QStringLiteral("4.5"));
}

} // namespace

namespace {

// Text that is no finite number, numbers past a type's range and the last
// second of the last day: every cast refuses them with the dialect's errors
// (they gave INT64_MIN, True or a date of year 2030437201 before), and a
// division by zero is an error, not Null.
TEST_F(ConversionFunctions, NoNumberAndOutOfRangeAreErrorsNeverValues)
{
    db.execute(QStringLiteral("CREATE TABLE tblData (x TEXT(10))"));
    db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"a\")"));
    const QString mismatch = QStringLiteral("error: Data type mismatch in criteria expression.");
    const QString overflow = QStringLiteral("error: Overflow");
    const QString byZero = QStringLiteral("error: Division by zero");
    const char* casts[] = {"CINT", "CLNG", "CBYTE", "CSNG", "CDBL", "CCUR", "CDATE", "CBOOL", "CDEC"};
    for (const char* f : casts) {
        SCOPED_TRACE(f);
        for (const char* text : {"nan", "NaN", "inf", "-Infinity", "0x10", "12abc", ""})
            EXPECT_EQ(eval(QStringLiteral("%1(\"%2\")").arg(QLatin1String(f), QLatin1String(text))).toStdString(),
                      mismatch.toStdString()) << text;
        EXPECT_EQ(eval(QStringLiteral("%1(\"1e999\")").arg(QLatin1String(f))), overflow);
        EXPECT_EQ(eval(QStringLiteral("%1(1e999)").arg(QLatin1String(f))), overflow);
    }
    const struct { const char* expression; QString value; } cases[] = {
        {"CINT(32767.5)", overflow}, {"CINT(-32768.5)", "-32768"}, {"CLNG(2147483647.5)", overflow},
        {"CLNG(\"-2,147,483,648\")", "-2147483648"}, {"CBYTE(\"255.49\")", "255"}, {"CSNG(3.5e38)", overflow},
        {"CSNG(\"0.16\")", "0.16"}, {"CCUR(922337203685478)", overflow}, {"CCUR(-922337203685477)", "-922337203685477"},
        {"CDATE(2958465.99998)", "12/31/9999 11:59:58 PM"}, {"CDATE(2958465.999995)", overflow},
        {"CDATE(-657434)", "1/1/100"}, {"CDATE(-657435)", overflow}, {"CBOOL(\"Yes\")", "-1"}, {"CBOOL(\"off\")", "0"},
        {"CBOOL(\"Tru\")", mismatch}, {"CDEC(1e29)", overflow}, {"CDEC(\"-7.9e28\")", "-7.9E+28"}, {"CDBL(\"1e308\")", "1E+308"},
        {"1/0", byZero}, {"0/0", byZero}, {"5/(2-2)", byZero}, {"1/\"0\"", byZero}, {"7/2", "3.5"}, {"8/2/2", "2"},
        {"2*3/4*2", "3"}, {"1+6/3-1", "2"}, {"1/-4", "-0.25"}, {"NULL/0", "<null>"}, {"1/NULL", "<null>"}, {"7\\0", byZero},
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(QString::fromLatin1(c.expression)).toStdString(), c.value.toStdString()) << c.expression;
    auto top = db.openRecordset(QStringLiteral("SELECT TOP 1 9/2 AS V FROM tblData"), jet::dbOpenSnapshot);
    EXPECT_EQ(top->value(0).toString(), QStringLiteral("4.5"));
}

} // namespace
