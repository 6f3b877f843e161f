// Events let run from inside a long statement: the pump runs during the
// statement on its own thread, the statement's result is whole, nothing
// else may run a statement on that connection meanwhile, and a statement on
// another thread is never pumped.
#include "platform/jet/connection.h"
#include "platform/jet/recordset.h"
#include "platform/jet/step_pump.h"

#include "engine_fixture.h"

#include <thread>

namespace {

/// A statement that works for a while: the sum of 1 .. 300000.
const QString kLong = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) "
                                     "SELECT SUM(i) FROM n");
constexpr qint64 kLongSum = qint64(300000) * 300001 / 2;

class StepPumpTest : public EngineTest {
protected:
    qint64 runLong()
    {
        jet::Stmt s(&db.connection(), kLong);
        return s.step() ? s.int64(0) : -1;
    }
};

TEST_F(StepPumpTest, PumpsInsideALongStatementAndRefusesOtherStatementsThere)
{
    makeContacts();
    int pumps = 0;
    int refused = 0;
    QStringList errors;
    jet::StepPump pump(db.connection(), [&] {
        ++pumps;
        EXPECT_TRUE(jet::insidePumpedStep(&db.connection()));
        // A grid's fetch, a handler's query: refused, not run half-inside the other.
        try {
            auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
            ADD_FAILURE() << "a statement ran inside another's step";
        } catch (const jet::JetError& e) {
            ++refused;
            errors << e.description();
        }
        try {
            db.connection().exec(QStringLiteral("SELECT 1"));
            ADD_FAILURE() << "a statement ran inside another's step";
        } catch (const jet::JetError&) {
            ++refused;
        }
    }, 0);
    EXPECT_EQ(runLong(), kLongSum);
    EXPECT_GT(pumps, 2);
    EXPECT_EQ(pump.pumps(), pumps);
    EXPECT_EQ(refused, 2 * pumps);
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_TRUE(errors.front().contains(QStringLiteral("busy")));
    // Between statements and after them, everything runs as usual.
    EXPECT_FALSE(jet::insidePumpedStep(&db.connection()));
    EXPECT_EQ(rows(QStringLiteral("SELECT COUNT(*) FROM tblData")), QStringList{QStringLiteral("5")});
}

TEST_F(StepPumpTest, AnInnerPumpLeavesTheOuterInChargeAndTheEndTakesItAway)
{
    int outer = 0;
    int inner = 0;
    {
        jet::StepPump first(db.connection(), [&] { ++outer; }, 0);
        {
            jet::StepPump second(db.connection(), [&] { ++inner; }, 0);
            EXPECT_EQ(runLong(), kLongSum);
        }
        EXPECT_GT(outer, 0);
        EXPECT_EQ(inner, 0);
        const int before = outer;
        EXPECT_EQ(runLong(), kLongSum);   // the inner's end left the outer installed
        EXPECT_GT(outer, before);
    }
    const int atEnd = outer;
    EXPECT_EQ(runLong(), kLongSum);
    EXPECT_EQ(outer, atEnd);
}

TEST_F(StepPumpTest, AStatementOnAnotherThreadIsNotPumped)
{
    int pumps = 0;
    jet::StepPump pump(db.connection(), [&] { ++pumps; }, 0);
    qint64 sum = 0;
    std::thread worker([&] { sum = runLong(); });
    worker.join();
    EXPECT_EQ(sum, kLongSum);
    EXPECT_EQ(pumps, 0);
}

}  // namespace
