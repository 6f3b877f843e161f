// The distinct-values panel of the Case Converter, Text Cleaner and Column
// Cleaner pages, the Text Cleaner page, and the Case Converter's controls.
//
// The panel lists the values of the column picked in cmbColumn1 with their
// counts (cleaning/distinct_values.h does the listing), narrowed by a typed
// LIKE pattern or, while "Special" is ticked, by one character class. Its
// list is a view over a model of the listed rows, so a column of 100k
// distinct values costs one vector, not 100k widget items. A right click on a
// value offers "Filter", which filters the data grid to that value.
//
// The Text Cleaner asks ALL or FILTERED when the filter box holds a pattern,
// hands the run to cleaning::runTextClean (one pass, one transaction) and ends
// by listing the column again, resetting the duplicate tools' results and
// re-reading the grid's rows. The run lets events through between chunks of
// rows so the progress bar moves; while it runs the panel and the tab strip
// are disabled, so nothing can change the column or start a second run.
//
// One panel object per workbench window, a child of the window, found by name.
#include "cleaning/pages.h"

#include "app/mdimain.h"
#include "cleaning/case_page.h"
#include "cleaning/distinct_values.h"
#include "cleaning/column_cleaner.h"
#include "cleaning/frmdefinespecialchars.h"
#include "cleaning/text_clean_run.h"
#include "cleaning/value_sort.h"
#include "common/general.h"
#include "common/progress.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"
#include "workbench/progressbar.h"
#include "workbench/toolpages.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

#include <algorithm>
#include <vector>

namespace cleaning {
namespace {

const QString kPanelName = QStringLiteral("cleaningPanel");
const QString kChooseColumn = QString::fromLatin1(kChooseColumnPrompt);
const QString kAllValues = QStringLiteral("ALL VALUES");
const QString kFiltered = QStringLiteral("ALL VALUES  ( FILTERED )");
const QColor kThinking(0x00, 0x00, 0xC0);

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

void setCaption(QLabel* l, const QString& text, const QColor& colour = Qt::black)
{
    l->setText(text);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
}

// ---- the list's model -----------------------------------------------------------

/// The listed rows: the value's text in column 0, its count in column 1.
class DistinctModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(const QString& header, std::vector<DistinctRow> rows)
    {
        beginResetModel();
        header_ = header;
        rows_ = std::move(rows);
        endResetModel();
    }
    /// Puts the rows in the order given (indexes into the current rows).
    void reorder(const std::vector<int>& order)
    {
        std::vector<DistinctRow> sorted;
        sorted.reserve(order.size());
        for (int i : order)
            sorted.push_back(std::move(rows_[size_t(i)]));
        beginResetModel();
        rows_ = std::move(sorted);
        endResetModel();
    }
    const DistinctRow* row(int r) const
    {
        return r >= 0 && r < int(rows_.size()) ? &rows_[size_t(r)] : nullptr;
    }
    qint64 largestCount() const
    {
        qint64 m = 0;
        for (const DistinctRow& r : rows_)
            m = std::max(m, r.count);
        return m;
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const DistinctRow* r = index.isValid() ? row(index.row()) : nullptr;
        if (!r)
            return QVariant();
        if (role == Qt::DisplayRole)
            return index.column() == 0 ? QVariant(r->text()) : QVariant(QString::number(r->count));
        if (role == kExactTextRole && index.column() == 0)
            return r->value.kind() == jet::Kind::Double && std::isfinite(r->value.toDouble())
                       ? QVariant(jet::sqlNumber(r->value.toDouble()))
                       : QVariant(r->text());
        if (role == Qt::TextAlignmentRole)
            return index.column() == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal)
            return QVariant();
        if (role == Qt::DisplayRole)
            return section == 0 ? header_ : QStringLiteral("Count  ");
        if (role == Qt::TextAlignmentRole)
            return section == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }

private:
    QString header_;
    std::vector<DistinctRow> rows_;
};

// ---- the panel --------------------------------------------------------------------

class Panel : public QObject {
public:
    explicit Panel(frmdataform& form);

