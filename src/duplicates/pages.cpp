// The Dupe Remover and near-duplicate pages of the workbench.
//
// Dupe Remover: records identical on ALL columns, or on the columns moved
// into the "Selected" list, are counted (distinct combinations and records a
// removal would delete), their groups listed in tblDupes_AllX and shown in
// flxDupes, and removed on request, keeping the lowest key of each group.
// dupes:: does the counting and the removal; this file only drives it. The
// group list is the grid model over Data2's recordset, so a list with half a
// million groups costs the recordset's keys and the rows on screen.
//
// Near-duplicate finder: the column, the search type, the length range and an
// optional LIKE pattern go to neardup::runNearSearch; its pairs land in
// tblSpecSearch1, which the review list shows through Adodc1's recordset. A
// tick beside a value writes "X" (or "") into its Convert1/Convert2 through
// the recordset, by the row's key. The record of the search is kept beside
// the list, so the conversion knows which column the pairs belong to.
//
// Both searches let events through (the progress bar moves); while one runs
// the page's buttons are off and a second click is ignored, so two runs never
// mix the work tables.
//
// One state object per workbench window, a child of the window, found by name.
#include "duplicates/pages.h"

#include "app/contextids.h"
#include "app/mdimain.h"
#include "app/programfiles.h"
#include "cleaning/pages.h"
#include "common/general.h"
#include "common/progress.h"
#include "duplicates/dupe_remover.h"
#include "duplicates/page_parts.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"
#include "workbench/progressbar.h"
#include "workbench/toolpages.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace duplicates {
namespace {

const QString kStateName = QStringLiteral("duplicatesPages");
const QString kChooseColumn = QStringLiteral("Please Choose a Column");
const QString kChooseType = QStringLiteral("Please Choose");
const QString kOneDifferent = QStringLiteral("1 character difference");
const QString kMissing = QStringLiteral("missing character");
const QString kSearch = QStringLiteral("Search");
const QString kRemove = QStringLiteral("Remove Records");
const QString kGroupsSource = QStringLiteral(" SELECT  * FROM tblDupes_AllX");

/// Twips as pixels, at the 15 twips per pixel the sizes were drawn for.
int px(int twips) { return twips / 15; }

template <class W>
W* named(W* w, const QString& name, const QString& tip = QString())
{
    w->setObjectName(name);
    if (!tip.isEmpty())
        w->setToolTip(tip);
    return w;
}

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    return QString::fromLocal8Bit(e.what());
}

/// A count as the boxes show it: the locale's thousands separator, no decimals.
QString countText(qint64 n) { return QLocale().toString(qlonglong(n)); }

QString workDbPath()
{
    return general::gstrWorkDBPath.isEmpty() ? general::programFolder() + QStringLiteral("/sysfls.sys")
                                             : general::gstrWorkDBPath;
}

// ---- the review list ----------------------------------------------------------------

/// tblSpecSearch1 as the review list shows it, read row by row from Adodc1's
/// recordset: value, count and mark of each side of a pair.
class PairModel : public QAbstractTableModel {
public:
    enum Col { Value1, Count1, Mark1, Value2, Count2, Mark2, ColumnCount };

    PairModel(workbench::DataControl* data, QObject* parent) : QAbstractTableModel(parent), data_(data)
    {
        connect(data_, &workbench::DataControl::recordsetReplaced, this, [this] {
            beginResetModel();
            endResetModel();
        });
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        const jet::Recordset* rs = data_->Recordset();
        return parent.isValid() || !rs ? 0 : int(rs->recordCount());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return section + 1;
        switch (section) {
        case Value1:
        case Value2: return QStringLiteral("Column Value");
        case Count1:
        case Count2: return QStringLiteral("Count");
        default: return QStringLiteral("Convert");
        }
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const jet::Recordset* rs = data_->Recordset();
        if (!rs || !index.isValid() || index.row() >= rs->recordCount())
            return {};
        const int col = index.column();
        try {
            const std::vector<jet::Value>& row = rs->rowAt(index.row());
            if (col == Mark1 || col == Mark2) {
                if (role != Qt::CheckStateRole)
                    return {};
                return marked(row, col) ? Qt::Checked : Qt::Unchecked;
            }
            if (role == Qt::TextAlignmentRole && (col == Count1 || col == Count2))
                return int(Qt::AlignRight | Qt::AlignVCenter);
            if (role != Qt::DisplayRole)
                return {};
            const jet::Value& v = row[size_t(fieldOf(rs, col))];
            return v.isNull() ? QVariant() : QVariant(v.toString());
        } catch (const std::exception&) {
            return {};   // the table went away under the list
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (index.column() == Mark1 || index.column() == Mark2)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::CheckStateRole || (index.column() != Mark1 && index.column() != Mark2))
            return false;
        return setMark(index.row(), index.column(), value.toInt() == Qt::Checked);
    }

