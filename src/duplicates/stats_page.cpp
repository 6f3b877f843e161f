// The Statistics page, the grid filter of a duplicate group and the
// near-duplicate review's Convert and Clear Selection. The counting, the
// filters and the conversion are stats:: and neardup:: functions; this file
// only reads the controls, calls them and shows what they return.
#include "app/mdimain.h"
#include "cleaning/pages.h"
#include "common/general.h"
#include "duplicates/conversion.h"
#include "duplicates/page_parts.h"
#include "duplicates/pages.h"
#include "duplicates/statistics.h"
#include "platform/jet/error.h"
#include "platform/jet/recordset.h"
#include "platform/ui/job.h"
#include "platform/ui/statement_job.h"
#include "platform/ui/ui.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/gridtools.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QValueAxis>

namespace duplicates {
namespace {

const QString kCompleted = QStringLiteral("Completed Columns");
const QString kIncomplete = QStringLiteral("Incomplete Columns");
const QStringList kChartTypes = {QStringLiteral("Bar Chart"), QStringLiteral("Line Chart"), QStringLiteral("Area Chart"),
                                 QStringLiteral("Step Chart")};

int px(int twips) { return twips / 15; }

QString describe(const std::exception& e)
{
    if (const auto* j = dynamic_cast<const jet::JetError*>(&e))
        return j->description();
    return QString::fromLocal8Bit(e.what());
}

QString workDbPath()
{
    return general::gstrWorkDBPath.isEmpty() ? general::programFolder() + QStringLiteral("/sysfls.sys")
                                             : general::gstrWorkDBPath;
}

/// The type of the grid's field name, or throws the data layer's missing-item error.
int gridFieldType(frmdataform& f, const QString& name)
{
    jet::Recordset* rs = f.Data1->Recordset();
    const int i = rs ? rs->fieldIndex(name) : -1;
    if (i < 0)
        throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
    return rs->field(i).type;
}

// ---- Statistics ------------------------------------------------------------------------

class StatsPage : public QObject {
public:
    explicit StatsPage(frmdataform& form) : QObject(&form), f(form) { build(); }

private:
    void build();
    void Combo1_Click();
    void GraphCombo_Click();
    void flex1_DblClick(int row);
    void drawChart();
    void buildChooser();
    void move(QListWidget* from, QListWidget* to, bool all);
    void Set_Column_Move_Buttons();

