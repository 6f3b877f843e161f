// Values of real Jet 3 and Jet 4 files as the Access import stores them: a
// Single keeps the decimal it was typed as, a picture column stays out of
// tblData instead of coming in empty, text comes in character for character
// (the five bytes Windows-1252 leaves undefined, characters beyond the Basic
// Multilingual Plane, memos of megabytes) and a GUID in its usual form.
#include "platform/drivers/mdb_fixture.h"

#include "exchange/import_sources.h"
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_reader.h"
#include "platform/jet/database.h"

#include <QFile>
#include <QProcess>
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

/// Runs the Access import's statement on the file into a fresh working database
/// and returns tblData's rows.
std::vector<std::vector<Value>> importRows(const QString& work, const QString& file, const QString& table)
{
    jet::Database db = jet::Database::open(work, true);
    db.execute(exchange::accessImportStatement(file, table), jet::dbFailOnError);
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
    std::vector<std::vector<Value>> rows;
    for (; !rs->eof(); rs->moveNext()) {
        rows.emplace_back();
        for (int i = 0; i < rs->fieldCount(); ++i)
            rows.back().push_back(rs->value(i));
    }
    return rows;
}

TEST_P(AccessValues, GuidsComeInWithAllFourHyphens)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ids.mdb"));
    mdbfixture::Table t;
    t.name = QStringLiteral("Ids");
    t.columns = {{QStringLiteral("Key"), mdbfixture::Guid, 0, false}, {QStringLiteral("Name"), mdbfixture::Text, 20, false}};
    t.rows = {{Value("{8E39276A-BCA8-4AC4-891E-49911D8438DD}"), Value("a")},
              {Value("{00000001-0002-0003-0405-060708090A0B}"), Value("b")},
              {Value(), Value("none")}};
    QString why;
    ASSERT_TRUE(mdbfixture::writeMdb(file, GetParam(), {t}, &why)) << why.toStdString();
    const auto rows = importRows(dir.filePath(QStringLiteral("work.sys")), file, QStringLiteral("Ids"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], Value("{8E39276A-BCA8-4AC4-891E-49911D8438DD}"));
    EXPECT_EQ(rows[1][0], Value("{00000001-0002-0003-0405-060708090A0B}"));
    EXPECT_TRUE(rows[2][0].isNull());
    // mdbtools, which reads the same bytes, agrees but for its missing hyphen.
    QProcess p;
    p.start(QStringLiteral("mdb-export"), {file, QStringLiteral("Ids")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_TRUE(p.readAllStandardOutput().contains("{8E39276A-BCA8-4AC4-891E49911D8438DD}"));
}

INSTANTIATE_TEST_SUITE_P(Versions, AccessValues, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return info.param == Version::Jet3 ? "Jet3" : "Jet4"; });

// Files of the program's own Access writer: text that mdbtools' conversion
// changes comes in as written, and a Jet 3 list goes back out to Access 97
// unchanged.
class WrittenAccessText : public ::testing::TestWithParam<drivers::JetVersion> {
protected:
    bool jet3() const { return GetParam() == drivers::JetVersion::Jet3; }
};

TEST_P(WrittenAccessText, ComesInCharacterForCharacter)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("text.mdb"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(drivers::emptyJetDatabase(GetParam()));
    }
    // Windows-1252's five undefined codes stand for the controls of their number.
    const QString undefined = QString(QChar(0x81)) + QChar(0x8D) + QChar(0x8F) + QChar(0x90) + QChar(0x9D);
    QString big;   // over a megabyte of text, in both versions
    while (big.size() < 1'200'000)
        big += QStringLiteral("Zeile %1 — Grüße ").arg(big.size());
    std::vector<std::vector<Value>> rows = {
        {Value(QStringLiteral("Caf") + undefined + QStringLiteral(" €")), Value(undefined)},
        {Value(QStringLiteral("x")), Value(big)},
        {Value(QStringLiteral("")), Value()},
    };
    if (!jet3()) {
        const QString emoji = QStringLiteral("Party \U0001F389 at \U0001F3E0, \u00e9t\u00e9");
        rows.push_back({Value(emoji), Value(big + emoji)});
        rows.push_back({Value(QStringLiteral("\U0001D11E")), Value(QStringLiteral("\U0001D11E"))});   // nothing but a pair
    }
    const jet::ColumnList cols = {{QStringLiteral("Name"), jet::dbText, 50, jet::dbVariableField},
                                  {QStringLiteral("Notes"), jet::dbMemo, 0, jet::dbVariableField}};
    size_t at = 0;
    drivers::writeJetTable(file, QStringLiteral("Texts"), cols, [&](std::vector<Value>& row) {
        if (at == rows.size())
            return false;
        row = rows[at++];
        return true;
    });

    const auto got = importRows(dir.filePath(QStringLiteral("work1.sys")), file, QStringLiteral("Texts"));
    ASSERT_EQ(got.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < 2; ++c)
            EXPECT_EQ(got[r][c], rows[r][c]) << "row " << r << " column " << c << ": "
                                             << got[r][c].toString().left(80).toStdString();

    if (jet3()) {
        // The list goes back out to Access 97 as it came in.
        const QString out = dir.filePath(QStringLiteral("out.mdb"));
        {
            QFile f(out);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(drivers::emptyJetDatabase(drivers::JetVersion::Jet3));
        }
        jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work1.sys")));
        db.execute(QStringLiteral("SELECT * INTO [;database=%1].[Again] FROM tblData").arg(out), jet::dbFailOnError);
        const auto again = importRows(dir.filePath(QStringLiteral("work2.sys")), out, QStringLiteral("Again"));
        ASSERT_EQ(again.size(), rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            EXPECT_EQ(again[r][0], rows[r][0]) << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, WrittenAccessText, ::testing::Values(drivers::JetVersion::Jet3, drivers::JetVersion::Jet4),
                         [](const auto& info) { return info.param == drivers::JetVersion::Jet3 ? "Jet3" : "Jet4"; });

} // namespace
