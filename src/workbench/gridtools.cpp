// The grid's commands that act on its current cell, column or record: the
// Filter, Find and Replace dialogs, Cut/Copy/Paste, Delete Row and the grid's
// pop-up menu. Everything works through the workbench's grid and Data1's
// recordset, so it follows the grid's filter and sort.
//
// Replace All on a text column is one UPDATE with a case-blind replace
// function registered on the working connection: a million-row list costs one
// statement rather than a million row writes. Other column types go through
// one UPDATE whose function converts each new text as typing it would, and
// counts the values the column cannot hold; so do text columns whose new text
// is longer than the column.
#include "workbench/gridtools.h"

#include "app/contextids.h"
#include "app/listeditors.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/engine_text.h"
#include "platform/jet/error.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/gridsearch.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <sqlite3.h>

#include <cmath>

namespace {

frmFilter* gFilter = nullptr;
frmFind* gFind = nullptr;
frmReplace* gReplace = nullptr;
QPointer<QMenu> gMenu;
// Set by Delete Row, cleared by any move of the grid: a second Delete Row
// without a move has no current record and does nothing.
bool gRowJustDeleted = false;

frmdataform* form() { return frmdataform::loaded(); }

QWidget* owner() { return MDIMain::loaded(); }

QModelIndex currentCell(const frmdataform& f)
{
    const QModelIndex cur = f.DBGridData->currentIndex();
    return cur.isValid() && f.gridModel()->columnCount() > 0 ? cur : QModelIndex();
}

/// The current cell's text: as the grid shows it (DisplayRole: what Find's
/// LIKE compares, the engine's text), or with every digit of a number
/// (EditRole: what a filter's = and a write take).
QString cellText(const frmdataform& f, int role = Qt::DisplayRole)
{
    const QModelIndex cur = currentCell(f);
    return cur.isValid() ? f.gridModel()->data(cur, role).toString() : QString();
}

void setCellText(frmdataform& f, const QString& text)
{
    const QModelIndex cur = currentCell(f);
    if (!cur.isValid())
        return;
    f.endGridEdit();
    f.gridModel()->setData(cur, text, Qt::EditRole);
}

/// The grid's current column as the dialogs take it: -1 (none) becomes 0.
int takeCurrentColumn(const frmdataform& f)
{
    const QModelIndex cur = f.DBGridData->currentIndex();
    general::gintCurCol = cur.isValid() ? cur.column() : 0;
    return general::gintCurCol;
}

/// Names the dialog's column in its caption, "Find on: " and the like, after
/// the column a header click named has become the grid's current column.
void nameColumn(QDialog& d, const QString& prefix)
{
    QString name = general::gstrCurColumn;
    if (frmdataform* f = form())
        name = workbench::takeNamedColumn(*f);
    d.setWindowTitle(prefix + name);
}

/// The caption of a loaded dialog follows the grid's current column.
void followColumn(QDialog* d, const QString& prefix, const frmdataform& f)
{
    const jet::Recordset* rs = f.Data1->Recordset();
    const QModelIndex cur = f.DBGridData->currentIndex();
    if (d && rs && cur.isValid() && cur.column() < rs->fieldCount())
        d->setWindowTitle(prefix + rs->field(cur.column()).name);
}

void selectCurrentRow(frmdataform& f)
{
    const jet::Recordset* rs = f.Data1->Recordset();
    if (!rs || rs->absolutePosition() < 0)
        return;
    // Moving the current cell clears the view's selection; the rows found
    // earlier stay selected.
    QItemSelectionModel* sel = f.DBGridData->selectionModel();
    const QItemSelection earlier = sel->selection();
    f.syncGridToRecordset(general::gintCurCol);
    sel->select(earlier, QItemSelectionModel::Select);
    const QModelIndex row = f.gridModel()->index(int(rs->absolutePosition()), 0);
    sel->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    return QString::fromLocal8Bit(e.what());
}

bool isKey(QEvent* event, int key)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int k = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return)
        return k == Qt::Key_Return || k == Qt::Key_Enter;
    return k == key;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

void showReferenceHelp(qint64 id)
{
    ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kReferenceHelp));
    ContextIDs::ShowHelpContext(id);
}

// ---- the replace function of the working connection -------------------------------

