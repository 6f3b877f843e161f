#include "cleaning/distinct_values.h"

#include "list_fixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace cleaning;
using listfixture::Row;

namespace {

std::vector<SpecChar> chosen(std::initializer_list<int> codes)
{
    std::vector<SpecChar> rows;
    for (int code = 33; code <= 126; ++code) {
        if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90) || (code >= 97 && code <= 122))
            continue;
        int flag = 0;
        for (int c : codes)
            flag |= c == code;
        rows.push_back({code, flag});
    }
    return rows;
}

DistinctFilter typed(const QString& pattern)
{
    DistinctFilter f;
    f.likePattern = pattern;
    return f;
}

DistinctFilter special(CharClass cls, std::vector<SpecChar> rows = {})
{
    DistinctFilter f;
    f.special = true;
    f.cls = cls;
    f.specChars = std::move(rows);
    f.likePattern = QStringLiteral("ignored*");
    return f;
}

// "text=count" per listed row; the empty-value row shows as "=count".
QStringList listed(const DistinctList& list)
{
    QStringList out;
    for (const DistinctRow& r : list.rows)
        out << r.text() + QLatin1Char('=') + QString::number(r.count);
    return out;
}

/// The rows of the grouping statements of q as "value=count" (value passed
/// through key), the empty-value row left out when it counts nothing.
QStringList groupingRows(jet::Database& db, const DistinctQuery& q, const std::function<QString(const QString&)>& key)
{
    QStringList want;
    for (const QString& sql : {q.emptySql, q.mainSql}) {
        if (sql.isEmpty())
            continue;
        auto rs = db.openRecordset(sql, jet::dbOpenSnapshot);
        for (; !rs->eof(); rs->moveNext()) {
            const qint64 n = rs->value(1).toLong();
            if (sql == q.emptySql && n == 0)
                continue;
            want << key(rs->value(0).toString()) + u'=' + QString::number(n);
        }
    }
    return want;
}

class DistinctValuesTest : public listfixture::ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        db = open(QStringLiteral("work.sys"));
        listfixture::makeList(db, {
            Row{u"Boston"_qs, u"x"_qs, 34, 32878, u"9"_qs},
            Row{u"boston"_qs, u"x"_qs, 34, 32878, u"10"_qs},
            Row{u"Chicago"_qs, std::nullopt, std::nullopt, std::nullopt, u"10"_qs},
            Row{u""_qs, u""_qs, 29, 36585.5, u"10"_qs},
            Row{std::nullopt, std::nullopt, 41, std::nullopt, u"2"_qs},
            Row{u"Z\u00FCrich"_qs, u"\"quoted\""_qs, 52, 25753, std::nullopt},
            Row{u"Smith \"Jr\""_qs, std::nullopt, 7.5, 2, u"2"_qs},
            Row{u"Smithers"_qs, std::nullopt, 7.5, 2, u"2"_qs},
            Row{u"tab\there"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"line\nfeed"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"only\rreturn"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"no\u00A0break"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"\u20AC 5"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"\u65E5\u672C"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"Bang!"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"a]b"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"a|b"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
            Row{u"12-34"_qs, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        });
    }
    void TearDown() override { db.close(); }

    jet::Database db;
};

} // namespace