    frmdataform& f;
    QComboBox* GraphCombo = nullptr;
    QPushButton* cmdrefresh = nullptr;
    QProgressBar* pbar2 = nullptr;
    QLabel* lblprocessingstats = nullptr;
    QChartView* chartView_ = nullptr;
    QPushButton* cmdMove = nullptr;
    QPushButton* cmdMoveAll = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdBackAll = nullptr;
    int chartType_ = 0;   ///< index into kChartTypes
    std::vector<std::pair<QString, double>> shown_;   ///< the chart's labels and scores
};

void StatsPage::build()
{
    f.Combo1->addItems({kCompleted, kIncomplete});
    f.Combo1->setEditable(true);
    f.Combo1->setInsertPolicy(QComboBox::NoInsert);

    QLayout* frameLayout = f.frmstats->layout();
    auto* controls = new QHBoxLayout;
    GraphCombo = new QComboBox(f.frmstats);
    GraphCombo->setObjectName(QStringLiteral("GraphCombo"));
    GraphCombo->setEditable(true);
    GraphCombo->setInsertPolicy(QComboBox::NoInsert);
    GraphCombo->addItems(kChartTypes);
    GraphCombo->setCurrentIndex(-1);
    GraphCombo->setEditText(QStringLiteral("Choose Chart Type"));
    GraphCombo->setEnabled(false);
    cmdrefresh = new QPushButton(QStringLiteral("&Refresh"), f.frmstats);
    cmdrefresh->setObjectName(QStringLiteral("cmdrefresh"));
    cmdrefresh->setToolTip(QStringLiteral("Refresh the graph"));
    cmdrefresh->setEnabled(false);
    lblprocessingstats = new QLabel(QStringLiteral("Processing"), f.frmstats);
    lblprocessingstats->setObjectName(QStringLiteral("lblprocessingstats"));
    pbar2 = new QProgressBar(f.frmstats);
    pbar2->setObjectName(QStringLiteral("pbar2"));
    pbar2->setTextVisible(false);
    lblprocessingstats->hide();
    pbar2->hide();
    auto* lblclick = new QLabel(QStringLiteral("Double Click on the Required Column to Filter Data Table"), f.frmstats);
    lblclick->setObjectName(QStringLiteral("lblclick"));
    controls->addWidget(lblclick);
    controls->addWidget(lblprocessingstats);
    controls->addWidget(pbar2, 1);
    controls->addWidget(GraphCombo);
    controls->addWidget(cmdrefresh);
    if (auto* box = qobject_cast<QBoxLayout*>(frameLayout))
        box->insertLayout(box->indexOf(f.MSChart1), controls);

    // The chart takes the placeholder's place in the frame.
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Statistics Chart will appear Here!"));
    chart->legend()->hide();
    chartView_ = new QChartView(chart, f.MSChart1);
    chartView_->setObjectName(QStringLiteral("MSChart1View"));
    auto* holder = new QVBoxLayout(f.MSChart1);
    holder->setContentsMargins(0, 0, 0, 0);
    holder->addWidget(chartView_);

    connect(f.Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connect(cmdrefresh, &QPushButton::clicked, this, [this] { Combo1_Click(); });
    connect(GraphCombo, &QComboBox::activated, this, [this](int) { GraphCombo_Click(); });
    connect(f.flex1, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { flex1_DblClick(row); });
    buildChooser();
}

// ---- the column chooser ----------------------------------------------------------------

void StatsPage::buildChooser()
{
    // The two lists stand side by side in the frame; captions go above them
    // and the four move buttons between them.
    QBoxLayout* lists = nullptr;
    for (QBoxLayout* l : f.frmstats->findChildren<QBoxLayout*>())
        if (l->indexOf(f.lstleft) >= 0 && l->indexOf(f.lstRight) >= 0)
            lists = l;
    const auto captioned = [this](QListWidget* list, const QString& caption, const char* name) {
        auto* c = new QVBoxLayout;
        auto* label = new QLabel(caption, f.frmstats);
        label->setObjectName(QString::fromLatin1(name));
        c->addWidget(label);
        c->addWidget(list, 1);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        return c;
    };
    const auto button = [this](const char* caption, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(caption), f.frmstats);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedWidth(px(600));
        return b;
    };
    cmdMove = button(">", "cmdMove");
    cmdMoveAll = button(">>", "cmdMoveAll");
    cmdBack = button("<", "cmdBack");
    cmdBackAll = button("<<", "cmdBackAll");
    if (lists) {
        lists->removeWidget(f.lstleft);
        lists->removeWidget(f.lstRight);
        lists->addLayout(captioned(f.lstleft, QStringLiteral("Columns"), "lblColumns"), 1);
        auto* buttons = new QVBoxLayout;
        buttons->addStretch(1);
        for (QPushButton* b : {cmdMove, cmdMoveAll, cmdBack, cmdBackAll})
            buttons->addWidget(b);
        buttons->addStretch(1);
        lists->addLayout(buttons);
        lists->addLayout(captioned(f.lstRight, QStringLiteral("Selected Columns"), "lblSelectedColumns"), 1);
    }
    connectChooser(
        this, f.lstleft, f.lstRight, {cmdMove, cmdMoveAll, cmdBack, cmdBackAll},
        [this](QListWidget* from, QListWidget* to, bool all) { move(from, to, all); },
        [this] { Set_Column_Move_Buttons(); });
    // The lists are filled when the tab is first shown.
    connect(f.tab1, &QTabBar::currentChanged, this, [this] { Set_Column_Move_Buttons(); });
    Set_Column_Move_Buttons();
}

void StatsPage::move(QListWidget* from, QListWidget* to, bool all)
{
    if (all || !from->selectedItems().isEmpty())
        moveEntries(from, to, all);
    else if (from->currentRow() >= 0)
        to->addItem(from->takeItem(from->currentRow()));
    // The first entry of each list becomes its current one, unselected: the
    // next ">" or "<" takes it unless the user selects others.
    for (QListWidget* l : {from, to}) {
        l->clearSelection();
        if (l->count() > 0)
            l->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    }
    Set_Column_Move_Buttons();
}

void StatsPage::Set_Column_Move_Buttons()
{
    setMoveButtons({cmdMove, cmdMoveAll, cmdBack, cmdBackAll}, f.lstleft, f.lstRight);
}

void StatsPage::Combo1_Click()
{
    if (ui::jobRunning())
        return;
    if (f.lstRight->count() == 0) {
        ui::msgBox(QStringLiteral("Please Select at least 1 column"), ui::vbExclamation | ui::vbOKOnly);
        return;
    }
    const QString choice = f.Combo1->currentText();
    if (choice != kCompleted && choice != kIncomplete)
        return;
    const bool completed = choice == kCompleted;
    lblprocessingstats->show();
    pbar2->show();
    f.frmstats->repaint();
    ui::setPointer(&f, ui::Pointer::Hourglass);

    std::vector<stats::Column> columns;
    QString failure;
    try {
        const int n = std::min(f.lstRight->count(), 255);
        pbar2->setRange(0, n);
        pbar2->setValue(0);
        for (int i = 0; i < n; ++i) {
            const QString name = f.lstRight->item(i)->text();
            columns.push_back({name, gridFieldType(f, name)});
        }
        jet::Database db = jet::Database::open(workDbPath());
        // One job from the first count to the last: the page repaints and
        // what the user does meanwhile is dropped, not done afterwards.
        stats::Result r;
        {
            const ui::StatementJob job(db.connection());
            struct ColumnsDone : common::Progress {
                QProgressBar* bar;
                explicit ColumnsDone(QProgressBar* b) : bar(b) {}
                void step(qint64 done) override
                {
                    bar->setValue(int(done));
                    ui::StatementJob::pump();
                }
            } progress(pbar2);
            r = stats::computeStatistics(db, columns, completed, progress);
        }
        // Entries already measured keep their new values, even when a later one failed.
        for (size_t i = 0; i < r.columns.size(); ++i) {
            general::gstrStatColumns[i + 1] = r.columns[i].name;
            general::gdblStatCounts[i + 1] = double(r.columns[i].count);
            general::gdblStatScores[i + 1] = r.columns[i].score;
        }
        if (!r.ok) {
            failure = r.error;
        } else {
            pbar2->setValue(n);
            shown_.clear();
            for (const stats::ColumnScore& s : r.columns)
                shown_.emplace_back(s.name.left(20), s.score);
            f.lblscore->setText(stats::totalScoreText(r.total));
            f.lblscore->show();
            f.flex1->clear();
            f.flex1->setColumnCount(3);
            f.flex1->setRowCount(int(r.columns.size()));
            f.flex1->setHorizontalHeaderLabels({QString(), QStringLiteral("Column Name"), QStringLiteral("Score")});
            f.flex1->setColumnHidden(0, true);
            f.flex1->setColumnWidth(1, px(r.columns.size() < 9 ? 4027 : 3785));
            f.flex1->setColumnWidth(2, px(1420));
            for (int i = 0; i < int(r.columns.size()); ++i) {
                f.flex1->setItem(i, 1, new QTableWidgetItem(r.columns[size_t(i)].name));
                f.flex1->setItem(i, 2, new QTableWidgetItem(stats::scoreText(r.columns[size_t(i)].score)));
            }
            f.flex1->show();
        }
    } catch (const std::exception& e) {
        failure = describe(e);
    }
    pbar2->setValue(0);
    pbar2->hide();
    lblprocessingstats->hide();
    ui::setPointer(&f, ui::Pointer::Default);
    GraphCombo->setEditText(QStringLiteral("Bar Chart"));   // the text only: the chart keeps its type
    GraphCombo->setEnabled(true);
    cmdrefresh->setEnabled(true);
    if (failure.isEmpty())
        drawChart();
    chartView_->chart()->setTitle(QString());
    if (!failure.isEmpty())
        ui::msgBox(failure, ui::vbCritical | ui::vbOKOnly);
}

void StatsPage::GraphCombo_Click()
{
    if (ui::jobRunning())
        return;
    const int type = int(kChartTypes.indexOf(GraphCombo->currentText()));
    if (type < 0)
        return;
    chartType_ = type;
    drawChart();
}

void StatsPage::drawChart()
{
    QChart* chart = chartView_->chart();
    chart->removeAllSeries();
    // A removed axis is no longer the chart's: it goes with its removal.
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    if (shown_.empty())
        return;
    QStringList labels;
    for (const auto& s : shown_)
        labels << s.first;
    auto* x = new QBarCategoryAxis;
    x->setTitleText(QStringLiteral("Column Names"));
    x->append(labels);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("Score %"));
    y->setRange(0, 100);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    QAbstractSeries* series = nullptr;
    if (chartType_ == 0) {
        auto* set = new QBarSet(QStringLiteral("Score"));
        for (const auto& s : shown_)
            *set << s.second;
        auto* bars = new QBarSeries;
        bars->append(set);
        series = bars;
    } else {
        // Categories sit at 0, 1, 2 ... on the bar axis; a step holds each value up to the next.
        auto* line = new QLineSeries;
        for (size_t i = 0; i < shown_.size(); ++i) {
            if (chartType_ == 3 && i > 0)
                line->append(double(i), shown_[i - 1].second);
            line->append(double(i), shown_[i].second);
        }
        if (chartType_ == 2) {
            auto* area = new QAreaSeries(line);
            line->setParent(area);
            series = area;
        } else {
            series = line;
        }
    }
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

void StatsPage::flex1_DblClick(int row)
{
    if (ui::jobRunning())
        return;
    using namespace general;
    try {
        const QTableWidgetItem* item = f.flex1->item(row, 1);
        const QString name = item ? item->text() : QString();
        const int type = gridFieldType(f, name);
        const QString choice = f.Combo1->currentText();
        if (choice != kCompleted && choice != kIncomplete) {
            ui::msgBox(QStringLiteral("Unknown Statistics Type"), ui::vbOKOnly);
            return;
        }
        const bool completed = choice == kCompleted;
        gstrStatFilterType = completed ? QStringLiteral("Completed Column") : QStringLiteral("Incomplete Column");
        const std::optional<QString> condition = stats::filterCondition({name, type}, completed);
        if (!condition) {
            ui::msgBox(QString::fromLatin1(stats::kUnknownType), ui::vbOKOnly);
            return;
        }
        gstrFilter = *condition;
        MDIMain& main = MDIMain::instance();
        main.Refresh_DataTbl();
        if (f.takeRefusedRefresh())
            return;
        f.frmstats->hide();
        f.tab1->setCurrentIndex(0);
        if (jet::Recordset* rs = f.Data1->Recordset()) {
            const int col = rs->fieldIndex(name);
            if (col >= 0 && f.DBGridData->model() && f.DBGridData->model()->rowCount() > 0)
                f.DBGridData->scrollTo(f.DBGridData->model()->index(0, col), QAbstractItemView::PositionAtTop);
        }
        gstrStatFilterColumn = name;
        main.FilterONStatistics();
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbOKOnly);
    }
}

// ---- a duplicate group as the grid's filter ------------------------------------------

void flxDupes_DblClick(frmdataform& f, const QModelIndex& index)
{
    if (ui::jobRunning())
        return;
    using namespace general;
    jet::Recordset* groups = f.Data2->Recordset();
    if (!index.isValid() || !groups || index.row() >= groups->recordCount())
        return;
    try {
        auto sample = dbWork.openRecordset(QStringLiteral("SELECT TOP 1 * FROM tblData;"), jet::dbOpenSnapshot);
        std::vector<dupes::Column> columns;
        std::vector<jet::Value> values;
        const std::vector<jet::Value>& row = groups->rowAt(index.row());
        for (int c = 1; c < groups->fieldCount(); ++c) {
            const QString name = groups->field(c).name;
            const int at = sample->fieldIndex(name);
            if (at < 0)
                throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
            columns.push_back({name, sample->field(at).type});
            values.push_back(row[size_t(c)]);
        }
        sample->close();
        gstrFilter = dupes::groupFilter(columns, values);
        MDIMain& main = MDIMain::instance();
        main.Refresh_DataTbl();
        if (f.takeRefusedRefresh())
            return;
        f.DBGridData->show();
        f.tab1->setCurrentIndex(0);
        main.FilterONDupes();
        // The small toolbar's Sort Descending and the grid pop-up's sort items
        // go off while a group is shown; the main menu's sorting stays as it
        // is. Filter Off gives all three back.
        if (QAction* des = main.command(QStringLiteral("Toolbar2:13")))
            des->setEnabled(false);
        for (const char* name : {"mnudescending", "mnuascending"})
            if (QAction* a = frmbitmaps::item(QString::fromLatin1(name)))
                a->setEnabled(false);
        ui::setPointer(&f, ui::Pointer::Arrow);
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbOKOnly);
    }
}