// Replace All on a text column: a result longer than the column holds
// leaves the value as it was and is counted, as a typed value the column
// cannot hold is refused.
struct TextReplace {
    int maxLength = 0;   ///< 0: no limit (a memo)
    qint64 refused = 0;
};

void sqlReplaceNoCase(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto text = [](sqlite3_value* v) {
        return jet::textFromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    };
    const QString out = workbench::replaceIgnoringCase(text(argv[0]), text(argv[1]), text(argv[2]));
    if (out.isEmpty()) {
        sqlite3_result_null(ctx);   // as the grid stores an emptied cell
        return;
    }
    auto* r = static_cast<TextReplace*>(sqlite3_user_data(ctx));
    if (r && r->maxLength > 0 && out.size() > r->maxLength) {
        ++r->refused;
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const QByteArray utf8 = jet::utf8OfText(out);
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString literal(const QString& text) { return QLatin1Char('"') + general::Double_Quotes(text) + QLatin1Char('"'); }

// Replace All on a number, date or Yes/No column: each value's text as the
// grid's editor shows it has the text replaced, and the result is stored as
// typing it into the cell would store it. A result the column cannot hold
// leaves the value as it was and is counted.
struct TypedReplace {
    int type = 0;
    QString find;
    QString replacement;
    qint64 refused = 0;
    qint64 changed = 0;
};

jet::Value storedValue(sqlite3_value* v, int type)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        if (type == jet::dbBoolean)
            return jet::Value(sqlite3_value_int64(v) != 0);
        if (type == jet::dbCurrency)   // the stored count of ten-thousandths
            return jet::Value(jet::Currency{sqlite3_value_int64(v)});
        return jet::Value(static_cast<long long>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: return jet::Value(sqlite3_value_double(v));
    default: {
        const QString text = jet::textFromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        if (type == jet::dbDate)
            if (const auto d = jet::parseStoredDate(text))
                return jet::Value(*d);
        return jet::Value(text);
    }
    }
}

void resultOf(sqlite3_context* ctx, const jet::Value& v)
{
    switch (v.kind()) {
    case jet::Kind::Null: sqlite3_result_null(ctx); break;
    case jet::Kind::Bool: sqlite3_result_int(ctx, v.toBool() ? -1 : 0); break;
    case jet::Kind::Long: sqlite3_result_int64(ctx, v.toLong()); break;
    case jet::Kind::Double: sqlite3_result_double(ctx, v.toDouble()); break;
    case jet::Kind::Currency: {
        // The amount's digits: the write into the column reads them exactly.
        const QByteArray u = jet::currencyText(v.currency()).toLatin1();
        sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        break;
    }
    case jet::Kind::Date:
    case jet::Kind::Text: {
        const QByteArray u = jet::utf8OfText(v.kind() == jet::Kind::Date ? jet::storedDate(v.toDate()) : *v.textPtr());
        sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

void sqlReplaceTyped(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* r = static_cast<TypedReplace*>(sqlite3_user_data(ctx));
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const jet::Value before = storedValue(argv[0], r->type);
    const QString shown = before.kind() == jet::Kind::Double && std::isfinite(before.toDouble())
                              ? jet::sqlNumber(before.toDouble())
                              : before.toString();
    const QString after = workbench::replaceIgnoringCase(shown, r->find, r->replacement);
    if (after == shown) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    try {
        resultOf(ctx, after.isEmpty() ? jet::Value() : jet::coerce(jet::Value(after), r->type));
        ++r->changed;
    } catch (const jet::JetError&) {
        ++r->refused;
        sqlite3_result_value(ctx, argv[0]);
    }
}

// ---- the pop-up menu ----------------------------------------------------------------

void showFind(bool modal)
{
    frmFind& d = frmFind::instance();
    nameColumn(d, QStringLiteral("Find on: "));
    workbench::present(d, modal);
}

void popupFind()
{
    frmFind& d = frmFind::instance();
    nameColumn(d, QStringLiteral("Find on: "));
    if (frmdataform* f = form())
        d.txtsearch->setText(cellText(*f));
    workbench::present(d, false);
}

void openReplace(bool modal)
{
    frmReplace& d = frmReplace::instance();
    nameColumn(d, QStringLiteral("Replace on: "));
    if (frmdataform* f = form())
        d.txtsearch->setText(cellText(*f));
    workbench::present(d, modal);
}

void openFilter(bool modal)
{
    frmFilter& d = frmFilter::instance();
    nameColumn(d, QStringLiteral("Filter on: "));
    if (frmdataform* f = form())
        d.txtFilter->setText(cellText(*f, Qt::EditRole));
    workbench::present(d, modal);
}

void runMainCommand(const char* name)
{
    if (MDIMain* m = MDIMain::loaded())
        if (QAction* a = m->command(QString::fromLatin1(name)))
            a->trigger();
}

QMenu* buildMenu(QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("test2"), parent);
    menu->setObjectName(QStringLiteral("test2"));
    auto add = [menu](const char* name, const QString& caption, const QString& shortcut, std::function<void()> run) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty())
            a->setShortcut(QKeySequence(shortcut));
        a->setShortcutVisibleInContextMenu(true);
        QObject::connect(a, &QAction::triggered, menu, std::move(run));
    };
    auto separator = [menu](const char* name) { menu->addSeparator()->setObjectName(QString::fromLatin1(name)); };
    auto onForm = [](void (frmdataform::*m)()) {
        return [m] {
            if (frmdataform* f = form())
                (f->*m)();
        };
    };
    add("mnucut", QStringLiteral("Cut"), QStringLiteral("Ctrl+X"), gridedit::mnucut_Click);
    add("mnuCopy", QStringLiteral("Copy"), QStringLiteral("Ctrl+C"), gridedit::mnuCopy_Click);
    add("mnuPaste", QStringLiteral("Paste"), QStringLiteral("Ctrl+V"), gridedit::mnuPaste_Click);
    separator("space8");
    add("mnuAscending", QStringLiteral("Sort Ascending"), {}, [] {
        if (frmdataform* f = form())
            f->sortOnCurrentColumn(true);
    });
    add("mnudescending", QStringLiteral("Sort Descending"), {}, [] {
        if (frmdataform* f = form())
            f->sortOnCurrentColumn(false);
    });
    separator("SPACE1");
    add("mnufind", QStringLiteral("Find"), QStringLiteral("Ctrl+F"), popupFind);
    add("mnureplace", QStringLiteral("Replace"), QStringLiteral("Ctrl+R"), [] { openReplace(false); });
    add("mnufilter", QStringLiteral("Filter"), {}, [] { openFilter(false); });
    separator("space3");
    add("delrow", QStringLiteral("&Delete Row"), QStringLiteral("Ctrl+D"), gridedit::delrow_Click);
    separator("space3a");
    add("mnuSpell", QStringLiteral("Spelling..."), QStringLiteral("F7"), [] { runMainCommand("mnuspell"); });
    add("mnuSpellManager", QStringLiteral("Spelling Manager"), {},
        [] { listeditors::showEditor(QStringLiteral("frmSpellManager"), owner(), false); });
    separator("mnuspace10");
    add("mnufirst", QStringLiteral("Move First Record"), {}, onForm(&frmdataform::moveFirstRecord));
    add("mnuLast", QStringLiteral("Move Last Record"), {}, onForm(&frmdataform::moveLastRecord));
    separator("space4");
    add("mnurefresh", QStringLiteral("Filter Off"), {}, [] {
        if (MDIMain* m = MDIMain::loaded())
            m->refreshgrids();
    });
    // The shortcuts are shown only: the main window's menu items own the keys.
    for (QAction* a : menu->actions())
        a->setShortcutContext(Qt::WidgetShortcut);
    menu->actions().last()->setEnabled(false);   // Filter Off, until a filter is set
    return menu;
}

} // namespace

