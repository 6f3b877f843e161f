// The workbench window. Its load is the list's opening: check and key
// tblData, build the grid's column list, load the settings lists, rebuild the
// work tables and bind the grid; any failure shows its reason and unloads the
// window again. The tab handler shows one page at a time and switches the main
// window's data commands; the grid's events keep the shared grid position and
// the status text current.
//
// Pages are Qt layouts, not fixed positions: every frame fills the area below
// the tab strip and follows the window's size, so nothing has to be placed
// again on a resize.
#include "workbench/frmdataform.h"
#include "workbench/toolpages.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"
#include "workbench/gridsplits.h"
#include "workbench/gridview.h"
#include "workbench/opening.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace {

frmdataform* gInstance = nullptr;

const QString kChooseColumn = QStringLiteral("Please Choose a Column");
const QString kErrorTitle = QStringLiteral("Lumacor Quillabrand Pro Error");

/// A reason of our own for leaving the opening, shown like an engine error.
class Refusal : public std::runtime_error {
public:
    explicit Refusal(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    if (const auto* r = dynamic_cast<const Refusal*>(&e))
        return r->text();
    return QString::fromLocal8Bit(e.what());
}

/// Twips as pixels at the 15 twips per pixel of the screens the sizes were made for.
int px(int twips) { return twips / 15; }

/// The style of the workbench's tab strip. The style pads each caption
/// generously; when the eight captions would then not fit the strip, the
/// padding shrinks (down to one average character) so that every tab stays in
/// sight at the window's designed size instead of hiding behind scroll arrows.
class TabStripStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        const int padding = QProxyStyle::pixelMetric(metric, option, widget);
        const auto* bar = qobject_cast<const QTabBar*>(widget);
        if (metric != PM_TabBarTabHSpace || !bar || bar->count() == 0)
            return padding;
        const QFontMetrics fm = bar->fontMetrics();
        int text = 0;
        for (int i = 0; i < bar->count(); ++i)
            text += fm.horizontalAdvance(bar->tabText(i));
        const int fits = (bar->width() - text) / bar->count() - 2;
        return std::clamp(fits, fm.averageCharWidth(), padding);
    }
};

void setComboText(QComboBox* c, const QString& text)
{
    c->setCurrentIndex(-1);
    c->setEditText(text);
}

QComboBox* makeCombo(QWidget* parent, const QString& name)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& title = QString())
{
    auto* f = new QGroupBox(title, parent);
    f->setObjectName(name);
    if (title.isEmpty())
        f->setFlat(true);
    return f;
}

