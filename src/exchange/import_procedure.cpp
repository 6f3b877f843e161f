// The import procedure: every list enters through MDIMain::Open_Source_File.
// It offers to export the open list, closes it, asks for a source in the
// Select Source dialog (a recent-file click skips both), remembers the kind in
// "\settings\import.txt" and hands the file to the importer of its kind: the
// text wizard, the worksheet chooser, the Access table chooser or the
// contact-manager import. It writes no
// table itself; the importers replace tblData and open the workbench.
//
// On the dialog road the open list is closed before the dialog is shown, so a
// cancelled dialog or a failure later leaves no list open: the user starts
// again with Import.
#include "app/mdimain.h"

#include "app/programfiles.h"
#include "common/general.h"
#include "exchange/act_module.h"
#include "exchange/frmexceltables.h"
#include "exchange/frmtablenames.h"
#include "exchange/frmtxtwizard.h"
#include "exchange/import_sources.h"
#include "exchange/imported_list.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"

#include <QListWidget>

namespace exchange {

void openImportedList()
{
    MDIMain& main = MDIMain::instance();
    main.enable();
    frmdataform::instance();
    // A workbench whose opening failed has reported why and unloaded itself.
    if (frmdataform::loaded())
        main.showWorkbench();
}

} // namespace exchange

namespace {

QString importSettingsFile() { return app::programFile(QStringLiteral("\\settings\\import.txt")); }

/// The remembered kind; a failed write is not reported (the next dialog just
/// opens on another filter).
void rememberImportType(const QString& type) { exchange::writeImportChoice(importSettingsFile(), type); }

/// Closes the open list before a new one comes in, without the workbench's
/// own export question.
void closeOpenList(MDIMain& main)
{
    using namespace general;
    frmdataform* w = frmdataform::loaded();
    if (w) {
        w->hide();
        w->Data1->closeDatabase();
    }
    main.FilterOFF();
    if (w) {
        w->lstRight2->clear();
        w->lstLeft2->clear();
        w->lstRight->clear();
        w->lstleft->clear();
    }
    main.disable();
    gintStatsReady = 0;
    gintFileOpen = 0;
    gblnNewImport = true;
    frmdataform::unload();
}

} // namespace

void MDIMain::Open_Source_File()
{
    using namespace general;
    if (ui::jobRunning())
        return;   // the open list is in use
    ui::FileDialog commondialog1;
    frmTablenames::unload();
    try {
        gstrWorkDBPath = programFolder() + QStringLiteral("/sysfls.sys");
        commondialog1.fileName.clear();

        if (mintMRUReopen != 1) {
            if (gintFileOpen == 1) {
                const int answer =
                    ui::msgBox(QStringLiteral("Would you like to export the current data before you open a new file?"),
                               ui::vbYesNoCancel + ui::vbExclamation);
                if (answer == ui::vbCancel)
                    return;
                // A failed or cancelled export keeps the open list as it is.
                if (answer == ui::vbYes && ExportFile())
                    return;
                closeOpenList(*this);
            }
            disable();

            commondialog1.cancelError = true;
            commondialog1.flags = ui::FileHideReadOnly;
            commondialog1.title = QStringLiteral("Select Source");
            commondialog1.filter = exchange::importDialogFilter();
            if (const auto last = exchange::readImportChoice(importSettingsFile()))
                commondialog1.filterIndex = exchange::importFilterIndex(*last);
            commondialog1.fileName.clear();
            // The kind imported last in this run wins over the file.
            if (const int index = exchange::importFilterIndex(gstrImportType))
                commondialog1.filterIndex = index;
            commondialog1.showOpen();   // Cancel throws ui::Cancelled

            gstrFileName = commondialog1.fileName;
            mstrSourceExt = gstrFileName.right(3);
            gstrSourceFile = gstrFileName;
            AddToMRU(gstrSourceFile);
        }

        const QString kind = exchange::importTypeForExtension(mstrSourceExt);
        if (kind == QLatin1String("txt")) {
            gstrImportType = kind;
            mintMRUReopen = 0;
            setPanelText(1, QStringLiteral("Text file Selection"));
            frmtxtWizard::showModal(this);
            rememberImportType(kind);
        } else if (kind == QLatin1String("mdb")) {
            gstrAccessFile = mintMRUReopen == 1 ? gstrMRUFile : commondialog1.fileName;
            mintMRUReopen = 0;
            gstrImportType = kind;
            ui::setPointer(this, ui::Pointer::Hourglass);
            setPanelText(1, QStringLiteral("Please Wait....Gathering Access Table Names"));
            const QStringList tables = exchange::tableChoices(exchange::accessTables(gstrAccessFile));
            ui::setPointer(this, ui::Pointer::Arrow);
            rememberImportType(kind);
            frmTablenames& chooser = frmTablenames::instance();
            chooser.setTables(tables);
            chooser.show();
            chooser.raise();
        } else if (kind == QLatin1String("xls")) {
            mintMRUReopen = 0;
            ui::setPointer(this, ui::Pointer::Hourglass);
            gstrImportType = kind;
            setPanelText(1, QStringLiteral("Please Wait....Gathering Excel Worksheet Names"));
            if (commondialog1.fileName.isEmpty())
                commondialog1.fileName = gstrFileName;
            gstrExcelFile = commondialog1.fileName;
            const QStringList sheets = exchange::sheetChoices(exchange::workbookCatalog(gstrExcelFile));
            frmExcelTables chooser(this);
            chooser.setSheets(sheets);   // builds the first sheet's preview
            ui::setPointer(this, ui::Pointer::Arrow);
            rememberImportType(kind);
            chooser.exec();
        } else if (kind == QLatin1String("dbf")) {
            mintMRUReopen = 0;
            ui::setPointer(this, ui::Pointer::Hourglass);
            gstrImportType = kind;
            setPanelText(1, QStringLiteral("Please Wait..."));
            if (commondialog1.fileName.isEmpty())
                commondialog1.fileName = gstrFileName;
            Act_Module1::ImportActDatabase(commondialog1.fileName);   // tells its own failures
            rememberImportType(kind);
        } else {
            // Any other kind of file ends the import without a word.
            mintMRUReopen = 0;
        }
    } catch (const ui::Cancelled&) {
        mintMRUReopen = 0;
        ui::setPointer(this, ui::Pointer::Arrow);
        setPanelText(1, QString());
    } catch (const std::exception& e) {
        int number = jet::errGeneral;
        QString description = QString::fromUtf8(e.what());
        if (const auto* j = dynamic_cast<const jet::JetError*>(&e)) {
            number = j->number();
            description = j->description();
        }
        ui::msgBox(QStringLiteral("File Error. Unable to Open File ") + QStringLiteral("\r\r") + QString::number(number)
                       + QStringLiteral(" - ") + description,
                   ui::vbExclamation + ui::vbOKOnly);
        mintMRUReopen = 0;
        ui::setPointer(this, ui::Pointer::Arrow);
        setPanelText(1, QString());
    }
}
