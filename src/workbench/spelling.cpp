// The spell check's walk, the checker and the dictionary manager.
//
// A walk reads the dictionary once into a set and then reads the column's
// values through the recordset's page cache, one page of rows at a time: a
// million known values cost one pass over the list, not a read of the file
// per cell. The file is read again at every start and every answer, so what
// the manager (or anyone) changed in between counts from the next step on.
#include "workbench/spelling.h"

#include "workbench/gridtools.h"

#include "app/listeditors.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/column_type.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/dictionary.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include <QAction>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

frmSpellChecker* gChecker = nullptr;

const QString kUnableToOpen = QStringLiteral("Unable to Open Dictionary");
const QString kComplete = QStringLiteral("The Spelling check is Complete.");
const QString kEnterWord = QStringLiteral("Please Enter a valid word");

/// Twips as pixels at 15 twips a pixel.
int px(int twips) { return twips / 15; }

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* textBox(const QString& name, QWidget* parent)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(name);
    return t;
}


void unloadChecker()
{
    if (frmSpellChecker* c = frmSpellChecker::loaded())
        c->unload();
}

/// The end of a check: the message, the grid on the first record, the checker gone.
void finish(frmdataform& f)
{
    ui::msgBox(kComplete, ui::vbInformation);
    f.moveFirstRecord();
    unloadChecker();
}

/// The walk's stop: the recordset and the grid on the value, the checker showing it.
void stopAt(frmdataform& f, long pos, int column, const QString& value, bool modal)
{
    f.Data1->Recordset()->setAbsolutePosition(pos);
    f.syncGridToRecordset(column);
    f.DBGridData->scrollTo(f.DBGridData->currentIndex());
    frmSpellChecker& c = frmSpellChecker::instance();
    c.txtspell->setText(value);
    workbench::present(c, modal);
}

/// Passed over after an answer: no value, or a value that reads as a number.
bool passedOver(const jet::Value& v)
{
    if (v.isNull() || v.isNumber() || v.kind() == jet::Kind::Bool)
        return true;
    return v.isText() && exchange::parseNumber(*v.textPtr()).has_value();
}

/// The Add button of either dialog: asks for a word when there is none, adds
/// it and says so. False when nothing was added (the reason has been shown).
bool addWord(const QString& word)
{
    if (word.isEmpty()) {
        ui::msgBox(kEnterWord, ui::vbExclamation);
        return false;
    }
    // The dictionary holds one entry a line: a value with a line break
    // would come back as two entries, neither of them the value.
    if (word.contains(QLatin1Char('\n')) || word.contains(QLatin1Char('\r'))) {
        ui::msgBox(QStringLiteral("A word that holds a line break cannot be added to the dictionary."),
                   ui::vbExclamation);
        return false;
    }
    if (!spelling::appendEntry(spelling::dictionaryFile(), word).ok) {
        ui::msgBox(kUnableToOpen, ui::vbExclamation);
        return false;
    }
    ui::msgBox(word + QStringLiteral(" now added onto the dictionary"), ui::vbExclamation);
    return true;
}

enum class Answer { Ignore, Change, Add };

/// The walk after an answer: from the record after the current one.
void continueScan(Answer answer)
{
    frmdataform* f = frmdataform::loaded();
    jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
    if (!f || !rs)
        return;
    f->endGridEdit();
    QString error;
    const auto words = spelling::loadWords(spelling::dictionaryFile(), &error);
    if (!words) {
        if (answer == Answer::Ignore)
            ui::msgBox(error);
        ui::msgBox(kUnableToOpen, ui::vbExclamation);
        return;
    }
    const int column = general::gintCurCol;
    const long count = rs->recordCount();
    if (rs->eof() || column < 0 || column >= rs->fieldCount()) {
        finish(*f);
        return;
    }
    ui::setPointer(nullptr, ui::Pointer::Hourglass);
    try {
        for (long pos = rs->absolutePosition() + 1; pos < count; ++pos) {
            const jet::Value& v = rs->rowAt(pos)[size_t(column)];
            if (passedOver(v))
                continue;
            const QString text = v.toString();
            if (!words->contains(text)) {
                ui::setPointer(nullptr, ui::Pointer::Default);
                stopAt(*f, pos, column, text, false);
                return;
            }
        }
    } catch (const std::exception&) {
        // The list went away under the walk: the check ends as at the last record.
    }
    ui::setPointer(nullptr, ui::Pointer::Default);
    rs->moveLast();
    rs->moveNext();
    finish(*f);
}

} // namespace

// ---- the start ------------------------------------------------------------------------

