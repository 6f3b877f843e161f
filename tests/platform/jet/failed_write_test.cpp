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

const QString kGrow = QStringLiteral("UPDATE tblData SET [Note] = [Note] & [Note] & [Name]");
const QString kSummary = QStringLiteral("SELECT COUNT(*), SUM(LEN([Name])), MAX([Note]), MIN([Note]) FROM tblData");

} // namespace

class FailedWriteTest : public EngineTest {
protected:
    /// Enough rows that the changed pages outgrow the page cache and reach
    /// the file before a statement over all of them ends.
    void SetUp() override
    {
        EngineTest::SetUp();
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [Note] TEXT(255))"));
        db.connection().exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
                           "INSERT INTO tblData SELECT 'name ' || i, substr(hex(randomblob(40)), 1, 60) FROM n"));
        before = scalarRow();
    }
    QString scalarRow() { return rows(kSummary).first(); }
    /// The statement that grows every row, run with little room left on the disk.
    void growOnFullDisk()
    {
        testsupport::WriteLimit limit(QFileInfo(path).size() + 64 * 1024);
        EXPECT_THROW(db.execute(kGrow, dbFailOnError), JetError);
    }
    QString before;
};

TEST_F(FailedWriteTest, BulkUpdateOnAFullDiskLeavesEveryRowAndASoundFile)
{
    growOnFullDisk();
    EXPECT_EQ(integrity(db), QStringLiteral("ok"));
    EXPECT_EQ(scalarRow(), before);
    // The same statement goes through once there is room again.
    db.execute(QStringLiteral("UPDATE tblData SET [Note] = [Name] WHERE [Name] = 'name 7'"), dbFailOnError);
    EXPECT_EQ(scalar(QStringLiteral("SELECT [Note] FROM tblData WHERE [Name] = 'name 7'")), QStringLiteral("name 7"));
}

TEST_F(FailedWriteTest, SavepointsEndQuietlyAfterTheEngineRolledBack)
{
    Connection& c = db.connection();
    // The workspace's levels: the failed statement ends the whole
    // transaction; the rollback then has nothing left to do and says so by
    // returning no error, and a commit would claim work that is gone.
    for (const bool commit : {false, true}) {
        Workspace::beginTrans();
        Workspace::beginTrans();
        db.execute(QStringLiteral("UPDATE tblData SET [Note] = 'x' WHERE [Name] = 'name 1'"), dbFailOnError);
        growOnFullDisk();
        EXPECT_FALSE(c.inTransaction());
        if (commit)
            EXPECT_THROW(Workspace::commitTrans(), JetError);
        else
            EXPECT_EQ(Workspace::rollback(), QString());
        EXPECT_EQ(c.transactionDepth, 0);
        EXPECT_EQ(scalarRow(), before);
    }

    // A scoped savepoint and the all-or-nothing runner: no throw from the
    // rollback, the work's own error reaches the caller.
    {
        Savepoint sp(c, QStringLiteral("qb_test"));
        growOnFullDisk();
    }
    EXPECT_THROW(c.inSavepoint(QStringLiteral("qb_run"), [&] { growOnFullDisk(); throw JetError(errGeneral, "work"); }),
                 JetError);
    try {
        c.inSavepoint(QStringLiteral("qb_run"), [&] {
            testsupport::WriteLimit limit(QFileInfo(path).size() + 64 * 1024);
            db.execute(kGrow, dbFailOnError);
        });
        ADD_FAILURE() << "the failed statement was not reported";
    } catch (const JetError& e) {
        EXPECT_NE(e.description().indexOf(QStringLiteral("disk")), -1) << e.description().toStdString();
    }
    // An error swallowed inside the savepoint: the release must not report the lost work as kept.
    {
        Savepoint sp(c, QStringLiteral("qb_swallowed"));
        growOnFullDisk();
        EXPECT_THROW(sp.commit(), JetError);
    }
    EXPECT_FALSE(c.inTransaction());
    EXPECT_EQ(integrity(db), QStringLiteral("ok"));
    EXPECT_EQ(scalarRow(), before);
}