template <class W>
W* named(W* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

using workbench::GridView;

QLabel* label(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

void setCommand(const QString& name, bool on)
{
    if (MDIMain* m = MDIMain::loaded())
        if (QAction* a = m->command(name))
            a->setEnabled(on);
}

} // namespace

// ---- instance ---------------------------------------------------------------------

frmdataform& frmdataform::instance()
{
    if (!gInstance) {
        auto* f = new frmdataform;
        gInstance = f;
        if (!f->Form_Load()) {
            // The failed opening unloads the window again; callers may still
            // hold the reference for this turn of the event loop.
            bool cancel = false;
            f->Form_Unload(cancel);
            f->unloaded_ = true;
            gInstance = nullptr;
            f->hide();
            f->deleteLater();
            return *f;
        }
    }
    return *gInstance;
}

frmdataform* frmdataform::loaded() { return gInstance; }

bool frmdataform::unload()
{
    frmdataform* f = gInstance;
    if (!f)
        return true;
    bool cancel = false;
    f->Form_Unload(cancel);
    if (cancel)
        return false;
    f->unloaded_ = true;
    gInstance = nullptr;
    delete f;
    return true;
}

frmdataform::frmdataform(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmdataform"));
    Data1 = new workbench::DataControl(this);
    Data2 = new workbench::DataControl(this);
    Adodc1 = new workbench::DataControl(this);
    Adodc2 = new workbench::DataControl(this);
    buildPages();
    workbench::installToolPages(*this);
    orderTabs();
}

void frmdataform::orderTabs()
{
    // The Tab key walks each page as it reads: top to bottom, left to right.
    // The controls are made in several places, so the order is set here once
    // they all exist; a name not found is left out.
    const auto chain = [this](const QStringList& names) {
        QWidget* last = nullptr;
        for (const QString& name : names) {
            QWidget* w = findChild<QWidget*>(name);
            if (!w)
                continue;
            if (last)
                QWidget::setTabOrder(last, w);
            last = w;
        }
    };
    const auto numbered = [](const QString& stem, int count) {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << stem + QString::number(i);
        return out;
    };
    // Statistics: the scores, the choice and its columns, then the chart's controls.
    chain({QStringLiteral("flex1"), QStringLiteral("Combo1"), QStringLiteral("lstleft"), QStringLiteral("cmdMove"),
           QStringLiteral("cmdMoveAll"), QStringLiteral("cmdBack"), QStringLiteral("cmdBackAll"),
           QStringLiteral("lstRight"), QStringLiteral("GraphCombo"), QStringLiteral("cmdrefresh")});
    // The distinct values, then the Case Converter, Text Cleaner or Column Cleaner beside them.
    chain({QStringLiteral("cmbColumn1"), QStringLiteral("cmdColumnRefresh"), QStringLiteral("txtFilter"),
           QStringLiteral("chkSpecial"), QStringLiteral("chkAlpha"), QStringLiteral("chkNumeric"),
           QStringLiteral("chkPunc"), QStringLiteral("chkOther"), QStringLiteral("cmdDefine"), QStringLiteral("lstMain"),
           QStringLiteral("txtMain"), QStringLiteral("opt1"), QStringLiteral("opt2"), QStringLiteral("opt4"),
           QStringLiteral("cmdPrefixes"), QStringLiteral("cmdExceptions"), QStringLiteral("cmdChangeCase"),
           QStringLiteral("Check1"), QStringLiteral("Check2"), QStringLiteral("Check3"), QStringLiteral("Check4"),
           QStringLiteral("Check4A"), QStringLiteral("Check4B"), QStringLiteral("Check4C"), QStringLiteral("Check5"),
           QStringLiteral("Check5A"), QStringLiteral("Check5B"), QStringLiteral("Check5C"), QStringLiteral("Check5D"),
           QStringLiteral("cmdTextClean"), QStringLiteral("cmdSelectOld"), QStringLiteral("lstOld"),
           QStringLiteral("txtOld"), QStringLiteral("cmdSelectNew"), QStringLiteral("txtNew"), QStringLiteral("cmdConvert")});
    // E-mail Cleaner: the valid addresses on the left, the invalid ones on the right.
    QStringList email{QStringLiteral("cmbColumn2"), QStringLiteral("cmdEMailRefresh")};
    email << numbered(QStringLiteral("chk"), 7) << numbered(QStringLiteral("txtFilter_Email"), 7);
    email << QStringLiteral("lstEMailCounts") << QStringLiteral("txtEMailDistinct") << QStringLiteral("cmdccTLDs")
          << QStringLiteral("cmdgTLDs") << QStringLiteral("txtEmail_Nof_Records") << QStringLiteral("DataGrid1")
          << QStringLiteral("cmdFilterInvalid") << QStringLiteral("cmdUseSuggestions") << QStringLiteral("cmdRemoveInvalid");
    chain(email);
    // Near-duplicate search.
    chain({QStringLiteral("cmbColumn1A"), QStringLiteral("cmbSearchType"), QStringLiteral("cmbMinLen"),
           QStringLiteral("cmbMaxLen"), QStringLiteral("txtFilterA"), QStringLiteral("cmdShow"),
           QStringLiteral("DataRepeater1"), QStringLiteral("txtPairs"), QStringLiteral("txtTooLong"),
           QStringLiteral("cmdClear"), QStringLiteral("cmdConvert2")});
    // Dupe Remover: all columns, then chosen columns, then the groups found.
    chain({QStringLiteral("txtCountA1"), QStringLiteral("cmdRefresh1"), QStringLiteral("txtCountA2"),
           QStringLiteral("cmdRemov1"), QStringLiteral("cmdHelp1"), QStringLiteral("lstLeft2"), QStringLiteral("cmdMove2"),
           QStringLiteral("cmdMoveAll2"), QStringLiteral("cmdBack2"), QStringLiteral("cmdBackAll2"),
           QStringLiteral("lstRight2"), QStringLiteral("txtCountB1"), QStringLiteral("cmdRefresh2"),
           QStringLiteral("txtCountB2"), QStringLiteral("cmdRemov2"), QStringLiteral("cmdHelp2"), QStringLiteral("flxDupes")});
}

frmdataform::~frmdataform()
{
    // The splits watch the grid's events; they go while the form is still
    // whole, before the grid's own destruction sends its last events.
    delete workbench::GridSplits::of(*this);
    if (gInstance == this)
        gInstance = nullptr;
}

void frmdataform::closeEvent(QCloseEvent* event)
{
    if (unloaded_ || unloading_) {
        event->accept();
        return;
    }
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    unloaded_ = true;
    if (gInstance == this)
        gInstance = nullptr;
    event->accept();
    deleteLater();
}

// ---- layout -----------------------------------------------------------------------

void frmdataform::buildPages()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(px(75), px(75), px(75), px(75));
    outer->setSpacing(0);

    tab1 = named(new QTabBar(this), QStringLiteral("tab1"));
    auto* tabStyle = new TabStripStyle;
    tabStyle->setParent(tab1);
    tab1->setStyle(tabStyle);
    tab1->setExpanding(false);
    tab1->setDrawBase(true);
    const struct { const char* caption; const char* tip; } tabs[] = {
        {"Data Table ", "View and Edit your datafiles."},
        {"Statistics ", "The Statistics Module will identify missing data."},
        {"Case Converter ", "Convert entire column contents into UPPER, lower, or Proper Case."},
        {"Text Cleaner ", "Removes unwanted characters from text columns."},
        {"Column Cleaner ", "The Column Cleaner Module is for finding and correcting discrepancies."},
        {"E-Mail Cleaner", "The Email Cleaner Module will identify inaccurate email addresses."},
        {"Dodozed Adoz Ividor ", "The Dodozed Adoz Ividor Module is an advanced duplication finder."},
        {"Dupe Remover", "The Dupe Remover Module is for finding and removing duplications."},
    };
    for (const auto& t : tabs) {
        const int i = tab1->addTab(QString::fromLatin1(t.caption));
        tab1->setTabToolTip(i, QString::fromLatin1(t.tip));
    }
    outer->addWidget(tab1);

    pageArea_ = new QWidget(this);
    auto* pages = new QVBoxLayout(pageArea_);
    pages->setContentsMargins(0, px(50), 0, 0);
    outer->addWidget(pageArea_, 1);

    // Data Table: the grid.
    DBGridData = named(new GridView(pageArea_), QStringLiteral("DBGridData"));
    model_ = new workbench::GridModel(Data1, this);
    DBGridData->setModel(model_);
    DBGridData->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridData->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGridData->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                | QAbstractItemView::AnyKeyPressed);
    DBGridData->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGridData->setWordWrap(false);
    DBGridData->verticalHeader()->setDefaultSectionSize(DBGridData->fontMetrics().height() + 6);
    DBGridData->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGridData->verticalHeader()->setMinimumWidth(px(300));
    DBGridData->horizontalHeader()->setDefaultSectionSize(px(1800));
    // A header press selects nothing and moves no cell: it only names the column.
    DBGridData->horizontalHeader()->setSectionsClickable(false);
    DBGridData->horizontalHeader()->viewport()->installEventFilter(this);
    setGridFiltered(false);
    pages->addWidget(DBGridData);
    connect(DBGridData->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex&, const QModelIndex&) { DBGridData_RowColChange(); });
    connect(DBGridData, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { emit gridContextMenu(DBGridData->viewport()->mapToGlobal(p)); });
    connect(model_, &workbench::GridModel::dataError, this, [this](int n, const QString&) { DBGridData_Error(n); });
    connect(model_, &workbench::GridModel::rowDeleted, this, &frmdataform::DBGridData_Recount);
    connect(model_, &workbench::GridModel::rowInserted, this, &frmdataform::DBGridData_Recount);
    // Any change the grid stores makes both duplicate tools' results stale.
    connect(model_, &workbench::GridModel::rowUpdated, this, [this] {
        Reset_Dupe_Counts();
        Reset_AdozIvidor();
    });

    // Statistics: the score grid and the column choosers above, the chart below.
    frmstats = makeFrame(pageArea_, QStringLiteral("frmstats"), QStringLiteral("Statistics"));
    {
        auto* v = new QVBoxLayout(frmstats);
        auto* top = new QHBoxLayout;
        auto* left = new QVBoxLayout;
        flex1 = named(new QTableWidget(frmstats), QStringLiteral("flex1"));
        flex1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        flex1->verticalHeader()->hide();
        // The name takes the room the score leaves, so both fit the table.
        flex1->setColumnCount(3);
        flex1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
        flex1->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        lblscore = named(label(QString(), frmstats), QStringLiteral("lblscore"));
        left->addWidget(flex1, 1);
        left->addWidget(lblscore);
        auto* right = new QVBoxLayout;
        Combo1 = makeCombo(frmstats, QStringLiteral("Combo1"));
        auto* lists = new QHBoxLayout;
        lstleft = named(new QListWidget(frmstats), QStringLiteral("lstleft"));
        lstRight = named(new QListWidget(frmstats), QStringLiteral("lstRight"));
        lists->addWidget(lstleft);
        lists->addWidget(lstRight);
        right->addWidget(Combo1);
        right->addLayout(lists, 1);
        auto* rightBox = new QWidget(frmstats);
        rightBox->setLayout(right);
        rightBox->setFixedWidth(px(6700) - px(400));
        top->addLayout(left, 1);
        top->addWidget(rightBox);
        v->addLayout(top, 1);
        MSChart1 = named(new QWidget(frmstats), QStringLiteral("MSChart1"));
        MSChart1->setMinimumHeight(px(3000));
        v->addWidget(MSChart1, 1);
    }
    pages->addWidget(frmstats);

    // Distinct values, with the Case Converter, Text Cleaner or Column Cleaner beside them.
    frDistinctValues = makeFrame(pageArea_, QStringLiteral("frDistinctValues"));
    {
        auto* h = new QHBoxLayout(frDistinctValues);
        h->setContentsMargins(px(100), 0, 0, 0);
        auto* left = new QWidget(frDistinctValues);
        left->setFixedWidth(px(5250) - px(100));
        auto* lv = new QVBoxLayout(left);
        lv->setContentsMargins(0, 0, 0, 0);
        cmbColumn1 = makeCombo(left, QStringLiteral("cmbColumn1"));
        // The distinct-values panel gives the list its model and columns.
        lstMain = named(new QTableView(left), QStringLiteral("lstMain"));
        txtMain = named(new QLineEdit(left), QStringLiteral("txtMain"));
        txtMain->setReadOnly(true);
        lv->addWidget(cmbColumn1);
        lv->addWidget(lstMain, 1);
        auto* count = new QHBoxLayout;
        count->addWidget(label(QStringLiteral("Distinct values:"), left));
        count->addWidget(txtMain);
        lv->addLayout(count);
        h->addWidget(left);

        frCaseConv = makeFrame(frDistinctValues, QStringLiteral("frCaseConv"));
        frTextClean = makeFrame(frDistinctValues, QStringLiteral("frTextClean"));
        frColumnClean = makeFrame(frDistinctValues, QStringLiteral("frColumnClean"));
        {
            auto* g = new QGridLayout(frColumnClean);
            lstOld = named(new QTreeWidget(frColumnClean), QStringLiteral("lstOld"));
            lstOld->setRootIsDecorated(false);
            lstOld->setHeaderLabels({QStringLiteral("Old Values")});
            lstOld->setMinimumHeight(px(2825));
            Label7 = named(label(QStringLiteral("Values:"), frColumnClean), QStringLiteral("Label7"));
            txtOld = named(new QLineEdit(frColumnClean), QStringLiteral("txtOld"));
            txtOld->setReadOnly(true);
            Label4 = named(label(QStringLiteral("New Value:"), frColumnClean), QStringLiteral("Label4"));
            txtNew = named(new QLineEdit(frColumnClean), QStringLiteral("txtNew"));
            cmdSelectNew = named(new QPushButton(QStringLiteral("Select"), frColumnClean), QStringLiteral("cmdSelectNew"));
            g->addWidget(lstOld, 0, 0, 1, 3);
            g->addWidget(Label7, 1, 0);
            g->addWidget(txtOld, 1, 1);
            g->addWidget(Label4, 2, 0);
            g->addWidget(txtNew, 2, 1);
            g->addWidget(cmdSelectNew, 2, 2);
            g->setRowStretch(3, 1);
        }
        for (QGroupBox* t : {frCaseConv, frTextClean, frColumnClean})
            h->addWidget(t, 1);
    }
    pages->addWidget(frDistinctValues);

    // E-mail Cleaner.
    frEMailClean = makeFrame(pageArea_, QStringLiteral("frEMailClean"));
    {
        auto* g = new QGridLayout(frEMailClean);
        g->setContentsMargins(px(100), 0, 0, 0);
        cmbColumn2 = makeCombo(frEMailClean, QStringLiteral("cmbColumn2"));
        lstEMail = named(new QTreeWidget(frEMailClean), QStringLiteral("lstEMail"));
        lstEMail->setRootIsDecorated(false);
        DataGrid1 = named(new QTableView(frEMailClean), QStringLiteral("DataGrid1"));
        auto* pick = new QWidget(frEMailClean);
        auto* pv = new QVBoxLayout(pick);
        pv->setContentsMargins(0, 0, 0, 0);
        pv->addWidget(cmbColumn2);
        pv->addWidget(lstEMail, 1);
        pick->setFixedWidth(px(5250) - px(100));
        g->addWidget(pick, 0, 0);
        g->addWidget(DataGrid1, 0, 1);
        g->setColumnStretch(1, 1);
    }
    pages->addWidget(frEMailClean);

    // Near-duplicate search.
    frAdozIvidor = makeFrame(pageArea_, QStringLiteral("frAdozIvidor"));
    {
        auto* v = new QVBoxLayout(frAdozIvidor);
        v->setContentsMargins(px(350), 0, 0, 0);
        auto* row = new QHBoxLayout;
        cmbColumn1A = makeCombo(frAdozIvidor, QStringLiteral("cmbColumn1A"));
        cmbSearchType = makeCombo(frAdozIvidor, QStringLiteral("cmbSearchType"));
        lblSearch_Results = named(label(QString(), frAdozIvidor), QStringLiteral("lblSearch_Results"));
        row->addWidget(cmbColumn1A);
        row->addWidget(cmbSearchType);
        row->addWidget(lblSearch_Results, 1);
        v->addLayout(row);
        DataRepeater1 = named(new QTableView(frAdozIvidor), QStringLiteral("DataRepeater1"));
        v->addWidget(DataRepeater1, 1);
        auto* below = new QHBoxLayout;
        lblPairs = named(label(QStringLiteral("Pairs :"), frAdozIvidor), QStringLiteral("lblPairs"));
        txtPairs = named(new QLineEdit(QStringLiteral("0"), frAdozIvidor), QStringLiteral("txtPairs"));
        txtPairs->setReadOnly(true);
        txtPairs->setFixedWidth(px(1200));
        lblDoubleClick = named(label(QStringLiteral("Double click next to the value you want to convert"), frAdozIvidor),
                               QStringLiteral("lblDoubleClick"));
        lblDoubleClick->hide();
        cmdConvert2 = named(new QPushButton(QStringLiteral("Convert"), frAdozIvidor), QStringLiteral("cmdConvert2"));
        cmdConvert2->setEnabled(false);
        below->addWidget(lblPairs);
        below->addWidget(txtPairs);
        below->addWidget(lblDoubleClick, 1);
        below->addWidget(cmdConvert2);
        v->addLayout(below);
    }
    pages->addWidget(frAdozIvidor);

    // Dupe Remover.
    frDupes = makeFrame(pageArea_, QStringLiteral("frDupes"), QStringLiteral("Dupe Remover"));
    {
        auto* h = new QHBoxLayout(frDupes);
        auto* choose = new QVBoxLayout;
        auto* lists = new QHBoxLayout;
        lstLeft2 = named(new QListWidget(frDupes), QStringLiteral("lstLeft2"));
        lstRight2 = named(new QListWidget(frDupes), QStringLiteral("lstRight2"));
        lists->addWidget(lstLeft2);
        lists->addWidget(lstRight2);
        choose->addLayout(lists, 1);
        auto* counts = new QGridLayout;
        txtCountA1 = named(new QLineEdit(frDupes), QStringLiteral("txtCountA1"));
        txtCountA2 = named(new QLineEdit(frDupes), QStringLiteral("txtCountA2"));
        txtCountB1 = named(new QLineEdit(frDupes), QStringLiteral("txtCountB1"));
        txtCountB2 = named(new QLineEdit(frDupes), QStringLiteral("txtCountB2"));
        cmdRemov1 = named(new QPushButton(QStringLiteral("Remove"), frDupes), QStringLiteral("cmdRemov1"));
        cmdRemov2 = named(new QPushButton(QStringLiteral("Remove"), frDupes), QStringLiteral("cmdRemov2"));
        for (QLineEdit* e : {txtCountA1, txtCountA2, txtCountB1, txtCountB2})
            e->setReadOnly(true);
        counts->addWidget(txtCountA1, 0, 0);
        counts->addWidget(txtCountA2, 0, 1);
        counts->addWidget(cmdRemov1, 0, 2);
        counts->addWidget(txtCountB1, 1, 0);
        counts->addWidget(txtCountB2, 1, 1);
        counts->addWidget(cmdRemov2, 1, 2);
        choose->addLayout(counts);
        auto* chooseBox = new QWidget(frDupes);
        chooseBox->setLayout(choose);
        chooseBox->setFixedWidth(px(6000));
        flxDupes = named(new QTableView(frDupes), QStringLiteral("flxDupes"));
        flxDupes->setEditTriggers(QAbstractItemView::NoEditTriggers);
        h->addWidget(chooseBox);
        h->addWidget(flxDupes, 1);
    }
    pages->addWidget(frDupes);

    for (QGroupBox* f : {frmstats, frCaseConv, frEMailClean, frDupes, frTextClean, frColumnClean, frAdozIvidor, frDistinctValues})
        f->hide();

    connect(tab1, &QTabBar::currentChanged, this, [this](int) { tab1_Click(); });
}