void MDIMain::mnuspell_Click()
{
    frmdataform* f = frmdataform::loaded();
    jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
    if (!f || !rs)
        return;
    f->endGridEdit();
    // The walk, Change and the caption all act on the column the caption
    // names: a header click's column first becomes the grid's current one.
    const QString caption = QStringLiteral("Spelling Checker on: ") + workbench::takeNamedColumn(*f);
    if (frmSpellChecker* c = frmSpellChecker::loaded())
        c->setWindowTitle(caption);
    const int column = f->currentGridColumn();
    // The empty row for a new record has no record of its own: the check
    // starts from the first record, not from the one the list last stood on.
    const QModelIndex cur = f->DBGridData->currentIndex();
    const bool onAddRow = cur.isValid() && f->gridModel()->isAddRow(cur.row());
    if ((rs->eof() && !onAddRow) || column >= rs->fieldCount()) {
        ui::msgBox(kComplete, ui::vbInformation);
        f->moveFirstRecord();
        return;
    }
    const auto words = spelling::loadWords(spelling::dictionaryFile());
    if (!words) {
        ui::msgBox(kUnableToOpen, ui::vbExclamation);
        return;
    }
    ui::setPointer(nullptr, ui::Pointer::Hourglass);
    try {
        const long count = rs->recordCount();
        for (long pos = onAddRow ? 0L : std::max(0L, rs->absolutePosition()); pos < count; ++pos) {
            const QString text = rs->rowAt(pos)[size_t(column)].toString();
            if (!words->contains(text)) {
                ui::setPointer(nullptr, ui::Pointer::Default);
                frmSpellChecker::instance().setWindowTitle(caption);
                stopAt(*f, pos, column, text, true);
                return;
            }
        }
    } catch (const std::exception&) {
        // As past the last record.
    }
    ui::setPointer(nullptr, ui::Pointer::Default);
    ui::msgBox(kComplete, ui::vbInformation);
    f->moveFirstRecord();
}

// ---- frmSpellChecker --------------------------------------------------------------------

frmSpellChecker& frmSpellChecker::instance()
{
    if (!gChecker)
        gChecker = new frmSpellChecker(MDIMain::loaded());
    return *gChecker;
}

frmSpellChecker* frmSpellChecker::loaded() { return gChecker; }

void frmSpellChecker::showAlone() { workbench::present(instance(), false); }

frmSpellChecker::frmSpellChecker(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSpellChecker"));
    setWindowTitle(QStringLiteral("Spell Checker"));
    txtspell = textBox(QStringLiteral("txtspell"), this);
    txtreplace = textBox(QStringLiteral("txtreplace"), this);
    cmdIgnore = button(QStringLiteral("cmdIgnore"), QStringLiteral("&Ignore"), this);
    cmdchange = button(QStringLiteral("cmdchange"), QStringLiteral("&Change"), this);
    cmdAdd = button(QStringLiteral("cmdAdd"), QStringLiteral("&Add"), this);
    btnCancelFind = button(QStringLiteral("btnCancelFind"), QStringLiteral("&Cancel"), this);
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("Customise"), this);

    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral("Not Found"), this), 0, 0);
    g->addWidget(txtspell, 1, 0);
    g->addWidget(new QLabel(QStringLiteral("Replace With"), this), 2, 0);
    g->addWidget(txtreplace, 3, 0);
    g->setRowStretch(4, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdIgnore, cmdchange, cmdAdd, btnCancelFind, Command1})
        buttons->addWidget(b);
    buttons->addStretch();
    g->addLayout(buttons, 0, 1, 5, 1);
    g->setColumnMinimumWidth(0, px(3600));

    connect(cmdIgnore, &QPushButton::clicked, this, &frmSpellChecker::cmdIgnore_Click);
    connect(cmdchange, &QPushButton::clicked, this, &frmSpellChecker::cmdchange_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmSpellChecker::cmdAdd_Click);
    connect(btnCancelFind, &QPushButton::clicked, this, &frmSpellChecker::btnCancelFind_Click);
    connect(Command1, &QPushButton::clicked, this, &frmSpellChecker::Command1_Click);
}

frmSpellChecker::~frmSpellChecker()
{
    if (gChecker == this)
        gChecker = nullptr;
}

void frmSpellChecker::cmdIgnore_Click() { continueScan(Answer::Ignore); }

void frmSpellChecker::cmdchange_Click()
{
    if (frmdataform* f = frmdataform::loaded()) {
        const QModelIndex cur = f->DBGridData->currentIndex();
        workbench::GridModel* m = f->gridModel();
        if (cur.isValid() && !m->isAddRow(cur.row())) {
            f->endGridEdit();
            // A value the list refuses has been reported by the grid: the
            // check stays on it rather than leave it unchanged behind.
            if (!m->setData(cur, txtreplace->text(), Qt::EditRole))
                return;
        }
    }
    continueScan(Answer::Change);
}

void frmSpellChecker::cmdAdd_Click()
{
    if (addWord(txtspell->text()))
        continueScan(Answer::Add);
}

void frmSpellChecker::btnCancelFind_Click() { unload(); }

void frmSpellChecker::reject() { unload(); }

void frmSpellChecker::unload()
{
    if (gChecker == this)
        gChecker = nullptr;
    hide();
    deleteLater();
}

void frmSpellChecker::Command1_Click() { listeditors::showEditor(QStringLiteral("frmSpellManager"), this, true); }

// ---- frmSpellManager ----------------------------------------------------------------------

