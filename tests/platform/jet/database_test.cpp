#include "engine_fixture.h"

#include "platform/jet/connection.h"

using namespace jet;

TEST_F(EngineTest, CounterKeyNumbersRowsAndBecomesLastField)
{
    makeContacts();
    const TableDef t = db.tableDef(QStringLiteral("TBLDATA"));
    ASSERT_EQ(t.fields.size(), 6u);
    EXPECT_EQ(t.fields.back().name, QStringLiteral("LumacorPrimK"));
    EXPECT_TRUE(t.fields.back().attributes & dbAutoIncrField);
    EXPECT_EQ(t.fields.back().ordinalPosition, 5);
    EXPECT_EQ(t.fields[0].type, dbText);
    EXPECT_EQ(t.fields[3].type, dbDouble);
    EXPECT_EQ(t.fields[4].type, dbDate);
    EXPECT_EQ(rows(QStringLiteral("SELECT LumacorPrimK, [Name] FROM tblData ORDER BY LumacorPrimK")).first(),
              QStringLiteral("1|Ann Smith"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT MAX(LumacorPrimK) AS m FROM tblData")), QStringLiteral("5"));
}

// A table whose key is one Long column of its own (the e-mail work table's)
// keeps its rows by that key: no index beside them, read back in key order,
// and the key is still a plain Long (not a counter) that refuses repeats and
// text.
TEST_F(EngineTest, ALongKeyOfItsOwnIsTheRowNumber)
{
    db.execute(QStringLiteral("CREATE TABLE tblWork (K LONG, V TEXT(10), CONSTRAINT pk PRIMARY KEY (K));"), dbFailOnError);
    for (const char* row : {"(5, 'five')", "(2, 'two')", "(9, 'nine')"})
        db.execute(QStringLiteral("INSERT INTO tblWork (K, V) VALUES ") + QString::fromUtf8(row), dbFailOnError);
    EXPECT_EQ(rows(QStringLiteral("SELECT K, V FROM tblWork")), (QStringList{"2|two", "5|five", "9|nine"}));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM tblWork WHERE K = rowid")), QStringLiteral("3"));
    Stmt ix(&db.connection(), QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'tblWork'"));
    ASSERT_TRUE(ix.step());
    EXPECT_EQ(ix.int64(0), 0);

    const TableDef t = db.tableDef(QStringLiteral("tblWork"));
    ASSERT_EQ(t.fields.size(), 2u);
    EXPECT_EQ(t.fields[0].type, dbLong);
    EXPECT_FALSE(t.fields[0].attributes & dbAutoIncrField);
    EXPECT_EQ(db.connection().primaryKey(QStringLiteral("tblWork")), QStringList{QStringLiteral("K")});
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO tblWork (K, V) VALUES (2, 'again')"), dbFailOnError), JetError);
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO tblWork (K, V) VALUES ('x', 'text')"), dbFailOnError), JetError);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM tblWork")), QStringLiteral("3"));
}