// ---- frmbitmaps -----------------------------------------------------------------------

namespace frmbitmaps {

QMenu* test2() { return gMenu.data(); }

QAction* item(const QString& name)
{
    if (!gMenu)
        return nullptr;
    for (QAction* a : gMenu->actions())
        if (a->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return a;
    return nullptr;
}

} // namespace frmbitmaps

// ---- clipboard and Delete Row ------------------------------------------------------

namespace gridedit {

void mnuCopy_Click()
{
    frmdataform* f = form();
    if (!f || !currentCell(*f).isValid())
        return;
    QString text = cellText(*f, Qt::EditRole);   // a cut and paste keeps every digit
    // Only the space counts as a blank: tabs and line breaks stay.
    qsizetype b = 0, e = text.size();
    while (b < e && text.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && text.at(e - 1) == QLatin1Char(' '))
        --e;
    text = text.mid(b, e - b);
    ui::clearClipboard();
    ui::setClipboardText(text);
}

void mnucut_Click()
{
    frmdataform* f = form();
    if (!f || !currentCell(*f).isValid())
        return;
    mnuCopy_Click();
    setCellText(*f, QString());
}

void mnuPaste_Click()
{
    if (frmdataform* f = form())
        setCellText(*f, ui::clipboardText());
}

void delrow_Click()
{
    frmdataform* f = form();
    if (!f || gRowJustDeleted)
        return;
    const QModelIndex cur = currentCell(*f);
    const jet::Recordset* rs = f->Data1->Recordset();
    workbench::GridModel* m = f->gridModel();
    if (!cur.isValid() || !rs || !rs->updatable() || m->isAddRow(cur.row()))
        return;
    f->endGridEdit();
    if (m->deleteRecord(cur.row()))
        gRowJustDeleted = true;
}

} // namespace gridedit

// ---- frmFilter ---------------------------------------------------------------------------

frmFilter& frmFilter::instance()
{
    if (!gFilter)
        gFilter = new frmFilter(owner());
    return *gFilter;
}

frmFilter* frmFilter::loaded() { return gFilter; }

frmFilter::frmFilter(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFilter"));
    setAttribute(Qt::WA_DeleteOnClose);
    lblfield = new QLabel(QStringLiteral("Filter on:"), this);
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    cmdfilter = button(QStringLiteral("cmdfilter"), QStringLiteral("F&il&ter"), this);
    btnCancelFind = button(QStringLiteral("btnCancelFind"), QStringLiteral("&Close"), this);
    cmdhelp = button(QStringLiteral("cmdhelp"), QStringLiteral("&Help"), this);
    auto* v = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(lblfield);
    row->addWidget(txtFilter, 1);
    v->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdfilter);
    buttons->addWidget(btnCancelFind);
    buttons->addWidget(cmdhelp);
    v->addLayout(buttons);
    connect(cmdfilter, &QPushButton::clicked, this, &frmFilter::cmdfilter_Click);
    connect(btnCancelFind, &QPushButton::clicked, this, &frmFilter::btnCancelFind_Click);
    connect(cmdhelp, &QPushButton::clicked, this, [] { showReferenceHelp(90); });
    txtFilter->installEventFilter(this);

