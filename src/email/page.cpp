// The E-Mail Cleaner page of the workbench: choosing the column, the
// validation run with its progress bar, the counts of the valid addresses by
// the ticked parts, the list of invalid addresses with their suggestions, the
// data grid's filters to valid and invalid addresses, and the corrections.
//
// The database work is in email_run.h; this file only moves controls. The
// two bulk buttons are live only while the last run still describes the list
// (isCurrent): typing another column name into the combo, or any change made
// through the engine since the run, switches them off until the next run,
// and a click that finds the run stale is refused with its reason. Every
// change this page makes to tblData clears the Dupe Remover's counts and
// re-reads the data grid's rows, so no tool keeps showing results of a list
// that is gone.
//
// The counts list and the invalid list are models over recordsets (the
// counts query, the invalid-list join), so a hundred thousand rows cost the
// query and the rows on screen. Sorting either list runs its query again
// with a new ORDER BY.
#include "workbench/toolpages.h"

#include "app/listeditors.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "common/progress.h"
#include "email/column_run.h"
#include "email/counts_model.h"
#include "email/domain_editors.h"
#include "email/email_run.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/statement_job.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/progressbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSizePolicy>
#include <QTabBar>
#include <QTableView>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

namespace email {

namespace {

const QString kChooseColumn = QStringLiteral("Please Choose a Column");
const QString kThinking = QStringLiteral("Thinking . . .");
const QColor kBusyColour(0x00, 0x00, 0xC0);
const QString kStaleResults =
    QStringLiteral("The list has changed since the check: press Refresh to check the column again.");
const QColor kStaleColour(0xB0, 0x00, 0x00);

/// Twips as pixels at the 15 twips per pixel the page's sizes were made for.
int px(int twips) { return twips / 15; }

/// The parts of the counts list, index 1 to 6 as the check boxes.
struct Part {
    const char* caption;   ///< the check box
    const char* header;    ///< the list's column
    int baseWidth;         ///< twips
};
const std::array<Part, 7> kParts = {{
    {"", "", 0},
    {"Account", "Account", 1900},
    {"Sub-domain", "Sub-domain", 1900},
    {"Domain", "Domain", 1900},
    {"Country", "Tld", 850},
    {"Country_Name", "Country", 1900},
    {"Count", "Count", 850},
}};

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    return QString::fromLocal8Bit(e.what());
}

void setColour(QLabel* l, const QColor& c)
{
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, c);
    l->setPalette(p);
}

