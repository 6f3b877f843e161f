// The shared set-up and tear-down of the tests that drive the workbench.
#include "support/workbench_fixture.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/ui/settings.h"

#include <QComboBox>
#include <QCoreApplication>

using namespace general;

namespace testsupport {

void WorkbenchFixture::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    MDIMain::instance();
    setProgramFolder(dir.path());
    // Keep the settings files of the run inside the temporary folder.
    ui::setSettingsFolder(dir.filePath(QStringLiteral("config")));
    gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
    db = jet::Database::open(gstrWorkDBPath, true);
    gblnNewImport = true;
    gintFileOpen = 0;
    gintStatsReady = 0;
    gstrImportType = QStringLiteral("txt");
    gstrSourceFile = gstrFileName = dir.filePath(QStringLiteral("list.csv"));
    gstrFilter.clear();
    gstrSortOrder.clear();
}

void WorkbenchFixture::TearDown()
{
    if (frmdataform::loaded()) {
        gblnNewImport = true;   // close without the export question
        frmdataform::unload();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    db.close();
    setProgramFolder(QString());
    ui::setSettingsFolder(QString());
    gstrWorkDBPath.clear();
    gstrFilter.clear();
}

void WorkbenchFixture::pick(frmdataform& f, const QString& column)
{
    const int i = f.cmbColumn1->findText(column);
    ASSERT_GE(i, 0) << column.toStdString();
    f.cmbColumn1->setCurrentIndex(i);
    emit f.cmbColumn1->activated(i);
}

} // namespace testsupport