// The counter numbers the rows 1..n in table order whether the table's own
// numbering can serve (a freshly filled table) or has gaps (rows deleted, a
// row put first out of order): either way the key is last, is the primary
// key, new rows continue after the highest number, and the file stays sound.
TEST_F(EngineTest, CounterKeyOnTablesWithAndWithoutGaps)
{
    struct Case {
        const char* name;
        const char* prepare;   // run on tblData (Name) holding a, b, c, d
        const char* expected;  // key|Name in key order
        int next;              // the key of the next row added
    };
    const Case cases[] = {
        {"fresh", "", "1|a 2|b 3|c 4|d", 5},
        {"deleted row", "DELETE FROM tblData WHERE [Name] = \"b\"", "1|a 2|c 3|d", 4},
        {"first row deleted", "DELETE FROM tblData WHERE [Name] = \"a\"", "1|b 2|c 3|d", 4},
        {"emptied", "DELETE FROM tblData", "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A table constraint after the columns: the key's column goes before it.
        db.connection().exec(QStringLiteral("CREATE TABLE tblData (\"Name\" TEXT(10), CONSTRAINT ck CHECK (\"Name\" <> 'zz'))"));
        for (const char* n : {"a", "b", "c", "d"})
            db.execute(QStringLiteral("INSERT INTO tblData ([Name]) VALUES (\"%1\")").arg(QLatin1String(n)));
        if (*c.prepare)
            db.execute(QString::fromLatin1(c.prepare));
        db.appendField(QStringLiteral("tblData"),
                       jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
        db.execute(QStringLiteral("ALTER TABLE tblData ADD CONSTRAINT pk PRIMARY KEY (LumacorPrimK)"), jet::dbFailOnError);
        EXPECT_EQ(rows(QStringLiteral("SELECT LumacorPrimK, [Name] FROM tblData ORDER BY LumacorPrimK")).join(QLatin1Char(' ')),
                  QString::fromLatin1(c.expected));
        const TableDef t = db.tableDef(QStringLiteral("tblData"));
        ASSERT_EQ(t.fields.size(), 2u);
        EXPECT_EQ(t.fields.back().name, QStringLiteral("LumacorPrimK"));
        EXPECT_TRUE(t.fields.back().attributes & dbAutoIncrField);
        EXPECT_EQ(db.connection().primaryKey(QStringLiteral("tblData")), QStringList{QStringLiteral("LumacorPrimK")});
        // A second handle on the file sees the new column at once.
        jet::Database other = jet::Database::open(path);
        EXPECT_EQ(other.tableDef(QStringLiteral("tblData")).fields.size(), 2u);
        db.execute(QStringLiteral("INSERT INTO tblData ([Name]) VALUES (\"e\")"), jet::dbFailOnError);
        EXPECT_EQ(scalar(QStringLiteral("SELECT LumacorPrimK FROM tblData WHERE [Name] = \"e\"")),
                  QString::number(c.next));
        {
            jet::Stmt check(&db.connection(), QStringLiteral("PRAGMA integrity_check"));
            ASSERT_TRUE(check.step());
            EXPECT_EQ(check.value(0, jet::dbText).toString(), QStringLiteral("ok"));
        }
        db.execute(QStringLiteral("DROP TABLE tblData"));
    }
}

TEST_F(EngineTest, TextComparesWithoutCaseButKeepsIt)
{
    makeContacts();
    EXPECT_EQ(rows(QStringLiteral("SELECT [City], COUNT(*) AS Count FROM tblData WHERE [City]<>\"\" GROUP BY [City] ORDER BY [City]")),
              (QStringList{QStringLiteral("Boston|2"), QStringLiteral("Chicago|1"), QStringLiteral("Zürich|1")}));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS Count FROM tblData WHERE [City]=\"BOSTON\"")), QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS Count FROM tblData WHERE [City] LIKE \"zü*\"")), QStringLiteral("1"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM (SELECT DISTINCT [City] FROM tblData)")), QStringLiteral("4"));
    // Keys compare the same way: "boston" collides with "Boston".
    db.execute(QStringLiteral("CREATE TABLE tblCounts1 (Column1 TEXT(255), Count1 INT, CONSTRAINT pk PRIMARY KEY (Column1));"));
    db.execute(QStringLiteral("INSERT INTO tblCounts1 (Column1, Count1) VALUES (\"Boston\", 1)"));
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO tblCounts1 (Column1, Count1) VALUES (\"BOSTON\", 2)"), dbFailOnError), JetError);
}

TEST_F(EngineTest, NullsDatesAndNumbersAsTheEngineShowsThem)
{
    makeContacts();
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData WHERE [Email] IS NULL")), QStringLiteral("1"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData WHERE [City] = \"\"")), QStringLiteral("1"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT CSTR([Born]) FROM tblData WHERE [Name] LIKE \"bob*\"")),
              QStringLiteral("12/31/1979 1:30:00 PM"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData WHERE [Born] LIKE \"*/2000\"")), QStringLiteral("1"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData WHERE [Born] < #01/01/1980#")), QStringLiteral("2"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData WHERE [Age] LIKE \"4*\"")), QStringLiteral("1"));
    auto rs = db.openRecordset(QStringLiteral("SELECT [Born], [Age] FROM tblData WHERE [Name]=\"Ann Smith\""));
    EXPECT_EQ(rs->value(0).kind(), Kind::Date);
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("1/5/1990"));
    EXPECT_EQ(rs->value(1).toDouble(), 34.0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT [Name] & \" / \" & [Email] FROM tblData WHERE [City]=\"Chicago\"")),
              QStringLiteral("Cara O'Neil / "));
}