template <class W>
W* named(W* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

class EmailPage : public QObject {
public:
    explicit EmailPage(frmdataform& form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();

    // Column choice and the run.
    bool isInList() const;
    void cmbColumn2_Click();
    void cmdEMailRefresh_Click();
    void cmbColumn2_KeyDown(int key);
    void cmbColumn2_LostFocus();
    void Validate_EMail_Column();

    // The counts list.
    void chk_Click(int index);
    void Layout_EMail_List();
    void fitCountColumn();
    void Fill_EMail_Counts();
    CountsChoice countsChoice() const;
    /// The counts list's widgets once its rows are in.
    void countsShown(const CountsChoice& choice);
    void lstEMail_ColumnClick(int section);
    void lstEMail_DblClick(const QModelIndex& index);

    // The invalid list and the corrections.
    void DataGrid1_HeadClick(int colIndex);
    void DataGrid1_DblClick(const QModelIndex& index);
    void cmdFilterInvalid_Click();
    void cmdUseSuggestions_Click();
    void cmdRemoveInvalid_Click();
    void bulkChange(bool useSuggestions);
    void requeryInvalidList();
    void layoutInvalidGrid();
    qint64 invalidRows() const;

    void pageShown();
    void updateButtons();
    /// Keeps the fingerprint of the checked column as the run left it.
    void rememberFingerprint();
    /// True when the list's checked column is no longer what the run
    /// checked: then the results shown are out of date. A write that left
    /// the column as it was (another column, a tool's own tables) keeps the
    /// run current.
    bool resultsStale();
    /// After a change of tblData: the duplicate counts go, the grid re-reads.
    void listChanged();
    /// The column the results belong to: the run's, else the combo's text.
    QString resultColumn() const;
    void scrollGridTo(const QString& column);
    void showFilter(const QString& filter, void (MDIMain::*look)());

    frmdataform& f_;
    QComboBox* cmbColumn2 = nullptr;
    QPushButton* cmdEMailRefresh = nullptr;
    QProgressBar* prgEMail = nullptr;
    QLabel* lblEmail_Values = nullptr;
    std::array<QCheckBox*, 7> chk{};
    std::array<QLineEdit*, 7> txtFilter_Email{};
    QTreeView* lstEMail = nullptr;
    CountsModel* counts_ = nullptr;
    QWidget* countsBox_ = nullptr;
    QLabel* lblEmailDistinct = nullptr;
    QLineEdit* txtEMailDistinct = nullptr;
    QLabel* lblEmailDoubleclick = nullptr;
    QPushButton* cmdccTLDs = nullptr;
    QPushButton* cmdgTLDs = nullptr;
    QLineEdit* txtEmail_Nof_Records = nullptr;
    QTableView* DataGrid1 = nullptr;
    QPushButton* cmdFilterInvalid = nullptr;
    QPushButton* cmdUseSuggestions = nullptr;
    QPushButton* cmdRemoveInvalid = nullptr;
    QLabel* lblStale = nullptr;

    EmailRun run_;
    QByteArray runFingerprint_;      ///< the checked column's, when the run was current
    quint64 staleCheckedAt_ = ~0ull; ///< the generation resultsStale() last looked at
    bool staleSeen_ = false;         ///< what it found then
    /// From a bulk change of this page to the end of its new check: the
    /// check is behind the list by the page's own doing, not stale.
    bool ownChange_ = false;
    QPointer<QAbstractItemModel> watchedGrid_;
    InvalidSort invalidSort_;
    CountsSort countsSort_;
    bool running_ = false;
    bool losingFocus_ = false;
};

EmailPage::EmailPage(frmdataform& form) : QObject(form.frEMailClean), f_(form)
{
    setObjectName(QStringLiteral("emailPage"));
    build();
}

// ---- the controls ---------------------------------------------------------------

void EmailPage::build()
{
    QGroupBox* frame = f_.frEMailClean;
    cmbColumn2 = f_.cmbColumn2;
    DataGrid1 = f_.DataGrid1;

    // The workbench's own arrangement of the frame only holds the combo, a
    // stand-in list and the grid; the page lays the frame out anew. The
    // stand-in list cannot take a model, so it stays hidden.
    QWidget* standIn = cmbColumn2->parentWidget();
    if (standIn && standIn != frame && standIn->layout())
        standIn->layout()->removeWidget(cmbColumn2);
    delete frame->layout();
    if (standIn && standIn != frame)
        standIn->hide();
    f_.lstEMail->hide();

    auto* outer = new QHBoxLayout(frame);
    outer->setContentsMargins(px(100), px(60), px(100), px(60));
    outer->setSpacing(px(150));   // room for the three buttons under the invalid list at the designed width

    // Left: the column, the run, the counts of the valid addresses.
    // As wide as the counts list needs; the invalid list takes the rest.
    auto* left = new QWidget(frame);
    left->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* lv = new QVBoxLayout(left);
    lv->setContentsMargins(0, 0, 0, 0);

    auto* pick = new QHBoxLayout;
    pick->addWidget(new QLabel(QStringLiteral("E-Mail Column:"), left));
    cmbColumn2->setParent(left);
    cmbColumn2->setMinimumWidth(px(3300));
    pick->addWidget(cmbColumn2);
    cmdEMailRefresh = named(new QPushButton(QStringLiteral("Refresh"), left), QStringLiteral("cmdEMailRefresh"));
    pick->addWidget(cmdEMailRefresh);
    pick->addStretch(1);
    lv->addLayout(pick);

    prgEMail = named(new QProgressBar(left), QStringLiteral("prgEMail"));
    prgEMail->setTextVisible(false);
    prgEMail->setMaximumHeight(px(180));
    prgEMail->hide();
    lv->addWidget(prgEMail);

    lblEmail_Values = named(new QLabel(left), QStringLiteral("lblEmail_Values"));
    QFont bold = lblEmail_Values->font();
    bold.setBold(true);
    lblEmail_Values->setFont(bold);
    lblEmail_Values->setMinimumHeight(lblEmail_Values->fontMetrics().height() + 4);
    lv->addWidget(lblEmail_Values);

    auto* ticks = new QHBoxLayout;
    for (int i = 1; i <= 6; ++i) {
        chk[size_t(i)] = named(new QCheckBox(QString::fromLatin1(kParts[size_t(i)].caption), left),
                               QStringLiteral("chk%1").arg(i));
        ticks->addWidget(chk[size_t(i)]);
    }
    ticks->addStretch(1);
    // The country name always goes with the country code and the count is
    // always shown: otherwise the list's columns would no longer line up
    // with the query's fields.
    chk[5]->hide();
    chk[6]->hide();
    for (int i : {3, 4, 5, 6})
        chk[size_t(i)]->setChecked(true);
    lv->addLayout(ticks);

    countsBox_ = new QWidget(left);
    auto* cv = new QVBoxLayout(countsBox_);
    cv->setContentsMargins(0, 0, 0, 0);
    cv->setSpacing(0);
    auto* filters = new QHBoxLayout;
    filters->setSpacing(0);
    filters->setContentsMargins(1, 0, 0, 0);
    for (int i = 1; i <= 6; ++i) {
        txtFilter_Email[size_t(i)] = named(new QLineEdit(countsBox_), QStringLiteral("txtFilter_Email%1").arg(i));
        txtFilter_Email[size_t(i)]->setToolTip(QStringLiteral("Filter (* and ? as wildcards); Enter or Tab applies it."));
        txtFilter_Email[size_t(i)]->installEventFilter(this);
        if (i < 6)
            filters->addWidget(txtFilter_Email[size_t(i)]);
    }
    txtFilter_Email[6]->hide();   // the count is never filtered
    filters->addStretch(1);
    cv->addLayout(filters);
    lstEMail = named(new QTreeView(countsBox_), QStringLiteral("lstEMailCounts"));
    counts_ = new CountsModel(lstEMail);
    lstEMail->setModel(counts_);
    lstEMail->setRootIsDecorated(false);
    lstEMail->setUniformRowHeights(true);
    lstEMail->setItemsExpandable(false);
    lstEMail->setAllColumnsShowFocus(true);
    lstEMail->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstEMail->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstEMail->setSelectionMode(QAbstractItemView::SingleSelection);
    lstEMail->header()->setSectionsClickable(true);
    lstEMail->header()->setSortIndicatorShown(true);
    lstEMail->header()->setStretchLastSection(false);
    lstEMail->viewport()->installEventFilter(this);
    lstEMail->header()->setSectionsMovable(false);
    lstEMail->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cv->addWidget(lstEMail, 1);
    auto* distinct = new QHBoxLayout;
    distinct->setContentsMargins(0, px(45), 0, 0);
    distinct->addStretch(1);
    lblEmailDistinct = named(new QLabel(QStringLiteral("Distinct Values"), countsBox_), QStringLiteral("lblEmailDistinct"));
    txtEMailDistinct = named(new QLineEdit(QStringLiteral("0"), countsBox_), QStringLiteral("txtEMailDistinct"));
    txtEMailDistinct->setReadOnly(true);
    txtEMailDistinct->setAlignment(Qt::AlignRight);
    txtEMailDistinct->setFixedWidth(px(1100));
    distinct->addWidget(lblEmailDistinct);
    distinct->addWidget(txtEMailDistinct);
    cv->addLayout(distinct);
    lv->addWidget(countsBox_, 1, Qt::AlignLeft);

    lblEmailDoubleclick = named(new QLabel(QStringLiteral("Double click on first column to filter data table"), left),
                                QStringLiteral("lblEmailDoubleclick"));
    lv->addWidget(lblEmailDoubleclick);
    auto* lists = new QHBoxLayout;
    cmdccTLDs = named(new QPushButton(QStringLiteral("ccTLDs"), left), QStringLiteral("cmdccTLDs"));
    cmdgTLDs = named(new QPushButton(QStringLiteral("gTLDs"), left), QStringLiteral("cmdgTLDs"));
    cmdccTLDs->setToolTip(QStringLiteral("View and edit country code top line domains list "));
    cmdgTLDs->setToolTip(QStringLiteral("View and edit generic top line domains list"));
    lists->addWidget(cmdccTLDs);
    lists->addWidget(cmdgTLDs);
    lists->addStretch(1);
    lv->addLayout(lists);
    outer->addWidget(left);

    // Right: the invalid addresses and what can be done with them.
    auto* right = new QWidget(frame);
    auto* rv = new QVBoxLayout(right);
    rv->setContentsMargins(0, 0, 0, 0);
    auto* number = new QHBoxLayout;
    auto* invalidTitle = new QLabel(QStringLiteral("INVALID EMAILS"), right);
    invalidTitle->setFont(bold);
    number->addWidget(invalidTitle);
    number->addStretch(1);
    number->addWidget(new QLabel(QStringLiteral("Number of Records"), right));
    txtEmail_Nof_Records = named(new QLineEdit(QStringLiteral("0"), right), QStringLiteral("txtEmail_Nof_Records"));
    txtEmail_Nof_Records->setReadOnly(true);
    txtEmail_Nof_Records->setAlignment(Qt::AlignRight);
    txtEmail_Nof_Records->setFixedWidth(px(1300));
    number->addWidget(txtEmail_Nof_Records);
    rv->addLayout(number);
    DataGrid1->setParent(right);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DataGrid1->setWordWrap(false);
    DataGrid1->horizontalHeader()->setSectionsClickable(true);
    DataGrid1->horizontalHeader()->setHighlightSections(false);
    DataGrid1->verticalHeader()->setDefaultSectionSize(DataGrid1->fontMetrics().height() + 6);
    DataGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rv->addWidget(DataGrid1, 1);
    rv->addWidget(named(new QLabel(QStringLiteral("Double click to replace the original  e-mail."), right),
                        QStringLiteral("lblInvalidDoubleclick")));
    auto* buttons = new QHBoxLayout;
    cmdFilterInvalid = named(new QPushButton(QStringLiteral("Filter All Invalids"), right), QStringLiteral("cmdFilterInvalid"));
    cmdFilterInvalid->setToolTip(QStringLiteral("Filter all invalid emails."));
    cmdUseSuggestions = named(new QPushButton(QStringLiteral("Use All Corrections"), right), QStringLiteral("cmdUseSuggestions"));
    cmdUseSuggestions->setToolTip(QStringLiteral("Replace all the invalid emails with the suggested corrections."));
    cmdRemoveInvalid = named(new QPushButton(QStringLiteral("Remove All Invalids"), right), QStringLiteral("cmdRemoveInvalid"));
    cmdRemoveInvalid->setToolTip(QStringLiteral("Remove all these Invalid emails."));
    for (QPushButton* b : {cmdFilterInvalid, cmdUseSuggestions, cmdRemoveInvalid}) {
        b->setEnabled(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    lblStale = named(new QLabel(kStaleResults, right), QStringLiteral("lblStale"));
    lblStale->setWordWrap(true);
    lblStale->setFont(bold);
    setColour(lblStale, kStaleColour);
    lblStale->hide();
    rv->addWidget(lblStale);
    rv->addLayout(buttons);
    outer->addWidget(right, 1);

    // Handlers.
    cmbColumn2->setCompleter(nullptr);   // a typed name is taken by Enter or Tab only
    cmbColumn2->installEventFilter(this);
    if (QLineEdit* e = cmbColumn2->lineEdit())
        e->installEventFilter(this);
    connect(cmbColumn2, &QComboBox::activated, this, [this](int) {
        // An editable combo also "activates" an item whose name was typed
        // when it loses the focus; only a choice from its list runs.
        if (!losingFocus_)
            cmbColumn2_Click();
    });
    connect(cmbColumn2, &QComboBox::editTextChanged, this, [this](const QString&) { updateButtons(); });
    connect(cmdEMailRefresh, &QPushButton::clicked, this, &EmailPage::cmdEMailRefresh_Click);
    for (int i = 1; i <= 6; ++i)
        connect(chk[size_t(i)], &QCheckBox::clicked, this, [this, i](bool) { chk_Click(i); });
    for (int i = 1; i <= 5; ++i)
        connect(txtFilter_Email[size_t(i)], &QLineEdit::returnPressed, this, &EmailPage::Fill_EMail_Counts);
    connect(lstEMail->header(), &QHeaderView::sectionClicked, this, &EmailPage::lstEMail_ColumnClick);
    connect(lstEMail, &QAbstractItemView::doubleClicked, this, &EmailPage::lstEMail_DblClick);
    connect(cmdccTLDs, &QPushButton::clicked, this, [this] { listeditors::showEditor(QStringLiteral("frmccTLDs"), &f_, true); });
    connect(cmdgTLDs, &QPushButton::clicked, this, [this] { listeditors::showEditor(QStringLiteral("frmgTLDs"), &f_, true); });
    connect(DataGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &EmailPage::DataGrid1_HeadClick);
    connect(DataGrid1, &QAbstractItemView::doubleClicked, this, &EmailPage::DataGrid1_DblClick);
    connect(f_.Adodc2, &workbench::DataControl::recordsetReplaced, this, &EmailPage::layoutInvalidGrid);
    connect(cmdFilterInvalid, &QPushButton::clicked, this, &EmailPage::cmdFilterInvalid_Click);
    connect(cmdUseSuggestions, &QPushButton::clicked, this, &EmailPage::cmdUseSuggestions_Click);
    connect(cmdRemoveInvalid, &QPushButton::clicked, this, &EmailPage::cmdRemoveInvalid_Click);
    connect(f_.tab1, &QTabBar::currentChanged, this, [this](int index) {
        if (index == 5)
            pageShown();
    });

    Layout_EMail_List();
}

bool EmailPage::eventFilter(QObject* watched, QEvent* event)
{
    if (lstEMail && watched == lstEMail->viewport() && event->type() == QEvent::Resize)
        fitCountColumn();
    const bool combo = cmbColumn2 && (watched == cmbColumn2 || watched == cmbColumn2->lineEdit());
    if (combo && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmbColumn2_KeyDown(key);
            return true;
        }
        if (key == Qt::Key_Tab)
            cmbColumn2_KeyDown(key);   // the focus still moves on
    } else if (combo && event->type() == QEvent::FocusOut && !losingFocus_) {
        cmbColumn2_LostFocus();
        const QScopedValueRollback<bool> guard(losingFocus_, true);
        watched->event(event);
        return true;
    } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab) {
        for (int i = 1; i <= 5; ++i)
            if (watched == txtFilter_Email[size_t(i)])
                Fill_EMail_Counts();
    }
    return QObject::eventFilter(watched, event);
}

// ---- choosing the column ------------------------------------------------------

bool EmailPage::isInList() const
{
    const QString text = cmbColumn2->currentText();
    for (int i = 0; i < cmbColumn2->count(); ++i)
        if (cmbColumn2->itemText(i) == text)
            return true;
    return false;
}

void EmailPage::cmdEMailRefresh_Click()
{
    if (isInList())
        cmbColumn2_Click();
    else
        cmbColumn2->setEditText(kChooseColumn);
}

void EmailPage::cmbColumn2_KeyDown(int key)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter)
        cmdEMailRefresh_Click();
}