    // The load: the caption names the column and the grid's column is taken.
    nameColumn(*this, QStringLiteral("Filter on: "));
    if (frmdataform* f = form())
        f->syncGridToRecordset(takeCurrentColumn(*f));
}

frmFilter::~frmFilter()
{
    if (gFilter == this)
        gFilter = nullptr;
}

bool frmFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtFilter) {
        if (isKey(event, Qt::Key_Escape)) {
            btnCancelFind_Click();
            return true;
        }
        if (isKey(event, Qt::Key_Return)) {
            cmdfilter_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFilter::btnCancelFind_Click() { close(); }

void frmFilter::cmdfilter_Click()
{
    try {
        frmdataform* f = form();
        const jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
        if (!rs || rs->fieldCount() == 0)
            throw jet::JetError(91, QStringLiteral("Object variable or With block variable not set"));
        const QModelIndex cur = f->DBGridData->currentIndex();
        const int col = std::clamp(cur.isValid() ? cur.column() : 0, 0, rs->fieldCount() - 1);
        bool unknown = false;
        const QString condition =
            workbench::filterCondition(rs->field(col).name, rs->field(col).type, txtFilter->text(), unknown);
        if (unknown) {
            ui::msgBox(QStringLiteral("Unknown data type."), ui::vbCritical | ui::vbOKOnly);
            return;
        }
        general::gstrFilter = condition;
        MDIMain& m = MDIMain::instance();
        m.Refresh_DataTbl();
        m.FilterON();
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
    }
}

// ---- frmFind -------------------------------------------------------------------------------

frmFind& frmFind::instance()
{
    if (!gFind)
        gFind = new frmFind(owner());
    return *gFind;
}

frmFind* frmFind::loaded() { return gFind; }

frmFind::frmFind(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFind"));
    setAttribute(Qt::WA_DeleteOnClose);
    txtsearch = new QLineEdit(this);
    txtsearch->setObjectName(QStringLiteral("txtsearch"));
    matchtype = new QComboBox(this);
    matchtype->setEditable(true);
    matchtype->addItems({QStringLiteral("Exact Match"), QStringLiteral("Any Part"), QStringLiteral("Start of")});
    matchtype->setCurrentText(QStringLiteral("Any Part"));
    cmbdirection = new QComboBox(this);
    cmbdirection->setEditable(true);
    cmbdirection->addItems({QStringLiteral("Down"), QStringLiteral("Up")});
    cmbdirection->setCurrentText(QStringLiteral("Down"));
    chksoundslike = new QCheckBox(QStringLiteral("Sounds Like"), this);
    cmdfind = button(QStringLiteral("cmdfind"), QStringLiteral("&Find Next"), this);
    btnCancelFind = button(QStringLiteral("btnCancelFind"), QStringLiteral("&Close"), this);
    cmdfilter = button(QStringLiteral("cmdfilter"), QStringLiteral("&Replace"), this);
    cmdhelp = button(QStringLiteral("cmdhelp"), QStringLiteral("&Help"), this);

    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral("Find What:"), this), 0, 0);
    g->addWidget(txtsearch, 0, 1, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("Match:"), this), 1, 0);
    g->addWidget(matchtype, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("Direction:"), this), 1, 2);
    g->addWidget(cmbdirection, 1, 3);
    g->addWidget(chksoundslike, 2, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdfind, btnCancelFind, cmdfilter, cmdhelp})
        buttons->addWidget(b);
    buttons->addStretch();
    g->addLayout(buttons, 0, 4, 3, 1);

    connect(cmdfind, &QPushButton::clicked, this, &frmFind::cmdfind_Click);
    connect(btnCancelFind, &QPushButton::clicked, this, &frmFind::btnCancelFind_Click);
    connect(cmdfilter, &QPushButton::clicked, this, &frmFind::cmdfilter_Click);
    connect(cmdhelp, &QPushButton::clicked, this, [] { showReferenceHelp(70); });
    txtsearch->installEventFilter(this);
    chksoundslike->installEventFilter(this);
    nameColumn(*this, QStringLiteral("Find on: "));
}

