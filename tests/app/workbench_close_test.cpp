// Every road that closes the open list leaves the main window as it is at
// the start: no workbench frame in the MDI area, the program's own caption,
// and no record counts in the status bar. The roads: the workbench's close
// box, File > Close, and a new import answered No to its export offer.
#include "app/mdimain.h"

#include "common/general.h"
#include "exchange/imported_list.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include "support/workbench_fixture.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <gtest/gtest.h>

#include <functional>

using namespace general;

namespace {

const QString kCaption = QStringLiteral("Lumacor Quillabrand Pro");
const QString kNoList = QStringLiteral("Choose 'Import' to Open File or 'Tutorial' to Guide you.");
const QString kExportChanges = QStringLiteral("Do you want to export the changes you made to '%1'");
const QString kExportBeforeImport = QStringLiteral("Would you like to export the current data before you open a new file?");

class ClosingRoads : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        main = &MDIMain::instance();
        ASSERT_TRUE(main->MDIForm_Load());
        main->show();
    }

    void TearDown() override
    {
        WorkbenchFixture::TearDown();
        delete MDIMain::loaded();
        QApplication::processEvents();
    }

    /// A list of three people opened as an importer opens it, with the
    /// grid's cursor on a cell so the status bar carries its counts.
    void openList()
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [State] TEXT(20))"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Ann\", \"Ohio\")"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Bob\", \"Utah\")"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Cy\", \"Iowa\")"));
        exchange::openImportedList();
        frmdataform* f = frmdataform::loaded();
        ASSERT_NE(f, nullptr);
        f->DBGridData->setCurrentIndex(f->gridModel()->index(0, 1));
        ASSERT_EQ(main->panelText(1).toStdString(), "Total Records = 3 : Column = State : Row = 1 ");
        ASSERT_EQ(visibleFrames(), 1);
    }

    int visibleFrames() const
    {
        int n = 0;
        for (const QMdiSubWindow* s : main->mdiArea()->subWindowList())
            n += s->isVisible();
        return n;
    }

    MDIMain* main = nullptr;
};

} // namespace

TEST_F(ClosingRoads, EveryRoadLeavesTheMainWindowAsAtTheStart)
{
    struct Road {
        const char* name;
        std::function<void(MDIMain&, ui::ScriptedHandler&)> close;
        int boxes;             ///< the questions and dialogs it shows
        QString statusAfter;   ///< what the status text says once the road is over
    };
    const Road roads[] = {
        {"the workbench's close box",
         [](MDIMain& m, ui::ScriptedHandler& ui) {
             ui.answerMessage(ui::vbNo, kExportChanges.arg(gstrFileName));
             m.mdiArea()->subWindowList().first()->close();
         },
         1, kNoList},
        {"File > Close",
         [](MDIMain& m, ui::ScriptedHandler& ui) {
             ui.answerMessage(ui::vbNo, kExportChanges.arg(gstrFileName));
             m.command(QStringLiteral("mnuClose"))->trigger();
         },
         1, kNoList},
        // The import asks its own question and closes the list before it
        // shows the source dialog; cancelling that dialog leaves no list.
        {"a new import answered No",
         [](MDIMain& m, ui::ScriptedHandler& ui) {
             ui.answerMessage(ui::vbNo, kExportBeforeImport);
             ui.cancelFile();
             m.command(QStringLiteral("mnuimport"))->trigger();
         },
         2, QString()},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        DropTable(db, QStringLiteral("tblData"));
        openList();
        if (HasFatalFailure())
            return;
        const int before = ui.shown().size();
        road.close(*main, ui);
        EXPECT_EQ(ui.shown().size(), before + road.boxes);
        EXPECT_EQ(frmdataform::loaded(), nullptr);
        EXPECT_EQ(gintFileOpen, 0);
        // Gone from sight at once, and from the MDI area once the events of the close have run.
        EXPECT_EQ(visibleFrames(), 0);
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
        EXPECT_EQ(main->windowTitle().toStdString(), kCaption.toStdString());
        EXPECT_EQ(main->panelText(1).toStdString(), road.statusAfter.toStdString());
        EXPECT_EQ(main->panelText(2).toStdString(), "No Filter");
        EXPECT_EQ(ui.pendingAnswers(), 0);
    }
}
