// The splits of the workbench grid: more views of the same grid side by side,
// each with its own horizontal scrolling, all scrolling up and down together.
//
// A split is a second view over the grid's own model and selection model, not
// a copy of the list: it reads the rows it shows from the same recordset, an
// edit in it is an edit of the grid, and the grid has one current cell
// whichever view the user works in. So the grid's current row and column (and
// every command that uses them) are those of the view the user moved in last.
// The first view is the grid DBGridData itself; splits are numbered from 1,
// left to right after it.
#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

class QSplitter;
class QTableView;
class frmdataform;

namespace workbench {

class GridSplits : public QObject {
    Q_OBJECT
public:
    /// Puts the workbench grid into a splitter of its own (once per workbench).
    explicit GridSplits(frmdataform& form);

    /// The splits of a workbench; nullptr before installGridSplits.
    static GridSplits* of(const frmdataform& form);

    /// Adds a split at position 1, right after the first view.
    void add();
    /// Removes the split at position 1; false (and nothing changes) when there is none.
    bool removeFirst();
    /// The number of splits besides the first view.
    int count() const { return int(splits_.size()); }
    /// Split i, 1 to count(), left to right.
    QTableView* split(int i) const;
    /// Ends an edit in progress in any split, storing what was typed.
    void endEdits();
    /// The view the user worked in last (the grid itself when no split has had the focus).
    QTableView* currentView() const;
    QSplitter* splitter() const { return splitter_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void arrangeScrollBars();
    void followCurrent();

    frmdataform& form_;
    QSplitter* splitter_ = nullptr;
    std::vector<QTableView*> splits_;   ///< in splitter order
    QPointer<QTableView> current_;
};

} // namespace workbench
