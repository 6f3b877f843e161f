// The text import wizard's window: its controls, the handlers that rebuild the
// preview on every change of the settings, the column name and type boxes, and
// the Import and Cancel buttons. The work itself is in text_import.h; this
// file only moves between the boxes and those functions and shows the
// messages.
//
// One hazard shapes the import handler: the import lets events run while it
// reads, so Cancel (or the close box) can run in the middle of it. Cancel only
// clears mblnImporting, restores the controls and ends the dialog; the import
// sees the flag at its next progress call, rolls its work back and returns
// here, and nothing touches a deleted object because the dialog is only ended,
// never deleted, inside that call.
#include "exchange/frmtxtwizard.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/import_window.h"
#include "exchange/imported_list.h"
#include "exchange/text_import.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <array>

namespace {

QString nulsDroppedNote(qint64 count)
{
    return count == 1 ? QStringLiteral("1 NUL character was removed from the values.")
                      : QStringLiteral("%1 NUL characters were removed from the values.").arg(count);
}

const QString kTypeQuestion = QStringLiteral("Are you sure you want to change the data type of this column?");

} // namespace

struct frmtxtWizard::Form {
    frmtxtWizard* self = nullptr;

    QGroupBox* frDelim = nullptr;
    std::array<QRadioButton*, 5> optDelimiter{};
    QLineEdit* txtOther = nullptr;
    QLineEdit* txtFieldDelim = nullptr;
    QCheckBox* chkFirstRow = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbTextQ = nullptr;
    QGroupBox* frOptions = nullptr;
    QComboBox* cmbFieldName = nullptr;
    QComboBox* cmbFieldType = nullptr;
    QGroupBox* frFormat = nullptr;
    QComboBox* cmbDateOrd = nullptr;
    QLineEdit* txtDateDelim = nullptr;
    QLineEdit* txtTimeDelim = nullptr;
    QLabel* Label2 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QStandardItemModel* preview = nullptr;
    QProgressBar* PB = nullptr;
    QLabel* lblwait = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;

    /// The preview's hold on the working database (the data control's database).
    jet::Database data1;
    exchange::TextEncoding encoding = exchange::TextEncoding::Utf8;
    QStringList mstrColNames;
    std::vector<exchange::ColumnType> mstrColTypes;
    bool mblnImporting = false;
    bool loading = true;

    void build();
    exchange::TextChoices choices() const;
    QString GetFieldDelimiter() const;
    void closeData1();
    void RefreshPreview();
    void showSample();
    void setOptionsEnabled(bool on);
    void restoreAfterImport();

    void optDelimiter_Click(int index);
    void txtOther_Change();
    void oneCharBox_Change(QLineEdit* box);
    void cmbFieldName_Click();
    void cmbFieldName_LostFocus();
    void cmbFieldType_Click();
    void DBGrid1_HeadClick(int column);
    void cmdImport_Click();
    void cmdCancel_Click();
};

