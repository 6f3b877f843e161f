// The Column Cleaner's conversion on a real tblData: the statement's terms
// per column kind, the clash with the new value, and the all-or-nothing run.
#include "cleaning/column_convert.h"

#include "list_fixture.h"

#include <gtest/gtest.h>

using cleaning::ConvertOutcome;
using cleaning::ConvertRequest;
using listfixture::Row;

namespace {

const QString kQuote = QStringLiteral("\"");

// Born: 38047 is 3/1/2004, 37621 is 12/31/2002.
std::vector<Row> rows()
{
    return {
        {u"abc"_qs, std::nullopt, 12.5, 38047, std::nullopt},
        {u"ABC"_qs, std::nullopt, 3, 37621, std::nullopt},
        {u""_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {std::nullopt, std::nullopt, 12.5, std::nullopt, std::nullopt},
        {u"say \"hi\""_qs, std::nullopt, 7, 38047, std::nullopt},
        {u"other"_qs, std::nullopt, 7, 37621, std::nullopt},
    };
}

class ColumnConvert : public listfixture::ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        db = open(u"work.sys"_qs);
        listfixture::makeList(db, rows());
    }
    jet::Database db;
};

} // namespace

TEST(ColumnConvertText, ConditionTermsFollowTheColumnKind)
{
    struct Case { const char* what; QString delimiter; QStringList old; const char* where; };
    const Case cases[] = {
        {"text with the empty value", kQuote, {u"a"_qs, u""_qs},
         "WHERE [c]=\"a\" OR [c]=\"\" OR [c] IS NULL "},
        {"quote doubled", kQuote, {u"x\"y"_qs}, "WHERE [c]=\"x\"\"y\" "},
        {"number", u""_qs, {u"12.5"_qs, u""_qs}, "WHERE [c]=12.5 OR [c] IS NULL "},
        {"date", u"#"_qs, {u"3/1/2004"_qs, u"12/31/2002 1:05:00 PM"_qs},
         "WHERE [c]=#03/01/2004 00:00:00# OR [c]=#12/31/2002 13:05:00# "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto where = cleaning::convertCondition({u"c"_qs, c.delimiter, c.old, u"new"_qs});
        ASSERT_TRUE(where.has_value());
        EXPECT_EQ(*where, QString::fromUtf8(c.where));
    }
}

TEST(ColumnConvertText, StatementSetsTheNewValueOrNull)
{
    const QString where = u"WHERE [c]=1 "_qs;
    EXPECT_EQ(cleaning::convertStatement({u"c"_qs, kQuote, {}, u"a\"b"_qs}, where),
              u"UPDATE tblData SET [c]=\"a\"\"b\" WHERE [c]=1 "_qs);
    EXPECT_EQ(cleaning::convertStatement({u"c"_qs, u"#"_qs, {}, u"1/5/2003"_qs}, where),
              u"UPDATE tblData SET [c]=#01/05/2003 00:00:00# WHERE [c]=1 "_qs);
    EXPECT_EQ(cleaning::convertStatement({u"c"_qs, u""_qs, {}, u""_qs}, where),
              u"UPDATE tblData SET [c]=NULL WHERE [c]=1 "_qs);
}

TEST_F(ColumnConvert, ConvertsTheChosenValuesInPlace)
{
    struct Case {
        const char* what;
        QString column;
        QString delimiter;
        QStringList old;
        QString newValue;
        QStringList after;
    };
    const QString n = u"<null>"_qs;
    const Case cases[] = {
        // The engine compares text without regard to case, as its grouping of the list does.
        {"text: empty string and Null both", u"Name"_qs, kQuote, {u"abc"_qs, u""_qs}, u"x"_qs,
         {u"x"_qs, u"x"_qs, u"x"_qs, u"x"_qs, u"say \"hi\""_qs, u"other"_qs}},
        {"text holding a quote, to blank", u"Name"_qs, kQuote, {u"say \"hi\""_qs}, u""_qs,
         {u"abc"_qs, u"ABC"_qs, u""_qs, n, n, u"other"_qs}},
        {"number", u"Age"_qs, u""_qs, {u"12.5"_qs}, u"13"_qs, {u"13"_qs, u"3"_qs, n, u"13"_qs, u"7"_qs, u"7"_qs}},
        {"number: only Null rows for the empty value", u"Age"_qs, u""_qs, {u""_qs}, u"0"_qs,
         {u"12.5"_qs, u"3"_qs, u"0"_qs, u"12.5"_qs, u"7"_qs, u"7"_qs}},
        {"date", u"Born"_qs, u"#"_qs, {u"3/1/2004"_qs}, u"1/5/2003"_qs,
         {u"1/5/2003"_qs, u"12/31/2002"_qs, n, n, u"1/5/2003"_qs, u"12/31/2002"_qs}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jet::Database fresh = open(QString::fromUtf8(c.what).left(4) + u".sys"_qs + QString::number(&c - cases));
        listfixture::makeList(fresh, rows());
        const auto r = cleaning::runColumnConvert(fresh, {c.column, c.delimiter, c.old, c.newValue});
        EXPECT_EQ(r.outcome, ConvertOutcome::Converted) << r.message.toStdString();
        EXPECT_EQ(listfixture::column(fresh, c.column), c.after);
    }
}

TEST_F(ColumnConvert, RefusalsChangeNothing)
{
    struct Case { const char* what; QString column; QString delimiter; QStringList old; QString newValue; ConvertOutcome outcome; const char* message; };
    const Case cases[] = {
        {"new value among the old, ignoring case", u"Name"_qs, kQuote, {u"other"_qs, u"abc"_qs}, u"ABC"_qs,
         ConvertOutcome::Clash, cleaning::kClashMessage},
        {"blank with the empty value selected", u"Name"_qs, kQuote, {u"abc"_qs, u""_qs}, u""_qs, ConvertOutcome::Clash,
         cleaning::kClashMessage},
        {"typed SQL for a number column", u"Age"_qs, u""_qs, {u"7"_qs}, u"1, [Name]=\"gone\""_qs,
         ConvertOutcome::Failed, "The column Age holds numbers: \"1, [Name]=\"gone\"\" is not one of them."},
        // Numbers the engine could not take back as typed: refused before any statement.
        {"thousands separator", u"Age"_qs, u""_qs, {u"7"_qs}, u"1,000"_qs, ConvertOutcome::Failed,
         "The column Age holds numbers: \"1,000\" is not one of them."},
        {"infinity", u"Age"_qs, u""_qs, {u"7"_qs}, u"inf"_qs, ConvertOutcome::Failed,
         "The column Age holds numbers: \"inf\" is not one of them."},
        {"out of range", u"Age"_qs, u""_qs, {u"7"_qs}, u"1e999"_qs, ConvertOutcome::Failed,
         "The column Age holds numbers: \"1e999\" is not one of them."},
        {"no date", u"Born"_qs, u"#"_qs, {u"3/1/2004"_qs}, u"soon"_qs, ConvertOutcome::Failed,
         "The column Born holds dates: \"soon\" is not one of them."},
        {"a column the table lacks", u"Nowhere"_qs, kQuote, {u"a"_qs}, u"b"_qs, ConvertOutcome::Failed, nullptr},
    };
    const QStringList names = listfixture::column(db, u"Name"_qs);
    const QStringList ages = listfixture::column(db, u"Age"_qs);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = cleaning::runColumnConvert(db, {c.column, c.delimiter, c.old, c.newValue});
        EXPECT_EQ(r.outcome, c.outcome);
        if (c.message)
            EXPECT_EQ(r.message, QString::fromUtf8(c.message));
        else
            EXPECT_FALSE(r.message.isEmpty());
        EXPECT_EQ(listfixture::column(db, u"Name"_qs), names);
        EXPECT_EQ(listfixture::column(db, u"Age"_qs), ages);
    }
    // The transaction was ended each time: a later conversion still commits.
    EXPECT_EQ(cleaning::runColumnConvert(db, {u"Name"_qs, kQuote, {u"other"_qs}, u"done"_qs}).outcome,
              ConvertOutcome::Converted);
    jet::Database second = jet::Database::open(dir.filePath(u"work.sys"_qs));
    EXPECT_EQ(listfixture::column(second, u"Name"_qs).last(), u"done"_qs);
}
