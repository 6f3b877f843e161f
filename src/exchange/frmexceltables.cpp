// The worksheet chooser's window. The preview copies the first ten rows of the
// chosen sheet into tblExcel_Sample and shows that table; the import copies
// the whole sheet into tblData.
//
// The import drops tblData and rebuilds it inside one savepoint of the working
// database: a sheet that cannot be read, a bad cell or a cancel puts the old
// tblData back, so no half-made list is ever opened as if it were complete.
// While it waits for the preview table it lets events run, so Cancel can run
// in the middle of the import; Cancel only clears mblnImporting, restores the
// controls and ends the dialog, and the import notices the flag and rolls back.
#include "exchange/frmexceltables.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/import_sources.h"
#include "exchange/import_window.h"
#include "exchange/imported_list.h"
#include "platform/drivers/xls_reader.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kSampleTable = QStringLiteral("tblExcel_Sample");
/// How long the import waits for the preview table before it gives up.
constexpr int kSampleWaitSeconds = 10;

/// The reference of a sheet of the open workbook, refused when a name would
/// break out of its brackets.
QString sheetSource(const QString& sheet, bool firstRowHasNames)
{
    return exchange::checkedExcelSource(general::gstrExcelFile, sheet, firstRowHasNames);
}

} // namespace

struct frmExcelTables::Form {
    frmExcelTables* self = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QCheckBox* chkFirstRow = nullptr;
    QLabel* lblsample = nullptr;
    QTableView* DBGrid1 = nullptr;
    QStandardItemModel* preview = nullptr;
    QLabel* lblwait = nullptr;
    QProgressBar* PB1 = nullptr;
    QPushButton* cmdContinue = nullptr;
    QPushButton* cmdCancel = nullptr;
    bool mblnImporting = false;

    void build();
    void Combo1_Click();
    void clearPreview();
    void showSample(jet::Database& db);
    void ImportWorksheet();
    void restoreControls();
    void cmdCancel_Click();
};

void frmExcelTables::Form::build()
{
    self->setWindowTitle(QStringLiteral("Select Excel Spreadsheet"));
    auto* v = new QVBoxLayout(self);

    Label1 = new QLabel(
        QStringLiteral("Excel File contains more than one worksheet.  Please Select the Worksheet you require."), self);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    v->addWidget(Label1);

    auto* pick = new QHBoxLayout;
    Combo1 = new QComboBox(self);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setMinimumContentsLength(28);
    Combo1->installEventFilter(self);
    pick->addWidget(Combo1);
    chkFirstRow = new QCheckBox(QStringLiteral("First Row contains Column Headers"), self);
    chkFirstRow->setObjectName(QStringLiteral("chkFirstRow"));
    pick->addWidget(chkFirstRow);
    pick->addStretch(1);
    v->addLayout(pick);

    lblsample = new QLabel(QStringLiteral("Sample Data"), self);
    lblsample->setObjectName(QStringLiteral("lblsample"));
    v->addWidget(lblsample);
    DBGrid1 = new QTableView(self);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setMinimumHeight(260);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    preview = new QStandardItemModel(DBGrid1);
    DBGrid1->setModel(preview);
    v->addWidget(DBGrid1, 1);

    auto* wait = new QHBoxLayout;
    lblwait = new QLabel(QStringLiteral("Please Wait.....Loading File"), self);
    lblwait->setObjectName(QStringLiteral("lblwait"));
    lblwait->hide();
    wait->addWidget(lblwait);
    PB1 = new QProgressBar(self);
    PB1->setObjectName(QStringLiteral("PB1"));
    PB1->setRange(0, 100);
    PB1->setValue(0);
    PB1->hide();
    wait->addWidget(PB1, 1);
    v->addLayout(wait);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdContinue = new QPushButton(QStringLiteral("&Import"), self);
    cmdContinue->setObjectName(QStringLiteral("cmdContinue"));
    cmdContinue->setAutoDefault(false);
    buttons->addWidget(cmdContinue);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), self);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    // Never the focus: when Import goes grey during the import the focus
    // would pass to it, and a Space meant for something else would stop the
    // import. The mouse, Escape and the close box reach it.
    cmdCancel->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(cmdCancel);
    v->addLayout(buttons);

    QObject::connect(Combo1, &QComboBox::activated, self, [this] { Combo1_Click(); });
    // The preview follows the check box.
    QObject::connect(chkFirstRow, &QCheckBox::clicked, self, [this] { Combo1_Click(); });
    QObject::connect(cmdContinue, &QPushButton::clicked, self, [this] { ImportWorksheet(); });
    QObject::connect(cmdCancel, &QPushButton::clicked, self, [this] { cmdCancel_Click(); });
    self->resize(720, 470);
}

void frmExcelTables::Form::clearPreview()
{
    preview->clear();
}