void EmailPage::cmbColumn2_LostFocus()
{
    if (!isInList())
        cmbColumn2->setEditText(kChooseColumn);
}

void EmailPage::cmbColumn2_Click()
{
    if (ui::jobRunning())
        return;
    if (running_ || !general::dbWork.isOpen())
        return;
    const QScopedValueRollback<bool> busy(running_, true);
    f_.tab1->setEnabled(false);
    f_.frEMailClean->setEnabled(false);
    try {
        invalidSort_ = InvalidSort{4, false};
        Validate_EMail_Column();
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical);
    }
    updateButtons();
    f_.tab1->setEnabled(true);
    f_.frEMailClean->setEnabled(true);
}

void EmailPage::Validate_EMail_Column()
{
    ui::setPointer(&f_, ui::Pointer::Hourglass);
    lblEmail_Values->setText(kThinking);
    setColour(lblEmail_Values, kBusyColour);
    ui::doEvents();
    for (int i = 1; i <= 6; ++i)
        txtFilter_Email[size_t(i)]->clear();
    txtEmail_Nof_Records->hide();
    txtEmail_Nof_Records->setText(QStringLiteral("0"));
    Layout_EMail_List();

    auto done = [this] {
        prgEMail->hide();
        if (lblEmail_Values->text() == kThinking)
            lblEmail_Values->clear();
        setColour(lblEmail_Values, Qt::black);
        ui::setPointer(&f_, ui::Pointer::Default);
        DataGrid1->setEnabled(true);
        txtEmail_Nof_Records->show();
    };
    prgEMail->setValue(0);
    prgEMail->show();
    workbench::BarProgress progress(prgEMail);
    ResultViews views{f_.Adodc2, counts_, [this] { listChanged(); }};
    const CountsChoice choice = countsChoice();
    RunResult r;
    try {
        r = validateAndShow(general::dbWork, cmbColumn2->currentText(), settingsDomainLists(), settingsSpecialChars(),
                            choice, countsSort_, invalidSort_, views, progress);
    } catch (...) {
        txtEmail_Nof_Records->setText(QString::number(run_.column.isEmpty() ? 0 : run_.invalid));
        done();
        throw;
    }
    if (r.ok) {
        run_ = std::move(r.run);
        rememberFingerprint();
        layoutInvalidGrid();
    }
    txtEmail_Nof_Records->setText(QString::number(run_.column.isEmpty() ? 0 : run_.invalid));
    countsShown(choice);
    done();
    if (!r.ok)
        ui::msgBox(r.error, ui::vbCritical);   // nothing was changed; the results shown before stay
}