    /// Writes "X" or "" into the row's mark of col, by the row's key.
    bool setMark(int row, int col, bool on)
    {
        jet::Recordset* rs = data_->Recordset();
        if (!rs || row < 0 || row >= rs->recordCount())
            return false;
        try {
            rs->setAbsolutePosition(row);
            rs->edit();
            rs->setValue(col == Mark1 ? QStringLiteral("Convert1") : QStringLiteral("Convert2"),
                         jet::Value(on ? QStringLiteral("X") : QString()));
            rs->update();
        } catch (const std::exception& e) {
            try {
                rs->cancelUpdate();
            } catch (const std::exception&) {
            }
            ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
            return false;
        }
        emit dataChanged(index(row, col), index(row, col));
        return true;
    }

    bool isMarked(int row, int col) const
    {
        const jet::Recordset* rs = data_->Recordset();
        return rs && row >= 0 && row < rs->recordCount() && marked(rs->rowAt(row), col);
    }

private:
    static int fieldOf(const jet::Recordset* rs, int col)
    {
        static const char* const names[] = {"Column1", "Count1", "Convert1", "Column2", "Count2", "Convert2"};
        return rs->fieldIndex(QString::fromLatin1(names[col]));
    }
    bool marked(const std::vector<jet::Value>& row, int col) const
    {
        const jet::Value& v = row[size_t(fieldOf(data_->Recordset(), col))];
        return !v.isNull() && v.toString() == QLatin1String("X");
    }

    workbench::DataControl* data_;
};

// ---- the page state -------------------------------------------------------------------

class Pages : public QObject {
public:
    explicit Pages(frmdataform& form);

    std::optional<neardup::NearSearchRecord> shownNearSearch() const
    {
        if (!nearRecord_ || f.DataRepeater1->model() != pairs_)
            return std::nullopt;
        return nearRecord_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The watched pickers and their line edits. Events are matched against
    // these only: the form deletes the pickers before this object, while
    // other watched controls still receive their last events.
    QPointer<QObject> columnBox_, typeBox_;
    QPointer<QObject> columnEdit_, typeEdit_;

    struct Frame {
        dupes::Scope scope;
        QPushButton* search;
        QPushButton* remove;
        QLineEdit* distinct;
        QLineEdit* duplicate;
        std::optional<dupes::SearchResult> result;
    };

    void buildDupes();
    void buildNear();

    // Dupe Remover.
    void move2(QListWidget* from, QListWidget* to, bool all);
    void Set_Column_Move_Buttons2();
    void resetSelectedResults();
    Frame& frameOf(dupes::Scope s) { return s == dupes::Scope::All ? all_ : selected_; }
    Frame& otherOf(dupes::Scope s) { return s == dupes::Scope::All ? selected_ : all_; }
    bool search(dupes::Scope scope);
    void remove(dupes::Scope scope);
    void setGroupColumnWidths();
    void setBusy(bool on);

    // Near-duplicate finder.
    void cmbColumn1A_Click();
    void followColumnCombo();
    void cmdShow_Click();
    void searchFailed(const QString& message);
    void toggleMarkAt(const QModelIndex& index);

    frmdataform& f;
    workbench::GridModel* groups_ = nullptr;
    PairModel* pairs_ = nullptr;
    bool busy_ = false;

    Frame all_{};
    Frame selected_{};
    QPushButton* cmdMove2 = nullptr;
    QPushButton* cmdMoveAll2 = nullptr;
    QPushButton* cmdBack2 = nullptr;
    QPushButton* cmdBackAll2 = nullptr;
    QPushButton* cmdHelp1 = nullptr;
    QPushButton* cmdHelp2 = nullptr;
    QProgressBar* PBarDupes = nullptr;

    QComboBox* cmbMinLen = nullptr;
    QComboBox* cmbMaxLen = nullptr;
    QLineEdit* txtFilterA = nullptr;
    QPushButton* cmdShow = nullptr;
    QProgressBar* PBar4 = nullptr;
    QLabel* lblPBar4 = nullptr;
    QLabel* lblTooLong = nullptr;
    QLineEdit* txtTooLong = nullptr;
    QString lengthsColumn_;   ///< the column whose lengths the length combos list
    std::optional<neardup::NearSearchRecord> nearRecord_;
};

Pages::Pages(frmdataform& form) : QObject(&form), f(form)
{
    setObjectName(kStateName);
    buildDupes();
    buildNear();
}

// ---- Dupe Remover: layout ------------------------------------------------------------

void Pages::buildDupes()
{
    QGroupBox* page = f.frDupes;
    // The workbench placed the shared controls in a first layout; they move
    // into this page's own, and the first one goes away.
    QWidget* oldBox = f.lstLeft2->parentWidget() != page ? f.lstLeft2->parentWidget() : nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{f.lstLeft2, f.lstRight2, f.flxDupes, f.txtCountA1, f.txtCountA2,
                                                      f.txtCountB1, f.txtCountB2, f.cmdRemov1, f.cmdRemov2,
                                                      f.lblSearch_Results})
        w->setParent(page);
    delete page->layout();
    delete oldBox;

    auto* h = new QHBoxLayout(page);
    auto* leftBox = new QWidget(page);
    leftBox->setFixedWidth(px(6600));
    auto* left = new QVBoxLayout(leftBox);
    left->setContentsMargins(0, 0, 0, 0);
    h->addWidget(leftBox);

