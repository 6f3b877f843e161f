// The grid's splits. The grid sits in a splitter from the workbench's start;
// a split is one more QTableView in it, given the grid's model and the grid's
// selection model. Up-and-down scrolling is shared through the vertical
// scroll bars (only the last view shows one); each view scrolls across on its
// own, so while splits exist a view does not scroll across by itself when the
// current cell moves: only the view the user works in follows the cell.
#include "workbench/gridsplits.h"

#include "app/mdimain.h"
#include "workbench/frmdataform.h"
#include "workbench/gridview.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>

namespace workbench {
namespace {

const QString kObjectName = QStringLiteral("GridSplits");

/// Keeps the two scroll bars on one value; the split's bar takes the grid's
/// value again whenever its range is set (when it is laid out, after a reset).
void scrollTogether(QScrollBar* grid, QScrollBar* split)
{
    QObject::connect(grid, &QScrollBar::valueChanged, split, &QScrollBar::setValue);
    QObject::connect(split, &QScrollBar::valueChanged, grid, &QScrollBar::setValue);
    QObject::connect(split, &QScrollBar::rangeChanged, split, [grid, split] { split->setValue(grid->value()); });
}

} // namespace

GridSplits::GridSplits(frmdataform& form) : QObject(&form), form_(form)
{
    setObjectName(kObjectName);
    QTableView* grid = form.DBGridData;
    QWidget* parent = grid->parentWidget();
    splitter_ = new QSplitter(Qt::Horizontal, parent);
    splitter_->setObjectName(QStringLiteral("DBGridSplits"));
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(6);
    if (QLayout* layout = parent ? parent->layout() : nullptr)
        delete layout->replaceWidget(grid, splitter_);
    const bool hidden = grid->isHidden();
    splitter_->addWidget(grid);
    grid->setVisible(true);
    splitter_->setVisible(!hidden);
    grid->installEventFilter(this);
    current_ = grid;
}

GridSplits* GridSplits::of(const frmdataform& form)
{
    return form.findChild<GridSplits*>(kObjectName, Qt::FindDirectChildrenOnly);
}

QTableView* GridSplits::split(int i) const
{
    return i >= 1 && i <= count() ? splits_[size_t(i - 1)] : nullptr;
}

void GridSplits::endEdits()
{
    for (QTableView* v : splits_)
        static_cast<GridView*>(v)->endEdit();
}

QTableView* GridSplits::currentView() const { return current_ ? current_.data() : form_.DBGridData; }

void GridSplits::add()
{
    QTableView* grid = form_.DBGridData;
    auto* v = new GridView;
    v->setObjectName(QStringLiteral("DBGridSplit"));
    v->setModel(grid->model());
    QItemSelectionModel* own = v->selectionModel();
    v->setSelectionModel(grid->selectionModel());
    delete own;
    v->setSelectionMode(grid->selectionMode());
    v->setSelectionBehavior(grid->selectionBehavior());
    v->setEditTriggers(grid->editTriggers());
    v->setWordWrap(grid->wordWrap());
    v->setFont(grid->font());
    v->setPalette(grid->palette());
    v->verticalHeader()->setDefaultSectionSize(grid->verticalHeader()->defaultSectionSize());
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->hide();   // the first view carries the record selectors
    v->horizontalHeader()->setDefaultSectionSize(grid->horizontalHeader()->defaultSectionSize());
    v->horizontalHeader()->setSectionsClickable(false);
    const int columns = grid->model() ? grid->model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        v->setColumnWidth(c, grid->columnWidth(c));
        v->setColumnHidden(c, grid->isColumnHidden(c));
    }
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(v, &QWidget::customContextMenuRequested, this,
            [this, v](const QPoint& p) { emit form_.gridContextMenu(v->viewport()->mapToGlobal(p)); });
    v->installEventFilter(this);
    v->horizontalHeader()->viewport()->installEventFilter(this);

