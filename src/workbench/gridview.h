// The data grid's view class, for the grid and its splits: a table view that
// can be told to end its edit, storing what was typed, before the list is
// re-read under it.
#pragma once

#include <QTableView>

namespace workbench {

class GridView : public QTableView {
public:
    using QTableView::QTableView;
    void endEdit()
    {
        if (state() != EditingState)
            return;
        if (QWidget* editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
};

} // namespace workbench