// ---- opening ----------------------------------------------------------------------

bool frmdataform::Form_Load()
{
    using namespace general;
    QWidget* main = MDIMain::loaded();
    ui::setPointer(main, ui::Pointer::Hourglass);
    ui::setPointer(this, ui::Pointer::Hourglass);
    try {
        const QString settings = programFolder() + QStringLiteral("/Settings");
        if (!QDir(settings).exists())
            QDir().mkpath(settings);

        const QString dbPath = gstrWorkDBPath.isEmpty() ? programFolder() + QStringLiteral("/sysfls.sys") : gstrWorkDBPath;
        dbWork = jet::Database::open(dbPath);

        const QString refusal = workbench::columnRefusal(workbench::listColumns(dbWork));
        if (!refusal.isEmpty())
            throw Refusal(refusal);
        workbench::appendKey(dbWork);
        if (gstrImportType == QLatin1String("dbf") && workbench::splitHiddenFields() > 0)
            throw Refusal(QStringLiteral("Could not split hidden Act! fields."));

        const std::vector<workbench::Column> cols = workbench::listColumns(dbWork);
        gstrFieldList = workbench::buildFieldList(cols);
        const int userCols = int(cols.size()) - 1;   // the key is last

        txtMain->setText(QStringLiteral("0"));
        cmbColumn1->clear();
        for (int i = 0; i < userCols; ++i)
            cmbColumn1->addItem(cols[size_t(i)].name);
        setComboText(cmbColumn1, kChooseColumn);

        txtOld->setText(QStringLiteral("0"));
        workbench::loadSpecChars(settings + QStringLiteral("/SpecChars.txt"));
        workbench::loadList(settings + QStringLiteral("/PreFixes.txt"), gstrPrefixes);
        workbench::loadList(settings + QStringLiteral("/Exceptions.txt"), gstrExceptions);
        workbench::loadList(settings + QStringLiteral("/gTLDs.txt"), gstrGTLDs);

        cmbColumn2->clear();
        for (int i = 0; i < userCols; ++i)
            if (cols[size_t(i)].type == jet::dbText || cols[size_t(i)].type == jet::dbMemo)
                cmbColumn2->addItem(cols[size_t(i)].name);
        setComboText(cmbColumn2, kChooseColumn);

        workbench::loadCountryCodes(settings + QStringLiteral("/ccTLDs.txt"));

        Adodc2->setDatabaseName(dbPath);
        Adodc2->setRecordSource(QStringLiteral("tblEMails"));
        QFont f = DataGrid1->font();
        f.setPointSize(10);
        DataGrid1->setFont(f);
        Adodc1->setDatabaseName(dbPath);
        Adodc1->setRecordSource(QStringLiteral("tblSpecSearch1"));
        DataRepeater1->setModel(nullptr);

        cmbColumn1A->clear();
        for (int i = 0; i < userCols; ++i)
            cmbColumn1A->addItem(cols[size_t(i)].name);
        setComboText(cmbColumn1A, kChooseColumn);
        cmbSearchType->clear();
        cmbSearchType->addItem(QStringLiteral("1 character difference"));
        cmbSearchType->addItem(QStringLiteral("missing character"));
        setComboText(cmbSearchType, QStringLiteral("Please Choose"));

        if (!workbench::rebuildWorkTables(dbWork))
            throw Refusal(QStringLiteral("Could not delete internal tables."));

        gintFileOpen = 1;
        setWindowTitle(gstrSourceFile);

        Data1->setDatabaseName(dbPath);
        Data2->setDatabaseName(dbPath);
        Data1->setRecordSource(workbench::wholeListSource(gstrFieldList));
        Data1->Refresh();
        jet::Recordset* rs = Data1->Recordset();
        glngTotalRecords = rs->recordCount();
        if (glngTotalRecords > 0)
            rs->moveFirst();

        gstrFieldNames.fill(QString());
        lstLeft2->clear();
        for (int i = 1; i <= rs->fieldCount() && i < int(gstrFieldNames.size()); ++i) {
            gstrFieldNames[size_t(i)] = rs->field(i - 1).name;
            lstLeft2->addItem(rs->field(i - 1).name);
        }
        if (lstLeft2->count() > 0)
            lstLeft2->setCurrentRow(0);
        lstRight2->clear();
        // The group list starts empty: its model (the Dupe Remover page's) has no rows yet.
        lblSearch_Results->clear();

        gstrFilter.clear();
        gstrSortOrder.clear();
        appliedFilter_.clear();
        appliedSort_.clear();
        gblnNewImport = false;

        // The e-mail grid shows its work table once it exists again.
        Adodc2->Refresh();
        auto* emails = new workbench::GridModel(Adodc2, DataGrid1);
        emails->setAllowAddNew(false);
        DataGrid1->setModel(emails);
        DataGrid1->setColumnHidden(1, true);

        {
            const QSignalBlocker block(tab1);
            tab1->setCurrentIndex(0);
        }
        tab1_Click();
        syncGridToRecordset(0);
        // Columns as wide as the first screen's values need (the view measures
        // only the rows it shows), within reason.
        DBGridData->resizeColumnsToContents();
        for (int c = 0; c < model_->columnCount(); ++c)
            DBGridData->setColumnWidth(c, std::clamp(DBGridData->columnWidth(c), px(1200), px(4500)));

        // The Records menu's sort and move commands act on this grid.
        if (MDIMain* m = MDIMain::loaded()) {
            const std::pair<const char*, std::function<void()>> commands[] = {
                {"mnuascending", [this] { sortOnCurrentColumn(true); }},
                {"mnudesc", [this] { sortOnCurrentColumn(false); }},
                {"mnufirst", [this] { moveFirstRecord(); }},
                {"mnulast", [this] { moveLastRecord(); }},
            };
            for (const auto& [name, run] : commands)
                if (QAction* a = m->command(QString::fromLatin1(name)))
                    connect(a, &QAction::triggered, this, run);
        }

        workbench::fillCountryTable(dbWork);
    } catch (const std::exception& e) {
        ui::setPointer(main, ui::Pointer::Default);
        ui::setPointer(this, ui::Pointer::Default);
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
        return false;
    }
    ui::setPointer(main, ui::Pointer::Default);
    ui::setPointer(this, ui::Pointer::Default);
    return true;
}

