// What a failed write tells the user: on a real full disk, a read-only disk
// and a file-size limit, every export road and every save of a settings or
// list file names the file the user chose or owns and gives the system's
// reason in its own words, never "Unknown error" and never the hidden name
// the new file was written under. The old file stays as it was.
#include "app/mdimain.h"
#include "cleaning/frmdefinespecialchars.h"
#include "cleaning/list_editors.h"
#include "common/general.h"
#include "exchange/export.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "workbench/spelling.h"

#include "exchange/export_fixture.h"
#include "support/outside_need.h"
#include "support/small_disk.h"
#include "support/write_limit.h"
#include "support/file_bytes.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include <functional>
#include <memory>
#include <optional>
#include <gtest/gtest.h>

namespace {

using testfiles::readAll;
using testfiles::writeAll;

const QByteArray kOldFile = "what the user had\r\n";

enum class Disk { Full, ReadOnly, SizeLimit };

const char* reasonOf(Disk d)
{
    switch (d) {
    case Disk::Full: return "No space left on device";
    case Disk::ReadOnly: return "Read-only file system";
    case Disk::SizeLimit: return "File too large";
    }
    return "";
}

/// One road that writes a file: where its file lives (a folder under the
/// program folder that gets the small disk), the file, and the user's step.
struct Road {
    const char* name;
    const char* folder;
    const char* file;
    int exportKind;   ///< 0: not an export
    std::function<void()> run;
};

void PrintTo(const Road& r, std::ostream* os) { *os << r.name; }

struct Case {
    const Road* road;
    Disk disk;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.road->name << ' ' << reasonOf(c.disk); }

void closeDialog(QDialog* d)
{
    std::unique_ptr<QDialog> owned(d);
    if (auto* close = d->findChild<QPushButton*>(QStringLiteral("cmdClose")))
        close->click();
    else
        d->done(QDialog::Accepted);
}

Road exportRoad(const char* name, int kind, const char* file)
{
    return {name, "out", file, kind, [] { MDIMain::instance().ExportFile(); }};
}

const Road kRoads[] = {
    exportRoad("text", exchange::ExportText, "list.txt"),
    exportRoad("web page", exchange::ExportWebPage, "list.html"),
    exportRoad("Excel 5.0", exchange::ExportExcel5, "list5.xls"),
    exportRoad("Excel 95", exchange::ExportExcel95, "list95.xls"),
    exportRoad("Excel 97-2000", exchange::ExportExcel2000, "list97.xls"),
    exportRoad("Access 97", exchange::ExportAccess97, "list97.mdb"),
    exportRoad("Access 2000", exchange::ExportAccess2000, "list2000.mdb"),
    {"prefixes", "Settings", "PreFixes.txt", 0, [] { closeDialog(cleaning::makePrefixesEditor(nullptr)); }},
    {"exceptions", "Settings", "Exceptions.txt", 0, [] { closeDialog(cleaning::makeExceptionsEditor(nullptr)); }},
    {"special characters", "Settings", "SpecChars.txt", 0,
     [] {
         frmDefineSpecialChars d;
         d.done(QDialog::Accepted);
     }},
    {"dictionary", "Settings", "dict.dic", 0,
     [] {
         frmSpellManager manager;
         manager.txtspell->setText(QStringLiteral("Quillabrand"));
         manager.cmdAdd->click();
     }},
};

std::vector<Case> cases()
{
    std::vector<Case> out;
    for (const Road& r : kRoads)
        for (Disk d : {Disk::Full, Disk::ReadOnly, Disk::SizeLimit})
            out.push_back({&r, d});
    return out;
}

class FailedWrite : public exporttest::ExportTest, public ::testing::WithParamInterface<Case> {
protected:
    FailedWrite() : ExportTest(QStringLiteral("[Name] TEXT(255), [City] TEXT(255)"), QStringLiteral("[Name], [City] ")) {}
};

TEST_P(FailedWrite, SaysWhatFailedInTheUsersWords)
{
    const Road& road = *GetParam().road;
    const Disk disk = GetParam().disk;
    db.connection().exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < 40; ++i)
        db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES (\"%1 %2\", \"Paris\")")
                       .arg(QString(120, QLatin1Char('n')))
                       .arg(i));
    db.connection().exec(QStringLiteral("COMMIT"));
    const QString folder = dir.filePath(QLatin1String(road.folder));
    const QString file = folder + QLatin1Char('/') + QLatin1String(road.file);
    std::optional<testsupport::SmallDisk> small;
    if (disk != Disk::SizeLimit) {
        small.emplace(folder, 512);
        QB_NEED_OUTSIDE(small->available(), "no right to mount a small disk here");
    }
    writeAll(file, kOldFile);
    // The special characters' dialog reads its list when it opens.
    if (road.file == QLatin1String("SpecChars.txt"))
        writeAll(file, "33,1\r\n");
    const QByteArray before = readAll(file);

    ui::ScriptedHandler boxes{[](const QString&) {}};
    boxes.setThrowOnFailure(false);
    if (road.exportKind) {
        boxes.answerFile(file, road.exportKind);
        boxes.answerMessage(ui::vbYes);   // the overwrite question
    }
    {
        std::optional<testsupport::WriteLimit> limit;
        if (disk == Disk::Full)
            small->fill();
        else if (disk == Disk::ReadOnly)
            ASSERT_TRUE(small->makeReadOnly());
        else
            // Room for the Access templates and not a page more; a write that
            // crosses the limit is cut short first.
            limit.emplace(road.exportKind == exchange::ExportAccess97     ? QFileInfo(dir.filePath(QStringLiteral("acs1"))).size() + 100
                          : road.exportKind == exchange::ExportAccess2000 ? QFileInfo(dir.filePath(QStringLiteral("acs2"))).size() + 100
                          : road.exportKind                               ? 100
                                                                          : 10);
        road.run();
        QCoreApplication::processEvents();
    }
    const QStringList shown = boxes.messageTexts();
    const QString all = shown.join(QStringLiteral(" / "));
    SCOPED_TRACE(all.toStdString());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(all.contains(QLatin1String(reasonOf(disk))));
    EXPECT_TRUE(all.contains(file));
    EXPECT_FALSE(all.contains(QLatin1String("Unknown error")));
    EXPECT_FALSE(all.contains(QLatin1String(".qb-export")));
    EXPECT_FALSE(all.contains(QLatin1String("/.") + QLatin1String(road.file)));   // the checked file's temporary
    if (road.exportKind)
        EXPECT_TRUE(shown.last().endsWith(QLatin1String("Unable to Export.")));
    EXPECT_EQ(readAll(file), before);
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    static const char* const disks[] = {"Full", "ReadOnly", "SizeLimit"};
    QString n = QString::fromLatin1(info.param.road->name);
    n.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    return n.toStdString() + disks[int(info.param.disk)];
}

INSTANTIATE_TEST_SUITE_P(Roads, FailedWrite, ::testing::ValuesIn(cases()), caseName);

} // namespace
