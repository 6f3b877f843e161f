#include "exchange/column_type.h"

#include <gtest/gtest.h>

using namespace exchange;

TEST(ColumnType, NumberTexts)
{
    struct Case { const char* text; std::optional<double> value; bool fits; };
    const Case cases[] = {
        {"0", 0.0, true},
        {"12", 12.0, true},
        {"-2.5", -2.5, true},
        {"+7", 7.0, true},
        {"  42  ", 42.0, true},
        {".5", 0.5, true},
        {"-.5", -0.5, true},
        {"5.", 5.0, true},
        {"0.25", 0.25, true},
        {"1,234", 1234.0, true},
        {"1,234,567.5", 1234567.5, true},
        {"1e3", 1000.0, true},
        {"2.5E-2", 0.025, true},
        {"123456789012345", 123456789012345.0, true},
        {"0.000123", 0.000123, true},
        // numbers, but a DOUBLE column would lose digits
        {"02134", 2134.0, false},
        {"-012", -12.0, false},
        {"00.5", 0.5, false},
        {"1234567890123456", 1234567890123456.0, false},
        {"4111111111111111", 4111111111111111.0, false},
        // not numbers
        {"", std::nullopt, false},
        {"   ", std::nullopt, false},
        {"abc", std::nullopt, false},
        {"1,23", std::nullopt, false},
        {"1234,567", std::nullopt, false},
        {",123", std::nullopt, false},
        {"1,,234", std::nullopt, false},
        {"1.2.3", std::nullopt, false},
        {".", std::nullopt, false},
        {"-", std::nullopt, false},
        {"1e", std::nullopt, false},
        {"1e400", std::nullopt, false},
        {"1 2", std::nullopt, false},
        {"- 5", std::nullopt, false},
        {"12abc", std::nullopt, false},
        {"inf", std::nullopt, false},
        {"nan", std::nullopt, false},
        {"0x1A", std::nullopt, false},
        {"１２", std::nullopt, false}, // full-width digits
    };
    for (const Case& c : cases) {
        const QString t = QString::fromUtf8(c.text);
        const auto got = parseNumber(t);
        ASSERT_EQ(got.has_value(), c.value.has_value()) << c.text;
        if (got) {
            EXPECT_DOUBLE_EQ(*got, *c.value) << c.text;
        }
        EXPECT_EQ(fitsNumber(t), c.fits) << c.text;
    }
}

TEST(ColumnType, LoweringUntilTheValueFits)
{
    const DateSettings mdy;
    const QString longText(256, u'x');
    struct Case { ColumnType from; QString value; ColumnType want; };
    const Case cases[] = {
        {ColumnType::DateTime, QStringLiteral("12/31/2005"), ColumnType::DateTime},
        {ColumnType::DateTime, QStringLiteral("12"), ColumnType::Number},
        {ColumnType::DateTime, QStringLiteral("abc"), ColumnType::Text},
        {ColumnType::DateTime, QStringLiteral("02134"), ColumnType::Text},
        {ColumnType::DateTime, longText, ColumnType::Memo},
        {ColumnType::DateTime, QString(255, u'x'), ColumnType::Text},
        {ColumnType::DateTime, QString(), ColumnType::DateTime},
        // a chosen type is the starting point, never raised
        {ColumnType::Number, QStringLiteral("12/31/2005"), ColumnType::Text},
        {ColumnType::Text, QStringLiteral("12"), ColumnType::Text},
        {ColumnType::Memo, QStringLiteral("12"), ColumnType::Memo},
        {ColumnType::Text, longText, ColumnType::Memo},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lowerToFit(c.from, c.value, mdy), c.want) << c.value.left(20).toStdString();
}

TEST(ColumnType, StoredValues)
{
    const DateSettings mdy;
    EXPECT_EQ(storedValue(ColumnType::Number, u"1,234.5", mdy), jet::Value(1234.5));
    EXPECT_TRUE(storedValue(ColumnType::Number, u"abc", mdy).isNull());
    EXPECT_TRUE(storedValue(ColumnType::Number, u"", mdy).isNull());
    EXPECT_EQ(storedValue(ColumnType::DateTime, u"12/31/1999", mdy),
              jet::Value(jet::toDateTime({1999, 12, 31, 0, 0, 0})));
    EXPECT_TRUE(storedValue(ColumnType::DateTime, u"31/12/1999", mdy).isNull());
    EXPECT_TRUE(storedValue(ColumnType::Text, u"", mdy).isNull());
    EXPECT_TRUE(storedValue(ColumnType::Memo, u"", mdy).isNull());

    const QString longText = QString(254, u'a') + QStringLiteral("bcd");
    EXPECT_EQ(*storedValue(ColumnType::Text, longText, mdy).textPtr(), longText.left(255));
    EXPECT_EQ(*storedValue(ColumnType::Memo, longText, mdy).textPtr(), longText);
    // a cut through a surrogate pair drops the whole character
    const QString emoji = QString(254, u'a') + QString::fromUtf8("😀x");
    EXPECT_EQ(*storedValue(ColumnType::Text, emoji, mdy).textPtr(), QString(254, u'a'));
}

TEST(ColumnType, WordsAndStatement)
{
    for (ColumnType t : {ColumnType::DateTime, ColumnType::Number, ColumnType::Text, ColumnType::Memo})
        EXPECT_EQ(typeFromWord(typeWord(t)), t);
    EXPECT_FALSE(typeFromWord(u"Text"));
    EXPECT_EQ(createTableStatement(QStringLiteral("tblData"), {QStringLiteral("Name"), QStringLiteral("Age")},
                                   {ColumnType::Text, ColumnType::Number}),
              QStringLiteral("CREATE TABLE tblData ( [Name]  TEXT (255), [Age]  DOUBLE);"));
    EXPECT_EQ(createTableStatement(QStringLiteral("t"), {QStringLiteral("When"), QStringLiteral("Notes")},
                                   {ColumnType::DateTime, ColumnType::Memo}),
              QStringLiteral("CREATE TABLE t ( [When]  DATETIME, [Notes]  LONGTEXT);"));
}
