// Values of real Jet 3 and Jet 4 files as the Access import stores them: a
// Single keeps the decimal it was typed as, and a picture column stays out of
// tblData instead of coming in empty.
#include "platform/drivers/mdb_fixture.h"

#include "exchange/import_sources.h"
#include "platform/jet/database.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using jet::Value;
using mdbfixture::Version;

class AccessValues : public ::testing::TestWithParam<Version> {};

TEST_P(AccessValues, SinglesComeInAsTypedAndBinaryColumnsStayOut)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("prices.mdb"));
    mdbfixture::Table prices;
    prices.name = QStringLiteral("Prices");
    prices.columns = {{QStringLiteral("Item"), mdbfixture::Text, 20, false},
                      {QStringLiteral("Rate"), mdbfixture::Single, 0, false},
                      {QStringLiteral("Picture"), mdbfixture::Ole, 0, false}};
    const double typed[] = {0.15, 1.1, -2.5, 123456.7, 3.4e38, 1e-7, 0.0};
    for (const double d : typed)
        prices.rows.push_back({Value("x"), Value(d), Value()});
    prices.rows.push_back({Value("none"), Value(), Value()});
    QString why;
    ASSERT_TRUE(mdbfixture::writeMdb(file, GetParam(), {prices}, &why)) << why.toStdString();

    QStringList leftOut;
    const QString sql = exchange::accessImportStatement(file, QStringLiteral("Prices"), &leftOut);
    EXPECT_EQ(leftOut, QStringList{QStringLiteral("Picture")});
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
    db.execute(sql, jet::dbFailOnError);
    const jet::TableDef def = db.tableDef(QStringLiteral("tblData"));
    ASSERT_EQ(def.fields.size(), 2u);
    EXPECT_EQ(def.fields[1].name, QStringLiteral("Rate"));

    auto rs = db.openRecordset(QStringLiteral("SELECT [Rate] FROM tblData"), jet::dbOpenSnapshot);
    std::vector<Value> got;
    for (; !rs->eof(); rs->moveNext())
        got.push_back(rs->value(0));
    ASSERT_EQ(got.size(), std::size(typed) + 1);
    for (size_t i = 0; i < std::size(typed); ++i) {
        EXPECT_EQ(got[i].toDouble(), typed[i]) << i;   // exactly the double of the typed decimal
        EXPECT_EQ(got[i].toString(), Value(typed[i]).toString()) << i;
    }
    EXPECT_TRUE(got.back().isNull());
}

INSTANTIATE_TEST_SUITE_P(Versions, AccessValues, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return info.param == Version::Jet3 ? "Jet3" : "Jet4"; });

} // namespace