TEST(DistinctQueryText, StatementsAsTheEngineGetsThem)
{
    struct Case {
        const char* what;
        QString column;
        int type;
        DistinctFilter filter;
        QString emptySql;
        QString mainSql;
    };
    const Case cases[] = {
        {"text column, no filter", u"City"_qs, jet::dbText, DistinctFilter{},
         u"SELECT \"\" AS Colum , COUNT(*) AS Count FROM tblData WHERE [City] IS NULL    OR [City]=\"\" "_qs,
         u"SELECT [City] AS Colum , COUNT(*) AS Count FROM tblData WHERE [City] IS NOT NULL   AND [City]<>\"\" "_qs
         u"GROUP BY [City] ORDER BY [City] "_qs},
        {"number column: no empty-string tests", u"Age"_qs, jet::dbDouble, DistinctFilter{},
         u"SELECT \"\" AS Colum , COUNT(*) AS Count FROM tblData WHERE [Age] IS NULL "_qs,
         u"SELECT [Age] AS Colum , COUNT(*) AS Count FROM tblData WHERE [Age] IS NOT NULL GROUP BY [Age] ORDER BY [Age] "_qs},
        {"memo counts as text", u"Notes"_qs, jet::dbMemo, DistinctFilter{},
         u"SELECT \"\" AS Colum , COUNT(*) AS Count FROM tblData WHERE [Notes] IS NULL    OR [Notes]=\"\" "_qs,
         u"SELECT [Notes] AS Colum , COUNT(*) AS Count FROM tblData WHERE [Notes] IS NOT NULL   AND [Notes]<>\"\" "_qs
         u"GROUP BY [Notes] ORDER BY [Notes] "_qs},
        {"typed pattern, quote doubled, GROUP BY right after it", u"City"_qs, jet::dbText, typed(u"Bo\"s*"_qs), u""_qs,
         u"SELECT [City] AS Colum , COUNT(*) AS Count FROM tblData  WHERE [City] LIKE \"Bo\"\"s*\"GROUP BY [City] "_qs
         u"ORDER BY [City] "_qs},
        {"class replaces the typed text", u"City"_qs, jet::dbText, special(CharClass::Numeric), u""_qs,
         u"SELECT [City] AS Colum , COUNT(*) AS Count FROM tblData  WHERE [City] LIKE '*[0-9]*' GROUP BY [City] "_qs
         u"ORDER BY [City] "_qs},
        {"Special with no class lists everything", u"City"_qs, jet::dbText, special(CharClass::None),
         u"SELECT \"\" AS Colum , COUNT(*) AS Count FROM tblData WHERE [City] IS NULL    OR [City]=\"\" "_qs,
         u"SELECT [City] AS Colum , COUNT(*) AS Count FROM tblData WHERE [City] IS NOT NULL   AND [City]<>\"\" "_qs
         u"GROUP BY [City] ORDER BY [City] "_qs},
        {"Puncts with nothing chosen", u"City"_qs, jet::dbText, special(CharClass::Puncts, chosen({})), u""_qs,
         u"SELECT [City] AS Colum , COUNT(*) AS Count FROM tblData  WHERE FALSE GROUP BY [City] ORDER BY [City] "_qs},
        {"a column named like the count alias", u"Count"_qs, jet::dbText, DistinctFilter{},
         u"SELECT \"\" AS Colum1 , COUNT(*) AS Count1 FROM tblData WHERE [Count] IS NULL    OR [Count]=\"\" "_qs,
         u"SELECT [Count] AS Colum1 , COUNT(*) AS Count1 FROM tblData WHERE [Count] IS NOT NULL   AND [Count]<>\"\" "_qs
         u"GROUP BY [Count] ORDER BY [Count] "_qs},
        {"a column named like the value alias, other case", u"colum"_qs, jet::dbLong, DistinctFilter{},
         u"SELECT \"\" AS Colum1 , COUNT(*) AS Count1 FROM tblData WHERE [colum] IS NULL "_qs,
         u"SELECT [colum] AS Colum1 , COUNT(*) AS Count1 FROM tblData WHERE [colum] IS NOT NULL GROUP BY [colum] "_qs
         u"ORDER BY [colum] "_qs},
    };
    for (const Case& c : cases) {
        const DistinctQuery q = distinctQuery(c.column, c.type, c.filter);
        EXPECT_EQ(q.emptySql, c.emptySql) << c.what;
        EXPECT_EQ(q.mainSql, c.mainSql) << c.what;
        EXPECT_EQ(q.valueTest, CharClass::None) << c.what;
    }
}

TEST(DistinctQueryText, TheReadOfTheSameRows)
{
    struct Case {
        const char* what;
        DistinctFilter filter;
        QString scanSql;
        CharClass valueTest;
    };
    const Case cases[] = {
        {"no filter: every row, empties counted apart", DistinctFilter{}, u"SELECT [City] FROM tblData "_qs,
         CharClass::None},
        {"typed pattern", typed(u"Bo*"_qs), u"SELECT [City] FROM tblData  WHERE [City] LIKE \"Bo*\""_qs,
         CharClass::None},
        {"letters", special(CharClass::Alpha),
         u"SELECT [City] FROM tblData  WHERE [City] LIKE '*[a-z]*'     OR [City] LIKE '*[A-Z]*' "_qs, CharClass::None},
        {"other characters are tested on each value", special(CharClass::Other),
         u"SELECT [City] FROM tblData WHERE [City] IS NOT NULL "_qs, CharClass::Other},
    };
    for (const Case& c : cases) {
        const DistinctQuery q = distinctQuery(u"City"_qs, jet::dbText, c.filter);
        EXPECT_EQ(q.scanSql, c.scanSql) << c.what;
        EXPECT_EQ(q.valueTest, c.valueTest) << c.what;
    }
    const DistinctQuery other = distinctQuery(u"City"_qs, jet::dbText, special(CharClass::Other));
    EXPECT_EQ(other.emptySql, QString());
    EXPECT_EQ(other.mainSql, u"SELECT [City] AS Colum , COUNT(*) AS Count FROM tblData WHERE [City] IS NOT NULL   "
                             u"AND [City]<>\"\" GROUP BY [City] ORDER BY [City] "_qs);
}