void frmtxtWizard::Form::build()
{
    self->setWindowTitle(QStringLiteral("Import Text Wizard"));

    frDelim = new QGroupBox(QStringLiteral("Please choose the delimiter that seperates your columns:"), self);
    frDelim->setObjectName(QStringLiteral("frDelim"));
    auto* delimRow = new QHBoxLayout(frDelim);
    const std::array<QString, 5> captions{QStringLiteral("&Tab"), QStringLiteral("S&emicolon"),
                                          QStringLiteral("&Comma"), QStringLiteral("&Space"),
                                          QStringLiteral("&Other")};
    for (int i = 0; i < 5; ++i) {
        optDelimiter[i] = new QRadioButton(captions[i], frDelim);
        optDelimiter[i]->setObjectName(QStringLiteral("optDelimiter%1").arg(i));
        delimRow->addWidget(optDelimiter[i]);
    }
    txtOther = new QLineEdit(frDelim);
    txtOther->setObjectName(QStringLiteral("txtOther"));
    txtOther->setFixedWidth(32);
    delimRow->addWidget(txtOther);
    delimRow->addSpacing(12);
    txtFieldDelim = new QLineEdit(frDelim);
    txtFieldDelim->setObjectName(QStringLiteral("txtFieldDelim"));
    txtFieldDelim->setReadOnly(true);
    txtFieldDelim->setFocusPolicy(Qt::NoFocus);
    txtFieldDelim->setFixedWidth(32);
    txtFieldDelim->setToolTip(QStringLiteral("The delimiter in force"));
    delimRow->addWidget(txtFieldDelim);
    delimRow->addStretch();

    chkFirstRow = new QCheckBox(QStringLiteral("  &First Row Contains Column Names"), self);
    chkFirstRow->setObjectName(QStringLiteral("chkFirstRow"));
    Label1 = new QLabel(QStringLiteral("Text &Qualifier:"), self);
    Label1->setObjectName(QStringLiteral("Label1"));
    cmbTextQ = new QComboBox(self);
    cmbTextQ->setObjectName(QStringLiteral("cmbTextQ"));
    Label1->setBuddy(cmbTextQ);
    auto* rowTwo = new QHBoxLayout;
    rowTwo->addWidget(chkFirstRow);
    rowTwo->addStretch();
    rowTwo->addWidget(Label1);
    rowTwo->addWidget(cmbTextQ);

    frOptions = new QGroupBox(QStringLiteral("Column Options"), self);
    frOptions->setObjectName(QStringLiteral("frOptions"));
    auto* opt = new QGridLayout(frOptions);
    cmbFieldName = new QComboBox(frOptions);
    cmbFieldName->setObjectName(QStringLiteral("cmbFieldName"));
    cmbFieldName->setEditable(true);
    cmbFieldName->setInsertPolicy(QComboBox::NoInsert);
    cmbFieldName->setMinimumContentsLength(18);
    cmbFieldType = new QComboBox(frOptions);
    cmbFieldType->setObjectName(QStringLiteral("cmbFieldType"));
    opt->addWidget(new QLabel(QStringLiteral("Column Name:"), frOptions), 0, 0);
    opt->addWidget(cmbFieldName, 0, 1);
    opt->addWidget(new QLabel(QStringLiteral("Data Type:"), frOptions), 1, 0);
    opt->addWidget(cmbFieldType, 1, 1);

    frFormat = new QGroupBox(QStringLiteral("Date and Time Formats"), self);
    frFormat->setObjectName(QStringLiteral("frFormat"));
    auto* fmt = new QGridLayout(frFormat);
    cmbDateOrd = new QComboBox(frFormat);
    cmbDateOrd->setObjectName(QStringLiteral("cmbDateOrd"));
    txtDateDelim = new QLineEdit(QStringLiteral("/"), frFormat);
    txtDateDelim->setObjectName(QStringLiteral("txtDateDelim"));
    txtDateDelim->setFixedWidth(32);
    txtTimeDelim = new QLineEdit(QStringLiteral(":"), frFormat);
    txtTimeDelim->setObjectName(QStringLiteral("txtTimeDelim"));
    txtTimeDelim->setFixedWidth(32);
    fmt->addWidget(new QLabel(QStringLiteral("Date Order:"), frFormat), 0, 0);
    fmt->addWidget(cmbDateOrd, 0, 1);
    fmt->addWidget(new QLabel(QStringLiteral("Date Delimiter:"), frFormat), 1, 0);
    fmt->addWidget(txtDateDelim, 1, 1);
    fmt->addWidget(new QLabel(QStringLiteral("Time Delimiter:"), frFormat), 2, 0);
    fmt->addWidget(txtTimeDelim, 2, 1);
    fmt->setColumnStretch(2, 1);

    auto* rowThree = new QHBoxLayout;
    rowThree->addWidget(frOptions, 1);
    rowThree->addWidget(frFormat, 1);

    Label2 = new QLabel(QStringLiteral("You can specify information about each of the columns you are importing. "
                                       "Select columns in the area below. You can then modify column information "
                                       "in the 'Column Options' area."),
                        self);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    DBGrid1 = new QTableView(self);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    preview = new QStandardItemModel(DBGrid1);
    DBGrid1->setModel(preview);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectColumns);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setMinimumHeight(220);

    lblwait = new QLabel(QStringLiteral("Please Wait...."), self);
    lblwait->setObjectName(QStringLiteral("lblwait"));
    lblwait->hide();
    PB = new QProgressBar(self);
    PB->setObjectName(QStringLiteral("PB"));
    PB->setRange(0, 101);
    PB->setTextVisible(false);
    PB->hide();
    cmdImport = new QPushButton(QStringLiteral("&Import"), self);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), self);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdImport->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    // Never the focus: when Import goes grey during the import the focus
    // would pass to it, and a Space meant for something else would stop the
    // import. The mouse, Escape and the close box reach it.
    cmdCancel->setFocusPolicy(Qt::NoFocus);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblwait);
    bottom->addWidget(PB, 1);
    bottom->addStretch();
    bottom->addWidget(cmdImport);
    bottom->addWidget(cmdCancel);

    auto* main = new QVBoxLayout(self);
    main->addWidget(frDelim);
    main->addLayout(rowTwo);
    main->addLayout(rowThree);
    main->addWidget(Label2);
    main->addWidget(DBGrid1, 1);
    main->addLayout(bottom);
    self->resize(760, 620);

    // Handlers. Combos answer the user's picks only (activated), so that the
    // load and the column boxes can set their texts without side effects.
    for (int i = 0; i < 5; ++i)
        QObject::connect(optDelimiter[i], &QRadioButton::clicked, self, [this, i] { optDelimiter_Click(i); });
    QObject::connect(txtOther, &QLineEdit::textChanged, self, [this] { txtOther_Change(); });
    QObject::connect(txtDateDelim, &QLineEdit::textChanged, self, [this] { oneCharBox_Change(txtDateDelim); });
    QObject::connect(txtTimeDelim, &QLineEdit::textChanged, self, [this] { oneCharBox_Change(txtTimeDelim); });
    QObject::connect(cmbTextQ, &QComboBox::activated, self, [this] { RefreshPreview(); });
    QObject::connect(cmbDateOrd, &QComboBox::activated, self, [this] { RefreshPreview(); });
    QObject::connect(chkFirstRow, &QCheckBox::clicked, self, [this] { RefreshPreview(); });
    QObject::connect(cmbFieldName, &QComboBox::activated, self, [this] { cmbFieldName_Click(); });
    QObject::connect(cmbFieldName->lineEdit(), &QLineEdit::editingFinished, self,
                     [this] { cmbFieldName_LostFocus(); });
    QObject::connect(cmbFieldType, &QComboBox::activated, self, [this] { cmbFieldType_Click(); });
    QObject::connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, self,
                     [this](int c) { DBGrid1_HeadClick(c); });
    QObject::connect(cmdImport, &QPushButton::clicked, self, [this] { cmdImport_Click(); });
    QObject::connect(cmdCancel, &QPushButton::clicked, self, [this] { cmdCancel_Click(); });
}

