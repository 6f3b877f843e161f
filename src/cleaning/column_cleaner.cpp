// The Column Cleaner page's handlers. The values to replace live only in the
// list lstOld (text and count, as lstMain showed them); the conversion itself
// is cleaning::runColumnConvert, one UPDATE in one transaction. After a
// conversion the column is listed again and the duplicate tools' results are
// cleared, since the values they were found on may be gone.
#include "cleaning/column_cleaner.h"

#include "cleaning/column_convert.h"
#include "cleaning/pages.h"
#include "cleaning/value_sort.h"
#include "common/general.h"
#include "platform/jet/error.h"
#include "platform/ui/statement_job.h"
#include "platform/ui/ui.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"

#include <QAbstractItemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>

namespace cleaning {
namespace {

constexpr int kColumnCleanerPage = 5;

int px(int twips) { return twips / 15; }

class ColumnCleaner : public QObject {
public:
    explicit ColumnCleaner(frmdataform& form);

private:
    int page() const { return f.tab1->currentIndex() + 1; }
    QString mainText(int row, int column, int role = Qt::DisplayRole) const
    {
        const QAbstractItemModel* m = f.lstMain->model();
        return m ? m->data(m->index(row, column), role).toString() : QString();
    }
    std::vector<int> selectedMainRows() const;
    bool inOld(const QString& text) const;
    void addOld(int mainRow);
    void showCount();

    void cmdSelectOld_Click();
    void lstMain_DblClick();
    void lstOld_ItemClick(QTreeWidgetItem* item);
    void cmdSelectNew_Click();
    void cmdConvert_Click();
    void Layout_lstOld(int tabIndex);
    void lstOld_ColumnClick(int section);

