// A program folder of its own for the export tests: the settings folder, the
// Access templates the build made, a working database whose tblData the test
// creates (with the columns of `tableDefinition`, and the key LumacorPrimK),
// the field list the workbench would hold, and the main window with a
// scripted desktop.
#pragma once

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace exporttest {

class ExportTest : public ::testing::Test {
protected:
    /// columns: the user's columns of tblData, as in CREATE TABLE; fieldList
    /// the workbench's list of them.
    ExportTest(QString columns, QString fieldList) : columns_(std::move(columns)), fieldList_(std::move(fieldList)) {}

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Settings")));
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
        for (const char* t : {"acs1", "acs2"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(QB_BINARY_DIR "/") + QLatin1String(t),
                                    dir.filePath(QLatin1String(t))));
        general::gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
        db = jet::Database::open(general::gstrWorkDBPath, true);
        db.execute(QStringLiteral("CREATE TABLE tblData (%1, [LumacorPrimK] COUNTER CONSTRAINT pk PRIMARY KEY)")
                       .arg(columns_));
        general::gstrFieldList = fieldList_;
        general::gstrFilter.clear();
        general::gstrImportType = QStringLiteral("txt");
        main = &MDIMain::instance();
    }
    void TearDown() override
    {
        delete MDIMain::loaded();
        QApplication::processEvents();
        db.close();
        general::gstrFilter.clear();
        general::gstrFieldList.clear();
        general::gstrWorkDBPath.clear();
        general::setProgramFolder(QString());
    }

    QTemporaryDir dir;
    jet::Database db;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    MDIMain* main = nullptr;

private:
    QString columns_;
    QString fieldList_;
};

} // namespace exporttest