// The listing groups in memory; it must give what the grouping statements
// give when the engine runs them, rows, counts and order.
TEST_F(DistinctValuesTest, EqualsTheGroupingStatements)
{
    const DistinctFilter filters[] = {
        DistinctFilter{},
        typed(u"*o*"_qs),
        typed(u"*"_qs),
        special(CharClass::Alpha),
        special(CharClass::Numeric),
        special(CharClass::Puncts, chosen({'"', '!', ']', '|', '-', '\''})),
    };
    for (const char* column : {"Name", "Notes", "Age", "Born", "Blank", "Count"}) {
        const QString c = QString::fromLatin1(column);
        for (const DistinctFilter& f : filters) {
            const DistinctList list = distinctValues(db, c, f);
            ASSERT_TRUE(list.ok()) << column << ": " << list.error.toStdString();
            const DistinctQuery q = distinctQuery(c, list.fieldType, f);
            const QStringList want = groupingRows(db, q, [](const QString& v) { return v.toLower(); });
            QStringList got = listed(list);
            for (QString& g : got)
                g = g.toLower();
            EXPECT_EQ(got, want) << column << " with " << q.mainSql.toStdString();
        }
    }
}

TEST_F(DistinctValuesTest, EmptyValueRowThenValuesInOrder)
{
    struct Case {
        const char* column;
        QStringList rows;
    };
    const Case cases[] = {
        // Null and "" together; Boston and boston are one value to the engine.
        {"Notes", {u"=15"_qs, u"\"quoted\"=1"_qs, u"x=2"_qs}},
        // Only Nulls are empty in a number column; values as the engine writes them.
        {"Age", {u"=11"_qs, u"7.5=2"_qs, u"29=1"_qs, u"34=2"_qs, u"41=1"_qs, u"52=1"_qs}},
        {"Born", {u"=12"_qs, u"1/1/1900=2"_qs, u"7/4/1970=1"_qs, u"1/5/1990=2"_qs, u"2/29/2000 12:00:00 PM=1"_qs}},
        // A column of Nulls only lists the empty-value row.
        {"Blank", {u"=18"_qs}},
        // Named like the count alias: still ordered by its values, not by the counts.
        {"Count", {u"=11"_qs, u"10=3"_qs, u"2=3"_qs, u"9=1"_qs}},
    };
    for (const Case& c : cases) {
        const DistinctList list = distinctValues(db, QString::fromLatin1(c.column), DistinctFilter{});
        ASSERT_TRUE(list.ok()) << c.column << ": " << list.error.toStdString();
        EXPECT_EQ(listed(list), c.rows) << c.column;
        ASSERT_FALSE(list.rows.empty());
        EXPECT_TRUE(list.rows.front().empty) << c.column;
    }
}

TEST_F(DistinctValuesTest, TextColumnGroupsWithoutRegardToCase)
{
    const DistinctList list = distinctValues(db, u"Name"_qs, DistinctFilter{});
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(list.fieldType, jet::dbText);
    ASSERT_GE(list.rows.size(), 3u);
    EXPECT_EQ(listed(list).first(), u"=2"_qs);
    EXPECT_EQ(list.rows[1].text(), u"12-34"_qs);
    qint64 boston = 0, total = 0;
    for (const DistinctRow& r : list.rows) {
        total += r.count;
        if (r.text().compare(u"boston"_qs, Qt::CaseInsensitive) == 0)
            boston += r.count;
    }
    EXPECT_EQ(boston, 2);
    EXPECT_EQ(total, 18);
}