    frmdataform& f;
    QPushButton* cmdSelectOld = nullptr;
    QPushButton* cmdConvert = nullptr;
    SortState sort_;
};

ColumnCleaner::ColumnCleaner(frmdataform& form) : QObject(&form), f(form)
{
    setObjectName(QStringLiteral("columnCleaner"));
    QGroupBox* frame = f.frColumnClean;
    frame->setTitle(QStringLiteral("Column Cleaning"));
    cmdSelectOld = new QPushButton(QStringLiteral(">>"), frame);
    cmdSelectOld->setObjectName(QStringLiteral("cmdSelectOld"));
    cmdConvert = new QPushButton(QStringLiteral("&Convert"), frame);
    cmdConvert->setObjectName(QStringLiteral("cmdConvert"));
    cmdConvert->setToolTip(QStringLiteral("Replace all selected values with the new value"));
    f.cmdSelectNew->setText(QStringLiteral(">>"));
    f.Label4->setText(QStringLiteral("NEW VALUE"));
    f.Label7->setText(QStringLiteral("Distinct Values"));
    f.lstOld->setHeaderLabels({QString(), QStringLiteral("Count  ")});
    f.lstOld->setColumnWidth(0, px(3950));
    f.lstOld->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    f.lstOld->setSortingEnabled(false);
    f.lstOld->header()->setSectionsClickable(true);

    // The gathered values under their caption with the ">>" that fills them
    // on their left, the count beside the list's foot, then the new value with
    // its own ">>" on the left and Convert below.
    if (auto* g = qobject_cast<QGridLayout*>(frame->layout())) {
        for (QWidget* w : {static_cast<QWidget*>(f.lstOld), static_cast<QWidget*>(f.Label7),
                           static_cast<QWidget*>(f.txtOld), static_cast<QWidget*>(f.Label4),
                           static_cast<QWidget*>(f.txtNew), static_cast<QWidget*>(f.cmdSelectNew)})
            g->removeWidget(w);
        for (int r = 0; r < g->rowCount(); ++r)
            g->setRowStretch(r, 0);
        auto* count = new QHBoxLayout;
        count->addStretch(1);
        count->addWidget(f.Label7);
        count->addWidget(f.txtOld);
        f.txtOld->setMaximumWidth(px(1500));
        cmdSelectOld->setFixedWidth(px(600));
        f.cmdSelectNew->setFixedWidth(px(600));
        g->addWidget(new QLabel(QStringLiteral("SELECTED VALUES"), frame), 0, 1);
        g->addWidget(cmdSelectOld, 1, 0, Qt::AlignTop);
        g->addWidget(f.lstOld, 1, 1);
        g->addLayout(count, 2, 1);
        g->addWidget(f.Label4, 3, 1);
        g->addWidget(f.cmdSelectNew, 4, 0);
        g->addWidget(f.txtNew, 4, 1);
        g->addWidget(cmdConvert, 5, 0, 1, 2, Qt::AlignHCenter);
        g->setRowStretch(6, 1);
        g->setColumnStretch(1, 1);
    }
    // Several values are gathered at once from the distinct values.
    f.lstMain->setSelectionMode(QAbstractItemView::ExtendedSelection);

    connect(cmdSelectOld, &QPushButton::clicked, this, &ColumnCleaner::cmdSelectOld_Click);
    connect(f.lstMain, &QAbstractItemView::doubleClicked, this, &ColumnCleaner::lstMain_DblClick);
    connect(f.lstOld, &QTreeWidget::itemClicked, this, &ColumnCleaner::lstOld_ItemClick);
    connect(f.cmdSelectNew, &QPushButton::clicked, this, &ColumnCleaner::cmdSelectNew_Click);
    connect(cmdConvert, &QPushButton::clicked, this, &ColumnCleaner::cmdConvert_Click);
    connect(f.lstOld->header(), &QHeaderView::sectionClicked, this, &ColumnCleaner::lstOld_ColumnClick);
    connect(f.tab1, &QTabBar::currentChanged, this, [this](int index) {
        if (index + 1 == kColumnCleanerPage)
            Layout_lstOld(kColumnCleanerPage);
    });
}

std::vector<int> ColumnCleaner::selectedMainRows() const
{
    std::vector<int> rows;
    if (const QItemSelectionModel* s = f.lstMain->selectionModel())
        for (const QModelIndex& i : s->selectedRows())
            rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool ColumnCleaner::inOld(const QString& text) const
{
    for (int i = 0; i < f.lstOld->topLevelItemCount(); ++i)
        if (f.lstOld->topLevelItem(i)->text(0) == text)
            return true;
    return false;
}

void ColumnCleaner::addOld(int mainRow)
{
    const QString text = mainText(mainRow, 0);
    if (inOld(text))
        return;
    auto* item = new QTreeWidgetItem(QStringList{text, mainText(mainRow, 1)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    // The value as stored: a number the list shows with 15 digits may hold 17.
    item->setData(0, kExactTextRole, mainText(mainRow, 0, kExactTextRole));
    f.lstOld->addTopLevelItem(item);
}

void ColumnCleaner::showCount()
{
    f.txtOld->setText(QString::number(f.lstOld->topLevelItemCount()));
    Layout_lstOld(page());
}

void ColumnCleaner::cmdSelectOld_Click()
{
    for (int row : selectedMainRows())
        addOld(row);
    showCount();
}

void ColumnCleaner::lstMain_DblClick()
{
    if (page() != kColumnCleanerPage || !f.lstMain->model() || f.lstMain->model()->rowCount() == 0)
        return;
    const QModelIndex current = f.lstMain->currentIndex();
    if (current.isValid())
        addOld(current.row());
    showCount();
}

void ColumnCleaner::lstOld_ItemClick(QTreeWidgetItem* item)
{
    delete item;
    showCount();
}

void ColumnCleaner::cmdSelectNew_Click()
{
    const std::vector<int> rows = selectedMainRows();
    if (rows.empty())
        return;
    if (rows.size() > 1) {
        f.txtNew->clear();
        ui::msgBox(QStringLiteral("Please make a single selection."), ui::vbExclamation | ui::vbOKOnly);
        return;
    }
    f.txtNew->setText(mainText(rows.front(), 0, kExactTextRole));
}

void ColumnCleaner::Layout_lstOld(int tabIndex)
{
    const int count = f.lstOld->topLevelItemCount();
    if (count == 0)
        return;
    const int visible = tabIndex == kColumnCleanerPage ? 8 : 12;
    // Past the visible rows a scroll bar takes part of the first column's room.
    f.lstOld->setColumnWidth(0, px(count <= visible ? 3950 : 3675));
}

void ColumnCleaner::cmdConvert_Click()
{
    if (f.lstOld->topLevelItemCount() == 0)
        return;
    if (f.txtNew->text().isEmpty() &&
        ui::msgBox(QStringLiteral("Are you sure you want to convert the selected values to BLANK ?"),
                   ui::vbQuestion | ui::vbYesNo) != ui::vbYes) {
        cmdConvert->setText(QStringLiteral("Convert"));
        return;
    }
    ConvertRequest request;
    request.column = listedColumn(f);   // the column the values were listed from
    request.fieldType = listedType(f);
    request.delimiter = strDelimiter(f);
    request.newValue = f.txtNew->text();
    for (int i = 0; i < f.lstOld->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = f.lstOld->topLevelItem(i);
        const QVariant exact = item->data(0, kExactTextRole);
        request.oldValues << (exact.isValid() ? exact.toString() : item->text(0));
    }

    cmdConvert->setText(QStringLiteral("Converting..."));
    ui::setPointer(&f, ui::Pointer::Hourglass);
    ConvertResult result;
    {
        // One job: the page repaints and what the user does meanwhile is dropped.
        const ui::StatementJob job(general::dbWork.connection());
        result = runColumnConvert(general::dbWork, request);
    }
    if (result.outcome != ConvertOutcome::Converted) {
        cmdConvert->setText(QStringLiteral("Failed"));
        ui::setPointer(&f, ui::Pointer::Default);
        ui::msgBox(result.message, ui::vbCritical | ui::vbOKOnly);
        cmdConvert->setText(QStringLiteral("Convert"));
        return;
    }
    cmdConvert->setText(QStringLiteral("Successful"));
    ui::setPointer(&f, ui::Pointer::Default);
    cleaning::cmbColumn1_Click(f);   // lists the column again, empties lstOld and txtNew
    cmdConvert->setText(QStringLiteral("Convert"));
    f.Reset_AdozIvidor();
    f.Reset_Dupe_Counts();
    f.txtOld->clear();
    f.gridModel()->refreshRows();
}

void ColumnCleaner::lstOld_ColumnClick(int section)
{
    QTreeWidget* list = f.lstOld;
    const int n = list->topLevelItemCount();
    if (n == 0)
        return;
    const QString caption = list->headerItem()->text(section).trimmed();
    try {
        int index = 0;
        SortKind kind = SortKind::None;
        if (caption == QLatin1String("Count")) {
            index = 1;
            kind = SortKind::Numeric;
        } else {
            for (const workbench::Column& c : workbench::listColumns(general::dbWork))
                if (c.name.compare(caption, Qt::CaseInsensitive) == 0)
                    kind = sortKindOfType(c.type);
        }
        const SortState next = clickedSort(sort_, index);
        QStringList texts;
        for (int i = 0; i < n; ++i)
            texts << list->topLevelItem(i)->text(index);
        const std::vector<int> order = sortedOrder(texts, kind, next.descending);
        QList<QTreeWidgetItem*> items;
        for (int i = n - 1; i >= 0; --i)
            items.prepend(list->takeTopLevelItem(i));
        for (int i : order)
            list->addTopLevelItem(items[i]);
        sort_ = next;
        list->setCurrentItem(list->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
        list->clearSelection();
    } catch (const std::exception& e) {
        const auto* j = dynamic_cast<const jet::JetError*>(&e);
        ui::msgBox(j ? j->description() : QString::fromLocal8Bit(e.what()), ui::vbCritical | ui::vbOKOnly);
    }
}

} // namespace

void installColumnCleaner(frmdataform& form) { new ColumnCleaner(form); }

} // namespace cleaning