// ---- closing ----------------------------------------------------------------------

void frmdataform::Form_Unload(bool& cancel)
{
    using namespace general;
    // A job that is running works on this list and its windows.
    if (ui::jobRunning()) {
        ui::showJobWait();
        cancel = true;
        return;
    }
    unloading_ = true;
    try {
        if (!gblnNewImport) {
            const int answer = ui::msgBox(QStringLiteral("Do you want to export the changes you made to '") + gstrFileName
                                              + QStringLiteral("'"),
                                          ui::vbYesNo | ui::vbExclamation, QStringLiteral("Lumacor Quillabrand Pro"));
            if (answer == ui::vbYes && (!MDIMain::loaded() || MDIMain::instance().ExportFile())) {
                cancel = true;
                unloading_ = false;
                return;
            }
        }
        if (MDIMain* m = MDIMain::loaded())
            m->FilterOFF();
        lstRight2->clear();
        lstLeft2->clear();
        lstRight->clear();
        lstleft->clear();
        if (MDIMain* m = MDIMain::loaded())
            m->disable();
        gintStatsReady = 0;
        gintFileOpen = 0;
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbOKOnly);
        cancel = true;
        unloading_ = false;
        return;
    }
    // The recordsets hold tblData and the work tables: an import that follows
    // must be able to drop them.
    DataGrid1->setModel(nullptr);
    Data1->closeDatabase();
    Data2->closeDatabase();
    Adodc1->closeDatabase();
    Adodc2->closeDatabase();
    dbWork.close();
    unloading_ = false;
    // The main window as with no list open: no frame, its own caption, no counts.
    if (MDIMain* m = MDIMain::loaded())
        m->workbenchClosed();
}