TEST_F(DistinctValuesTest, FiltersNarrowTheListAndDropTheEmptyRow)
{
    struct Case {
        const char* what;
        DistinctFilter filter;
        QStringList rows;
    };
    const Case cases[] = {
        {"typed pattern", typed(u"Smith*"_qs), {u"Smith \"Jr\"=1"_qs, u"Smithers=1"_qs}},
        {"typed pattern with a quote", typed(u"*\"Jr\""_qs), {u"Smith \"Jr\"=1"_qs}},
        {"typed pattern, no match", typed(u"Q*"_qs), {}},
        {"digits", special(CharClass::Numeric), {u"12-34=1"_qs, u"\u20AC 5=1"_qs}},
        {"chosen punctuation, the four special endings",
         special(CharClass::Puncts, chosen({'"', '!', ']', '|'})),
         {u"a]b=1"_qs, u"a|b=1"_qs, u"Bang!=1"_qs, u"Smith \"Jr\"=1"_qs}},
        {"chosen hyphen uses the general ending", special(CharClass::Puncts, chosen({'-'})), {u"12-34=1"_qs}},
        {"punctuation with nothing chosen", special(CharClass::Puncts, chosen({})), {}},
        // Tab, line feed, euro sign and characters the code page lacks are Other;
        // a carriage return or a no-break space alone is not.
        {"other characters", special(CharClass::Other),
         {u"line\nfeed=1"_qs, u"tab\there=1"_qs, u"Z\u00FCrich=1"_qs, u"\u20AC 5=1"_qs, u"\u65E5\u672C=1"_qs}},
    };
    for (const Case& c : cases) {
        const DistinctList list = distinctValues(db, u"Name"_qs, c.filter);
        ASSERT_TRUE(list.ok()) << c.what << ": " << list.error.toStdString();
        QStringList got = listed(list);
        QStringList want = c.rows;
        // The engine's order for characters outside ASCII is its own affair here.
        got.sort(Qt::CaseInsensitive);
        want.sort(Qt::CaseInsensitive);
        EXPECT_EQ(got, want) << c.what;
    }
}

TEST_F(DistinctValuesTest, LetterClassIsTheAsciiTest)
{
    const DistinctList list = distinctValues(db, u"Name"_qs, special(CharClass::Alpha));
    ASSERT_TRUE(list.ok());
    QStringList got;
    for (const DistinctRow& r : list.rows)
        got << r.text();
    EXPECT_TRUE(got.contains(u"Z\u00FCrich"_qs));
    EXPECT_FALSE(got.contains(u"12-34"_qs));
    EXPECT_FALSE(got.contains(u"\u65E5\u672C"_qs));
    EXPECT_FALSE(got.contains(u"\u20AC 5"_qs));
    EXPECT_EQ(got.size(), 12);
}

TEST_F(DistinctValuesTest, FailuresComeBackAsTheEnginesDescription)
{
    const DistinctList missing = distinctValues(db, u"Nowhere"_qs, DistinctFilter{});
    EXPECT_FALSE(missing.ok());
    EXPECT_TRUE(missing.rows.empty());
    EXPECT_EQ(missing.error, u"Item not found in this collection."_qs);

    // A column found without regard to case, as the engine finds a field.
    const DistinctList other = distinctValues(db, u"age"_qs, DistinctFilter{});
    EXPECT_TRUE(other.ok()) << other.error.toStdString();
    EXPECT_EQ(other.rows.size(), 6u);
}

// Every listed row's filter selects exactly the rows it counts: the pop-up's
// filter and the list agree for text, memo, number and date columns and for
// the empty-value row.
TEST_F(DistinctValuesTest, ValueFilterSelectsTheCountedRows)
{
    for (const char* column : {"Name", "Notes", "Age", "Born", "Blank"}) {
        const QString c = QString::fromLatin1(column);
        const DistinctList list = distinctValues(db, c, DistinctFilter{});
        ASSERT_TRUE(list.ok()) << column;
        for (const DistinctRow& row : list.rows) {
            const QString where = valueFilter(c, list.fieldType, row);
            EXPECT_EQ(listfixture::count(db, where), row.count) << column << ": " << where.toStdString();
        }
    }
}