    void cmbColumn1_Click();
    void lstMain_Update_Source();
    QString delimiter() const { return strDelimiter_; }
    QString listedColumn() const { return listedColumn_; }
    int listedType() const { return listedType_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDistinctValues();
    void buildTextCleaner();
    void buildCaseConverter();

    /// Runs cmbColumn1_Click when the picker names one of its items, else shows the prompt.
    void checkColumnThenList();
    void chkSpecial_Click(bool ticked);
    void classBox_Click(QCheckBox* box, bool ticked);
    void lstMain_MouseDown(const QPoint& pos);
    void lstMain_ColumnClick(int section);
    void mnufilter_Click();
    void Check4_Click(bool ticked);
    void Check5_Click(bool ticked);
    void cmdTextClean_Click();
    void closingSteps();
    void setActionButtons(bool on);
    void resetActionCaptions();
    bool isCleanableColumn(const QString& column) const;
    CleanSteps tickedSteps() const;

    frmdataform& f;
    DistinctModel* model_ = nullptr;
    QString strDelimiter_;
    QString listedColumn_;   ///< the column the rows of lstMain belong to
    int listedType_ = 0;
    SortState sort_;         ///< the list's header-click sort, reset by each listing of a column
    bool running_ = false;
    bool leaving_ = false;   ///< the picker is handling its loss of focus
    // The picker and its line edit as watched. Events are matched against
    // these only: the form deletes the picker before this object, while
    // other watched controls still receive their last events.
    QPointer<QObject> pickerBox_;
    QPointer<QObject> pickerEdit_;

    // Distinct values.
    QLabel* Label3 = nullptr;
    QPushButton* cmdColumnRefresh = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtFilter = nullptr;
    QCheckBox* chkSpecial = nullptr;
    QCheckBox* chkAlpha = nullptr;
    QCheckBox* chkNumeric = nullptr;
    QCheckBox* chkPunc = nullptr;
    QCheckBox* chkOther = nullptr;
    QPushButton* cmdDefine = nullptr;
    QLabel* lblAll_Values = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label18 = nullptr;
    QMenu* mnutools2 = nullptr;
    QAction* mnufilter = nullptr;
    QWidget* left_ = nullptr;
    // Text Cleaner.
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check4A = nullptr;
    QCheckBox* Check4B = nullptr;
    QCheckBox* Check4C = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check5A = nullptr;
    QCheckBox* Check5B = nullptr;
    QCheckBox* Check5C = nullptr;
    QCheckBox* Check5D = nullptr;
    QPushButton* cmdTextClean = nullptr;
    QProgressBar* PBar1 = nullptr;
    QLabel* lblPBar1 = nullptr;
    // Case Converter (its run is built apart; the buttons follow the panel's rules).
    QPushButton* cmdChangeCase = nullptr;
};

Panel::Panel(frmdataform& form) : QObject(&form), f(form)
{
    setObjectName(kPanelName);
    buildDistinctValues();
    buildTextCleaner();
    buildCaseConverter();
}

void Panel::buildDistinctValues()
{
    // The workbench made the picker, the list and the count; the panel lays
    // them out again with its own controls around them.
    left_ = f.cmbColumn1->parentWidget();
    delete left_->layout();
    for (QLabel* old : left_->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (old->objectName().isEmpty())
            delete old;   // the workbench's placeholder caption of the count

    Label3 = named(new QLabel(QStringLiteral("COLUMN     :"), left_), QStringLiteral("Label3"));
    cmdColumnRefresh = named(new QPushButton(QStringLiteral("Refresh"), left_), QStringLiteral("cmdColumnRefresh"),
                             QStringLiteral("Refresh distinct values list "));
    Label6 = named(new QLabel(QStringLiteral("FILTER         :"), left_), QStringLiteral("Label6"));
    txtFilter = named(new QLineEdit(left_), QStringLiteral("txtFilter"));
    chkSpecial = named(new QCheckBox(QStringLiteral("Special"), left_), QStringLiteral("chkSpecial"),
                       QStringLiteral("See special filters"));
    chkAlpha = named(new QCheckBox(QStringLiteral("Alpha"), left_), QStringLiteral("chkAlpha"),
                     QStringLiteral("Filter for those values that have alphabetic characters in them"));
    chkNumeric = named(new QCheckBox(QStringLiteral("Numeric"), left_), QStringLiteral("chkNumeric"),
                       QStringLiteral("Filter for those values that have digits in them"));
    chkPunc = named(new QCheckBox(QStringLiteral("Puncts"), left_), QStringLiteral("chkPunc"),
                    QStringLiteral("Filter for those values that have one of the selected punctuation characters in them"));
    chkOther = named(new QCheckBox(QStringLiteral("Other"), left_), QStringLiteral("chkOther"),
                     QString::fromUtf8("Filter for extended character set like \u00e7, \u00f6, \u00fc, etc."));
    cmdDefine = named(new QPushButton(QStringLiteral("Define"), left_), QStringLiteral("cmdDefine"),
                      QStringLiteral("Define the punctuations filter"));
    lblAll_Values = named(new QLabel(kAllValues, left_), QStringLiteral("lblAll_Values"));
    Label5 = named(new QLabel(QStringLiteral("Distinct Values"), left_), QStringLiteral("Label5"));
    Label18 = named(new QLabel(QStringLiteral("Right mouse click to filter data table"), left_), QStringLiteral("Label18"));
    for (QCheckBox* b : {chkAlpha, chkNumeric, chkPunc, chkOther})
        b->hide();
    cmdDefine->hide();
    QFont bold = lblAll_Values->font();
    bold.setBold(true);
    lblAll_Values->setFont(bold);
    Label18->setWordWrap(true);

    auto* g = new QGridLayout(left_);
    g->setContentsMargins(0, 0, 0, 0);
    g->addWidget(Label3, 0, 0);
    g->addWidget(f.cmbColumn1, 0, 1);
    g->addWidget(cmdColumnRefresh, 0, 2);
    g->addWidget(Label6, 1, 0);
    g->addWidget(txtFilter, 1, 1);
    g->addWidget(chkSpecial, 1, 2);
    auto* classes = new QHBoxLayout;
    classes->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : std::initializer_list<QWidget*>{chkAlpha, chkNumeric, chkPunc, chkOther, cmdDefine})
        classes->addWidget(w);
    classes->addStretch(1);
    g->addLayout(classes, 2, 0, 1, 3);
    g->addWidget(lblAll_Values, 3, 0, 1, 3, Qt::AlignHCenter);
    g->addWidget(f.lstMain, 4, 0, 1, 3);
    auto* count = new QHBoxLayout;
    count->addStretch(1);
    count->addWidget(Label5);
    f.txtMain->setFixedWidth(px(1000));
    f.txtMain->setAlignment(Qt::AlignRight);
    count->addWidget(f.txtMain);
    g->addLayout(count, 5, 0, 1, 3);
    g->addWidget(Label18, 6, 0, 1, 3);
    g->setRowStretch(4, 1);
    g->setColumnStretch(1, 1);

    // The list: rows of a model, picked whole, read-only.
    model_ = new DistinctModel(this);
    QTableView* list = f.lstMain;
    list->setModel(model_);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(false);
    list->setWordWrap(false);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    list->setColumnWidth(1, px(575) + 8);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &Panel::lstMain_MouseDown);
    list->horizontalHeader()->setSectionsClickable(true);
    connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this, &Panel::lstMain_ColumnClick);

    mnutools2 = named(new QMenu(QStringLiteral("Menu"), &f), QStringLiteral("mnutools2"));
    mnufilter = named(mnutools2->addAction(QStringLiteral("Filter")), QStringLiteral("mnufilter"));
    connect(mnufilter, &QAction::triggered, this, &Panel::mnufilter_Click);

    // A picked item lists at once; typed text is checked on Tab, Enter and leaving.
    connect(f.cmbColumn1, &QComboBox::activated, this, [this](int) {
        if (!leaving_)
            cmbColumn1_Click();
    });
    pickerBox_ = f.cmbColumn1;
    pickerEdit_ = f.cmbColumn1->lineEdit();
    if (pickerEdit_)
        pickerEdit_->installEventFilter(this);
    f.cmbColumn1->installEventFilter(this);
    txtFilter->installEventFilter(this);
    connect(cmdColumnRefresh, &QPushButton::clicked, this, &Panel::checkColumnThenList);
    connect(cmdDefine, &QPushButton::clicked, this, [this] { frmDefineSpecialChars::showModeless(&f); });

    connect(chkSpecial, &QCheckBox::toggled, this, &Panel::chkSpecial_Click);
    for (QCheckBox* b : {chkAlpha, chkNumeric, chkPunc, chkOther})
        connect(b, &QCheckBox::toggled, this, [this, b](bool on) { classBox_Click(b, on); });
}

