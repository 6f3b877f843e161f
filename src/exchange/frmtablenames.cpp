// The Access table chooser's window and its import: one SELECT ... INTO that
// reads the chosen table of the other database straight into tblData.
//
// The column list comes from the source table's own description: a counter
// (auto-increment Long) column is copied through CLng so that tblData gets a
// plain Long column of that name, free for the workbench to add its own key;
// a counter of any other type is copied as it is, as a plain number. The drop
// of the old tblData and the copy run in one savepoint, so a table that cannot
// be read leaves the previous tblData as it was.
#include "exchange/frmtablenames.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/import_sources.h"
#include "exchange/import_window.h"
#include "exchange/imported_list.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/ui/ui.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<frmTablenames>& gInstance()
{
    static QPointer<frmTablenames> p;
    return p;
}

} // namespace

struct frmTablenames::Form {
    frmTablenames* self = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* cmdcontinue2 = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* lblwait = nullptr;
    bool busy = false;

    void build();
    void cmdcontinue2_Click();
    void cmdCancel_Click();
    /// Hidden at once, deleted when events next run (its handlers may still be on the stack).
    void closeWindow()
    {
        self->hide();
        self->deleteLater();
        if (gInstance() == self)
            gInstance() = nullptr;
    }
};

void frmTablenames::Form::build()
{
    self->setWindowTitle(QStringLiteral("Select Access Table Name"));
    auto* v = new QVBoxLayout(self);
    Combo1 = new QComboBox(self);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setMinimumContentsLength(30);
    Combo1->installEventFilter(self);
    v->addWidget(Combo1);
    lblwait = new QLabel(QStringLiteral("Please Wait.....Loading File"), self);
    lblwait->setObjectName(QStringLiteral("lblwait"));
    lblwait->hide();
    v->addWidget(lblwait);
    v->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdcontinue2 = new QPushButton(QStringLiteral("&Import"), self);
    cmdcontinue2->setObjectName(QStringLiteral("cmdcontinue2"));
    cmdcontinue2->setAutoDefault(false);
    cmdcontinue2->setEnabled(false);
    buttons->addWidget(cmdcontinue2);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), self);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    buttons->addWidget(cmdCancel);
    v->addLayout(buttons);

    QObject::connect(Combo1, &QComboBox::activated, self, [this] { cmdcontinue2->setEnabled(!busy); });
    QObject::connect(cmdcontinue2, &QPushButton::clicked, self, [this] { cmdcontinue2_Click(); });
    QObject::connect(cmdCancel, &QPushButton::clicked, self, [this] { cmdCancel_Click(); });
    self->resize(420, 110);
}

void frmTablenames::Form::cmdcontinue2_Click()
{
    if (busy || Combo1->currentIndex() < 0)
        return;
    busy = true;
    cmdcontinue2->setEnabled(false);
    ui::setPointer(self, ui::Pointer::Hourglass);
    exchange::setMainPointer(ui::Pointer::Hourglass);
    exchange::setMainStatus(QStringLiteral("Importing Data..."));
    lblwait->show();
    self->repaint();

    const QString table = Combo1->currentText();
    QString error;
    QStringList leftOut;
    try {
        general::gdbWork = jet::Database::open(general::programFolder() + QStringLiteral("/sysfls.sys"));
        const QString sql = exchange::accessImportStatement(general::gstrAccessFile, table, &leftOut);
        exchange::allOrNothing(general::gdbWork, [&] {
            if (general::DropTable(general::gdbWork, QStringLiteral("tblData")))
                exchange::failImport(QStringLiteral("Could not delete existing data."));
            general::gdbWork.execute(sql, jet::dbFailOnError);
        });
        general::gdbWork.close();
    } catch (const std::exception& e) {
        error = exchange::errorText(e);
    }
    busy = false;
    if (!error.isEmpty()) {
        general::gdbWork.close();
        ui::setPointer(self, ui::Pointer::Default);
        exchange::setMainPointer(ui::Pointer::Default);
        exchange::setMainStatus(QString());
        ui::msgBox(QStringLiteral("File Error ") + error, ui::vbExclamation + ui::vbOKOnly);
        return;
    }
    general::Wait(1);
    general::gstrWorkDBPath = general::programFolder() + QStringLiteral("/sysfls.sys");
    lblwait->hide();
    ui::setPointer(self, ui::Pointer::Default);
    closeWindow();
    // The workbench writes its record count into the status as it opens.
    exchange::setMainStatus(QString());
    exchange::openImportedList();
    exchange::setMainPointer(ui::Pointer::Default);
    if (!leftOut.isEmpty())
        exchange::appendMainStatus(exchange::leftOutColumnsNote(leftOut));
}

void frmTablenames::Form::cmdCancel_Click()
{
    if (busy)
        return;
    exchange::setMainStatus(QStringLiteral("Choose 'Import' to Open File or 'Wizard' to Guide you."));
    closeWindow();
}

frmTablenames& frmTablenames::instance()
{
    if (!gInstance())
        gInstance() = new frmTablenames(MDIMain::loaded());
    return *gInstance();
}

frmTablenames* frmTablenames::loaded() { return gInstance().data(); }

void frmTablenames::unload()
{
    frmTablenames* w = loaded();
    if (w && !w->f_->busy)
        w->f_->closeWindow();
}

frmTablenames::frmTablenames(QWidget* parent) : QDialog(parent), f_(std::make_unique<Form>())
{
    setObjectName(QStringLiteral("frmTablenames"));
    setModal(false);
    f_->self = this;
    f_->build();
    // Form_Load.
    exchange::setMainStatus(QStringLiteral("Please Select the Table from the list and click continue"));
}

frmTablenames::~frmTablenames()
{
    if (gInstance() == this)
        gInstance() = nullptr;
}

void frmTablenames::setTables(const QStringList& tables)
{
    f_->Combo1->clear();
    f_->Combo1->addItems(tables);
    f_->Combo1->setCurrentIndex(-1);
    f_->cmdcontinue2->setEnabled(false);
}

void frmTablenames::reject()
{
    // Escape and the close box: the Cancel button's road.
    f_->cmdCancel_Click();
}

bool frmTablenames::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == f_->Combo1 && event->type() == QEvent::MouseButtonDblClick && f_->Combo1->currentIndex() >= 0) {
        f_->cmdcontinue2_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