TEST(DistinctValueFilter, LiteralsByType)
{
    struct Case {
        int type;
        DistinctRow row;
        QString filter;
    };
    const Case cases[] = {
        {jet::dbText, DistinctRow{jet::Value(u"O\"Hara"_qs), 1, false}, u"[C]=\"O\"\"Hara\" "_qs},
        // The empty text first, then Null; every condition ends in a blank.
        {jet::dbText, DistinctRow{jet::Value(), 3, true}, u"[C]=\"\" OR [C] IS NULL "_qs},
        {jet::dbDouble, DistinctRow{jet::Value(), 3, true}, u"[C] IS NULL "_qs},
        {jet::dbDouble, DistinctRow{jet::Value(7.5), 1, false}, u"[C]=7.5 "_qs},
        {jet::dbDouble, DistinctRow{jet::Value(0.1 + 0.2), 1, false}, u"[C]=0.30000000000000004 "_qs},
        {jet::dbDouble, DistinctRow{jet::Value(1234567890123456.0), 1, false}, u"[C]=1234567890123456 "_qs},
        {jet::dbLong, DistinctRow{jet::Value(-12), 1, false}, u"[C]=-12 "_qs},
        {jet::dbDate, DistinctRow{jet::Value(jet::DateTime{36585.5}), 1, false}, u"[C]=#02/29/2000 12:00:00# "_qs},
    };
    for (const Case& c : cases)
        EXPECT_EQ(valueFilter(u"C"_qs, c.type, c.row), c.filter);
}

TEST(DistinctValueFilter, DelimiterByType)
{
    EXPECT_EQ(literalDelimiter(jet::dbDate), u"#"_qs);
    EXPECT_EQ(literalDelimiter(jet::dbText), u"\""_qs);
    EXPECT_EQ(literalDelimiter(jet::dbMemo), u"\""_qs);
    EXPECT_EQ(literalDelimiter(jet::dbDouble), QString());
    EXPECT_EQ(literalDelimiter(jet::dbBoolean), QString());
}

namespace {

// Values that group only under the collation's case folding, keys that share
// their first eight bytes, characters beyond ASCII that fold into it, and
// enough of them for the listing's table to grow several times. Each value
// comes in several spellings, the first written being the one the list shows.
class DistinctValuesManyTest : public listfixture::ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        db = open(QStringLiteral("many.sys"));
        std::vector<listfixture::Row> rows;
        const auto add = [&](const QString& name) { rows.push_back(listfixture::Row{name, std::nullopt, {}, {}, {}}); };
        for (int i = 0; i < 3000; ++i) {
            const QString zip = QStringLiteral("%1").arg((i * 7919) % 100000, 5, 10, QLatin1Char('0'));
            add(i % 3 ? zip : QStringLiteral("x") + zip);
            add(QStringLiteral("LongPrefix-%1").arg(i % 700));
            add(QStringLiteral("longprefix-%1").arg(i % 500));
            if (i % 5 == 0)
                add(QStringLiteral("LONGPREFIX-%1").arg(i % 900));
        }
        const char16_t* spellings[] = {
            u"\u212Aelvin", u"kelvin", u"KELVIN",        // Kelvin sign folds to k
            u"cla\u017Fs", u"Class", u"CLASS",           // long s folds to s
            u"Z\u00FCrich", u"z\u00FCrich", u"Z\u00DCRICH", u"Zurich",
            u"abcdefgh", u"ABCDEFGH", u"abcdefghi", u"abcdefgh ", u"abcdefg",
            u"\u00C5ngstr\u00F6m", u"\u00E5ngstr\u00F6m", u"\u212Bngstr\u00F6m",
            u"", u"stra\u00DFe", u"STRASSE", u"Stra\u1E9Ee",
            u"\U00010400x", u"\U00010428x", u"\u65E5\u672C",
        };
        for (const char16_t* s : spellings)
            add(QString::fromUtf16(s));
        rows.push_back(listfixture::Row{});
        listfixture::makeList(db, rows);
        for (const listfixture::Row& r : rows)
            names.push_back(r.name);
    }
    void TearDown() override { db.close(); }

    jet::Database db;
    std::vector<std::optional<QString>> names;
};

} // namespace