exchange::TextChoices frmtxtWizard::Form::choices() const
{
    exchange::TextChoices c;
    c.fieldDelimiter = txtFieldDelim->text();
    c.qualifier = cmbTextQ->currentText();
    c.dateOrder = cmbDateOrd->currentText();
    c.dateDelimiter = txtDateDelim->text();
    c.timeDelimiter = txtTimeDelim->text();
    c.firstRowHasNames = chkFirstRow->isChecked();
    return c;
}

QString frmtxtWizard::Form::GetFieldDelimiter() const
{
    static const std::array<QString, 4> fixed{QStringLiteral("\t"), QStringLiteral(";"), QStringLiteral(","),
                                              QStringLiteral(" ")};
    for (int i = 0; i < 4; ++i)
        if (optDelimiter[i]->isChecked())
            return fixed[i];
    if (optDelimiter[4]->isChecked())
        return txtOther->text().left(1);
    return QString();
}

void frmtxtWizard::Form::closeData1()
{
    if (data1.isOpen())
        data1.close();
}

void frmtxtWizard::Form::RefreshPreview()
{
    closeData1();
    exchange::TextPreview p = exchange::buildTextPreview(general::gstrSourceFile, encoding, choices());
    if (p.error.isEmpty()) {
        mstrColNames = p.names;
        mstrColTypes = p.types;
        cmbFieldName->clear();
        cmbFieldName->addItems(p.names);
        try {
            jet::Database db = jet::Database::open(general::gstrWorkDBPath);
            p.error = exchange::writeSampleTable(db, p, chkFirstRow->isChecked());
            if (p.error.isEmpty())
                data1 = db;
        } catch (const jet::JetError& e) {
            p.error = e.description();
        }
    } else if (p.badFileName) {
        general::gstrSourceFile.clear();
    }
    if (!p.error.isEmpty()) {
        ui::msgBox(p.error, ui::vbOKOnly);
        cmdImport->setEnabled(false);
        return;
    }
    showSample();
    cmdImport->setEnabled(true);
}

void frmtxtWizard::Form::showSample()
{
    preview->clear();
    try {
        auto rs = data1.openRecordset(QString::fromLatin1("SELECT * FROM ") + QLatin1String(exchange::kSampleTable),
                                      jet::dbOpenSnapshot);
        QStringList heads;
        for (int i = 0; i < rs->fieldCount(); ++i)
            heads << rs->field(i).name;
        preview->setColumnCount(int(heads.size()));
        preview->setHorizontalHeaderLabels(heads);
        for (; !rs->eof(); rs->moveNext()) {
            QList<QStandardItem*> row;
            for (int i = 0; i < rs->fieldCount(); ++i)
                row << new QStandardItem(rs->value(i).toString());
            preview->appendRow(row);
        }
    } catch (const jet::JetError& e) {
        ui::msgBox(e.description(), ui::vbOKOnly);
    }
    DBGrid1->resizeColumnsToContents();
    for (int c = 0; c < preview->columnCount(); ++c)
        DBGrid1->setColumnWidth(c, std::min(DBGrid1->columnWidth(c), 260));
}