// ---- tab strip --------------------------------------------------------------------

void frmdataform::fillColumnPicker(QComboBox* combo, bool textOnly)
{
    const std::vector<workbench::Column> cols = workbench::listColumns(general::dbWork);
    const QString text = combo->currentText();
    combo->clear();
    for (int i = 0; i + 1 < int(cols.size()); ++i)
        if (!textOnly || cols[size_t(i)].type == jet::dbText)
            combo->addItem(cols[size_t(i)].name);
    const int at = combo->findText(text);
    if (at >= 0)
        combo->setCurrentIndex(at);
    else
        setComboText(combo, text);
}

void frmdataform::tab1_Click()
{
    using namespace general;
    // The page shown stays while a job runs: switching would reach the list.
    static const char* const kShown = "shownTab";
    if (ui::jobRunning()) {
        const QSignalBlocker keep(tab1);
        tab1->setCurrentIndex(tab1->property(kShown).toInt());
        return;
    }
    tab1->setProperty(kShown, tab1->currentIndex());
    const int page = tab1->currentIndex() + 1;
    QGroupBox* const frames[] = {frmstats, frCaseConv, frEMailClean, frDupes, frTextClean, frColumnClean, frAdozIvidor, frDistinctValues};
    try {
        if (page == 1) {
            if (MDIMain* m = MDIMain::loaded()) {
                m->enable();
                if (m->panelText(2).left(9) == QLatin1String("Filter ON")) {
                    setCommand(QStringLiteral("Toolbar1:21"), true);
                    setCommand(QStringLiteral("Toolbar2:15"), true);
                }
            }
            DBGridData->setVisible(true);
            for (QGroupBox* f : frames)
                f->setVisible(false);
            model_->refreshRows();
            return;
        }
        if (page < 2 || page > 8)
            return;
        if (MDIMain* m = MDIMain::loaded())
            m->disable();
        endGridEdit();
        model_->refreshRows();
        DBGridData->setVisible(false);
        auto own = [&](QGroupBox* f) {
            switch (page) {
            case 2: return f == frmstats;
            case 3: return f == frCaseConv || f == frDistinctValues;
            case 4: return f == frTextClean || f == frDistinctValues;
            case 5: return f == frColumnClean || f == frDistinctValues;
            case 6: return f == frEMailClean;
            case 7: return f == frAdozIvidor;
            default: return f == frDupes;
            }
        };
        for (QGroupBox* f : frames)
            f->setVisible(own(f));

        jet::Recordset* rs = Data1->Recordset();
        switch (page) {
        case 2:
            gintFieldCount = rs ? rs->fieldCount() : 0;
            if (gintStatsReady == 0) {
                flex1->clear();
                flex1->setColumnCount(3);
                flex1->setRowCount(lstRight->count());
                flex1->setHorizontalHeaderLabels({QString(), QStringLiteral("Column Name"), QStringLiteral("Score")});
                flex1->setColumnHidden(0, true);
                flex1->setColumnWidth(1, px(4027));
                flex1->setColumnWidth(2, px(1420));
                for (int i = 1; i <= gintFieldCount && i < int(gstrFieldNames.size()); ++i) {
                    gstrFieldNames[size_t(i)] = rs->field(i - 1).name;
                    lstRight->addItem(rs->field(i - 1).name);
                }
                if (lstRight->count() > 0)
                    lstRight->setCurrentRow(0);
                setComboText(Combo1, QStringLiteral("Please Choose Statistics"));
            }
            gintStatsReady = 1;
            break;
        case 3:
        case 4:
        case 5:
            fillColumnPicker(cmbColumn1, page != 5);
            break;
        case 7:
            fillColumnPicker(cmbColumn1A, false);
            break;
        case 8:
            gintFieldCount = rs ? rs->fieldCount() : 0;
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbExclamation | ui::vbOKOnly);
    }
}