frmFind::~frmFind()
{
    if (gFind == this)
        gFind = nullptr;
}

bool frmFind::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtsearch || watched == chksoundslike) {
        if (isKey(event, Qt::Key_Escape)) {
            btnCancelFind_Click();
            return true;
        }
        if (isKey(event, Qt::Key_Return)) {
            cmdfind_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFind::btnCancelFind_Click()
{
    hide();
    txtsearch->clear();
}

void frmFind::cmdfilter_Click()
{
    general::gstrReplaceFind = txtsearch->text();
    close();
    frmReplace& r = frmReplace::instance();
    workbench::present(r, false);
}

void frmFind::cmdfind_Click()
{
    if (chksoundslike->isChecked()) {
        FindSoundsLike();
        return;
    }
    const QString mode = matchtype->currentText();
    if (mode == QLatin1String("Exact Match"))
        findPattern(int(workbench::FindMode::Exact));
    else if (mode == QLatin1String("Any Part"))
        findPattern(int(workbench::FindMode::AnyPart));
    else if (mode == QLatin1String("Start of"))
        findPattern(int(workbench::FindMode::StartOf));
}

void frmFind::findPattern(int mode)
{
    ui::setPointer(this, ui::Pointer::Hourglass);
    try {
        frmdataform* f = form();
        jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
        if (!rs || rs->fieldCount() == 0)
            throw jet::JetError(91, QStringLiteral("Object variable or With block variable not set"));
        const int col = std::min(takeCurrentColumn(*f), rs->fieldCount() - 1);
        const QString condition =
            workbench::findCondition(workbench::FindMode(mode), rs->field(col).name, txtsearch->text());
        const QString direction = cmbdirection->currentText();
        // A direction that is neither makes no search.
        if (direction == QLatin1String("Down") || direction == QLatin1String("Up")) {
            if (direction == QLatin1String("Down"))
                rs->findNext(condition);
            else
                rs->findPrevious(condition);
            if (rs->noMatch())
                ui::msgBox(QStringLiteral("No Matches Found"), ui::vbExclamation | ui::vbOKOnly);
            else
                selectCurrentRow(*f);
        }
    } catch (const std::exception& e) {
        ui::setPointer(this, ui::Pointer::Default);
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
        return;
    }
    ui::setPointer(this, ui::Pointer::Default);
}

void frmFind::FindSoundsLike()
{
    ui::setPointer(this, ui::Pointer::Hourglass);
    frmdataform* f = form();
    jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
    const bool up = cmbdirection->currentText() == QLatin1String("Up");
    const auto noMore = [this, up] {
        ui::msgBox(up ? QStringLiteral("No Matches") : QStringLiteral("No More Matches"), ui::vbExclamation | ui::vbOKOnly);
        ui::setPointer(this, ui::Pointer::Arrow);
    };
    if (!rs || rs->fieldCount() == 0) {
        noMore();
        return;
    }
    const QString wanted = workbench::Soundex(txtsearch->text());
    const int col = std::min(takeCurrentColumn(*f), rs->fieldCount() - 1);
    const long n = rs->recordCount();
    // The position alone drives the scan: -1 before the first record, n past the last.
    long pos = rs->absolutePosition();
    if (pos < 0)
        pos = rs->eof() ? n : -1;
    if (n == 0)
        pos = up ? -1 : 0;
    QString text;
    for (;;) {
        if (up ? pos < 0 : pos >= n) {
            // Leave the recordset beyond the end it ran off.
            if (n > 0) {
                try {
                    if (up) {
                        rs->moveFirst();
                        rs->movePrevious();
                    } else {
                        rs->moveLast();
                        rs->moveNext();
                    }
                } catch (const std::exception&) {
                }
            }
            noMore();
            return;
        }
        try {
            const jet::Value v = rs->rowAt(pos)[size_t(col)];
            if (!v.isNull())
                text = v.toString();   // a Null cell keeps the text read before it
            if (workbench::Soundex(text) == wanted)
                break;
        } catch (const std::exception&) {
        }
        pos += up ? -1 : 1;
    }
    rs->setAbsolutePosition(pos);
    selectCurrentRow(*f);
    try {
        if (up)
            rs->movePrevious();
        else
            rs->moveNext();
    } catch (const std::exception&) {
    }
    ui::setPointer(this, ui::Pointer::Arrow);
}

// ---- frmReplace ----------------------------------------------------------------------------

namespace {

/// Replaces find in every value of the column of field (a number, date or
/// Yes/No column) on the rows the grid shows, in one statement. Returns how
/// many values kept what they held because the column refused the new text.
long replaceInCells(frmdataform& f, const jet::Recordset::Field& field, const QString& find, const QString& replacement)
{
    jet::Database& db = f.Data1->Database();
    TypedReplace r{field.type, find, replacement};
    const QString target = QLatin1Char('[') + field.sourceColumn + QLatin1Char(']');
    QString sql = QStringLiteral("UPDATE tblData SET %1 = qb_replace_typed(%1) WHERE %1 IS NOT NULL").arg(target);
    if (!general::gstrFilter.isEmpty())
        sql += QStringLiteral(" AND (") + general::gstrFilter + QLatin1Char(')');
    {
        const jet::ScopedFunction replace(db.connection().handle(), "qb_replace_typed", 1, &r, sqlReplaceTyped);
        db.execute(sql, jet::dbFailOnError);
    }
    if (r.changed > 0) {
        db.connection().bump();
        f.gridModel()->refreshRows();
        f.Reset_Dupe_Counts();
        f.Reset_AdozIvidor();
    }
    return long(r.refused);
}

} // namespace

frmReplace& frmReplace::instance()
{
    if (!gReplace)
        gReplace = new frmReplace(owner());
    return *gReplace;
}

frmReplace* frmReplace::loaded() { return gReplace; }

frmReplace::frmReplace(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReplace"));
    setAttribute(Qt::WA_DeleteOnClose);
    txtsearch = new QLineEdit(this);
    txtsearch->setObjectName(QStringLiteral("txtsearch"));
    txtNew = new QLineEdit(this);
    txtNew->setObjectName(QStringLiteral("txtNew"));
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("&Find Next"), this);
    cmdreplace = button(QStringLiteral("cmdreplace"), QStringLiteral("&Replace"), this);
    cmdReplaceAll = button(QStringLiteral("cmdReplaceAll"), QStringLiteral("Re&place All"), this);
    btnCancelFind = button(QStringLiteral("btnCancelFind"), QStringLiteral("&Close"), this);
    lblreplacewait = new QLabel(QStringLiteral("Please Wait...Replacing Characters"), this);
    lblreplacewait->hide();

    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral("Find What:"), this), 0, 0);
    g->addWidget(txtsearch, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Replace WIth:"), this), 1, 0);
    g->addWidget(txtNew, 1, 1);
    g->addWidget(lblreplacewait, 2, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {Command2, cmdreplace, cmdReplaceAll, btnCancelFind})
        buttons->addWidget(b);
    buttons->addStretch();
    g->addLayout(buttons, 0, 2, 3, 1);

    connect(Command2, &QPushButton::clicked, this, &frmReplace::Command2_Click);
    connect(cmdreplace, &QPushButton::clicked, this, &frmReplace::cmdreplace_Click);
    connect(cmdReplaceAll, &QPushButton::clicked, this, &frmReplace::cmdReplaceAll_Click);
    connect(btnCancelFind, &QPushButton::clicked, this, &frmReplace::btnCancelFind_Click);

    nameColumn(*this, QStringLiteral("Replace on: "));
    txtsearch->setText(general::gstrReplaceFind);
}