void frmExcelTables::Form::showSample(jet::Database& db)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM ") + kSampleTable, jet::dbOpenSnapshot);
    QStringList heads;
    for (int i = 0; i < rs->fieldCount(); ++i)
        heads << rs->field(i).name;
    preview->setHorizontalHeaderLabels(heads);
    for (; !rs->eof(); rs->moveNext()) {
        QList<QStandardItem*> row;
        for (int i = 0; i < rs->fieldCount(); ++i)
            row << new QStandardItem(rs->value(i).toString());
        preview->appendRow(row);
    }
    DBGrid1->resizeColumnsToContents();
}

void frmExcelTables::Form::Combo1_Click()
{
    const QString sheet = Combo1->currentText();
    lblsample->setText(QStringLiteral("Sample Data for Worksheet ") + sheet);
    exchange::setMainStatus(QStringLiteral("Please select the Required WorkSheet"));
    clearPreview();
    try {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        if (general::DropTable(db, kSampleTable))
            exchange::failImport(QStringLiteral("Could not delete existing data."));
        db.execute(QStringLiteral("SELECT TOP 10 * INTO ") + kSampleTable + QStringLiteral(" FROM ")
                   + sheetSource(sheet, chkFirstRow->isChecked()));
        showSample(db);
    } catch (const std::exception& e) {
        clearPreview();
        ui::msgBox(exchange::errorText(e), ui::vbOKOnly);
    }
}

void frmExcelTables::Form::restoreControls()
{
    ui::setPointer(self, ui::Pointer::Default);
    exchange::setMainPointer(ui::Pointer::Default);
    exchange::setMainStatus(QString());
    cmdContinue->setEnabled(true);
    lblwait->hide();
    PB1->hide();
    DBGrid1->setEnabled(true);
    mblnImporting = false;
}

void frmExcelTables::Form::ImportWorksheet()
{
    mblnImporting = true;
    ui::setPointer(self, ui::Pointer::Hourglass);
    exchange::setMainPointer(ui::Pointer::Hourglass);
    exchange::setMainStatus(QStringLiteral("Importing Data..."));
    cmdContinue->setEnabled(false);
    lblwait->setText(QStringLiteral("Examining Data..."));
    lblwait->show();
    PB1->show();
    DBGrid1->setEnabled(false);
    self->repaint();

    const QString sheet = Combo1->currentText();
    QString error;
    long long formulaErrors = 0;
    try {
        const ui::JobScope job{cmdCancel};   // the Cancel and this window's close box stop it
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        const QString source = sheetSource(sheet, chkFirstRow->isChecked());
        exchange::allOrNothing(db, [&] {
            if (general::DropTable(db, QStringLiteral("tblData")))
                exchange::failImport(QStringLiteral("Could not delete existing data."));
            // The preview's table shows the sheet could be read; it is there at
            // once unless the preview failed.
            const qint64 deadline = QDateTime::currentSecsSinceEpoch() + kSampleWaitSeconds;
            while (!general::TableExists(db, kSampleTable)) {
                if (QDateTime::currentSecsSinceEpoch() >= deadline)
                    exchange::failImport(QStringLiteral("Cannot access table tblExcel_Sample."));
                ui::doEvents();
                if (!mblnImporting)
                    exchange::failImport(QStringLiteral("Operation cancelled."));
            }
            drivers::takeExcelFormulaErrors();
            db.execute(QStringLiteral("SELECT * INTO tblData FROM ") + source);
            formulaErrors = drivers::takeExcelFormulaErrors();
        });
        db.close();
    } catch (const std::exception& e) {
        error = exchange::errorText(e);
    }
    restoreControls();
    if (!error.isEmpty()) {
        ui::msgBox(error, ui::vbCritical + ui::vbOKOnly);
        return;
    }
    self->done(QDialog::Accepted);
    exchange::openImportedList();
    // Cells whose formula ended in an error hold no value in the list: say so.
    if (formulaErrors > 0)
        ui::msgBox(exchange::formulaErrorsNote(formulaErrors), ui::vbInformation + ui::vbOKOnly);
}

void frmExcelTables::Form::cmdCancel_Click()
{
    restoreControls();
    self->done(QDialog::Rejected);
}

frmExcelTables::frmExcelTables(QWidget* parent) : QDialog(parent), f_(std::make_unique<Form>())
{
    setObjectName(QStringLiteral("frmExcelTables"));
    f_->self = this;
    f_->build();
    setWindowTitle(general::gstrExcelFile);
}

frmExcelTables::~frmExcelTables() = default;

void frmExcelTables::setSheets(const QStringList& sheets)
{
    f_->Combo1->clear();
    f_->Combo1->addItems(sheets);
    if (f_->Combo1->count() > 0) {
        f_->Combo1->setCurrentIndex(0);
        f_->Combo1_Click();
    }
}

bool frmExcelTables::importing() const { return f_->mblnImporting; }

void frmExcelTables::reject()
{
    // Escape and the close box take the Cancel button's road.
    f_->cmdCancel_Click();
}

bool frmExcelTables::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == f_->Combo1 && event->type() == QEvent::MouseButtonDblClick && f_->cmdContinue->isEnabled()
        && f_->Combo1->count() > 0) {
        f_->ImportWorksheet();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