// ---- record source ----------------------------------------------------------------

bool frmdataform::refreshDataTable()
{
    using namespace general;
    endGridEdit();
    Data1->setRecordSource(workbench::recordSource(gstrFieldList, gstrFilter, gstrSortOrder));
    if (!gstrFilter.isEmpty() && tab1->currentIndex() != 0)
        tab1->setCurrentIndex(0);   // runs the tab handler for the Data Table page
    const int col = currentGridColumn();
    try {
        Data1->Refresh();
    } catch (const std::exception& e) {
        gstrFilter = appliedFilter_;
        gstrSortOrder = appliedSort_;
        refreshRefused_ = true;
        ui::msgBox(describe(e), ui::vbOKOnly);
        return false;
    }
    appliedFilter_ = gstrFilter;
    appliedSort_ = gstrSortOrder;
    refreshRefused_ = false;
    syncGridToRecordset(col);
    return true;
}

void frmdataform::showWholeList()
{
    endGridEdit();
    Data1->setRecordSource(workbench::wholeListSource(general::gstrFieldList));
    try {
        Data1->Refresh();
        appliedFilter_.clear();
        appliedSort_ = general::gstrSortOrder;   // not shown, but the next refresh sorts by it again
    } catch (const std::exception&) {
    }
    refreshRefused_ = false;
}