    auto countBoxes = [&](QGridLayout* g, int row, QLineEdit* distinct, QLineEdit* duplicate, const QString& l1,
                          const QString& l2, QGroupBox* box) {
        for (QLineEdit* e : {distinct, duplicate}) {
            e->setReadOnly(true);
            e->setAlignment(Qt::AlignRight);
            e->setFixedWidth(px(1400));
        }
        g->addWidget(named(new QLabel(QStringLiteral("Distinct"), box), l1), row, 0);
        g->addWidget(distinct, row, 1);
        g->addWidget(named(new QLabel(QStringLiteral("Duplicate"), box), l2), row + 1, 0);
        g->addWidget(duplicate, row + 1, 1);
    };

    // ALL columns.
    auto* frame4 = named(new QGroupBox(page), QStringLiteral("Frame4"));
    {
        auto* v = new QVBoxLayout(frame4);
        v->addWidget(named(new QLabel(QStringLiteral("Duplicate Search Including All Columns"), frame4),
                           QStringLiteral("Label22")));
        auto* g = new QGridLayout;
        all_.search = named(new QPushButton(kSearch, frame4), QStringLiteral("cmdRefresh1"),
                            QStringLiteral("Find those records where the values in ALL columns are the same"));
        all_.remove = f.cmdRemov1;
        all_.remove->setText(kRemove);
        all_.remove->setToolTip(QStringLiteral("Remove idetical records. Please see help."));
        cmdHelp1 = named(new QPushButton(QStringLiteral("Help"), frame4), QStringLiteral("cmdHelp1"),
                         QStringLiteral("Help on Removing Identical Records."));
        all_.distinct = f.txtCountA1;
        all_.duplicate = f.txtCountA2;
        countBoxes(g, 0, all_.distinct, all_.duplicate, QStringLiteral("lblCountA1"), QStringLiteral("lblCountA2"), frame4);
        g->addWidget(all_.search, 0, 2);
        g->addWidget(all_.remove, 1, 2);
        g->addWidget(cmdHelp1, 2, 2);
        g->setColumnStretch(3, 1);
        v->addLayout(g);
    }
    left->addWidget(frame4);

    // SELECTED columns, with the chooser.
    auto* frame2 = named(new QGroupBox(QStringLiteral("Duplicate Search on Selected Columns"), page), QStringLiteral("Frame2"));
    {
        auto* v = new QVBoxLayout(frame2);
        auto* chooser = new QHBoxLayout;
        auto listColumn = [&](QListWidget* list, const QString& caption) {
            auto* c = new QVBoxLayout;
            c->addWidget(new QLabel(caption, frame2));
            list->setSelectionMode(QAbstractItemView::ExtendedSelection);
            list->setMinimumHeight(px(3000));
            c->addWidget(list, 1);
            return c;
        };
        chooser->addLayout(listColumn(f.lstLeft2, QStringLiteral("Available")), 1);
        auto* buttons = new QVBoxLayout;
        buttons->addStretch(1);
        cmdMove2 = named(new QPushButton(QStringLiteral(">"), frame2), QStringLiteral("cmdMove2"));
        cmdMoveAll2 = named(new QPushButton(QStringLiteral(">>"), frame2), QStringLiteral("cmdMoveAll2"));
        cmdBack2 = named(new QPushButton(QStringLiteral("<"), frame2), QStringLiteral("cmdBack2"));
        cmdBackAll2 = named(new QPushButton(QStringLiteral("<<"), frame2), QStringLiteral("cmdBackAll2"));
        for (QPushButton* b : {cmdMove2, cmdMoveAll2, cmdBack2, cmdBackAll2}) {
            b->setFixedWidth(px(600));
            buttons->addWidget(b);
        }
        buttons->addStretch(1);
        chooser->addLayout(buttons);
        chooser->addLayout(listColumn(f.lstRight2, QStringLiteral("Selected")), 1);
        v->addLayout(chooser, 1);

        auto* g = new QGridLayout;
        selected_.search = named(new QPushButton(kSearch, frame2), QStringLiteral("cmdRefresh2"),
                                 QStringLiteral("Find those records where the values in the SELECTED columns are the same"));
        selected_.remove = f.cmdRemov2;
        selected_.remove->setText(kRemove);
        selected_.remove->setToolTip(
            QStringLiteral("Remove duplications on selected fields by throwing away some data. Please see help."));
        cmdHelp2 = named(new QPushButton(QStringLiteral("Help"), frame2), QStringLiteral("cmdHelp2"),
                         QStringLiteral("Help on Removing Identical Data."));
        selected_.distinct = f.txtCountB1;
        selected_.duplicate = f.txtCountB2;
        countBoxes(g, 0, selected_.distinct, selected_.duplicate, QStringLiteral("Label21"), QStringLiteral("Label20"), frame2);
        g->addWidget(selected_.search, 0, 2);
        g->addWidget(selected_.remove, 1, 2);
        g->addWidget(cmdHelp2, 2, 2);
        g->setColumnStretch(3, 1);
        v->addLayout(g);
    }
    left->addWidget(frame2, 1);
    all_.scope = dupes::Scope::All;
    selected_.scope = dupes::Scope::Selected;
    for (Frame* fr : {&all_, &selected_})
        fr->remove->setEnabled(false);
    selected_.search->setEnabled(false);   // until a column is chosen