TEST_F(EngineTest, DivisionAsTheEngineDividesAndItsPrecedence)
{
    makeContacts();   // Age: Ann 34, bob 41, Cara Null
    struct Case { const char* expr; const char* shown; };
    const Case cases[] = {
        {"7/2", "3.5"},
        {"[Age]/4", "8.5"},
        {"1/4*2", "0.5"},
        {"2-7/2", "-1.5"},
        {"7\\2", "3"},
        {"-7\\2", "-3"},
        {"7.5\\2", "4"},            // operands are rounded first, half to even
        {"6.5\\2", "3"},
        {"10\\2*3", "1"},           // "\" binds less tightly than "*": 10 \ 6
        {"2*3\\4", "1"},
        {"1+7\\2", "4"},
        {"7\\2\\2", "1"},
        {"-[Age]\\-4", "8"},
        {"(20\\3) MOD 4", "2"},
        {"[Age]\\2 & \"x\"", "17x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scalar(QStringLiteral("SELECT %1 AS r FROM tblData WHERE [Name]=\"Ann Smith\"").arg(QString::fromUtf8(c.expr))),
                  QString::fromUtf8(c.shown))
            << c.expr;
    EXPECT_EQ(scalar(QStringLiteral("SELECT [Age]\\2 AS r FROM tblData WHERE [Name]=\"Cara O'Neil\"")), QStringLiteral("<null>"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData WHERE [Age]/2 > 20.25")), QStringLiteral("2"));
    EXPECT_THROW(rows(QStringLiteral("SELECT 7\\0 AS r FROM tblData")), JetError);
    EXPECT_THROW(rows(QStringLiteral("SELECT 7\\ AS r FROM tblData")), JetError);
}

TEST_F(EngineTest, TextLongerThanItsColumnIsRefused)
{
    db.execute(QStringLiteral("CREATE TABLE Z_ccTLD (ccTLD TEXT(2), ccTLD_Name TEXT(255), CONSTRAINT pk PRIMARY KEY (ccTLD));"));
    db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('uk', 'United Kingdom')"));
    try {
        db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES ('ukx', 'Bad')"), dbFailOnError);
        FAIL() << "accepted a 3-character code";
    } catch (const JetError& e) {
        EXPECT_EQ(e.number(), errFieldTooSmall);
    }
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO Z_ccTLD (ccTLD, ccTLD_Name) VALUES (Null, 'x')")), JetError);
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM Z_ccTLD")), QStringLiteral("1"));
}

TEST_F(EngineTest, ErrorsCarryTheEngineDescription)
{
    makeContacts();
    struct Case { const char* sql; int number; };
    const Case cases[] = {
        {"SELECT * FROM tblNope", errNoTable},
        {"DROP TABLE tblNope;", errNoTable},
        {"CREATE TABLE tblData (a TEXT(5))", errTableExists},
        {"UPDATE tblData SET [Nope]=1", errNoField},
        {"ALTER TABLE tblData DROP COLUMN [LumacorPrimK];", 3280},
        {"UPDATE tblData SET [Age]=\"old\"", errTypeMismatch},
    };
    for (const Case& c : cases) {
        try {
            if (QString::fromUtf8(c.sql).startsWith(QLatin1String("SELECT")))
                db.openRecordset(QString::fromUtf8(c.sql));
            else
                db.execute(QString::fromUtf8(c.sql), dbFailOnError);
            ADD_FAILURE() << "no error: " << c.sql;
        } catch (const JetError& e) {
            EXPECT_EQ(e.number(), c.number) << c.sql << ": " << e.description().toStdString();
            EXPECT_FALSE(e.description().isEmpty());
        }
    }
}

TEST_F(EngineTest, FailingStatementChangesNothing)
{
    makeContacts();
    // The third row's name is too long once prefixed: nothing may change.
    db.execute(QStringLiteral("CREATE TABLE t (a TEXT(12))"));
    db.execute(QStringLiteral("INSERT INTO t (a) VALUES ('abc')"));
    db.execute(QStringLiteral("INSERT INTO t (a) VALUES ('abcdefghij')"));
    EXPECT_THROW(db.execute(QStringLiteral("UPDATE t SET a = a & 'xyz'"), dbFailOnError), JetError);
    EXPECT_EQ(rows(QStringLiteral("SELECT a FROM t ORDER BY a")), (QStringList{QStringLiteral("abc"), QStringLiteral("abcdefghij")}));
}

TEST_F(EngineTest, DatabasesOnOnePathShareChangesAtOnce)
{
    makeContacts();
    Database other = Database::open(path);
    other.execute(QStringLiteral("CREATE TABLE tblDupes_Min (LumacorPrimK LONG, CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"));
    EXPECT_TRUE(db.hasTable(QStringLiteral("tblDupes_Min")));
    auto rs = db.openRecordset(QStringLiteral("SELECT [Name] FROM tblData ORDER BY LumacorPrimK"));
    other.execute(QStringLiteral("UPDATE tblData SET [Name]=\"Anne Smith\" WHERE LumacorPrimK=1"));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("Anne Smith"));
    // A table held open by a recordset cannot be dropped.
    EXPECT_THROW(other.execute(QStringLiteral("DROP TABLE tblData;"), dbFailOnError), JetError);
    rs.reset();
    other.execute(QStringLiteral("DROP TABLE tblData;"), dbFailOnError);
    EXPECT_FALSE(db.hasTable(QStringLiteral("tblData")));
}

