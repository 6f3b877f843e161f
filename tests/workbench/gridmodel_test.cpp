#include "workbench/gridmodel.h"

#include "platform/jet/error.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace workbench;

namespace {

/// Every row of a fresh recordset on source, as the grid shows its cells.
std::vector<QStringList> freshRows(jet::Database& db, const QString& source)
{
    std::vector<QStringList> rows;
    auto rs = db.openRecordset(source, jet::dbOpenSnapshot);
    while (!rs->eof()) {
        QStringList r;
        for (int i = 0; i < rs->fieldCount(); ++i)
            r << rs->value(i).toString();
        rows.push_back(r);
        rs->moveNext();
    }
    return rows;
}

/// The stored values of the rows the recordset holds, by their keys, in its order.
std::vector<QStringList> storedRowsByKey(jet::Database& db, const jet::Recordset& shown)
{
    QHash<qint64, QStringList> byKey;
    auto rs = db.openRecordset(QStringLiteral("SELECT [LumacorPrimK], [Name], [City], [Amount] FROM tblData"), jet::dbOpenSnapshot);
    while (!rs->eof()) {
        byKey.insert(rs->value(0).toLong(), {rs->value(1).toString(), rs->value(2).toString(), rs->value(3).toString()});
        rs->moveNext();
    }
    std::vector<QStringList> rows;
    for (long i = 0; i < shown.recordCount(); ++i)
        rows.push_back(byKey.value(shown.keyAt(i), {QStringLiteral("<gone>")}));
    return rows;
}

std::vector<QStringList> modelRows(const GridModel& m)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < m.rowCount(); ++r) {
        if (m.isAddRow(r))
            continue;
        QStringList row;
        for (int c = 0; c < m.columnCount(); ++c)
            row << m.data(m.index(r, c)).toString();
        rows.push_back(row);
    }
    return rows;
}

class GridModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = jet::Database::open(dir.filePath(QStringLiteral("grid.sys")), true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(20), [City] TEXT(20), [Amount] DOUBLE)"));
        for (int i = 0; i < 600; ++i)   // more than two cache pages
            db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City], [Amount]) VALUES (\"n%1\", \"c%2\", %3)")
                           .arg(i)
                           .arg(i % 7)
                           .arg(i % 13));
        db.appendField(QStringLiteral("tblData"), jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
        data.setDatabaseName(dir.filePath(QStringLiteral("grid.sys")));
    }

    QTemporaryDir dir;
    jet::Database db;
    DataControl data;
};

} // namespace

TEST_F(GridModelTest, RowsEqualAFreshSelectAfterRandomChanges)
{
    const QStringList filters = {QString(), QStringLiteral("[City] = \"c3\" "), QStringLiteral("[Amount] > 5 ")};
    const QStringList sorts = {QString(), QStringLiteral(" [Name] DESC "), QStringLiteral(" [Amount] ASC ")};
    auto sourceFor = [](const QString& f, const QString& s) {
        QString q = QStringLiteral("SELECT [Name], [City], [Amount]  FROM tblData ");
        if (!f.isEmpty())
            q += QStringLiteral("WHERE ") + f + QStringLiteral(" ");
        if (!s.isEmpty())
            q += QStringLiteral("ORDER BY ") + s;
        return q;
    };
    data.setRecordSource(sourceFor(QString(), QString()));
    data.Refresh();
    GridModel model(&data);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy errors(&model, &GridModel::dataError);

    std::mt19937 rng(42);
    QString source = data.RecordSource();
    for (int step = 0; step < 120; ++step) {
        const int real = model.rowCount() - (model.allowAddNew() ? 1 : 0);
        switch (rng() % 5) {
        case 0:
        case 1:
            if (real > 0) {
                const int r = int(rng() % real);
                const int c = int(rng() % 3);
                const QString v = c == 2 ? QString::number(rng() % 20) : QStringLiteral("v%1").arg(rng() % 50);
                ASSERT_TRUE(model.setData(model.index(r, c), v));
                EXPECT_EQ(model.data(model.index(r, c)).toString(), v);
            }
            break;
        case 2:
            if (real > 0) {
                ASSERT_TRUE(model.deleteRecord(int(rng() % real)));
            }
            break;
        case 3:
            ASSERT_TRUE(model.setData(model.index(real, 0), QStringLiteral("added%1").arg(step)));   // the add row
            break;
        default:
            source = sourceFor(filters[int(rng() % 3)], sorts[int(rng() % 3)]);
            data.setRecordSource(source);
            data.Refresh();
            break;
        }
        // Between refreshes the grid holds its rows (an edited row stays where
        // it was, as in a recordset) and shows what is stored for each of them.
        ASSERT_EQ(modelRows(model), storedRowsByKey(db, *data.Recordset())) << "step " << step;
        if (step % 5 == 4) {
            data.Refresh();
            ASSERT_EQ(modelRows(model), freshRows(db, source)) << "step " << step;
        }
    }
    EXPECT_EQ(errors.count(), 0);
}

TEST_F(GridModelTest, RefusedValuesAreReportedAndNotStored)
{
    data.setRecordSource(QStringLiteral("SELECT [Name], [City], [Amount]  FROM tblData "));
    data.Refresh();
    GridModel model(&data);
    QSignalSpy errors(&model, &GridModel::dataError);
    struct Case { int column; const char* value; };
    const Case cases[] = {{2, "twelve"}, {0, "a name longer than twenty characters"}};
    for (const Case& c : cases) {
        const QString before = model.data(model.index(1, c.column)).toString();
        EXPECT_FALSE(model.setData(model.index(1, c.column), QString::fromLatin1(c.value)));
        EXPECT_EQ(model.data(model.index(1, c.column)).toString(), before);
        ASSERT_FALSE(errors.isEmpty());
        EXPECT_EQ(errors.takeFirst().at(0).toInt(), kErrInvalidValue) << c.value;
    }
    EXPECT_EQ(freshRows(db, data.RecordSource())[1][2], QStringLiteral("1"));
}

TEST_F(GridModelTest, RefusedRecordSourceKeepsTheRowsShown)
{
    data.setRecordSource(QStringLiteral("SELECT [Name] FROM tblData WHERE [Amount] = 3"));
    data.Refresh();
    GridModel model(&data);
    const int rows = model.rowCount();
    data.setRecordSource(QStringLiteral("SELECT [Name] FROM tblData WHERE [Nothing] = 3"));
    EXPECT_THROW(data.Refresh(), jet::JetError);
    EXPECT_EQ(data.RecordSource(), QStringLiteral("SELECT [Name] FROM tblData WHERE [Amount] = 3"));
    EXPECT_EQ(model.rowCount(), rows);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("n3"));
}
