// Damaged workbooks: sound files from our writer, each with one of the
// damages the Excel library reads past its buffers on (a directory name
// longer than its field, a text longer than its record, a shared-text count
// beyond the texts, a sheet offset that misses the sheet). Opening must fail
// with the reason, before the library sees the file.
#include "platform/drivers/xls_reader.h"
#include "platform/drivers/xls_writer.h"

#include "exchange/import_sources.h"
#include "platform/jet/error.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

namespace {

using jet::Value;

/// The header of the workbook stream's first record of that type; our writer
/// puts the stream in one run of sectors right after the file's header.
qsizetype record(const QByteArray& f, unsigned type)
{
    for (qsizetype at = 512; at + 4 <= f.size();) {
        const unsigned t = static_cast<unsigned char>(f[at]) | static_cast<unsigned char>(f[at + 1]) << 8;
        if (t == type)
            return at;
        at += 4 + (static_cast<unsigned char>(f[at + 2]) | static_cast<unsigned char>(f[at + 3]) << 8);
    }
    return -1;
}

struct Case {
    const char* name;
    drivers::XlsVersion version;
    std::function<void(QByteArray&)> damage;
    const char* reason;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class DamagedWorkbook : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedWorkbook, IsRefusedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.xls"));
    jet::ColumnInfo name{QStringLiteral("Name"), jet::dbText, 255, 0};
    jet::ColumnInfo score{QStringLiteral("Score"), jet::dbDouble, 8, 0};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back({Value(QStringLiteral("Person %1").arg(i)), Value(i * 1.5)});
    ASSERT_TRUE(drivers::writeXls(path, GetParam().version, QStringLiteral("List"), {name, score}, rows));
    QByteArray bytes;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    drivers::XlsWorkbook sound;
    ASSERT_TRUE(sound.open(path));
    sound.close();
    GetParam().damage(bytes);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    const QString said = QStringLiteral("'%1' cannot be read as a workbook: %2.").arg(path, QString::fromUtf8(GetParam().reason));
    drivers::XlsWorkbook book;
    QString error;
    EXPECT_FALSE(book.open(path, &error));
    EXPECT_EQ(error, said);
    // The worksheet chooser's road reports the same reason.
    try {
        exchange::workbookCatalog(path);
        ADD_FAILURE() << "the damaged workbook was opened";
    } catch (const jet::JetError& e) {
        EXPECT_TRUE(e.description().contains(said)) << e.description().toStdString();
    }
}

const Case kCases[] = {
    {"DirectoryNameLongerThanItsField", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype entry = f.indexOf(QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16));
         ASSERT_GT(entry, 0);
         f[entry + 0x40] = char(0x20);
         f[entry + 0x41] = char(0xe4);
     },
     "a directory entry's name has an impossible length"},
    {"TextLongerThanItsRecord", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype text = f.indexOf("Person 3");
         ASSERT_GT(text, 2);
         f[text - 2] = char(0xff);   // the LABEL's character count
         f[text - 1] = char(0x7f);
     },
     "a record of the workbook claims more text than it holds"},
    {"MoreSharedTextsThanTheTableHolds", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype sst = record(f, 0x00fc);
         ASSERT_GT(sst, 0);
         f[sst + 8 + 3] = char(0x01);   // the count of unique texts grows by 2^24
     },
     "the workbook's shared texts run past their records"},
    // Cells the library would drop (and leak the text of): outside the
    // sheet's declared area, or given a second time.
    {"CellOutsideTheSheetsArea", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype label = record(f, 0x0204);
         ASSERT_GT(label, 0);
         f[label + 4 + 3] = char(0x20);   // column 8192
     },
     "a cell lies outside the area its sheet declares"},
    {"CellGivenTwice", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype text = f.indexOf("Person 3");
         ASSERT_GT(text, 8);
         f[text - 8] = char(0x03);   // the row of "Person 3" becomes that of "Person 2"
     },
     "a cell of a sheet is given twice"},
    {"SheetOffsetMissingTheSheet", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype sheet = record(f, 0x0085);
         ASSERT_GT(sheet, 0);
         f[sheet + 4] = char(f[sheet + 4] + 1);
     },
     "a sheet's place in the workbook does not hold a sheet"},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedWorkbook, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