    // The groups of the last search.
    auto* right = new QVBoxLayout;
    QFont bold = f.lblSearch_Results->font();
    bold.setBold(true);
    f.lblSearch_Results->setFont(bold);
    right->addWidget(f.lblSearch_Results);
    f.flxDupes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    f.flxDupes->setSelectionBehavior(QAbstractItemView::SelectRows);
    f.flxDupes->setSelectionMode(QAbstractItemView::SingleSelection);
    f.flxDupes->setWordWrap(false);
    f.flxDupes->verticalHeader()->hide();
    f.flxDupes->verticalHeader()->setDefaultSectionSize(f.flxDupes->fontMetrics().height() + 6);
    groups_ = new workbench::GridModel(f.Data2, this);
    groups_->setAllowAddNew(false);
    f.flxDupes->setModel(groups_);
    right->addWidget(f.flxDupes, 1);
    right->addWidget(named(new QLabel(QStringLiteral("Double Click on duplicates to filter data table"), page),
                           QStringLiteral("lblSee_All_Columns")));
    PBarDupes = named(new QProgressBar(page), QStringLiteral("PBarDupes"));
    PBarDupes->setTextVisible(false);
    PBarDupes->hide();
    right->addWidget(PBarDupes);
    h->addLayout(right, 1);

    connectChooser(
        this, f.lstLeft2, f.lstRight2, {cmdMove2, cmdMoveAll2, cmdBack2, cmdBackAll2},
        [this](QListWidget* from, QListWidget* to, bool all) { move2(from, to, all); },
        [this] { Set_Column_Move_Buttons2(); });
    connect(all_.search, &QPushButton::clicked, this, [this] { search(dupes::Scope::All); });
    connect(selected_.search, &QPushButton::clicked, this, [this] { search(dupes::Scope::Selected); });
    connect(all_.remove, &QPushButton::clicked, this, [this] { remove(dupes::Scope::All); });
    connect(selected_.remove, &QPushButton::clicked, this, [this] { remove(dupes::Scope::Selected); });
    connect(cmdHelp1, &QPushButton::clicked, this, [] {
        ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kReferenceHelp));
        ContextIDs::ShowHelpContext(1150);
    });
    connect(cmdHelp2, &QPushButton::clicked, this, [] {
        ContextIDs::setHelpFile(QString::fromLatin1(ContextIDs::kReferenceHelp));
        ContextIDs::ShowHelpContext(1170);
    });
}

// ---- Dupe Remover: the chooser --------------------------------------------------------

void Pages::move2(QListWidget* from, QListWidget* to, bool all)
{
    if (from->count() == 0 || busy_)
        return;
    moveEntries(from, to, all);
    if (!all && from->count() > 0)
        from->setCurrentRow(0);
    if (to->count() > 0)
        to->setCurrentRow(0);
    Set_Column_Move_Buttons2();
    resetSelectedResults();
}

void Pages::Set_Column_Move_Buttons2()
{
    setMoveButtons({cmdMove2, cmdMoveAll2, cmdBack2, cmdBackAll2}, f.lstLeft2, f.lstRight2);
}

void Pages::resetSelectedResults()
{
    selected_.distinct->clear();
    selected_.duplicate->clear();
    // The groups on screen came from the selected columns only while their
    // removal was on offer; then they describe columns no longer chosen.
    if (selected_.remove->isEnabled()) {
        f.Data2->closeDatabase();
        f.lblSearch_Results->clear();
    }
    selected_.remove->setEnabled(false);
    selected_.result.reset();
    selected_.search->setEnabled(f.lstRight2->count() > 0);
}

// ---- Dupe Remover: search and removal ------------------------------------------------

void Pages::setBusy(bool on)
{
    busy_ = on;
    for (QPushButton* b : {all_.search, selected_.search, cmdMove2, cmdMoveAll2, cmdBack2, cmdBackAll2})
        b->setEnabled(!on);
    if (!on) {
        Set_Column_Move_Buttons2();
        selected_.search->setEnabled(f.lstRight2->count() > 0);
    }
    PBarDupes->setVisible(on);
}

