// A test base for tests that open the workbench over a small list: a fresh
// working database in a temporary folder, the globals as an importer leaves
// them just before it shows the workbench, and scripted message boxes that
// fail the test unless the test expects them.
#pragma once

#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testsupport {

class WorkbenchFixture : public ::testing::Test {
protected:
    /// Points the program and settings folders at the temporary folder and
    /// opens the working database there; the test then creates tblData and opens the workbench.
    /// A test that adds to this calls it first and returns on HasFatalFailure().
    void SetUp() override;

    /// Closes a workbench left open, without the export question, and lets
    /// its deferred deletes run before the database goes.
    void TearDown() override;

    /// The child control of the workbench with this object name.
    template <class W>
    static W* ctl(frmdataform& f, const char* name)
    {
        W* w = f.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    /// Picks an item of the column picker as a click in its drop-down does.
    static void pick(frmdataform& f, const QString& column);

    QTemporaryDir dir;
    jet::Database db;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
};

} // namespace testsupport