void Panel::buildTextCleaner()
{
    QGroupBox* frame = f.frTextClean;
    frame->setTitle(QStringLiteral("Text Cleaning"));
    frame->setFlat(false);

    auto box = [frame](const char* name, const char* caption, bool ticked, bool enabled) {
        auto* b = named(new QCheckBox(QString::fromLatin1(caption), frame), QString::fromLatin1(name));
        b->setChecked(ticked);
        b->setEnabled(enabled);
        return b;
    };
    Check1 = box("Check1", "Remove leading and trailing spaces", true, true);
    Check2 = box("Check2", "Remove non-printable characters", true, true);
    Check3 = box("Check3", "Remove repetition of non-digit non-alpha chars $$$, ((, etc.", false, true);
    Check4 = box("Check4", "Alpha only column cleaning", false, true);
    Check4A = box("Check4A", "Convert '0's to 'O's and '1's to 'l's", false, false);
    Check4B = box("Check4B", "Remove all non-digit, non-alpha characters like $, (, etc.", false, false);
    Check4C = box("Check4C", "Remove all digits", false, false);
    Check5 = box("Check5", "Numeric only column cleaning", false, true);
    Check5A = box("Check5A", "Convert 'O's to '0's, 'L's and 'I's to '1's", false, false);
    Check5B = box("Check5B", "Remove all non-digit characters except spaces and . , '", false, false);
    Check5C = box("Check5C", "Remove all . , '", false, false);
    Check5D = box("Check5D", "Remove all spaces", false, false);
    cmdTextClean = named(new QPushButton(QStringLiteral("Clean"), frame), QStringLiteral("cmdTextClean"),
                         QStringLiteral("Action selected cleaning types"));
    cmdTextClean->setEnabled(false);
    cmdTextClean->setMinimumWidth(px(1500));
    cmdTextClean->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    PBar1 = named(new QProgressBar(frame), QStringLiteral("PBar1"));
    PBar1->setTextVisible(false);
    PBar1->hide();
    lblPBar1 = named(new QLabel(QStringLiteral("Cleaning  . . ."), frame), QStringLiteral("lblPBar1"));
    lblPBar1->hide();

    auto* v = new QVBoxLayout(frame);
    v->setContentsMargins(px(300), px(150), px(300), px(150));
    for (QCheckBox* b : {Check1, Check2, Check3})
        v->addWidget(b);
    v->addSpacing(px(200));
    auto group = [&](QCheckBox* head, std::initializer_list<QCheckBox*> members) {
        v->addWidget(head);
        for (QCheckBox* m : members) {
            auto* row = new QHBoxLayout;
            row->addSpacing(px(400));
            row->addWidget(m, 1);
            v->addLayout(row);
        }
        v->addSpacing(px(200));
    };
    group(Check4, {Check4A, Check4B, Check4C});
    group(Check5, {Check5A, Check5B, Check5C, Check5D});
    auto* run = new QHBoxLayout;
    run->addWidget(cmdTextClean);
    run->addSpacing(px(300));
    run->addWidget(lblPBar1);
    run->addWidget(PBar1, 1);
    run->addStretch(0);   // takes the room while the bar is hidden
    v->addLayout(run);
    v->addStretch(1);

    connect(Check4, &QCheckBox::toggled, this, &Panel::Check4_Click);
    connect(Check5, &QCheckBox::toggled, this, &Panel::Check5_Click);
    connect(cmdTextClean, &QPushButton::clicked, this, &Panel::cmdTextClean_Click);
}