bool Pages::search(dupes::Scope scope)
{
    using namespace general;
    if (busy_ || (scope == dupes::Scope::Selected && f.lstRight2->count() == 0))
        return false;
    Frame& fr = frameOf(scope);
    Frame& other = otherOf(scope);
    ui::setPointer(&f, ui::Pointer::Hourglass);
    fr.search->setText(QStringLiteral("Thinking"));
    if (cmdMove2->isEnabled())
        cmdMove2->setFocus();
    // The result table is dropped and made again: let go of it first.
    f.Data2->closeDatabase();
    setBusy(true);
    ui::doEvents();

    auto fail = [&](const QString& message) {
        setBusy(false);
        ui::setPointer(&f, ui::Pointer::Default);
        fr.search->setText(kSearch);
        f.lblSearch_Results->clear();
        ui::msgBox(message, ui::vbCritical | ui::vbOKOnly);
        return false;
    };

    std::vector<dupes::Column> columns;
    try {
        QStringList chosen;
        for (int i = 0; i < f.lstRight2->count(); ++i)
            chosen << f.lstRight2->item(i)->text();
        columns = dupes::comparedColumns(dbWork, scope, chosen);
    } catch (const std::exception& e) {
        return fail(describe(e));
    }
    workbench::BarProgress progress(PBarDupes);
    dupes::SearchResult result = dupes::searchDuplicates(dbWork, scope, columns, progress);
    if (!result.ok)
        return fail(result.error);

    fr.distinct->setText(countText(result.distinct));
    fr.duplicate->setText(countText(result.duplicate));
    fr.remove->setEnabled(result.canRemove());
    fr.result = std::move(result);
    other.distinct->clear();
    other.duplicate->clear();
    other.remove->setEnabled(false);
    other.result.reset();

    try {
        f.Data2->setDatabaseName(workDbPath());
        f.Data2->setRecordSource(kGroupsSource);
        f.Data2->Refresh();
    } catch (const std::exception& e) {
        return fail(describe(e));
    }
    setBusy(false);
    ui::setPointer(&f, ui::Pointer::Default);
    fr.search->setText(kSearch);
    f.lblSearch_Results->setText(scope == dupes::Scope::All ? QStringLiteral("Search results of ALL columns")
                                                            : QStringLiteral("Search results of SELECTED columns"));
    setGroupColumnWidths();
    return true;
}

void Pages::setGroupColumnWidths()
{
    const int cols = groups_->columnCount();
    if (cols == 0)
        return;
    f.flxDupes->setColumnWidth(0, px(1000));
    // Up to nine compared columns share the grid's width; more get a fixed width and scroll.
    const int widthTwips = f.flxDupes->viewport()->width() * 15;
    const int each = cols <= 10 && cols > 1 ? (widthTwips - 1000 - 75) / (cols - 1) : 1200;
    for (int c = 1; c < cols; ++c)
        f.flxDupes->setColumnWidth(c, std::max(px(each), px(600)));
}

void Pages::remove(dupes::Scope scope)
{
    using namespace general;
    if (busy_)
        return;
    Frame& fr = frameOf(scope);
    ui::doEvents();
    if (!fr.result || !fr.remove->isEnabled())
        return;

    int answer = ui::vbNo;
    if (scope == dupes::Scope::All) {
        answer = ui::msgBox(QStringLiteral("Are you sure you want to remove identical records?"), ui::vbYesNo | ui::vbQuestion);
    } else {
        answer = ui::msgBox(QStringLiteral("\rTHIS WILL CAUSE DATA LOSS !\r\r\rAre you sure you want to delete records?\r\r"),
                            ui::vbYesNo | ui::vbQuestion | ui::vbMsgBoxHelpButton, std::nullopt,
                            app::programFile(QStringLiteral("\\LumacorProHelp.hlp")), 1170);
    }
    if (answer != ui::vbYes) {
        fr.remove->setText(kRemove);
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(QStringLiteral("Operation cancelled."), ui::vbCritical | ui::vbOKOnly);
        return;
    }

    ui::doEvents();
    fr.remove->setText(QStringLiteral("Deleting"));
    ui::setPointer(&f, ui::Pointer::Hourglass);
    setBusy(true);
    f.Data2->closeDatabase();
    workbench::BarProgress progress(PBarDupes);
    dupes::RemovalOptions options;
    options.progress = &progress;
    const dupes::RemovalResult removed = dupes::removeDuplicates(dbWork, *fr.result, options);
    setBusy(false);
    fr.remove->setText(kRemove);
    if (!removed.ok) {
        ui::setPointer(&f, ui::Pointer::Default);
        // Nothing was removed; the groups of the search still hold.
        try {
            f.Data2->Refresh();
        } catch (const std::exception&) {
        }
        ui::msgBox(removed.message, ui::vbCritical | ui::vbOKOnly);
        return;
    }
    ui::msgBox(removed.message, ui::vbInformation | ui::vbOKOnly);
    // Records are gone: pairs found before may name values no longer in the list.
    f.Reset_AdozIvidor();

    ui::setPointer(&f, ui::Pointer::Hourglass);
    try {
        f.endGridEdit();
        f.Data1->Refresh();
    } catch (const std::exception& e) {
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
        return;
    }
    if (!search(scope))
        return;
    // Every record left is now one group of its own.
    glngTotalRecords = long(fr.result->distinct + fr.result->duplicate);
    if (MDIMain* m = MDIMain::loaded())
        m->setPanelText(1, workbench::statusText(glngTotalRecords, gstrCurColumn, glngCurRow));
}

// ---- near-duplicate finder: layout ---------------------------------------------------