void frmtxtWizard::Form::setOptionsEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{cmdImport, frDelim, frOptions, frFormat, chkFirstRow, cmbTextQ})
        w->setEnabled(on);
}

void frmtxtWizard::Form::restoreAfterImport()
{
    ui::setPointer(self, ui::Pointer::Default);
    exchange::setMainPointer(ui::Pointer::Default);
    exchange::setMainStatus(QString());
    setOptionsEnabled(true);
    mblnImporting = false;
    lblwait->hide();
    lblwait->setText(QString());
    PB->hide();
    DBGrid1->setEnabled(true);
    closeData1();
}

void frmtxtWizard::Form::optDelimiter_Click(int index)
{
    optDelimiter[index]->setChecked(true);
    if (index == 4) {
        txtOther->setEnabled(true);
        txtOther->setStyleSheet(QString());
        txtOther->setFocus();
        txtFieldDelim->clear();
    } else {
        txtOther->setEnabled(false);
        txtOther->setStyleSheet(QStringLiteral("background-color: palette(window);"));
        txtOther->clear();
        txtFieldDelim->setText(GetFieldDelimiter());
    }
    RefreshPreview();
}

void frmtxtWizard::Form::txtOther_Change()
{
    if (txtOther->text().size() > 1) {
        txtOther->setText(txtOther->text().left(1));   // comes back here with one character
        return;
    }
    txtFieldDelim->setText(GetFieldDelimiter());
    if (!txtOther->text().isEmpty())
        RefreshPreview();
}

void frmtxtWizard::Form::oneCharBox_Change(QLineEdit* box)
{
    if (box->text().size() > 1) {
        box->setText(box->text().left(1));   // comes back here with one character
        return;
    }
    if (!loading && !box->text().isEmpty())
        RefreshPreview();
}

void frmtxtWizard::Form::cmbFieldName_Click()
{
    const QString name = cmbFieldName->currentText();
    for (int i = 0; i < mstrColNames.size(); ++i) {
        if (mstrColNames[i] != name)
            continue;
        cmbFieldType->setCurrentText(exchange::typeWord(mstrColTypes[size_t(i)]));
        DBGrid1->clearSelection();
        if (i < preview->columnCount()) {
            DBGrid1->selectColumn(i);
            DBGrid1->selectionModel()->setCurrentIndex(preview->index(0, i), QItemSelectionModel::NoUpdate);
        }
    }
}

void frmtxtWizard::Form::cmbFieldName_LostFocus()
{
    if (!mstrColNames.contains(cmbFieldName->currentText())) {
        cmbFieldName->setCurrentIndex(-1);
        cmbFieldName->setEditText(QString());
        cmbFieldType->setCurrentIndex(-1);
    }
}

void frmtxtWizard::Form::cmbFieldType_Click()
{
    if (ui::msgBox(kTypeQuestion, ui::vbYesNo + ui::vbQuestion) != ui::vbYes)
        return;
    const auto type = exchange::typeFromWord(cmbFieldType->currentText());
    if (!type)
        return;
    for (int i = 0; i < mstrColNames.size(); ++i)
        if (mstrColNames[i] == cmbFieldName->currentText())
            mstrColTypes[size_t(i)] = *type;
}

void frmtxtWizard::Form::DBGrid1_HeadClick(int column)
{
    if (column < 0 || column >= mstrColNames.size())
        return;
    cmbFieldName->setCurrentText(mstrColNames[column]);
    cmbFieldName_Click();
}

