// An export that runs for a while shows that it runs: from the moment the
// statement starts until the file is in place the main window carries the
// hourglass and a status text, and the window's events run from inside the
// statement, so both reach the screen. Afterwards the status text is the one
// shown before and the pointer is the default again.
#include "exchange/export.h"

#include "export_fixture.h"

#include "app/mdimain.h"
#include "platform/jet/connection.h"
#include "platform/ui/scripted.h"
#include "platform/ui/statement_job.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QString kBusyText = QStringLiteral("Please Wait....Exporting Data");
const QString kBefore = QStringLiteral("Total Records = 3000 : Column = Name : Row = 1 ");

class ExportBusy : public exporttest::ExportTest {
protected:
    ExportBusy() : ExportTest(QStringLiteral("[Name] TEXT(50), [City] TEXT(50)"), QStringLiteral("[Name], [City] ")) {}

    void SetUp() override
    {
        ExportTest::SetUp();
        if (HasFatalFailure())
            return;
        jet::Connection& c = db.connection();
        c.exec(QStringLiteral("BEGIN"));
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES (?, 'Town')"));
        for (int i = 1; i <= kRows; ++i) {
            ins.bind(1, jet::Value(QStringLiteral("N%1").arg(i)));
            ins.step();
            ins.reset();
        }
        c.exec(QStringLiteral("COMMIT"));
        // Events run at every look at the clock, so a small list shows them too.
        ui::StatementJob::setPumpInterval(0);
    }
    void TearDown() override
    {
        ui::StatementJob::setPumpInterval(100);
        ExportTest::TearDown();
    }

    static constexpr int kRows = 3000;
};

} // namespace

TEST_F(ExportBusy, StatusTextAndHourglassLastAsLongAsTheExportRuns)
{
    struct Case { int kind; const char* file; };
    const Case cases[] = {
        {exchange::ExportText, "list.txt"},
        {exchange::ExportAccess2000, "list.mdb"},
        {exchange::ExportExcel2000, "list.xls"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dir.filePath(QStringLiteral("out/") + QLatin1String(c.file));
        main->setPanelText(1, kBefore);
        // What each turn of the events found while the file was not in place yet.
        int busyTurns = 0, otherTurns = 0;
        ui.onProcessEvents([&] {
            if (QFileInfo::exists(path))
                return;
            const bool busy = main->panelText(1) == kBusyText && ui.pointer(main) == ui::Pointer::Hourglass;
            ++(busy ? busyTurns : otherTurns);
            // File > Import chosen meanwhile is dropped, not run afterwards.
            if (busyTurns == 2)
                main->command(QStringLiteral("mnuimport"))->trigger();
        });
        const int shownBefore = ui.shown().size();
        ui.answerFile(path, c.kind);
        ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
        EXPECT_FALSE(main->ExportFile());
        ui.onProcessEvents({});

        // Shown before the statement began, and seen again from inside it.
        EXPECT_GE(busyTurns, 2);
        EXPECT_EQ(otherTurns, 0);
        EXPECT_EQ(main->panelText(1).toStdString(), kBefore.toStdString());
        EXPECT_EQ(ui.pointer(main), ui::Pointer::Default);
        EXPECT_TRUE(QFileInfo::exists(path));
        QCoreApplication::processEvents();
        EXPECT_EQ(ui.shown().size(), shownBefore + 2);   // the destination dialog and "Exported data to: "
    }
}

TEST_F(ExportBusy, AFailedExportPutsTheStatusTextBackToo)
{
    // A destination that cannot be made: the filter names a column that is not there.
    general::gstrFilter = QStringLiteral("[Nowhere]=1");
    const QString path = dir.filePath(QStringLiteral("out/list.txt"));
    main->setPanelText(1, kBefore);
    bool sawBusy = false;
    ui.onProcessEvents([&] { sawBusy = sawBusy || main->panelText(1) == kBusyText; });
    ui.answerMessage(ui::vbOK);   // filtered selection only
    ui.answerFile(path, exchange::ExportText);
    ui.answerMessage(ui::vbOK);   // the failure
    EXPECT_TRUE(main->ExportFile());
    ui.onProcessEvents({});
    EXPECT_TRUE(sawBusy);
    ASSERT_EQ(ui.messageTexts().size(), 2);
    EXPECT_TRUE(ui.messageTexts().last().endsWith(QStringLiteral("  Unable to Export.")));
    EXPECT_EQ(main->panelText(1).toStdString(), kBefore.toStdString());
    EXPECT_EQ(ui.pointer(main), ui::Pointer::Default);
    EXPECT_FALSE(QFileInfo::exists(path));
}