bool frmdataform::takeRefusedRefresh()
{
    const bool was = refreshRefused_;
    refreshRefused_ = false;
    return was;
}

// ---- tools' shared procedures -------------------------------------------------------

void frmdataform::Reset_Dupe_Counts()
{
    for (QLineEdit* e : {txtCountA1, txtCountA2, txtCountB1, txtCountB2})
        e->clear();
    cmdRemov1->setEnabled(false);
    cmdRemov2->setEnabled(false);
}

void frmdataform::Reset_AdozIvidor()
{
    // The review list shows tblSpecSearch1 through Adodc1; without a model it
    // shows no rows until the next search binds it again.
    DataRepeater1->setModel(nullptr);
    txtPairs->setText(QStringLiteral("0"));
    lblDoubleClick->hide();
    cmdConvert2->setEnabled(false);
}

// ---- grid -------------------------------------------------------------------------

void frmdataform::setGridFiltered(bool filtered)
{
    QPalette p = DBGridData->palette();
    p.setColor(QPalette::Base, filtered ? QColor(0xFF, 0xFF, 0xC0) : QColor(Qt::white));
    DBGridData->setPalette(p);
}

bool frmdataform::gridFiltered() const { return DBGridData->palette().color(QPalette::Base) != QColor(Qt::white); }

