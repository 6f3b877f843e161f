#include "engine_fixture.h"

using namespace jet;

TEST_F(EngineTest, NavigationPositionsAndBookmarks)
{
    makeContacts();
    auto rs = db.openRecordset(QStringLiteral("SELECT [Name], [City] FROM tblData ORDER BY [Name] DESC"));
    EXPECT_EQ(rs->recordCount(), 5);
    EXPECT_EQ(rs->absolutePosition(), 0);
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("José Müller"));
    rs->moveLast();
    EXPECT_EQ(rs->value(QStringLiteral("name")).toString(), QStringLiteral("Ann Smith"));
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->absolutePosition(), -1);
    EXPECT_THROW(rs->moveNext(), JetError);
    rs->setAbsolutePosition(2);
    const QByteArray mark = rs->bookmark();
    const QString there = rs->value(0).toString();
    rs->moveFirst();
    rs->movePrevious();
    EXPECT_TRUE(rs->bof());
    rs->setBookmark(mark);
    EXPECT_EQ(rs->value(0).toString(), there);
    rs->move(-5);
    EXPECT_TRUE(rs->bof());
}

TEST_F(EngineTest, FindWithCriteria)
{
    makeContacts();
    auto rs = db.openRecordset(QStringLiteral("SELECT [Name], [City] FROM tblData"));
    rs->findFirst(QStringLiteral("[City] = \"BOSTON\""));
    ASSERT_FALSE(rs->noMatch());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("Ann Smith"));
    rs->findNext(QStringLiteral("[City] = \"BOSTON\""));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("bob jones"));
    rs->findNext(QStringLiteral("[City] = \"BOSTON\""));
    EXPECT_TRUE(rs->noMatch());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("bob jones"));   // stays where it was
    rs->findLast(QStringLiteral("[Name] LIKE \"*o*\""));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("José Müller"));
    rs->findPrevious(QStringLiteral("[Name] LIKE \"*o*\""));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("Cara O'Neil"));
}

TEST_F(EngineTest, KeylessSelectStaysUpdatable)
{
    makeContacts();
    auto rs = db.openRecordset(QStringLiteral("SELECT [Name], [City] FROM tblData WHERE [City] LIKE \"b*\" ORDER BY [Name]"));
    ASSERT_TRUE(rs->updatable());
    rs->moveLast();
    rs->edit();
    rs->setValue(1, Value(QStringLiteral("Boston")));
    rs->update();
    EXPECT_EQ(scalar(QStringLiteral("SELECT [City] FROM tblData WHERE [Name]=\"bob jones\"")), QStringLiteral("Boston"));

    rs->addNew();
    rs->setValue(QStringLiteral("Name"), Value(QStringLiteral("Eve Adams")));
    rs->update();
    EXPECT_EQ(rs->recordCount(), 3);
    rs->setBookmark(rs->lastModified());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("Eve Adams"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT LumacorPrimK FROM tblData WHERE [Name]=\"Eve Adams\"")), QStringLiteral("6"));

    rs->moveFirst();
    rs->deleteRecord();
    EXPECT_THROW(rs->value(0), JetError);
    rs->moveNext();
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("bob jones"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) AS n FROM tblData")), QStringLiteral("5"));

    rs->edit();
    EXPECT_THROW(rs->setValue(0, Value(QString(300, QLatin1Char('x')))), JetError);
    rs->cancelUpdate();
    EXPECT_THROW(rs->setValue(0, Value(QStringLiteral("x"))), JetError);
}

TEST_F(EngineTest, JoinsAndAggregatesAreReadOnlySnapshots)
{
    makeContacts();
    db.execute(QStringLiteral("CREATE TABLE tblEMails (LumacorPrimK LONG, IsValid YESNO, Account TEXT(255), SubDomain TEXT(255), "
                              "Domain TEXT(255), Country TEXT(2), Suggest1 TEXT(255), Suggest2 TEXT(255), Suggest3 TEXT(255), "
                              "Suggest4 TEXT(255),  Suggest5 TEXT(255), CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"));
    db.execute(QStringLiteral("INSERT INTO tblEMails (LumacorPrimK) SELECT LumacorPrimK FROM tblData WHERE [Email] IS NOT NULL"));
    db.execute(QStringLiteral("UPDATE tblEMails SET IsValid = TRUE WHERE LumacorPrimK <> 4"));
    db.execute(QStringLiteral("UPDATE tblEMails SET IsValid = FALSE, Suggest1 = 'dan@z.com' WHERE LumacorPrimK = 4"));
    auto rs = db.openRecordset(QStringLiteral(
        "SELECT D.LumacorPrimK, E.LumacorPrimK, D.[Email] AS EMail, E.Suggest1 AS [Possible Correction] "
        "FROM tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK WHERE E.IsValid=FALSE ORDER BY 3 ASC"));
    EXPECT_FALSE(rs->updatable());
    ASSERT_EQ(rs->recordCount(), 1);
    EXPECT_EQ(rs->value(QStringLiteral("Possible Correction")).toString(), QStringLiteral("dan@z.com"));
    EXPECT_THROW(rs->edit(), JetError);
    db.execute(QStringLiteral("UPDATE tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK SET D.[Email]=E.Suggest1 "
                              "WHERE E.IsValid=FALSE   AND E.Suggest1 IS NOT NULL   AND TRIM(E.Suggest1)<>'';"),
               dbFailOnError);
    EXPECT_EQ(db.recordsAffected(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT [Email] FROM tblData WHERE LumacorPrimK=4")), QStringLiteral("dan@z.com"));
    auto yes = db.openRecordset(QStringLiteral("SELECT IsValid FROM tblEMails WHERE LumacorPrimK=1"));
    EXPECT_EQ(yes->value(0).kind(), Kind::Bool);
    EXPECT_TRUE(yes->value(0).toBool());
}

// A text written through a recordset, and one a function of the engine
// gives back, keeps every character: half a surrogate pair, alone or inside,
// and a U+FEFF or U+FFFE at the start.
TEST_F(EngineTest, TextsWrittenAndGivenBackKeepEveryCharacter)
{
    makeContacts();
    const QChar high(0xD83D), low(0xDE00);
    const QString texts[] = {QStringLiteral("\uFFFEswap then half ") + high, QStringLiteral("\uFEFFmark then half ") + high,
                             QStringLiteral("half ") + high + QStringLiteral(" inside"), low + QStringLiteral(" low first"),
                             QStringLiteral("\uFEFFa pair \U0001F600 whole")};
    for (const QString& text : texts) {
        auto rs = db.openRecordset(QStringLiteral("SELECT [Name], [City] FROM tblData WHERE [Email]=\"ann@x.com\""));
        rs->edit();
        rs->setValue(1, Value(text));
        rs->update();
        auto back = db.openRecordset(QStringLiteral("SELECT [City], Trim([City]) AS T FROM tblData WHERE [Email]=\"ann@x.com\""),
                                     dbOpenSnapshot);
        ASSERT_FALSE(back->eof());
        EXPECT_EQ(back->value(0).toString().toStdU16String(), text.toStdU16String());
        EXPECT_EQ(back->value(1).toString().toStdU16String(), text.toStdU16String());
    }
}