void Pages::buildNear()
{
    QGroupBox* page = f.frAdozIvidor;
    page->setTitle(QStringLiteral("Near-Duplicate Finder"));
    page->setFlat(false);
    delete page->layout();

    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(px(350), px(150), px(350), px(150));
    auto* g = new QGridLayout;
    auto caption = [&](const QString& text) { return new QLabel(text, page); };
    cmbMinLen = named(new QComboBox(page), QStringLiteral("cmbMinLen"));
    cmbMaxLen = named(new QComboBox(page), QStringLiteral("cmbMaxLen"));
    for (QComboBox* c : {cmbMinLen, cmbMaxLen}) {
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setFixedWidth(px(1000));
    }
    for (QComboBox* c : {f.cmbColumn1A, f.cmbSearchType})
        c->setMinimumWidth(px(3500));
    txtFilterA = named(new QLineEdit(page), QStringLiteral("txtFilterA"));
    txtFilterA->setMinimumWidth(px(3500));
    cmdShow = named(new QPushButton(kSearch, page), QStringLiteral("cmdShow"), QStringLiteral("Search for possible misspellings"));
    g->addWidget(caption(QStringLiteral("COLUMN          :")), 0, 0);
    g->addWidget(f.cmbColumn1A, 0, 1, 1, 3);
    g->addWidget(caption(QStringLiteral("SEARCH TYPE :")), 1, 0);
    g->addWidget(f.cmbSearchType, 1, 1, 1, 3);
    g->addWidget(caption(QStringLiteral("MIN. LENGTH   :")), 2, 0);
    g->addWidget(cmbMinLen, 2, 1);
    g->addWidget(caption(QStringLiteral("MAX LEN.")), 2, 2, Qt::AlignRight);
    g->addWidget(cmbMaxLen, 2, 3);
    g->addWidget(caption(QStringLiteral("FILTER              :")), 3, 0);
    g->addWidget(txtFilterA, 3, 1, 1, 3);
    g->addWidget(cmdShow, 3, 4);
    g->setColumnStretch(5, 1);
    v->addLayout(g);

    auto* progressRow = new QHBoxLayout;
    lblPBar4 = named(new QLabel(page), QStringLiteral("lblPBar4"));
    PBar4 = named(new QProgressBar(page), QStringLiteral("PBar4"));
    PBar4->setTextVisible(false);
    progressRow->addWidget(lblPBar4);
    progressRow->addWidget(PBar4, 1);
    lblPBar4->hide();
    PBar4->hide();
    v->addLayout(progressRow);

    pairs_ = new PairModel(f.Adodc1, this);
    QTableView* list = f.DataRepeater1;
    list->setMinimumHeight(px(7485) / 2);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->horizontalHeader()->setStretchLastSection(false);
    v->addWidget(list, 1);

    auto* below = new QHBoxLayout;
    lblTooLong = named(new QLabel(QStringLiteral("Left out (over 255 characters) :"), page), QStringLiteral("lblTooLong"));
    txtTooLong = named(new QLineEdit(QStringLiteral("0"), page), QStringLiteral("txtTooLong"));
    txtTooLong->setReadOnly(true);
    txtTooLong->setFixedWidth(px(1200));
    f.txtPairs->setAlignment(Qt::AlignRight);
    txtTooLong->setAlignment(Qt::AlignRight);
    below->addWidget(f.lblPairs);
    below->addWidget(f.txtPairs);
    below->addSpacing(px(300));
    below->addWidget(lblTooLong);
    below->addWidget(txtTooLong);
    below->addStretch(1);
    below->addWidget(f.cmdConvert2);
    // The hint has a line of its own over the counts, so that neither it nor
    // the captions beside the counts are cut at the window's designed width.
    v->addWidget(f.lblDoubleClick, 0, Qt::AlignRight);
    v->addLayout(below);
    f.lblDoubleClick->hide();

    connect(f.cmbColumn1A, &QComboBox::activated, this, [this](int) { cmbColumn1A_Click(); });
    // The Column Cleaner's picker sets this one by its index; the check waits
    // for the event loop so that a refill of the items (clear, add, put the
    // text back) is seen only once it is over.
    connect(f.cmbColumn1A, &QComboBox::currentIndexChanged, this,
            [this](int) { QMetaObject::invokeMethod(this, [this] { followColumnCombo(); }, Qt::QueuedConnection); });
    connect(f.cmbSearchType, &QComboBox::activated, this, [this](int) { f.Reset_AdozIvidor(); });
    connect(f.cmbSearchType, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            f.cmbSearchType->setEditText(kChooseType);
            f.Reset_AdozIvidor();
        }
    });
    columnBox_ = f.cmbColumn1A;
    columnEdit_ = f.cmbColumn1A->lineEdit();
    typeBox_ = f.cmbSearchType;
    typeEdit_ = f.cmbSearchType->lineEdit();
    for (QComboBox* c : {f.cmbColumn1A, f.cmbSearchType}) {
        c->installEventFilter(this);
        if (c->lineEdit())
            c->lineEdit()->installEventFilter(this);
    }
    connect(cmdShow, &QPushButton::clicked, this, &Pages::cmdShow_Click);
    connect(list, &QAbstractItemView::doubleClicked, this, &Pages::toggleMarkAt);
}

