// The grid's table model: positions are the recordset's, cells come from its
// page cache, edits go back through Edit/SetValue/Update by the row's key.
// The row and column counts are cached here and change only together with the
// begin/end notifications, so the view never sees a count the model has not
// announced.
#include "workbench/gridmodel.h"

#include "platform/jet/error.h"
#include "platform/ui/job.h"

#include <cmath>

namespace workbench {
namespace {

int gridErrorFor(const jet::JetError& e)
{
    switch (e.number()) {
    case jet::errTypeMismatch:
    case jet::errOverflow:
    case jet::errFieldTooSmall:
    case 3164:   // field cannot be updated (the counter)
        return kErrInvalidValue;
    default:
        return kErrOther;
    }
}

jet::Value valueFromEditor(const QVariant& v)
{
    if (v.isNull())
        return jet::Value();
    const QString text = v.toString();
    if (text.isEmpty())
        return jet::Value();
    return jet::Value(text);
}

} // namespace

GridModel::GridModel(DataControl* data, QObject* parent) : QAbstractTableModel(parent), data_(data)
{
    connect(data_, &DataControl::recordsetReplaced, this, &GridModel::rebind);
    rebind();
}

void GridModel::rebind()
{
    beginResetModel();
    const jet::Recordset* rs = data_->Recordset();
    rows_ = rs ? int(rs->recordCount()) : 0;
    cols_ = rs ? rs->fieldCount() : 0;
    endResetModel();
}

void GridModel::setAllowAddNew(bool on)
{
    beginResetModel();
    addNew_ = on;
    endResetModel();
}

bool GridModel::isAddRow(int row) const
{
    const jet::Recordset* rs = data_->Recordset();
    return addNew_ && rs && rs->updatable() && row == rows_;
}

void GridModel::refreshRows()
{
    if (rows_ > 0 && cols_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    const jet::Recordset* rs = data_->Recordset();
    if (!rs || cols_ == 0)
        return 0;
    return rows_ + ((addNew_ && rs->updatable()) ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const jet::Recordset* rs = data_->Recordset();
    if (!rs || index.row() >= rows_ || index.column() >= cols_)
        return QVariant();
    try {
        const jet::Value& v = rs->rowAt(index.row())[static_cast<size_t>(index.column())];
        if (v.isNull())
            return QVariant();
        // The editor (and whatever takes the cell's text to search or filter
        // on) gets every digit; the cell shows the engine's 15.
        if (role == Qt::EditRole && v.kind() == jet::Kind::Double && std::isfinite(v.toDouble()))
            return jet::sqlNumber(v.toDouble());
        return v.toString();
    } catch (const std::exception&) {
        return QVariant();   // the table went away under the grid; it shows empty cells
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    const jet::Recordset* rs = data_->Recordset();
    if (orientation == Qt::Horizontal)
        return (rs && section < cols_) ? QVariant(rs->field(section).name) : QVariant();
    return isAddRow(section) ? QVariant(QStringLiteral("*")) : QVariant(QString());
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const jet::Recordset* rs = data_->Recordset();
    // No cell opens for editing while a job works on the list.
    if (index.isValid() && rs && rs->updatable() && index.column() < cols_
        && !rs->field(index.column()).sourceColumn.isEmpty() && !ui::jobRunning())
        f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    jet::Recordset* rs = data_->Recordset();
    if (role != Qt::EditRole || !index.isValid() || !rs || index.column() >= cols_ || ui::jobRunning())
        return false;
    const bool adding = isAddRow(index.row());
    if (!adding && index.row() >= rows_)
        return false;
    if (!adding && data(index, Qt::EditRole) == (value.toString().isEmpty() ? QVariant() : QVariant(value.toString())))
        return true;   // nothing changed: no write, no reset of the tools' counts
    try {
        if (adding) {
            rs->addNew();
        } else {
            rs->setAbsolutePosition(index.row());
            rs->edit();
        }
        rs->setValue(index.column(), valueFromEditor(value));
        rs->update();
    } catch (const jet::JetError& e) {
        if (rs->editMode() != 0)
            rs->cancelUpdate();
        emit dataError(gridErrorFor(e), e.description());
        return false;
    }
    if (adding) {
        beginInsertRows(QModelIndex(), rows_, rows_);
        ++rows_;
        endInsertRows();
        rs->setAbsolutePosition(rows_ - 1);
        emit rowInserted();
    } else {
        emit dataChanged(index, index);
        emit rowUpdated();
    }
    return true;
}

bool GridModel::deleteRecord(int row)
{
    jet::Recordset* rs = data_->Recordset();
    if (!rs || row < 0 || row >= rows_ || !rs->updatable())
        return false;
    // The view must hear of the removal before the row is gone from the
    // recordset (it may read the rows around it first).
    beginRemoveRows(QModelIndex(), row, row);
    try {
        rs->setAbsolutePosition(row);
        rs->deleteRecord();
    } catch (const jet::JetError& e) {
        --rows_;
        endRemoveRows();
        rebind();   // the row is still there: show the recordset as it is
        emit dataError(kErrOther, e.description());
        return false;
    }
    --rows_;
    endRemoveRows();
    if (rows_ > 0)
        rs->setAbsolutePosition(std::min(row, rows_ - 1));
    emit rowDeleted();
    return true;
}

} // namespace workbench