// ---- the counts list ------------------------------------------------------------

void EmailPage::chk_Click(int index)
{
    if (ui::jobRunning())
        return;
    if (index == 5)
        return;
    if (index == 4)
        chk[5]->setChecked(chk[4]->isChecked());
    Layout_EMail_List();
    ui::doEvents();
    Fill_EMail_Counts();
}

void EmailPage::Layout_EMail_List()
{
    QStringList headers;
    std::vector<int> widths;
    int total = 0;
    for (int i = 1; i <= 6; ++i)
        if (chk[size_t(i)]->isChecked())
            total += kParts[size_t(i)].baseWidth;
    for (int i = 1; i <= 5; ++i) {
        QLineEdit* box = txtFilter_Email[size_t(i)];
        if (chk[size_t(i)]->isChecked()) {
            const int w = px(kParts[size_t(i)].baseWidth);
            box->setFixedWidth(w);
            box->show();
            headers << QString::fromLatin1(kParts[size_t(i)].header);
            widths.push_back(w);
        } else {
            box->hide();
            box->clear();
        }
    }
    headers << QStringLiteral("Count");
    counts_->setHeaders(headers);
    countsSort_ = CountsSort{};
    for (int c = 0; c < int(widths.size()); ++c) {
        lstEMail->header()->setSectionResizeMode(c, QHeaderView::Fixed);
        lstEMail->setColumnWidth(c, widths[size_t(c)]);
    }
    lstEMail->header()->setSortIndicator(0, Qt::AscendingOrder);
    const int frame = 2 * lstEMail->frameWidth();
    lstEMail->setFixedWidth(std::max(px(total), px(850)) + frame);
    countsBox_->setFixedWidth(std::max(lstEMail->width(), px(3000)));
    txtEMailDistinct->setText(QStringLiteral("0"));
    fitCountColumn();
}