void Panel::buildCaseConverter()
{
    QGroupBox* frame = f.frCaseConv;
    frame->setTitle(QStringLiteral("Case Conversion"));
    frame->setFlat(false);
    auto* Frame3 = named(new QGroupBox(frame), QStringLiteral("Frame3"));
    Frame3->setMaximumWidth(px(4000));
    auto* opt1 = named(new QRadioButton(QStringLiteral("UPPERCASE"), Frame3), QStringLiteral("opt1"));
    auto* opt2 = named(new QRadioButton(QStringLiteral("lowercase"), Frame3), QStringLiteral("opt2"));
    auto* opt4 = named(new QRadioButton(QStringLiteral("Proper Case"), Frame3), QStringLiteral("opt4"));
    opt4->setChecked(true);
    auto* ov = new QVBoxLayout(Frame3);
    for (QRadioButton* o : {opt1, opt2, opt4})
        ov->addWidget(o);
    cmdChangeCase = named(new QPushButton(QStringLiteral("Change Case"), frame), QStringLiteral("cmdChangeCase"),
                          QStringLiteral("Action the selected change case type"));
    cmdChangeCase->setEnabled(false);
    cmdChangeCase->setMinimumWidth(px(1500));
    cmdChangeCase->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    auto* cmdPrefixes = named(new QPushButton(QStringLiteral("Prefixes"), frame), QStringLiteral("cmdPrefixes"),
                              QStringLiteral("Show the prefixes list of proper case conversion"));
    auto* cmdExceptions = named(new QPushButton(QStringLiteral("Exceptions"), frame), QStringLiteral("cmdExceptions"),
                                QStringLiteral("Show the exceptions list of proper case conversion"));
    auto* PBar3 = named(new QProgressBar(frame), QStringLiteral("PBar3"));
    PBar3->setTextVisible(false);
    PBar3->hide();
    auto* lblPBar3 = named(new QLabel(QStringLiteral("Processing  . . ."), frame), QStringLiteral("lblPBar3"));
    lblPBar3->hide();

    auto* v = new QVBoxLayout(frame);
    v->setContentsMargins(px(300), px(150), px(300), px(150));
    v->addWidget(Frame3);
    auto* lists = new QHBoxLayout;
    lists->addWidget(cmdPrefixes);
    lists->addWidget(cmdExceptions);
    lists->addStretch(1);
    v->addLayout(lists);
    auto* run = new QHBoxLayout;
    run->addWidget(cmdChangeCase);
    run->addWidget(lblPBar3);
    run->addWidget(PBar3, 1);
    run->addStretch(0);
    v->addLayout(run);
    v->addStretch(1);
}