frmSpellManager::frmSpellManager(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSpellManager"));
    setWindowTitle(QStringLiteral("Spelling Manager"));
    flexspell = new QTableWidget(this);
    flexspell->setObjectName(QStringLiteral("flexspell"));
    flexspell->setColumnCount(1);
    flexspell->horizontalHeader()->hide();
    flexspell->verticalHeader()->hide();
    flexspell->setEditTriggers(QAbstractItemView::NoEditTriggers);
    flexspell->setSelectionMode(QAbstractItemView::SingleSelection);
    flexspell->setSelectionBehavior(QAbstractItemView::SelectRows);
    flexspell->verticalHeader()->setDefaultSectionSize(flexspell->fontMetrics().height() + 4);
    // As wide as its one column and a scroll bar.
    flexspell->setFixedWidth(px(2700) + flexspell->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                             + 2 * flexspell->frameWidth() + 2);
    txtspell = textBox(QStringLiteral("txtspell"), this);
    cmdAdd = button(QStringLiteral("cmdAdd"), QStringLiteral("&Add"), this);
    cmdRemove = button(QStringLiteral("cmdRemove"), QStringLiteral("&Remove"), this);
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("&Cancel"), this);
    lblremove = new QLabel(this);
    lblremove->setObjectName(QStringLiteral("lblremove"));
    lblremove->hide();   // a mark for the program, not a text for the user

    auto* g = new QGridLayout(this);
    g->addWidget(flexspell, 0, 0, 7, 1);
    g->addWidget(new QLabel(QStringLiteral("Add Word:"), this), 0, 1);
    g->addWidget(txtspell, 1, 1);
    g->addWidget(cmdAdd, 2, 1);
    g->addWidget(cmdRemove, 3, 1);
    g->addWidget(Command1, 4, 1);
    g->addWidget(lblremove, 5, 1);
    g->setRowStretch(6, 1);

    connect(cmdAdd, &QPushButton::clicked, this, &frmSpellManager::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmSpellManager::cmdRemove_Click);
    connect(Command1, &QPushButton::clicked, this, &frmSpellManager::Command1_Click);
    connect(flexspell, &QTableWidget::cellClicked, this, [this](int, int) { flexspell_Click(); });
    resize(px(6600), px(4800));
    Form_Load();
}

void frmSpellManager::Form_Load()
{
    flexspell->setRowCount(0);
    flexspell->setColumnWidth(0, px(2700));
    const auto entries = spelling::readEntries(spelling::dictionaryFile());
    if (!entries) {
        ui::msgBox(kUnableToOpen, ui::vbExclamation);
        return;
    }
    QStringList words;
    for (const QString& e : *entries)
        if (!e.isEmpty())
            words << e;
    flexspell->setRowCount(int(words.size()));
    for (int i = 0; i < int(words.size()); ++i)
        flexspell->setItem(i, 0, new QTableWidgetItem(words[i]));
}

void frmSpellManager::cmdAdd_Click()
{
    if (addWord(txtspell->text()))
        Form_Load();
}

void frmSpellManager::flexspell_Click() { lblremove->setText(QStringLiteral("remove")); }

void frmSpellManager::cmdRemove_Click()
{
    if (lblremove->text().isEmpty()) {
        ui::msgBox(QStringLiteral("Please Highlight the Word you would like to Remove"), ui::vbExclamation);
        return;
    }
    const QTableWidgetItem* item = flexspell->currentItem();
    const QString word = item ? item->text() : QString();
    const spelling::Result r = spelling::removeEntry(spelling::dictionaryFile(), word);
    if (r.unreadable) {
        ui::msgBox(kUnableToOpen, ui::vbExclamation);
        return;
    }
    if (!r.ok) {
        ui::msgBox(word + QStringLiteral(" could not be removed from the dictionary. ") + r.error
                       + QStringLiteral(" The dictionary is unchanged."),
                   ui::vbExclamation);
        return;
    }
    ui::msgBox(word + QStringLiteral(" has now been removed from the dictionary"), ui::vbExclamation);
    lblremove->clear();
    Form_Load();
}

void frmSpellManager::Command1_Click() { close(); }

// ---- connecting ---------------------------------------------------------------------------

namespace workbench {

void registerSpellManager()
{
    listeditors::registerEditor(QStringLiteral("frmSpellManager"), [](QWidget* p) { return new frmSpellManager(p); });
}

void installSpelling(frmdataform& form)
{
    MDIMain* m = MDIMain::loaded();
    if (!m)
        return;
    if (QAction* a = m->command(QStringLiteral("mnuspell")))
        QObject::connect(a, &QAction::triggered, &form, [m] { m->mnuspell_Click(); });
    if (QAction* a = m->command(QStringLiteral("Toolbar2:10")))
        QObject::connect(a, &QAction::triggered, &form, [] { frmSpellChecker::showAlone(); });
    // The checker acts on this workbench's grid: it does not outlive it.
    QObject::connect(&form, &QObject::destroyed, [] { unloadChecker(); });
}

} // namespace workbench