// ---- Convert and Clear Selection -------------------------------------------------------

void rebindPairs(frmdataform& f)
{
    f.Adodc1->setDatabaseName(workDbPath());
    f.Adodc1->setRecordSource(QStringLiteral("tblSpecSearch1"));
    f.Adodc1->Refresh();
}

void cmdClear_Click(frmdataform& f)
{
    try {
        f.Adodc1->closeDatabase();   // the list's own connection would block the write
        neardup::clearMarks(general::dbWork);
        rebindPairs(f);
    } catch (const std::exception& e) {
        ui::msgBox(describe(e), ui::vbCritical | ui::vbOKOnly);
    }
}

void cmdConvert2_Click(frmdataform& f)
{
    auto* bar = f.frAdozIvidor->findChild<QProgressBar*>(QStringLiteral("PBar4"));
    auto* barLabel = f.frAdozIvidor->findChild<QLabel*>(QStringLiteral("lblPBar4"));
    const auto record = shownNearSearch(f);
    const QString column = f.cmbColumn1->currentText();
    // Marks belong to the pairs of one search of one column: anything else would rewrite the wrong values.
    if (!record || !record->allowsConversionOf(column)) {
        ui::msgBox(QString::fromLatin1(neardup::kNothingToConvert), ui::vbCritical | ui::vbOKOnly);
        return;
    }
    ui::setPointer(&f, ui::Pointer::Hourglass);
    f.lblPairs->hide();
    f.txtPairs->hide();
    if (bar) {
        bar->setRange(0, 14);
        bar->setValue(1);
        bar->show();
    }
    if (barLabel) {
        barLabel->setText(QStringLiteral("Converting...Press Ctrl+Break to stop"));
        barLabel->show();
    }
    f.repaint();

    f.Adodc1->closeDatabase();   // its connection reads tblSpecSearch1, which the conversion writes
    neardup::ConversionResult r;
    {
        // One job: the page repaints and what the user does meanwhile is dropped.
        const ui::StatementJob job(general::dbWork.connection());
        neardup::ConversionOptions options;
        options.beforeStep = [bar](int step) {
            if (bar)
                bar->setValue(1 + step);
            ui::StatementJob::pump();
        };
        r = neardup::convertMarkedPairs(general::dbWork, record->column, options);
    }
    QString failure = r.ok ? QString() : r.message;
    try {
        rebindPairs(f);
    } catch (const std::exception& e) {
        if (failure.isEmpty())
            failure = describe(e);
    }
    if (bar)
        bar->hide();
    if (barLabel)
        barLabel->hide();
    f.lblPairs->show();
    f.txtPairs->show();
    if (r.ok) {
        // The values of the column changed: the distinct values are listed
        // again and the Column Cleaner's choices, made on the old ones, go.
        f.lstOld->clear();
        f.txtOld->clear();
        f.txtNew->clear();
        cleaning::lstMain_Update_Source(f);
        if (workbench::GridModel* m = f.gridModel())
            m->refreshRows();
    }
    ui::setPointer(&f, ui::Pointer::Default);
    if (failure.isEmpty())
        ui::msgBox(QString::fromLatin1(neardup::kConversionSucceeded), ui::vbInformation | ui::vbOKOnly);
    else
        ui::msgBox(failure, ui::vbCritical | ui::vbOKOnly);
}

} // namespace

