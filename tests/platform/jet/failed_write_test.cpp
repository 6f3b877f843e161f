// A bulk statement that fails part-way on a full disk leaves the database as
// it was before the statement: every row, and a file that passes its check.
#include "engine_fixture.h"

#include "platform/jet/connection.h"
#include "support/write_limit.h"

#include <QFileInfo>

using namespace jet;

namespace {

QString integrity(Database& db)
{
    Stmt s(&db.connection(), QStringLiteral("PRAGMA integrity_check"));
    return s.step() ? s.value(0, dbText).toString() : QString();
}

} // namespace

TEST_F(EngineTest, BulkUpdateOnAFullDiskLeavesEveryRowAndASoundFile)
{
    // Enough rows that the changed pages outgrow the page cache and reach the
    // file before the statement ends.
    db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [Note] TEXT(255))"));
    Connection& c = db.connection();
    c.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
                          "INSERT INTO tblData SELECT 'name ' || i, substr(hex(randomblob(40)), 1, 60) FROM n"));
    const QString before = rows(QStringLiteral("SELECT COUNT(*), SUM(LEN([Name])), MAX([Note]), MIN([Note]) FROM tblData")).first();
    const qint64 size = QFileInfo(path).size();
    {
        testsupport::WriteLimit limit(size + 64 * 1024);
        EXPECT_THROW(db.execute(QStringLiteral("UPDATE tblData SET [Note] = [Note] & [Note] & [Name]"), dbFailOnError),
                     JetError);
    }
    EXPECT_EQ(integrity(db), QStringLiteral("ok"));
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*), SUM(LEN([Name])), MAX([Note]), MIN([Note]) FROM tblData")).first(), before);
    // The same statement goes through once there is room again.
    db.execute(QStringLiteral("UPDATE tblData SET [Note] = [Name] WHERE [Name] = 'name 7'"), dbFailOnError);
    EXPECT_EQ(scalar(QStringLiteral("SELECT [Note] FROM tblData WHERE [Name] = 'name 7'")), QStringLiteral("name 7"));
}