bool Pages::eventFilter(QObject* watched, QEvent* event)
{
    const bool column = columnBox_ && (watched == columnBox_ || watched == columnEdit_);
    const bool type = typeBox_ && (watched == typeBox_ || watched == typeEdit_);
    if (!column && !type)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (column) {
                if (cleaning::IsInList(f.cmbColumn1A)) {
                    cmbColumn1A_Click();
                } else {
                    f.cmbColumn1A->setCurrentIndex(-1);
                    f.cmbColumn1A->setEditText(kChooseColumn);
                    f.Reset_AdozIvidor();
                }
            } else {
                if (!cleaning::IsInList(f.cmbSearchType)) {
                    f.cmbSearchType->setCurrentIndex(-1);
                    f.cmbSearchType->setEditText(kChooseType);
                }
                f.Reset_AdozIvidor();
            }
        }
    } else if (event->type() == QEvent::FocusOut) {
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            if (column && !cleaning::IsInList(f.cmbColumn1A)) {
                f.cmbColumn1A->setEditText(kChooseColumn);
                f.Reset_AdozIvidor();
            } else if (type && !cleaning::IsInList(f.cmbSearchType)) {
                f.cmbSearchType->setEditText(kChooseType);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- near-duplicate finder: choices ----------------------------------------------------

void Pages::followColumnCombo()
{
    if (ui::jobRunning()) {
        // Events are being let run inside a job: follow once it has ended.
        ui::whenNoJob(this, [this] { followColumnCombo(); });
        return;
    }
    if (busy_ || !cleaning::IsInList(f.cmbColumn1A) || f.cmbColumn1A->currentText() == lengthsColumn_)
        return;
    cmbColumn1A_Click();
}

/// Whether column is a Text or Memo column of tblData (found without regard to case).
bool isTextColumn(const QString& column)
{
    for (const workbench::Column& c : workbench::listColumns(general::dbWork))
        if (c.name.compare(column, Qt::CaseInsensitive) == 0)
            return c.type == jet::dbText || c.type == jet::dbMemo;
    return true;   // unknown: the statement's own error tells
}

void Pages::cmbColumn1A_Click()
{
    if (ui::jobRunning())
        return;
    using namespace general;
    if (busy_ || !cleaning::IsInList(f.cmbColumn1A))
        return;
    const QString c = f.cmbColumn1A->currentText();
    try {
        cmbMinLen->clear();
        cmbMaxLen->clear();
        lengthsColumn_ = c;
        jet::Value lo, hi;
        if (isTextColumn(c)) {
            auto rs = dbWork.openRecordset(QStringLiteral("SELECT MIN(LEN([%1])) AS Min_Len, MAX(LEN([%1])) AS Max_Len "
                                                          "FROM tblData;")
                                               .arg(c),
                                           jet::dbOpenSnapshot);
            lo = rs->eof() ? jet::Value() : rs->value(0);
            hi = rs->eof() ? jet::Value() : rs->value(1);
            rs->close();
        } else {
            // Other values are searched as their text with every digit of a
            // number (see neardup::runNearSearch): the lengths are of that text.
            int type = 0;
            for (const jet::ColumnInfo& info : dbWork.connection().columns(QStringLiteral("tblData")))
                if (info.name == c)
                    type = info.type;
            const QString text = jet::exactTextSql(QStringLiteral("T.") + jet::quoteName(c), type);
            jet::Stmt range(&dbWork.connection(), QStringLiteral("SELECT MIN(length(%1)), MAX(length(%1)) FROM main.tblData T")
                                                      .arg(text));
            if (range.step()) {
                lo = range.value(0, jet::dbLong);
                hi = range.value(1, jet::dbLong);
            }
        }
        if (lo.isNull()) {
            cmbMinLen->addItem(QStringLiteral("0"));
            cmbMaxLen->addItem(QStringLiteral("0"));
            cmbMinLen->setEditText(QStringLiteral("0"));
            cmbMaxLen->setEditText(QStringLiteral("0"));
        } else {
            const qint64 minLen = lo.toLong();
            const qint64 maxLen = hi.toLong();
            for (qint64 n = minLen; n <= maxLen; ++n) {
                cmbMinLen->addItem(QString::number(n));
                cmbMaxLen->addItem(QString::number(n));
            }
            // Short values pair by accident; the search starts at 8 unless the column is shorter.
            cmbMinLen->setEditText(QString::number(maxLen >= 8 ? 8 : maxLen));
            cmbMaxLen->setEditText(QString::number(maxLen));
        }
        f.Reset_AdozIvidor();
        if (f.cmbColumn1->currentText() != c) {
            const int at = f.cmbColumn1->findText(c, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (at >= 0)
                f.cmbColumn1->setCurrentIndex(at);
            else
                f.cmbColumn1->setEditText(c);
            // The Column Cleaner's lists and its delimiter must describe this
            // column now, or a conversion there would work on the old one.
            cleaning::cmbColumn1_Click(f);
        }
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
    }
}

// ---- near-duplicate finder: the search -------------------------------------------------

void Pages::searchFailed(const QString& message)
{
    ui::setPointer(&f, ui::Pointer::Default);
    f.lblPairs->show();
    f.txtPairs->show();
    f.txtPairs->clear();
    PBar4->hide();
    lblPBar4->hide();
    f.cmdConvert2->setEnabled(false);
    ui::msgBox(message, ui::vbOKOnly);
}

void Pages::cmdShow_Click()
{
    using namespace general;
    if (busy_)
        return;
    const QString type = f.cmbSearchType->currentText();
    const QString column = f.cmbColumn1A->currentText();
    // A search type that is no item would search nothing and report 0 pairs as if it had.
    if (type == kChooseType || column == kChooseColumn || (type != kOneDifferent && type != kMissing)) {
        ui::msgBox(kChooseType, ui::vbExclamation | ui::vbOKOnly);
        return;
    }
    bool okMin = false;
    bool okMax = false;
    const int minLen = cmbMinLen->currentText().trimmed().toInt(&okMin);
    const int maxLen = cmbMaxLen->currentText().trimmed().toInt(&okMax);
    if (!okMin || !okMax) {
        searchFailed(QStringLiteral("Type mismatch"));
        return;
    }

    busy_ = true;
    cmdShow->setEnabled(false);
    ui::setPointer(&f, ui::Pointer::Hourglass);
    f.lblPairs->hide();
    f.txtPairs->hide();
    lblPBar4->setText(QStringLiteral("Searching...Press Ctrl+Break to stop"));
    lblPBar4->show();
    PBar4->show();

    neardup::NearSearchRequest request;
    request.column = column;
    request.type = type == kMissing ? neardup::SearchType::OneCharMissing : neardup::SearchType::OneCharDifferent;
    request.minLength = minLen;
    request.maxLength = maxLen;
    request.filter = txtFilterA->text();
    workbench::BarProgress progress(PBar4);
    // The review list reads tblSpecSearch1 while the search rewrites it: let go first.
    f.Adodc1->closeDatabase();
    const neardup::NearSearchRecord record = neardup::runNearSearch(dbWork, request, progress);
    busy_ = false;
    cmdShow->setEnabled(true);
    try {
        f.Adodc1->setDatabaseName(workDbPath());
        f.Adodc1->setRecordSource(QStringLiteral("tblSpecSearch1"));
        f.Adodc1->Refresh();
    } catch (const std::exception& e) {
        f.DataRepeater1->setModel(nullptr);
        searchFailed(describe(e));
        return;
    }
    if (!record.ok) {
        // tblSpecSearch1 is as before: the previous pairs stay on screen.
        searchFailed(record.error);
        return;
    }

    nearRecord_ = record;
    f.txtPairs->setText(QString::number(record.pairs));
    txtTooLong->setText(QString::number(record.tooLong));
    // A view keeps its old selection model when given a new model: free it.
    QItemSelectionModel* oldSelection = f.DataRepeater1->selectionModel();
    f.DataRepeater1->setModel(pairs_);
    if (oldSelection && oldSelection != f.DataRepeater1->selectionModel())
        oldSelection->deleteLater();
    // The two values share what the counts and marks leave of the width.
    QHeaderView* head = f.DataRepeater1->horizontalHeader();
    for (int c = 0; c < PairModel::ColumnCount; ++c) {
        const bool value = c == PairModel::Value1 || c == PairModel::Value2;
        head->setSectionResizeMode(c, value ? QHeaderView::Stretch : QHeaderView::Fixed);
        if (!value)
            f.DataRepeater1->setColumnWidth(c, px(1000));
    }
    PBar4->hide();
    lblPBar4->hide();
    f.DataRepeater1->setEnabled(true);
    ui::setPointer(&f, ui::Pointer::Default);
    f.lblPairs->show();
    f.txtPairs->show();
    f.cmdConvert2->setEnabled(record.pairs > 0);
    f.lblDoubleClick->setVisible(record.pairs > 0);
}

void Pages::toggleMarkAt(const QModelIndex& index)
{
    if (!index.isValid() || f.DataRepeater1->model() != pairs_)
        return;
    // A double click on either side's value, count or box marks that side.
    const int col = index.column() < PairModel::Value2 ? PairModel::Mark1 : PairModel::Mark2;
    if (index.column() == col)
        return;   // the box itself toggles on the click
    pairs_->setMark(index.row(), col, !pairs_->isMarked(index.row(), col));
}

} // namespace

void installPages(frmdataform& form)
{
    new Pages(form);
    installStatistics(form);
    installGroupFilter(form);
    installConversion(form);
}

std::optional<neardup::NearSearchRecord> shownNearSearch(const frmdataform& form)
{
    // Pages has no meta-object of its own: find it by name, as a QObject.
    const QObject* p = form.findChild<QObject*>(kStateName, Qt::FindDirectChildrenOnly);
    return p ? static_cast<const Pages*>(p)->shownNearSearch() : std::nullopt;
}

} // namespace duplicates