frmReplace::~frmReplace()
{
    if (gReplace == this)
        gReplace = nullptr;
}

void frmReplace::btnCancelFind_Click() { close(); }

void frmReplace::cmdreplace_Click()
{
    frmdataform* f = form();
    if (!f || !currentCell(*f).isValid())
        return;
    setCellText(*f, workbench::replaceIgnoringCase(cellText(*f, Qt::EditRole), txtsearch->text(), txtNew->text()));
}

void frmReplace::cmdReplaceAll_Click()
{
    ui::setPointer(this, ui::Pointer::Hourglass);
    lblreplacewait->show();
    long refused = 0;
    try {
        frmdataform* f = form();
        jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
        if (!rs)
            throw jet::JetError(91, QStringLiteral("Object variable or With block variable not set"));
        if (rs->recordCount() > 0 && rs->fieldCount() > 0) {
            f->endGridEdit();
            const int col = std::min(takeCurrentColumn(*f), rs->fieldCount() - 1);
            const jet::Recordset::Field& field = rs->field(col);
            const bool text = field.type == jet::dbText || field.type == jet::dbMemo;
            if (text && rs->updatable() && !field.sourceColumn.isEmpty()) {
                if (!txtsearch->text().isEmpty()) {
                    // One statement over the rows the grid shows: its filter, if any.
                    jet::Database& db = f->Data1->Database();
                    TextReplace counted{field.type == jet::dbText ? field.size : 0};
                    const jet::ScopedFunction replace(db.connection().handle(), "qb_replace_nocase", 3, &counted,
                                                      sqlReplaceNoCase);
                    const QString target = QLatin1Char('[') + field.sourceColumn + QLatin1Char(']');
                    QString sql = QStringLiteral("UPDATE tblData SET %1 = qb_replace_nocase(%1, %2, %3) "
                                                 "WHERE InStr(1, %1, %2, 1) > 0")
                                      .arg(target, literal(txtsearch->text()), literal(txtNew->text()));
                    if (!general::gstrFilter.isEmpty())
                        sql += QStringLiteral(" AND (") + general::gstrFilter + QLatin1Char(')');
                    db.execute(sql, jet::dbFailOnError);
                    refused = long(counted.refused);
                    db.connection().bump();
                    f->gridModel()->refreshRows();
                    f->Reset_Dupe_Counts();
                    f->Reset_AdozIvidor();
                }
            } else if (!txtsearch->text().isEmpty() && rs->updatable() && !field.sourceColumn.isEmpty()) {
                // Each value as typing the new text would store it; a value
                // the column cannot hold is counted, not shown one by one.
                refused = replaceInCells(*f, field, txtsearch->text(), txtNew->text());
            }
            rs->moveFirst();
            f->syncGridToRecordset(col);
        }
    } catch (const std::exception& e) {
        ui::setPointer(this, ui::Pointer::Default);
        lblreplacewait->hide();
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
        return;
    }
    lblreplacewait->hide();
    ui::setPointer(this, ui::Pointer::Default);
    if (refused > 0)
        ui::msgBox(QStringLiteral("%1 value%2 could not be replaced: the column cannot hold the new text.")
                       .arg(refused)
                       .arg(refused == 1 ? QString() : QStringLiteral("s")),
                   ui::vbExclamation | ui::vbOKOnly);
    else
        ui::msgBox(QStringLiteral("Complete"), ui::vbExclamation | ui::vbOKOnly);
}