    if (splits_.empty())
        connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this, &GridSplits::followCurrent,
                Qt::UniqueConnection);
    splitter_->insertWidget(1, v);
    splits_.insert(splits_.begin(), v);
    scrollTogether(grid->verticalScrollBar(), v->verticalScrollBar());
    v->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->value());
    QList<int> sizes;
    const int each = std::max(1, splitter_->width() / (count() + 1));
    for (int i = 0; i <= count(); ++i)
        sizes << each;
    splitter_->setSizes(sizes);
    arrangeScrollBars();
}

bool GridSplits::removeFirst()
{
    if (splits_.empty())
        return false;
    QTableView* v = splits_.front();
    // What is being typed in the split is stored before the split goes.
    static_cast<GridView*>(v)->endEdit();
    splits_.erase(splits_.begin());
    if (current_ == v)
        current_ = form_.DBGridData;
    delete v;
    arrangeScrollBars();
    return true;
}

void GridSplits::arrangeScrollBars()
{
    QTableView* grid = form_.DBGridData;
    const bool split = !splits_.empty();
    // While split, every view keeps its horizontal bar, so all views are
    // equally high and their rows stay level.
    const Qt::ScrollBarPolicy across = split ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    grid->setHorizontalScrollBarPolicy(across);
    grid->setVerticalScrollBarPolicy(split ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    grid->setAutoScroll(!split);
    for (size_t i = 0; i < splits_.size(); ++i) {
        QTableView* v = splits_[i];
        v->setHorizontalScrollBarPolicy(across);
        v->setVerticalScrollBarPolicy(i + 1 == splits_.size() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        v->setAutoScroll(false);
    }
}

void GridSplits::followCurrent()
{
    if (splits_.empty())
        return;
    QTableView* v = currentView();
    const QModelIndex cur = v->currentIndex();
    if (cur.isValid())
        v->scrollTo(cur);
}

bool GridSplits::eventFilter(QObject* watched, QEvent* event)
{
    QTableView* grid = form_.DBGridData;
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // A header click in a split names its column, as one in the first view does.
        for (QTableView* v : splits_)
            if (watched == v->horizontalHeader()->viewport()) {
                const int col = v->horizontalHeader()->logicalIndexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
                if (col >= 0)
                    form_.DBGridData_HeadClick(col);
            }
    }
    switch (event->type()) {
    case QEvent::FocusIn:
        if (auto* v = qobject_cast<QTableView*>(watched))
            current_ = v;
        break;
    case QEvent::HideToParent:
        // The workbench shows and hides the grid with its page: the splits go with it.
        if (watched == grid)
            splitter_->hide();
        break;
    case QEvent::ShowToParent:
        if (watched == grid)
            splitter_->show();
        break;
    case QEvent::PaletteChange:
        if (watched == grid)
            for (QTableView* v : splits_)
                v->setPalette(grid->palette());   // the filtered look colours every view
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void installGridSplits(frmdataform& form)
{
    if (!GridSplits::of(form))
        new GridSplits(form);
    MDIMain* m = MDIMain::loaded();
    if (!m)
        return;
    if (QAction* a = m->command(QStringLiteral("mnuSpli")))
        QObject::connect(a, &QAction::triggered, &form, [m] { m->mnuSpli_Click(); });
    if (QAction* a = m->command(QStringLiteral("mnuRemoveSplit")))
        QObject::connect(a, &QAction::triggered, &form, [m] { m->mnuRemoveSplit_Click(); });
}

} // namespace workbench

void MDIMain::mnuSpli_Click()
{
    if (frmdataform* f = frmdataform::loaded())
        if (workbench::GridSplits* s = workbench::GridSplits::of(*f))
            s->add();
}

void MDIMain::mnuRemoveSplit_Click()
{
    if (frmdataform* f = frmdataform::loaded())
        if (workbench::GridSplits* s = workbench::GridSplits::of(*f))
            s->removeFirst();
}