void frmtxtWizard::Form::cmdImport_Click()
{
    ui::setPointer(self, ui::Pointer::Hourglass);
    exchange::setMainPointer(ui::Pointer::Hourglass);
    exchange::setMainStatus(QStringLiteral("Importing Data..."));
    setOptionsEnabled(false);
    mblnImporting = true;
    lblwait->setText(QStringLiteral("Examining Data..."));
    lblwait->show();
    PB->setValue(0);
    PB->show();
    DBGrid1->setEnabled(false);

    // The file and the settings are checked again: the file may have changed
    // or gone since the preview. The reason is shown once, as the preview shows it.
    const exchange::TextChoices c = choices();
    exchange::SampleLines check = exchange::readSampleLines(general::gstrSourceFile, encoding, c.splitOptions());
    QString problem = check.error;
    if (problem.isEmpty())
        problem = exchange::delimiterProblem(c.fieldDelimiter, c.dateDelimiter, c.timeDelimiter, c.qualifier);
    if (!problem.isEmpty()) {
        if (check.badFileName)
            general::gstrSourceFile.clear();
        ui::msgBox(problem, ui::vbOKOnly);
        restoreAfterImport();
        self->done(QDialog::Rejected);
        return;
    }

    struct Observer : exchange::TextImportObserver {
        Form* f;
        explicit Observer(Form* form) : f(form) {}
        void stage(exchange::TextImportStage s) override
        {
            if (f->mblnImporting)
                f->lblwait->setText(s == exchange::TextImportStage::Examining ? QStringLiteral("Examining Data...")
                                                                               : QStringLiteral("Importing Data..."));
        }
        bool progress(qint64 done, qint64 total) override
        {
            if (f->mblnImporting && total > 0)
                f->PB->setValue(int(done * 100 / total));
            ui::doEvents();
            return f->mblnImporting;
        }
    } observer(this);

    exchange::TextImportResult result;
    try {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        const exchange::TextImportRequest request{general::gstrSourceFile, encoding, c, mstrColNames, mstrColTypes};
        const ui::JobScope job{cmdCancel};   // the Cancel and this window's close box stop it
        result = exchange::importTextFile(db, request, observer);
        db.close();
    } catch (const jet::JetError& e) {
        result.outcome = exchange::TextImportResult::Outcome::Failed;
        result.error = e.description();
    }

    switch (result.outcome) {
    case exchange::TextImportResult::Outcome::Done:
        mblnImporting = false;
        closeData1();
        ui::setPointer(self, ui::Pointer::Default);
        self->done(QDialog::Accepted);
        // The workbench writes its record count into the status as it opens.
        exchange::setMainStatus(QString());
        exchange::openImportedList();
        exchange::setMainPointer(ui::Pointer::Default);
        if (result.nulsDropped > 0)
            exchange::appendMainStatus(nulsDroppedNote(result.nulsDropped));
        break;
    case exchange::TextImportResult::Outcome::Cancelled:
        // Cancel has already restored the controls and closed the wizard.
        ui::msgBox(QStringLiteral("Operation Cancelled."), ui::vbCritical);
        break;
    case exchange::TextImportResult::Outcome::Failed:
        restoreAfterImport();
        ui::msgBox(result.error, ui::vbCritical);
        self->done(QDialog::Rejected);
        break;
    }
}

void frmtxtWizard::Form::cmdCancel_Click()
{
    restoreAfterImport();
    self->done(QDialog::Rejected);
}

frmtxtWizard::frmtxtWizard(QWidget* parent) : QDialog(parent), f_(std::make_unique<Form>())
{
    setObjectName(QStringLiteral("frmtxtWizard"));
    f_->self = this;
    f_->build();

    // Form_Load.
    setWindowTitle(general::gstrSourceFile);
    f_->encoding = exchange::detectTextEncoding(general::gstrSourceFile).value_or(exchange::TextEncoding::Utf8);
    f_->cmbTextQ->addItems({QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("none")});
    f_->cmbTextQ->setCurrentIndex(0);
    for (exchange::ColumnType t : {exchange::ColumnType::Number, exchange::ColumnType::DateTime,
                                   exchange::ColumnType::Text, exchange::ColumnType::Memo})
        f_->cmbFieldType->addItem(exchange::typeWord(t));
    f_->cmbFieldType->setCurrentIndex(-1);
    f_->cmbDateOrd->addItems({QStringLiteral("MDY"), QStringLiteral("DMY"), QStringLiteral("MYD"),
                              QStringLiteral("DYM"), QStringLiteral("YMD"), QStringLiteral("YDM")});
    f_->cmbDateOrd->setCurrentText(QStringLiteral("MDY"));
    f_->loading = false;
    f_->optDelimiter_Click(2);
}

frmtxtWizard::~frmtxtWizard() { f_->closeData1(); }

void frmtxtWizard::showModal(QWidget* parent)
{
    if (!parent)
        parent = MDIMain::loaded();
    frmtxtWizard wizard(parent);
    wizard.f_->PB->setValue(0);
    wizard.exec();
}

void frmtxtWizard::closeEvent(QCloseEvent* event)
{
    // The close box during an import is a Cancel; otherwise the unload.
    if (f_->mblnImporting)
        f_->cmdCancel_Click();
    f_->closeData1();
    QDialog::closeEvent(event);
}

void frmtxtWizard::reject()
{
    // Escape and the close box end here: the same road as the Cancel button.
    f_->cmdCancel_Click();
}