void EmailPage::fitCountColumn()
{
    // The count takes what the parts leave, so a vertical scroll bar narrows
    // it instead of pushing the last part out of sight.
    const int last = counts_->columnCount() - 1;
    if (last < 0)
        return;
    int parts = 0;
    for (int c = 0; c < last; ++c)
        parts += lstEMail->columnWidth(c);
    lstEMail->setColumnWidth(last, std::max(lstEMail->viewport()->width() - parts, px(550)));
}

CountsChoice EmailPage::countsChoice() const
{
    CountsChoice choice;
    for (int i = 1; i <= 6; ++i) {
        choice.ticked[size_t(i)] = chk[size_t(i)]->isChecked();
        choice.filter[size_t(i)] = txtFilter_Email[size_t(i)]->text();
    }
    return choice;
}

void EmailPage::Fill_EMail_Counts()
{
    ui::setPointer(&f_, ui::Pointer::Hourglass);
    lblEmail_Values->setText(kThinking);
    setColour(lblEmail_Values, kBusyColour);
    ui::doEvents();
    const CountsChoice choice = countsChoice();
    try {
        showCounts(general::dbWork, *counts_, choice, countsSort_);
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical);
        lblEmail_Values->clear();
        setColour(lblEmail_Values, Qt::black);
        ui::setPointer(&f_, ui::Pointer::Default);
        return;
    }
    countsShown(choice);
    ui::setPointer(&f_, ui::Pointer::Default);
}