int frmdataform::currentGridColumn() const
{
    const QModelIndex cur = DBGridData->currentIndex();
    return cur.isValid() ? cur.column() : 0;
}

void frmdataform::endGridEdit()
{
    static_cast<GridView*>(DBGridData)->endEdit();
    if (workbench::GridSplits* s = workbench::GridSplits::of(*this))
        s->endEdits();
}

void frmdataform::syncGridToRecordset(int column)
{
    const jet::Recordset* rs = Data1->Recordset();
    if (column < 0)
        column = currentGridColumn();
    if (!rs || model_->columnCount() == 0)
        return;
    const long pos = rs->absolutePosition();
    const int row = pos >= 0 ? int(pos) : 0;
    if (row >= model_->rowCount())
        return;
    column = std::clamp(column, 0, model_->columnCount() - 1);
    const QModelIndex target = model_->index(row, column);
    if (target == DBGridData->currentIndex())
        DBGridData_RowColChange();   // same cell, new count: the status text follows
    else
        DBGridData->setCurrentIndex(target);
}

void frmdataform::sortOnCurrentColumn(bool ascending)
{
    const jet::Recordset* rs = Data1->Recordset();
    if (!rs || rs->fieldCount() == 0)
        return;
    const int col = std::clamp(currentGridColumn(), 0, rs->fieldCount() - 1);
    general::gstrSortOrder = workbench::sortOrder(rs->field(col).name, ascending);
    if (MDIMain* m = MDIMain::loaded())
        m->Refresh_DataTbl();
}

void frmdataform::moveFirstRecord()
{
    jet::Recordset* rs = Data1->Recordset();
    if (!rs || rs->recordCount() == 0)
        return;
    rs->moveFirst();
    syncGridToRecordset();
}

void frmdataform::moveLastRecord()
{
    jet::Recordset* rs = Data1->Recordset();
    if (!rs || rs->recordCount() == 0)
        return;
    rs->moveLast();
    syncGridToRecordset();
    DBGridData->scrollTo(DBGridData->currentIndex());
}

void frmdataform::writeStatus()
{
    if (MDIMain* m = MDIMain::loaded())
        m->setPanelText(1, workbench::statusText(general::glngTotalRecords, general::gstrCurColumn, general::glngCurRow));
}

void frmdataform::DBGridData_RowColChange()
{
    const QModelIndex cur = DBGridData->currentIndex();
    jet::Recordset* rs = Data1->Recordset();
    if (!cur.isValid() || !rs)
        return;
    general::gintCurCol = cur.column();
    if (model_->isAddRow(cur.row())) {
        general::glngCurRow = 0;   // the empty row for a new record has no position
    } else {
        try {
            rs->setAbsolutePosition(cur.row());
        } catch (const jet::JetError&) {
        }
        general::glngCurRow = rs->absolutePosition() + 1;
    }
    if (cur.column() < rs->fieldCount())
        general::gstrCurColumn = rs->field(cur.column()).name;
    writeStatus();
}

void frmdataform::DBGridData_HeadClick(int colIndex)
{
    jet::Recordset* rs = Data1->Recordset();
    gintHeadCol = colIndex;
    if (!rs)
        return;
    general::glngCurRow = rs->absolutePosition() + 1;
    if (colIndex >= 0 && colIndex < rs->fieldCount())
        general::gstrCurColumn = rs->field(colIndex).name;
    writeStatus();
}

void frmdataform::DBGridData_Error(int dataError)
{
    const jet::Recordset* rs = Data1->Recordset();
    const int col = general::gintCurCol;
    const bool isLong = rs && col >= 0 && col < rs->fieldCount() && rs->field(col).type == jet::dbLong;
    QString text;
    if (dataError == workbench::kErrDeleteMultiple)
        text = QStringLiteral("Sorry, cannot delete multiple rows.");
    else if (dataError == workbench::kErrInvalidValue)
        text = isLong ? QStringLiteral("This Column is an AutoNumber and cannot be changed.") : QStringLiteral("Sorry, cannot enter that Value.");
    else
        text = QStringLiteral("Sorry, cannot perfom that Operation.");
    ui::msgBox(text, ui::vbExclamation | ui::vbOKOnly, kErrorTitle);
    if (dataError != workbench::kErrDeleteMultiple)
        model_->refreshRows();   // show the stored values again
}

void frmdataform::DBGridData_Recount()
{
    if (const jet::Recordset* rs = Data1->Recordset())
        general::glngTotalRecords = rs->recordCount();
    // The status bar's total follows a deleted or added row at once, not at
    // the next move.
    writeStatus();
    Reset_Dupe_Counts();
    Reset_AdozIvidor();
}

bool frmdataform::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGridData->horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            const int col = DBGridData->horizontalHeader()->logicalIndexAt(me->position().toPoint());
            if (col >= 0)
                DBGridData_HeadClick(col);
        }
    }
    return QWidget::eventFilter(watched, event);
}