// ---- picking a column ---------------------------------------------------------------

bool Panel::eventFilter(QObject* watched, QEvent* event)
{
    const bool picker = pickerBox_ && (watched == pickerBox_ || watched == pickerEdit_);
    if (event->type() == QEvent::KeyPress && (picker || watched == txtFilter)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter || key == Qt::Key_Tab) {
            if (picker)
                checkColumnThenList();
            else
                lstMain_Update_Source();
            return enter;   // Tab still moves the focus on
        }
    } else if (event->type() == QEvent::FocusOut && picker && !leaving_) {
        // Leaving the picker lists nothing. The combo itself would pick the
        // item its text names, in any letter case, and report it as chosen:
        // its own handling runs here with that report ignored.
        const bool known = IsInList(f.cmbColumn1);
        leaving_ = true;
        watched->event(event);
        leaving_ = false;
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && !known) {
            f.cmbColumn1->setCurrentIndex(-1);
            f.cmbColumn1->setEditText(kChooseColumn);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void Panel::checkColumnThenList()
{
    if (IsInList(f.cmbColumn1)) {
        cmbColumn1_Click();
    } else {
        f.cmbColumn1->setCurrentIndex(-1);
        f.cmbColumn1->setEditText(kChooseColumn);
    }
}

void Panel::setActionButtons(bool on)
{
    cmdTextClean->setEnabled(on);
    cmdChangeCase->setEnabled(on);
}

void Panel::cmbColumn1_Click()
{
    if (ui::jobRunning())
        return;
    const QString c = f.cmbColumn1->currentText();
    try {
        int type = -1;
        for (const workbench::Column& col : workbench::listColumns(general::dbWork))
            if (col.name.compare(c, Qt::CaseInsensitive) == 0) {
                type = col.type;
                break;
            }
        if (type < 0)
            throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
        strDelimiter_ = literalDelimiter(type);

        model_->setRows(c, {});
        sort_ = SortState();
        listedColumn_ = c;
        listedType_ = type;
        f.lstOld->clear();
        f.lstOld->setHeaderLabels({c, QStringLiteral("Count  ")});
        f.lstOld->setColumnWidth(0, px(3950));
        f.txtNew->clear();
        // The action buttons serve a chosen column, but never while "Special"
        // narrows the list to a class: a run then cleans what the filter box,
        // now hidden, would select.
        setActionButtons(!chkSpecial->isChecked());

        // The near-duplicate finder's picker follows this one. It is set
        // before the listing, whose event pump may run that finder's own
        // follow-up: by then both pickers must already agree.
        if (f.cmbColumn1A->currentText() != c) {
            const int at = f.cmbColumn1A->findText(c, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (at >= 0)
                f.cmbColumn1A->setCurrentIndex(at);
            else
                f.cmbColumn1A->setEditText(c);
        }
        lstMain_Update_Source();
    } catch (const std::exception& e) {
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
    }
}

// ---- the list -----------------------------------------------------------------------

void Panel::lstMain_ColumnClick(int section)
{
    const int n = model_->rowCount();
    if (n == 0)
        return;
    try {
        const bool count = model_->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString().trimmed() ==
                           QLatin1String("Count");
        const int index = count ? 1 : 0;
        const SortKind kind = count ? SortKind::Numeric : sortKindOfType(listedType_);
        const SortState next = clickedSort(sort_, index);
        QStringList texts;
        texts.reserve(n);
        for (int r = 0; r < n; ++r)
            texts << model_->data(model_->index(r, index), Qt::DisplayRole).toString();
        model_->reorder(sortedOrder(texts, kind, next.descending));
        sort_ = next;
        f.lstMain->selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
        f.lstMain->clearSelection();
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
    }
}

void Panel::resetActionCaptions()
{
    if (auto* convert = f.findChild<QPushButton*>(QStringLiteral("cmdConvert")))
        convert->setText(QStringLiteral("Convert"));
    cmdChangeCase->setText(QStringLiteral("Change Case"));
    cmdTextClean->setText(QStringLiteral("Clean"));
}

void Panel::lstMain_Update_Source()
{
    if (ui::jobRunning())
        return;
    if (!IsInList(f.cmbColumn1)) {
        setCaption(lblAll_Values, kAllValues);
    } else {
        const QString c = f.cmbColumn1->currentText();
        ui::setPointer(&f, ui::Pointer::Hourglass);
        setCaption(lblAll_Values, QStringLiteral("Thinking . . ."), kThinking);
        lblAll_Values->repaint();

        DistinctFilter filter;
        filter.special = chkSpecial->isChecked();
        if (filter.special) {
            filter.cls = selectedClass(chkAlpha->isChecked(), chkNumeric->isChecked(), chkPunc->isChecked(),
                                       chkOther->isChecked());
            for (size_t i = 1; i < general::gintSpecChars.size(); ++i)
                filter.specChars.push_back({general::gintSpecChars[i][1], general::gintSpecChars[i][2]});
        } else {
            filter.likePattern = txtFilter->text();
        }

        DistinctList list = distinctValues(general::dbWork, c, filter);
        if (!list.ok()) {
            model_->setRows(c, {});
            f.txtMain->setText(QStringLiteral("0"));
            ui::setPointer(&f, ui::Pointer::Default);
            setCaption(lblAll_Values, QString());
            ui::msgBox(list.error, ui::vbCritical | ui::vbOKOnly);
            return;
        }
        if (c != listedColumn_) {
            // Another column typed into the picker and listed by the filter box:
            // the values gathered so far and the literal delimiter were the
            // old column's, and a conversion must write the column shown.
            f.lstOld->clear();
            f.lstOld->setHeaderLabels({c, QStringLiteral("Count  ")});
            f.lstOld->setColumnWidth(0, px(3950));
            f.txtOld->clear();
            f.txtNew->clear();
        }
        strDelimiter_ = literalDelimiter(list.fieldType);
        listedColumn_ = c;
        listedType_ = list.fieldType;
        model_->setRows(c, std::move(list.rows));
        f.txtMain->setText(QString::number(model_->rowCount()));
        const QString widest = QString::number(std::max<qint64>(model_->largestCount(), 99999));
        f.lstMain->setColumnWidth(1, std::max(px(575), f.lstMain->fontMetrics().horizontalAdvance(widest) + 12));

        const bool unfiltered = txtFilter->text().isEmpty() && !chkAlpha->isChecked() && !chkNumeric->isChecked()
            && !chkPunc->isChecked() && !chkOther->isChecked();
        setCaption(lblAll_Values, unfiltered ? kAllValues : kFiltered);
    }
    resetActionCaptions();
    ui::setPointer(&f, ui::Pointer::Default);
    ui::doEvents();
}

void Panel::chkSpecial_Click(bool ticked)
{
    for (QCheckBox* b : {chkAlpha, chkNumeric, chkPunc, chkOther})
        b->setVisible(ticked);
    txtFilter->setVisible(!ticked);
    setActionButtons(!ticked);
    if (ticked) {
        txtFilter->clear();
    } else {
        setCaption(lblAll_Values, kAllValues);
        lblAll_Values->repaint();
        for (QCheckBox* b : {chkAlpha, chkNumeric, chkPunc, chkOther})
            b->setChecked(false);
    }
    lstMain_Update_Source();
}

void Panel::classBox_Click(QCheckBox* box, bool ticked)
{
    if (!ticked) {
        if (box == chkPunc)
            cmdDefine->hide();
        return;   // the list keeps its rows until the next refresh
    }
    for (QCheckBox* other : {chkAlpha, chkNumeric, chkPunc, chkOther})
        if (other != box)
            other->setChecked(false);
    cmdDefine->setVisible(box == chkPunc);
    lstMain_Update_Source();
}

void Panel::lstMain_MouseDown(const QPoint& pos)
{
    // The press has already made the row under the pointer current; off the
    // rows there is nothing to filter on and no menu.
    const QModelIndex at = f.lstMain->indexAt(pos);
    if (!at.isValid())
        return;
    f.lstMain->setCurrentIndex(model_->index(at.row(), 0));
    mnutools2->popup(f.lstMain->viewport()->mapToGlobal(pos));
}

void Panel::mnufilter_Click()
{
    try {
        const DistinctRow* row = model_->row(f.lstMain->currentIndex().row());
        if (!row || listedColumn_.isEmpty())
            return;
        // The filter names the column the rows were listed for, which is the
        // picker's text unless it was edited since.
        general::gstrFilter = valueFilter(listedColumn_, listedType_, *row);
        MDIMain& main = MDIMain::instance();
        main.Refresh_DataTbl();
        f.tab1->setCurrentIndex(0);
        main.FilterON();
        if (jet::Recordset* rs = f.Data1->Recordset()) {
            const int col = rs->fieldIndex(listedColumn_);
            QScrollBar* bar = f.DBGridData->horizontalScrollBar();
            if (col >= 0)
                bar->setValue(f.DBGridData->horizontalScrollMode() == QAbstractItemView::ScrollPerItem
                                  ? f.DBGridData->horizontalHeader()->visualIndex(col)
                                  : f.DBGridData->horizontalHeader()->sectionPosition(col));
        }
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
    }
}

// ---- the Text Cleaner ---------------------------------------------------------------

void Panel::Check4_Click(bool ticked)
{
    if (ticked) {
        for (QCheckBox* b : {Check5A, Check5B, Check5C, Check5D})
            b->setChecked(false);
        Check5->setChecked(false);
        for (QCheckBox* b : {Check5A, Check5B, Check5C, Check5D})
            b->setEnabled(false);
        for (QCheckBox* b : {Check4A, Check4B, Check4C})
            b->setEnabled(true);
    } else {
        for (QCheckBox* b : {Check4A, Check4B, Check4C}) {
            b->setChecked(false);
            b->setEnabled(false);
        }
    }
}

void Panel::Check5_Click(bool ticked)
{
    if (ticked) {
        for (QCheckBox* b : {Check4A, Check4B, Check4C})
            b->setChecked(false);
        Check4->setChecked(false);
        for (QCheckBox* b : {Check4A, Check4B, Check4C})
            b->setEnabled(false);
        for (QCheckBox* b : {Check5A, Check5B, Check5C, Check5D})
            b->setEnabled(true);
    } else {
        for (QCheckBox* b : {Check5A, Check5B, Check5C, Check5D}) {
            b->setChecked(false);
            b->setEnabled(false);
        }
    }
}

CleanSteps Panel::tickedSteps() const
{
    CleanSteps s;
    s.trim = Check1->isChecked();
    s.removNonPrint = Check2->isChecked();
    s.removRepeat = Check3->isChecked();
    s.conv1 = Check4A->isChecked();
    s.removNonDigitAlpha = Check4B->isChecked();
    s.removDigits = Check4C->isChecked();
    s.conv2 = Check5A->isChecked();
    s.removNonDigitExcept3 = Check5B->isChecked();
    s.remov3 = Check5C->isChecked();
    s.removSpace = Check5D->isChecked();
    return s;
}

bool Panel::isCleanableColumn(const QString& column) const
{
    const std::vector<workbench::Column> cols = workbench::listColumns(general::dbWork);
    for (size_t i = 0; i + 1 < cols.size(); ++i)   // the key, last, never qualifies
        if (cols[i].name == column && cols[i].type == jet::dbText)
            return true;
    return false;
}

void Panel::cmdTextClean_Click()
{
    if (running_)
        return;
    const QString column = f.cmbColumn1->currentText();
    if (column == kChooseColumn) {
        ui::msgBox(kChooseColumn, ui::vbOKOnly);
        return;
    }
    try {
        if (!isCleanableColumn(column)) {
            ui::msgBox(QStringLiteral("Only text fields can be cleaned."), ui::vbExclamation | ui::vbOKOnly);
            return;
        }
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbOKOnly);
        return;
    }

    TextCleanRequest request;
    request.column = column;
    request.steps = tickedSteps();
    request.likePattern = txtFilter->text();
    request.allValues = true;
    if (!request.likePattern.isEmpty()) {
        const int answer = ui::msgBox(QStringLiteral("Clean ALL or FILTERED values?\r\rClick  Yes for ALL values\r\r"
                                                     "Click  No  for FILTERED values\r"),
                                      ui::vbYesNoCancel | ui::vbQuestion);
        if (answer == ui::vbCancel) {
            closingSteps();
            return;
        }
        request.allValues = answer == ui::vbYes;
    }

    ui::setPointer(&f, ui::Pointer::Hourglass);
    cmdTextClean->setText(QStringLiteral("Cleaning"));
    PBar1->setRange(0, 1000);
    PBar1->setValue(0);
    PBar1->show();
    lblPBar1->show();
    // Events run during the run: nothing may pick another column, change the
    // filter or leave the page meanwhile.
    running_ = true;
    left_->setEnabled(false);
    f.tab1->setEnabled(false);
    f.frTextClean->repaint();

    workbench::BarProgress progress(PBar1);
    const TextCleanResult result = runTextClean(general::dbWork, request, progress);

    running_ = false;
    left_->setEnabled(true);
    f.tab1->setEnabled(true);
    PBar1->hide();
    lblPBar1->hide();

    switch (result.outcome) {
    case TextCleanOutcome::Done:
        cmdTextClean->setText(QStringLiteral("Successful"));
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(result.message, ui::vbInformation | ui::vbOKOnly);
        closingSteps();
        return;
    case TextCleanOutcome::NothingSelected:
        // Nothing was written: the other tools' results still hold.
        cmdTextClean->setText(QStringLiteral("Clean"));
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(result.message, ui::vbInformation | ui::vbOKOnly);
        return;
    case TextCleanOutcome::NotText:
        cmdTextClean->setText(QStringLiteral("Clean"));
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(result.message, ui::vbExclamation | ui::vbOKOnly);
        return;
    case TextCleanOutcome::NoColumn:
    case TextCleanOutcome::Cancelled:
    case TextCleanOutcome::Failed:
        // Rolled back: the column is as it was, so the list and the grid still show it.
        cmdTextClean->setText(QStringLiteral("Clean"));
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(result.message, ui::vbOKOnly);
        return;
    }
}

void Panel::closingSteps()
{
    cmbColumn1_Click();
    ui::setPointer(&f, ui::Pointer::Default);
    f.Reset_AdozIvidor();
    f.Reset_Dupe_Counts();
    f.lstOld->clear();
    f.txtNew->clear();
    // The rows are read again; the record source, filter and sort stay.
    f.gridModel()->refreshRows();
}

Panel* panelOf(frmdataform& form)
{
    return dynamic_cast<Panel*>(form.findChild<QObject*>(kPanelName, Qt::FindDirectChildrenOnly));
}

} // namespace

bool IsInList(const QComboBox* combo)
{
    const QString text = combo->currentText();
    bool found = false;
    for (int i = 0; i < combo->count(); ++i)
        found = found || combo->itemText(i) == text;
    return found;
}

void cmbColumn1_Click(frmdataform& form)
{
    if (Panel* p = panelOf(form))
        p->cmbColumn1_Click();
}

void lstMain_Update_Source(frmdataform& form)
{
    if (Panel* p = panelOf(form))
        p->lstMain_Update_Source();
}

QString strDelimiter(frmdataform& form)
{
    const Panel* p = panelOf(form);
    return p ? p->delimiter() : QString();
}

QString listedColumn(frmdataform& form)
{
    const Panel* p = panelOf(form);
    return p ? p->listedColumn() : QString();
}

int listedType(frmdataform& form)
{
    const Panel* p = panelOf(form);
    return p ? p->listedType() : 0;
}

void installPages(frmdataform& form)
{
    new Panel(form);
    installCasePage(form);
    installColumnCleaner(form);
}

} // namespace cleaning