TEST_F(DistinctValuesManyTest, EqualsTheGroupingStatementsAndShowsTheFirstSpelling)
{
    for (const DistinctFilter& f : {DistinctFilter{}, typed(u"*e*"_qs), special(CharClass::Alpha)}) {
        const DistinctList list = distinctValues(db, u"Name"_qs, f);
        ASSERT_TRUE(list.ok()) << list.error.toStdString();
        const DistinctQuery q = distinctQuery(u"Name"_qs, list.fieldType, f);
        const QStringList want = groupingRows(db, q, [](const QString& v) { return v.toCaseFolded(); });
        QStringList got;
        for (const DistinctRow& r : list.rows) {
            got << r.text().toCaseFolded() + u'=' + QString::number(r.count);
            if (r.empty)
                continue;
            EXPECT_EQ(r.value.kind(), jet::Kind::Text) << r.text().toStdString();
            // The first row written that the collation calls equal.
            const auto first = std::find_if(names.begin(), names.end(), [&](const std::optional<QString>& n) {
                return n && n->compare(r.text(), Qt::CaseInsensitive) == 0;
            });
            ASSERT_NE(first, names.end()) << r.text().toStdString();
            EXPECT_EQ(r.text(), **first);
        }
        EXPECT_EQ(got, want) << q.mainSql.toStdString();
    }
}

// "Other" on columns that hold numbers, flags and dates lists what the class
// condition selects there: the value's text holds no control or extended
// character, so nothing, where every value used to be listed.
TEST_F(DistinctValuesTest, OtherOnNumberFlagAndDateColumnsListsWhatItsConditionSelects)
{
    db.execute(QStringLiteral("DROP TABLE tblData"), jet::dbFailOnError);
    db.execute(QStringLiteral("CREATE TABLE tblData ([Amount] DOUBLE, [Code] LONG, [Small] SHORT, [Flag] BIT, "
                              "[Born] DATETIME)"),
               jet::dbFailOnError);
    for (const char* row : {"1.5, 7, 3, True, #1/2/2003#", "-2E+20, -12, 0, False, #12/31/1899#",
                            "1.5, 7, 3, True, Null", "Null, Null, Null, False, #5/6/2020 10:11:12#"})
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(QLatin1String(row)), jet::dbFailOnError);
    for (const char* column : {"Amount", "Code", "Small", "Flag", "Born"}) {
        const QString c = QString::fromLatin1(column);
        const DistinctList list = distinctValues(db, c, special(CharClass::Other));
        ASSERT_TRUE(list.ok()) << column << ": " << list.error.toStdString();
        EXPECT_EQ(listed(list), QStringList()) << column;
        // The condition itself, run by the engine, selects no row either.
        const QString where = classCondition(c, CharClass::Other, {}).mid(int(qstrlen("WHERE ")));
        EXPECT_EQ(listfixture::count(db, where), 0) << column;
        // The other classes still list by the value's text.
        const DistinctList digits = distinctValues(db, c, special(CharClass::Numeric));
        ASSERT_TRUE(digits.ok()) << column << ": " << digits.error.toStdString();
        EXPECT_FALSE(digits.rows.empty()) << column;
    }
}

// A Currency column lists and filters its amounts, never the counts of
// ten-thousandths it stores.
TEST_F(DistinctValuesTest, CurrencyColumnFiltersByItsAmounts)
{
    db.execute(u"ALTER TABLE tblData ADD COLUMN [Amount] CURRENCY"_qs, jet::dbFailOnError);
    db.execute(u"UPDATE tblData SET [Amount] = '0.15' WHERE [Name] LIKE 'Smith*'"_qs, jet::dbFailOnError);
    db.execute(u"UPDATE tblData SET [Amount] = '12345678901234.5678' WHERE [Name] = 'Chicago'"_qs, jet::dbFailOnError);
    struct Case {
        const char* what;
        DistinctFilter filter;
        QStringList rows;
    };
    const Case cases[] = {
        {"no filter", DistinctFilter{}, {u"0.15=2"_qs, u"12345678901234.5678=1"_qs}},
        {"pattern on the amount", typed(u"0.1*"_qs), {u"0.15=2"_qs}},
        {"pattern on the last digits", typed(u"*.5678"_qs), {u"12345678901234.5678=1"_qs}},
        {"pattern on the stored count matches nothing", typed(u"1500"_qs), {}},
    };
    for (const Case& c : cases) {
        const DistinctList list = distinctValues(db, u"Amount"_qs, c.filter);
        ASSERT_TRUE(list.ok()) << c.what << ": " << list.error.toStdString();
        QStringList got = listed(list);
        got.removeIf([](const QString& r) { return r.startsWith(u'='); });   // the empty-value row
        EXPECT_EQ(got, c.rows) << c.what;
    }
}
