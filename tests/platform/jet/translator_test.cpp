#include "platform/jet/error.h"
#include "platform/jet/translator.h"

#include <gtest/gtest.h>

using namespace jet;

TEST(Translator, LiteralsNamesAndOperators)
{
    struct Case { const char* jet; const char* sqlite; };
    const Case cases[] = {
        {"SELECT [First Name], [a/b] FROM tblData", "SELECT \"First Name\", \"a/b\" FROM tblData"},
        {"SELECT * FROM t WHERE [x]=\"say \"\"hi\"\"\"", "SELECT * FROM t WHERE \"x\" = 'say \"hi\"'"},
        {"SELECT * FROM t WHERE [x]='it''s'", "SELECT * FROM t WHERE \"x\" = 'it''s'"},
        {"SELECT * FROM t WHERE [d]>#01/05/2020 13:04:05#", "SELECT * FROM t WHERE \"d\" > '2020-01-05 13:04:05'"},
        {"SELECT * FROM t WHERE E.IsValid=FALSE", "SELECT * FROM t WHERE E.\"IsValid\" = 0"},
        {"SELECT [a] & \"-\" & [b] AS c FROM t", "SELECT jet_concat((\"a\"), ('-'), (\"b\")) AS \"c\" FROM t"},
        {"SELECT TOP 10 * FROM t", "SELECT * FROM t LIMIT 10"},
        {"SELECT LEN([a]), MID([a],2,1), UCASE([a]) FROM t", "SELECT jet_len(\"a\"), jet_mid(\"a\", 2, 1), jet_ucase(\"a\") FROM t"},
        {"SELECT * FROM t WHERE [a] IN (SELECT TOP 1 [b] FROM u ORDER BY [b]);",
         "SELECT * FROM t WHERE \"a\" IN (SELECT \"b\" FROM u ORDER BY \"b\" COLLATE JETCI LIMIT 1)"},
        {"SELECT [a] FROM t ORDER BY [a] DESC, 2", "SELECT \"a\" FROM t ORDER BY \"a\" COLLATE JETCI DESC, 2"},
        {"DELETE * FROM tblSpecSearch1;", "DELETE FROM \"tblSpecSearch1\""},
        {"SELECT IIF(ISNULL([n]),'',[n]) FROM t", "SELECT iif(jet_isnull(\"n\"), '', \"n\") FROM t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(translate(QString::fromUtf8(c.jet)).sql.toStdString(), c.sqlite) << c.jet;
}

TEST(Translator, UpdateWithJoinBecomesUpdateFrom)
{
    const Translated t = translate(QStringLiteral(
        "UPDATE tblSpecSearch1 S INNER JOIN tblCounts1 C ON S.Column1=C.Column1 SET S.Count1=C.Count1;"));
    EXPECT_EQ(t.kind, StatementKind::Update);
    EXPECT_EQ(t.sql.toStdString(),
              "UPDATE \"tblSpecSearch1\" AS \"S\" SET \"Count1\" = C.\"Count1\" FROM \"tblCounts1\" AS \"C\" "
              "WHERE (S.\"Column1\" = C.\"Column1\")");
    const Translated w = translate(QStringLiteral(
        "UPDATE tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK SET D.[Email]=E.Suggest1 "
        "WHERE E.IsValid=FALSE   AND E.Suggest1 IS NOT NULL   AND TRIM(E.Suggest1)<>'';"));
    EXPECT_TRUE(w.sql.endsWith(QStringLiteral("AND (E.\"IsValid\" = 0 AND E.\"Suggest1\" IS NOT NULL AND jet_trim(E.\"Suggest1\") <> '')")))
        << w.sql.toStdString();
}

TEST(Translator, SelectIntoAndExternalTables)
{
    const Translated a = translate(QStringLiteral("SELECT [a], [b] INTO [TEXT;Database=/tmp/out].[list.txt] FROM tblData"));
    EXPECT_EQ(a.kind, StatementKind::SelectInto);
    EXPECT_EQ(a.intoSpec, QStringLiteral("TEXT;Database=/tmp/out"));
    EXPECT_EQ(a.intoName, QStringLiteral("list.txt"));
    EXPECT_EQ(a.sql.toStdString(), "SELECT \"a\", \"b\" FROM tblData");

    const Translated b = translate(QStringLiteral("SELECT T.*, CLng(T.[id]) AS id2 INTO tblData FROM [/data/x.mdb].[People] AS T"));
    EXPECT_EQ(b.intoName, QStringLiteral("tblData"));
    ASSERT_EQ(b.externals.size(), 1u);
    EXPECT_EQ(b.externals[0].spec, QStringLiteral("/data/x.mdb"));
    EXPECT_EQ(b.externals[0].name, QStringLiteral("People"));
    EXPECT_TRUE(b.sql.contains(QStringLiteral("FROM \"qb_ext_1\" AS \"T\""))) << b.sql.toStdString();
}

TEST(Translator, CreateTableTypesAndKeys)
{
    const Translated t = translate(QStringLiteral(
        "CREATE TABLE tblSpecSearch1 (Column1 TEXT(255), Count1 TEXT(15), Convert1 TEXT(1), Column2 TEXT(255), "
        "Count2 TEXT(15), Convert2 TEXT(1), DummyField TEXT(1), CONSTRAINT pk PRIMARY KEY (Column1, Column2));"));
    ASSERT_EQ(t.columns.size(), 7u);
    EXPECT_EQ(t.columns[1].size, 15);
    EXPECT_EQ(t.keyColumns, (QStringList{QStringLiteral("Column1"), QStringLiteral("Column2")}));
    const Translated m = translate(QStringLiteral("CREATE TABLE x (a LONGTEXT, b INT, c YESNO, d DATETIME, e Text (255), f COUNTER)"));
    EXPECT_EQ(m.columns[0].type, dbMemo);
    EXPECT_EQ(m.columns[1].type, dbLong);
    EXPECT_EQ(m.columns[2].type, dbBoolean);
    EXPECT_EQ(m.columns[3].type, dbDate);
    EXPECT_EQ(m.columns[4].type, dbText);
    EXPECT_TRUE(m.columns[5].attributes & dbAutoIncrField);
}

TEST(Translator, RefusesWhatItDoesNotKnow)
{
    const char* bad[] = {
        "SELEKT * FROM t",
        "SELECT * FROM t; DROP TABLE t",
        "SELECT * FROM t WHERE [a = 1",
        "SELECT * FROM t WHERE a = \"open",
        "SELECT * FROM t WHERE d = #13/45/2020#",
        "CREATE TABLE t (a WIBBLE)",
        "GRANT ALL ON t TO bob",
    };
    for (const char* s : bad) {
        try {
            translate(QString::fromUtf8(s));
            ADD_FAILURE() << "accepted: " << s;
        } catch (const JetError& e) {
            EXPECT_FALSE(e.description().isEmpty());
        }
    }
}

TEST(Translator, DateLiterals)
{
    EXPECT_EQ(dateLiteralToStored(QStringLiteral("1/5/2020")), QStringLiteral("2020-01-05 00:00:00"));
    EXPECT_EQ(dateLiteralToStored(QStringLiteral("01/05/2020 01:02:03 PM")), QStringLiteral("2020-01-05 13:02:03"));
    EXPECT_EQ(dateLiteralToStored(QStringLiteral("2020-01-05")), QStringLiteral("2020-01-05 00:00:00"));
    EXPECT_TRUE(dateLiteralToStored(QStringLiteral("02/30/2020")).isEmpty());
}

// A RIGHT JOIN of two tables runs as the LEFT JOIN the other way round (the
// same rows, looked up by the left table's key instead of a scan per row);
// where the swap could change the columns or the tables are more than two,
// the join stays as written.
TEST(Translator, RightJoinOfTwoTablesRunsAsLeftJoin)
{
    struct Case { const char* jet; const char* from; };
    const Case cases[] = {
        {"SELECT E.Country, COUNT(*) AS Count FROM Z_ccTLD Z RIGHT JOIN tblEmails E ON Z.ccTLD=E.Country GROUP BY E.Country",
         "FROM tblEmails E LEFT JOIN Z_ccTLD Z ON Z.\"ccTLD\" = E.\"Country\" GROUP BY"},
        {"SELECT T2.k FROM a AS T1 RIGHT OUTER JOIN b AS T2 ON T1.k=T2.k WHERE T1.k IS NULL",
         "FROM b AS \"T2\" LEFT JOIN a AS \"T1\" ON T1.\"k\" = T2.\"k\" WHERE"},
        {"SELECT * FROM a RIGHT JOIN b ON a.k=b.k", "FROM a RIGHT JOIN b ON"},
        {"SELECT A.* FROM a T RIGHT JOIN b A ON T.k=A.k", "FROM a T RIGHT JOIN b A ON"},
        {"SELECT a.k FROM a RIGHT JOIN b ON a.k=b.k INNER JOIN c ON c.k=b.k", "FROM a RIGHT JOIN b ON"},
        {"SELECT a.k FROM a LEFT JOIN b ON a.k=b.k", "FROM a LEFT JOIN b ON"},
    };
    for (const Case& c : cases) {
        const QString sql = translate(QString::fromUtf8(c.jet)).sql;
        EXPECT_TRUE(sql.contains(QString::fromUtf8(c.from))) << c.jet << "\n  gives " << sql.toStdString();
    }
}
