#include "common/general.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace general;

TEST(General, DoubleQuotes)
{
    struct Case { const char* in; const char* out; };
    const Case cases[] = {{"a\"b", "a\"\"b"}, {"", ""}, {"\"", "\"\""}, {"O'Neil", "O'Neil"}, {"\"\"x", "\"\"\"\"x"}};
    for (const Case& c : cases)
        EXPECT_EQ(Double_Quotes(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(General, FilesAndTables)
{
    QTemporaryDir dir;
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(FileExists(QString()));
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("w.sys")), true);
    EXPECT_TRUE(FileExists(dir.filePath(QStringLiteral("w.sys"))));
    db.execute(QStringLiteral("CREATE TABLE tblDupes_Min (LumacorPrimK LONG, CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"));
    EXPECT_TRUE(TableExists(db, QStringLiteral("tblDupes_Min")));
    EXPECT_FALSE(TableExists(db, QStringLiteral("TBLDUPES_MIN")));   // exact, case-sensitive
    EXPECT_FALSE(DropTable(db, QStringLiteral("tblNothing")));
    {
        auto rs = db.openRecordset(QStringLiteral("tblDupes_Min"));
        EXPECT_TRUE(DropTable(db, QStringLiteral("tblDupes_Min")));   // open elsewhere: failure, no message
    }
    EXPECT_FALSE(DropTable(db, QStringLiteral("tblDupes_Min")));
    EXPECT_FALSE(TableExists(db, QStringLiteral("tblDupes_Min")));
}

TEST(General, WaitZeroReturnsAtOnce)
{
    QElapsedTimer t;
    t.start();
    Wait(0);
    EXPECT_LT(t.elapsed(), 500);
}