void frmReplace::Command2_Click()
{
    ui::setPointer(this, ui::Pointer::Hourglass);
    try {
        frmdataform* f = form();
        jet::Recordset* rs = f ? f->Data1->Recordset() : nullptr;
        if (!rs || rs->fieldCount() == 0)
            throw jet::JetError(91, QStringLiteral("Object variable or With block variable not set"));
        const int col = std::min(takeCurrentColumn(*f), rs->fieldCount() - 1);
        rs->findNext(workbench::findCondition(workbench::FindMode::Exact, rs->field(col).name, txtsearch->text()));
        if (rs->noMatch())
            ui::msgBox(QStringLiteral("No Matches Found"), ui::vbExclamation);
        else
            selectCurrentRow(*f);
    } catch (const std::exception& e) {
        ui::setPointer(this, ui::Pointer::Default);
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
        return;
    }
    ui::setPointer(this, ui::Pointer::Default);
}

// ---- installation --------------------------------------------------------------------------

namespace workbench {

QString takeNamedColumn(frmdataform& f)
{
    // The column a header click named (gstrCurColumn) becomes the grid's
    // current column first, in the same row, so that the column a caption
    // names is the one the command acts on: the commands work on the grid's
    // current column.
    QString name = general::gstrCurColumn;
    const jet::Recordset* rs = f.Data1->Recordset();
    const QModelIndex cur = f.DBGridData->currentIndex();
    const int at = rs && !name.isEmpty() ? rs->fieldIndex(name) : -1;
    if (at >= 0 && (!cur.isValid() || cur.column() != at)) {
        const QModelIndex target = f.gridModel()->index(cur.isValid() ? cur.row() : 0, at);
        if (target.isValid())
            f.DBGridData->setCurrentIndex(target);
    } else if (at < 0 && rs && cur.isValid() && cur.column() < rs->fieldCount()) {
        name = rs->field(cur.column()).name;
    }
    return name;
}


void present(QDialog& d, bool modal)
{
    if (!d.isVisible())
        d.setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    d.show();
    d.raise();
    d.activateWindow();
}


void installGridTools(frmdataform& form)
{
    if (!gMenu)
        gMenu = buildMenu(&form);
    QObject::connect(&form, &frmdataform::gridContextMenu, gMenu.data(), [](const QPoint& p) {
        if (gMenu)
            gMenu->popup(p);
    });
    QObject::connect(form.DBGridData->selectionModel(), &QItemSelectionModel::currentChanged, &form, [&form] {
        gRowJustDeleted = false;
        followColumn(gFilter, QStringLiteral("Filter on: "), form);
        followColumn(gFind, QStringLiteral("Find on: "), form);
        followColumn(gReplace, QStringLiteral("Replace on: "), form);
    });
    MDIMain* m = MDIMain::loaded();
    if (!m)
        return;
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"mnucut", gridedit::mnucut_Click},
        {"mnucopy", gridedit::mnuCopy_Click},
        {"mnuPaste", gridedit::mnuPaste_Click},
        {"delrow", gridedit::delrow_Click},
        {"mnufind", [] { showFind(true); }},
        {"Toolbar1:15", [] { showFind(false); }},
        {"Toolbar2:8", [] { showFind(false); }},
        {"mnureplace", [] { openReplace(true); }},
        {"mnufilter", [] { openFilter(true); }},
    };
    for (const auto& [name, run] : commands)
        if (QAction* a = m->command(QString::fromLatin1(name)))
            QObject::connect(a, &QAction::triggered, &form, run);
}

} // namespace workbench
