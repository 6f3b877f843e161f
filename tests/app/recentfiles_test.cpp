// A recent-file click while a list is open: the workbench's export question
// comes first, a failed or cancelled export keeps the open list and opens
// nothing, a completed one lets the clicked file open and move to the top.
#include "app/mdimain.h"

#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/frmdataform.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RecentWithListOpen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ui::setSettingsFolder(dir.filePath(QStringLiteral("config")));
        general::gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
        db = jet::Database::open(general::gstrWorkDBPath, true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [City] TEXT(50))"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Ann\", \"Paris\")"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Bob\", \"Lyon\")"));

        main = &MDIMain::instance();
        ASSERT_TRUE(main->MDIForm_Load());
        // Files of a kind the import does not branch on: the reopen then ends
        // quietly, so only the closing and the export are seen.
        first = touch("first.doc");
        second = touch("second.doc");
        main->AddToMRU(first);
        main->AddToMRU(second);

        // As an importer leaves things before it shows the workbench.
        general::gblnNewImport = true;
        general::gintFileOpen = 0;
        general::gstrFilter.clear();
        general::gstrSortOrder.clear();
        general::gstrImportType = QStringLiteral("txt");
        general::gstrSourceFile = general::gstrFileName = dir.filePath(QStringLiteral("open.csv"));
        frmdataform::instance();
        ASSERT_NE(frmdataform::loaded(), nullptr);
        ASSERT_EQ(general::gintFileOpen, 1);
    }
    void TearDown() override
    {
        if (frmdataform::loaded()) {
            general::gblnNewImport = true;
            frmdataform::unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete MDIMain::loaded();
        QApplication::processEvents();
        db.close();
        general::gintFileOpen = 0;
        general::gstrWorkDBPath.clear();
        general::setProgramFolder(QString());
        ui::setSettingsFolder(QString());
    }
    QString touch(const char* name)
    {
        const QString p = dir.filePath(QString::fromLatin1(name));
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return p;
    }
    QString question() const
    {
        return QStringLiteral("Do you want to export the changes you made to '%1'").arg(general::gstrFileName);
    }

    QTemporaryDir dir;
    jet::Database db;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    MDIMain* main = nullptr;
    QString first, second;
};

TEST_F(RecentWithListOpen, CancelledExportKeepsTheOpenListAndOpensNothing)
{
    const QString open = general::gstrSourceFile;
    ui.answerMessage(ui::vbYes, question());
    ui.cancelFile();
    ui.answerMessage(ui::vbOK, QStringLiteral("Cancel was selected.  Unable to Export."));
    main->command(QStringLiteral("mnuMRU:2"))->trigger();

    EXPECT_EQ(ui.pendingAnswers(), 0);
    EXPECT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(general::gintFileOpen, 1);
    EXPECT_EQ(general::gstrSourceFile, open);
    EXPECT_NE(general::gstrMRUFile, first);
    EXPECT_EQ(main->mintMRUReopen, 0);
    EXPECT_EQ(main->recentFiles(), (QStringList{second, first}));
}

TEST_F(RecentWithListOpen, CompletedExportClosesTheListAndTheEntryMovesToTheTop)
{
    const QString out = dir.filePath(QStringLiteral("saved.txt"));
    ui.answerMessage(ui::vbYes, question());
    ui.answerFile(out, 4);
    ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + out);
    main->command(QStringLiteral("mnuMRU:2"))->trigger();

    EXPECT_EQ(ui.pendingAnswers(), 0);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\"Name\",\"City\"\r\n\"Ann\",\"Paris\"\r\n\"Bob\",\"Lyon\"\r\n"));
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_EQ(general::gstrSourceFile, first);
    EXPECT_EQ(main->recentFiles(), (QStringList{first, second}));

    // The new order is what the next run shows.
    main->SaveMenuItems();
    delete main;
    main = &MDIMain::instance();
    ASSERT_TRUE(main->MDIForm_Load());
    EXPECT_EQ(main->recentFiles(), (QStringList{first, second}));
}

} // namespace