void moveEntries(QListWidget* from, QListWidget* to, bool all)
{
    int i = 0;
    while (i < from->count()) {
        if (all || from->item(i)->isSelected())
            to->addItem(from->takeItem(i));   // the next entry moves up into place i
        else
            ++i;
    }
}

void setMoveButtons(const MoveButtons& b, const QListWidget* left, const QListWidget* right)
{
    const auto canMoveOne = [](const QListWidget* l) {
        return (l->count() > 0 && l->currentRow() >= 0) || !l->selectedItems().isEmpty();
    };
    b.move->setEnabled(canMoveOne(left));
    b.moveAll->setEnabled(left->count() > 0);
    b.back->setEnabled(canMoveOne(right));
    b.backAll->setEnabled(right->count() > 0);
}

void connectChooser(QObject* owner, QListWidget* left, QListWidget* right, const MoveButtons& b,
                    const std::function<void(QListWidget* from, QListWidget* to, bool all)>& move,
                    const std::function<void()>& refresh)
{
    QObject::connect(b.move, &QPushButton::clicked, owner, [=] { move(left, right, false); });
    QObject::connect(b.back, &QPushButton::clicked, owner, [=] { move(right, left, false); });
    QObject::connect(b.moveAll, &QPushButton::clicked, owner, [=] { move(left, right, true); });
    QObject::connect(b.backAll, &QPushButton::clicked, owner, [=] { move(right, left, true); });
    QObject::connect(left, &QListWidget::itemDoubleClicked, owner, [=] { move(left, right, false); });
    QObject::connect(right, &QListWidget::itemDoubleClicked, owner, [=] { move(right, left, false); });
    // A click changes the selection, and with it what ">" and "<" may do.
    QObject::connect(left, &QListWidget::itemSelectionChanged, owner, refresh);
    QObject::connect(right, &QListWidget::itemSelectionChanged, owner, refresh);
}

void installStatistics(frmdataform& form) { new StatsPage(form); }

void installGroupFilter(frmdataform& form)
{
    QObject::connect(form.flxDupes, &QAbstractItemView::doubleClicked, &form,
                     [&form](const QModelIndex& index) { flxDupes_DblClick(form, index); });
}

void installConversion(frmdataform& form)
{
    auto* cmdClear = new QPushButton(QStringLiteral("Clear Selection"), form.frAdozIvidor);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    form.cmdConvert2->setToolTip(QStringLiteral("Replace the selected duplicates by their originals"));
    // Beside Convert, in whichever row the page put it.
    const QList<QBoxLayout*> rows = form.frAdozIvidor->findChildren<QBoxLayout*>();
    for (QBoxLayout* row : rows) {
        const int at = row->indexOf(form.cmdConvert2);
        if (at >= 0) {
            row->insertWidget(at, cmdClear);
            break;
        }
    }
    QObject::connect(cmdClear, &QPushButton::clicked, &form, [&form] { cmdClear_Click(form); });
    QObject::connect(form.cmdConvert2, &QPushButton::clicked, &form, [&form] { cmdConvert2_Click(form); });
}

} // namespace duplicates