TEST_F(EngineTest, SelectIntoKeepsTypesAndOrder)
{
    makeContacts();
    db.execute(QStringLiteral("SELECT [Born], [Name], [Age], LumacorPrimK INTO tblCopy FROM tblData WHERE [Age] > 30"));
    EXPECT_EQ(db.recordsAffected(), 3);
    const TableDef t = db.tableDef(QStringLiteral("tblCopy"));
    ASSERT_EQ(t.fields.size(), 4u);
    EXPECT_EQ(t.fields[0].type, dbDate);
    EXPECT_EQ(t.fields[1].type, dbText);
    EXPECT_EQ(t.fields[2].type, dbDouble);
    EXPECT_EQ(t.fields[3].type, dbLong);
    EXPECT_FALSE(t.fields[3].attributes & dbAutoIncrField);
    db.execute(QStringLiteral("SELECT COUNT(*) AS Count, [City] INTO tblAgg FROM tblData GROUP BY [City]"));
    EXPECT_EQ(db.tableDef(QStringLiteral("tblAgg")).fields[0].type, dbLong);
}

TEST_F(EngineTest, ExportToAnotherDatabaseAndReadBack)
{
    makeContacts();
    const QString dest = dir.filePath(QStringLiteral("out.mdb"));
    db.execute(QStringLiteral("SELECT [Name], [City], [Born] INTO [;database=%1].[data] FROM tblData WHERE [City] LIKE \"b*\"").arg(dest),
               dbFailOnError);
    db.execute(QStringLiteral("SELECT T.*, CLng(T.[Born]) AS BornDay INTO tblBack FROM [%1].[data] AS T").arg(dest), dbFailOnError);
    EXPECT_EQ(rows(QStringLiteral("SELECT [Name], [Born], BornDay FROM tblBack ORDER BY [Name]")),
              (QStringList{QStringLiteral("Ann Smith|1/5/1990|32878"), QStringLiteral("bob jones|12/31/1979 1:30:00 PM|29221")}));
    auto rs = db.openRecordset(QStringLiteral("SELECT TOP 1 * FROM [%1].[data]").arg(dest));
    EXPECT_EQ(rs->fieldCount(), 3);
    EXPECT_THROW(db.execute(QStringLiteral("SELECT * INTO tblX FROM [Lotus 1-2-3;Database=%1].[data]").arg(dest)), JetError);
}

TEST_F(EngineTest, WorkspaceTransactionRollsBackEverything)
{
    makeContacts();
    Workspace::beginTrans();
    db.execute(QStringLiteral("DELETE * FROM tblData WHERE [City] = \"boston\""), dbFailOnError);
    EXPECT_EQ(db.recordsAffected(), 2);
    Workspace::rollback();
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData")), QStringLiteral("5"));
    Workspace::beginTrans();
    db.execute(QStringLiteral("DELETE * FROM tblData WHERE [City] = \"boston\""), dbFailOnError);
    Workspace::commitTrans();
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData")), QStringLiteral("3"));
}

#include "platform/jet/ado.h"