void EmailPage::countsShown(const CountsChoice& choice)
{
    lstEMail->header()->setSortIndicator(countsSort_.column,
                                         countsSort_.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    fitCountColumn();
    txtEMailDistinct->setText(QString::number(counts_->rowCount()));
    lblEmail_Values->setText(countsFiltered(choice) ? QStringLiteral("VALID EMAILS  (FILTERED)")
                                                    : QStringLiteral("VALID EMAILS"));
    setColour(lblEmail_Values, Qt::black);
}

void EmailPage::lstEMail_ColumnClick(int section)
{
    if (ui::jobRunning())
        return;
    if (!clickCountsHeader(countsSort_, counts_->headers(), section, counts_->rowCount() > 0)) {
        lstEMail->header()->setSortIndicator(countsSort_.column,
                                             countsSort_.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        return;
    }
    Fill_EMail_Counts();
}

void EmailPage::lstEMail_DblClick(const QModelIndex& index)
{
    if (ui::jobRunning())
        return;
    if (counts_->rowCount() == 0 || !index.isValid())
        return;
    std::vector<std::pair<QString, QString>> shown;
    const QStringList& headers = counts_->headers();
    for (int c = 0; c < headers.size(); ++c)
        shown.emplace_back(headers[c], counts_->text(index.row(), c));
    showFilter(validRowFilter(shown), &MDIMain::FilterOnValidEmail);
}

// ---- the invalid list -----------------------------------------------------------

qint64 EmailPage::invalidRows() const
{
    const jet::Recordset* rs = f_.Adodc2->Recordset();
    return rs && rs->fieldCount() == 4 ? rs->recordCount() : 0;
}

void EmailPage::layoutInvalidGrid()
{
    const QAbstractItemModel* m = DataGrid1->model();
    if (!m || m->columnCount() != 4)
        return;
    DataGrid1->setColumnHidden(0, true);
    DataGrid1->setColumnHidden(1, true);
    DataGrid1->setColumnWidth(2, px(4500));
    DataGrid1->setColumnWidth(3, px(4500));
    DataGrid1->horizontalHeader()->setSortIndicatorShown(invalidSort_.column != 0);
    if (invalidSort_.column != 0)
        DataGrid1->horizontalHeader()->setSortIndicator(
            invalidSort_.column - 1, invalidSort_.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void EmailPage::DataGrid1_HeadClick(int colIndex)
{
    if (ui::jobRunning())
        return;
    if (run_.column.isEmpty())
        return;   // nothing validated yet: the list has nothing to sort
    if (!clickInvalidHeader(invalidSort_, colIndex))
        return;
    requeryInvalidList();
}

void EmailPage::requeryInvalidList()
{
    try {
        showInvalidList(*f_.Adodc2, run_, invalidSort_);
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbOKOnly);
    }
    layoutInvalidGrid();
}

void EmailPage::DataGrid1_DblClick(const QModelIndex& index)
{
    if (ui::jobRunning())
        return;
    const QAbstractItemModel* m = DataGrid1->model();
    if (!m || m->columnCount() != 4 || !index.isValid() || run_.column.isEmpty())
        return;
    const QString text = m->data(index).toString();
    if (index.column() != 3) {
        showFilter(invalidAddressFilter(run_.column, text), &MDIMain::FilterOnInvalidEmail);
        return;
    }
    const qint64 key = m->data(m->index(index.row(), 0)).toLongLong();
    const ChangeResult r = applySuggestion(general::dbWork, run_, cmbColumn2->currentText(), key);
    if (r.refused) {
        ui::msgBox(r.reason, ui::vbExclamation);
        updateButtons();
        return;
    }
    if (!r.ok) {
        ui::msgBox(r.reason, ui::vbOKOnly);
        return;
    }
    if (r.rows == 0)
        return;   // no suggestion: nothing was written
    rememberFingerprint();   // the run follows its own change
    listChanged();
    txtEmail_Nof_Records->setText(QString::number(run_.invalid));
    const int row = index.row();
    requeryInvalidList();
    if (const QAbstractItemModel* now = DataGrid1->model(); now && now->rowCount() > 0)
        DataGrid1->setCurrentIndex(now->index(std::min(row, now->rowCount() - 1), 2));
    Fill_EMail_Counts();
    updateButtons();
}

void EmailPage::cmdFilterInvalid_Click() { showFilter(allInvalidFilter(), &MDIMain::FilterOnInvalidEmails); }

void EmailPage::cmdUseSuggestions_Click() { bulkChange(true); }

void EmailPage::cmdRemoveInvalid_Click() { bulkChange(false); }

void EmailPage::bulkChange(bool useSuggestions)
{
    ResultViews views{f_.Adodc2, counts_, [this] { listChanged(); }};
    const ChangeResult r = changeAllInvalid(general::dbWork, run_, cmbColumn2->currentText(), useSuggestions, views);
    if (r.refused) {
        ui::msgBox(r.reason, ui::vbExclamation);
        updateButtons();
        return;
    }
    if (!r.ok) {
        ui::msgBox(r.reason, ui::vbOKOnly);   // nothing was changed
        return;
    }
    {
        const QScopedValueRollback<bool> own(ownChange_, true);
        ui::msgBox(QStringLiteral("Operation sucessful."), ui::vbInformation | ui::vbOKOnly);
        cmdEMailRefresh_Click();
    }
    updateButtons();   // a new check that failed leaves the page stale, and says so
}

// ---- shared -----------------------------------------------------------------------

void EmailPage::pageShown()
{
    // Before the first run the grid shows the bare work table; give it the
    // invalid list's columns, empty, so the page reads the same before and after.
    if (run_.column.isEmpty() && f_.Adodc2->RecordSource() == QLatin1String("tblEMails")
        && !f_.Adodc2->DatabaseName().isEmpty()) {
        f_.Adodc2->setRecordSource(invalidListSource(QStringLiteral("LumacorPrimK"), 4, true));
        try {
            f_.Adodc2->Refresh();
        } catch (const std::exception&) {
        }
        layoutInvalidGrid();
    }
    // A change of the list while the page is shown (the grid's Replace
    // dialog stays open beside it) is noticed once the change is over.
    if (QAbstractItemModel* grid = f_.gridModel(); grid && grid != watchedGrid_) {
        watchedGrid_ = grid;
        const auto recheck = [this] {
            ui::whenNoJob(this, [this] {
                if (f_.tab1->currentIndex() == 5)
                    updateButtons();
            });
        };
        connect(grid, &QAbstractItemModel::dataChanged, this, recheck);
        connect(grid, &QAbstractItemModel::modelReset, this, recheck);
    }
    updateButtons();
}

void EmailPage::rememberFingerprint()
{
    staleCheckedAt_ = ~0ull;
    staleSeen_ = false;
    try {
        const ui::StatementJob job(general::dbWork.connection());   // a read of the whole column
        runFingerprint_ = columnFingerprint(general::dbWork, run_.column);
    } catch (const std::exception&) {
        runFingerprint_.clear();   // nothing to compare with: any later write makes the run stale
    }
}

bool EmailPage::resultsStale()
{
    if (run_.column.isEmpty() || !general::dbWork.isOpen())
        return false;
    const quint64 now = general::dbWork.connection().generation();
    if (now == run_.generation)
        return false;
    if (now == staleCheckedAt_)
        return staleSeen_;
    bool stale = true;
    try {
        const ui::StatementJob job(general::dbWork.connection());   // a read of the whole column
        stale = runFingerprint_.isEmpty() || columnFingerprint(general::dbWork, run_.column) != runFingerprint_;
    } catch (const std::exception&) {
        stale = true;   // the column or the table is gone
    }
    if (!stale)
        run_.generation = now;   // the column holds what was checked: the run still describes it
    staleCheckedAt_ = now;
    staleSeen_ = stale;
    return stale;
}

void EmailPage::updateButtons()
{
    const bool sameColumn = !run_.column.isEmpty()
        && run_.column.compare(cmbColumn2->currentText(), Qt::CaseInsensitive) == 0;
    const bool stale = sameColumn && !ownChange_ && resultsStale();
    const bool rows = !run_.column.isEmpty() && invalidRows() > 0;
    const bool current = rows && !stale && isCurrent(general::dbWork, run_, cmbColumn2->currentText());
    // Out-of-date results would filter and change other records than the
    // page shows: the page says so and its buttons wait for a new check.
    lblStale->setVisible(stale);
    cmdFilterInvalid->setEnabled(rows && !stale);
    cmdUseSuggestions->setEnabled(current);
    cmdRemoveInvalid->setEnabled(current);
}

void EmailPage::listChanged()
{
    // Any change of the list makes both duplicate tools' results stale.
    f_.Reset_Dupe_Counts();
    f_.Reset_AdozIvidor();
    if (workbench::GridModel* m = f_.gridModel())
        m->refreshRows();
}

QString EmailPage::resultColumn() const { return run_.column.isEmpty() ? cmbColumn2->currentText() : run_.column; }

void EmailPage::scrollGridTo(const QString& column)
{
    const jet::Recordset* rs = f_.Data1->Recordset();
    const int at = rs ? rs->fieldIndex(column) : -1;
    if (at < 0)
        return;
    QScrollBar* bar = f_.DBGridData->horizontalScrollBar();
    if (f_.DBGridData->horizontalScrollMode() == QAbstractItemView::ScrollPerItem)
        bar->setValue(at);
    else
        bar->setValue(f_.DBGridData->horizontalHeader()->sectionPosition(at));
}

void EmailPage::showFilter(const QString& filter, void (MDIMain::*look)())
{
    try {
        general::gstrFilter = filter;
        MDIMain& m = MDIMain::instance();
        m.Refresh_DataTbl();
        (m.*look)();
        f_.frmstats->hide();
        f_.tab1->setCurrentIndex(0);
        scrollGridTo(resultColumn());
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbOKOnly);
    }
}

} // namespace

void installPage(frmdataform& form)
{
    registerDomainEditors();
    new EmailPage(form);
}

} // namespace email
