// A program folder of its own for the import tests: the working database, the
// settings folder, the main window loaded offscreen and a scripted desktop.
// Sources are made here with the engine itself: workbooks through its own
// Excel export, Access sources as databases of its own format.
#pragma once

#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/frmtablenames.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/frmdataform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace importtest {

struct Row {
    QString name, city;
    double amount;
};

inline const std::vector<Row> kPeople = {
    {"Smith", "Boston", 10.5}, {"Lee", "Paris", 7}, {"O'Brien", "Cork", -3}};

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ui::setSettingsFolder(dir.filePath(QStringLiteral("config")));
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        general::gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
        jet::Database::open(general::gstrWorkDBPath, true).close();
        general::gintFileOpen = 0;
        general::gblnNewImport = false;
        general::gstrImportType.clear();
        general::gstrFileName.clear();
        general::gstrSourceFile.clear();
        general::gstrExcelFile.clear();
        general::gstrAccessFile.clear();
        main = &MDIMain::instance();
        ASSERT_TRUE(main->MDIForm_Load());
    }
    void TearDown() override
    {
        if (frmTablenames* t = frmTablenames::loaded())
            delete t;
        if (frmdataform::loaded()) {
            general::gblnNewImport = true;   // no export question
            frmdataform::unload();
        }
        delete MDIMain::loaded();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        general::gdbWork.close();
        general::gintFileOpen = 0;
        general::gstrImportType.clear();
        general::setProgramFolder(QString());
        ui::setSettingsFolder(QString());
    }

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    /// A table of the engine's own with the given rows, in a scratch database.
    static void fillPeople(jet::Database& db, const QString& table, const std::vector<Row>& rows)
    {
        db.execute(QStringLiteral("CREATE TABLE [%1] ([Name] TEXT(50), [City] TEXT(50), [Amount] DOUBLE)").arg(table));
        for (const Row& r : rows)
            db.execute(QStringLiteral("INSERT INTO [%1] VALUES (\"%2\", \"%3\", %4)")
                           .arg(table, general::Double_Quotes(r.name), general::Double_Quotes(r.city))
                           .arg(r.amount));
    }

    /// A workbook of one sheet, written by the engine's own Excel export.
    QString writeWorkbook(const char* file, const QString& sheet, const std::vector<Row>& rows)
    {
        const QString scratch = dir.filePath(QStringLiteral("scratch%1.sys").arg(++scratch_));
        jet::Database db = jet::Database::open(scratch, true);
        fillPeople(db, QStringLiteral("t"), rows);
        const QString book = path(file);
        db.execute(QStringLiteral("SELECT [Name], [City], [Amount] INTO [Excel 8.0;Database=%1].[%2] FROM t").arg(book, sheet));
        return book;
    }

    /// The working database's tblData as lines of its values, "|"-joined.
    QStringList tblData(const QString& columns = QStringLiteral("*")) const
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        QStringList out;
        if (!db.hasTable(QStringLiteral("tblData")))
            return {QStringLiteral("<none>")};
        auto rs = db.openRecordset(QStringLiteral("SELECT %1 FROM tblData").arg(columns), jet::dbOpenSnapshot);
        for (; !rs->eof(); rs->moveNext()) {
            QStringList cells;
            for (int i = 0; i < rs->fieldCount(); ++i)
                cells << rs->value(i).toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    /// The working database's tblData as an earlier import left it.
    void makePreviousList()
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        db.execute(QStringLiteral("CREATE TABLE tblData ([Old] TEXT(20))"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"kept\")"));
    }

    QByteArray importTxt() const
    {
        QFile f(dir.filePath(QStringLiteral("Settings/import.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    MDIMain* main = nullptr;
    int scratch_ = 0;
};

} // namespace importtest