TEST_F(EngineTest, ConnectionStringAndTableSchema)
{
    makeContacts();
    db.execute(QStringLiteral("CREATE TABLE tblCounts1 (Column1 TEXT(255), Count1 INT, CONSTRAINT pk PRIMARY KEY (Column1));"));
    AdoConnection ado(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=False;").arg(path));
    QStringList names;
    for (const SchemaTable& t : ado.tables(QStringLiteral("TABLE")))
        names << t.name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("tblCounts1"), QStringLiteral("tblData")}));
    EXPECT_THROW(AdoConnection(QStringLiteral("Provider=x;Data Source=/nowhere/x.mdb;")), JetError);
}

// INSERT converts each value for its column as UPDATE and the grid do, by
// the column list, by the select list's names or by position; the column
// checks refuse what a write past the translator would store.
TEST_F(EngineTest, InsertsConvertAsEveryWriteDoesAndTheColumnsHoldTheirRange)
{
    db.execute(QStringLiteral("CREATE TABLE t ([B] BYTE, [Y] YESNO, [D] DATETIME, [S] SINGLE, [N] TEXT(10))"));
    db.execute(QStringLiteral("INSERT INTO t ([Y], [B], [D], [S], [N]) VALUES (\"Yes\", \"12\", \"1/2/2003\", \"0.16\", 5)"));
    db.execute(QStringLiteral("INSERT INTO t VALUES (255, \"off\", 36526, 0.5, \"x\"), (0, 3, NULL, \"1e3\", NULL)"));
    db.execute(QStringLiteral("CREATE TABLE src ([Txt] TEXT(20), [Flag] TEXT(5))"));
    db.execute(QStringLiteral("INSERT INTO src VALUES (\"7\", \"True\")"));
    db.execute(QStringLiteral("INSERT INTO t SELECT [Txt] AS B, [Flag] AS Y FROM src"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM t")),
              (QStringList{"12|True|1/2/2003|0.16|5", "255|False|1/1/2000|0.5|x", "0|True|<null>|1000|<null>",
                           "7|True|<null>|<null>|<null>"}));

    const struct { const char* sql; int number; } refused[] = {
        {"INSERT INTO t ([B]) VALUES (256)", errOverflow},
        {"INSERT INTO t ([B]) VALUES (\"Yes\")", errTypeMismatch},
        {"INSERT INTO t ([Y]) VALUES (\"Tru\")", errTypeMismatch},
        {"INSERT INTO t ([D]) VALUES (\"nan\")", errTypeMismatch},
        {"INSERT INTO t ([D]) VALUES (2958466)", errOverflow},
        {"INSERT INTO t ([S]) VALUES (1e39)", errOverflow},
        {"INSERT INTO t ([B], [Y]) VALUES (1, \"Yes\"), (1000, \"No\")", errOverflow},
        {"INSERT INTO t ([B]) SELECT [Txt] & \"0000\" FROM src", errOverflow},
        {"UPDATE t SET [B] = [B] + 1", errOverflow},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.sql);
        try {
            db.execute(QString::fromLatin1(r.sql), dbFailOnError);
            ADD_FAILURE() << "stored";
        } catch (const JetError& e) {
            EXPECT_EQ(e.number(), r.number) << e.description().toStdString();
        }
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM t")), QStringLiteral("4"));

    // Past the translator, the columns' own checks hold the range and the kind,
    // and so do those of a table copied by SELECT ... INTO.
    db.execute(QStringLiteral("SELECT * INTO copy FROM t"));
    for (const char* table : {"t", "copy"}) {
        SCOPED_TRACE(table);
        const struct { const char* column; Value v; int number; } raw[] = {
            {"B", Value(70000), errOverflow}, {"B", Value(-1), errOverflow}, {"D", Value("soon"), errTypeMismatch},
            {"S", Value(1e300), errOverflow}, {"Y", Value("Yes"), errTypeMismatch},
        };
        for (const auto& r : raw) {
            jet::Stmt ins(&db.connection(),
                          QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?1)").arg(QLatin1String(table), QLatin1String(r.column)));
            ins.bind(1, r.v);
            try {
                ins.step();
                ADD_FAILURE() << r.column << " stored";
            } catch (const JetError& e) {
                EXPECT_EQ(e.number(), r.number) << r.column;
            }
        }
    }
}
