// The grid's model over a data control's recordset. Rows are read on demand
// through the recordset's page cache, so a million-row list costs its key
// snapshot and the pages on screen, nothing more. The key column is never a
// model column (the record source does not select it); a row is written back
// by its key through the recordset's Edit/Update.
#pragma once

#include "workbench/datacontrol.h"

#include <QAbstractTableModel>

namespace workbench {

/// Grid error numbers the data-error handler distinguishes.
inline constexpr int kErrDeleteMultiple = 6159;
inline constexpr int kErrInvalidValue = 16389;
inline constexpr int kErrOther = 3000;

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(DataControl* data, QObject* parent = nullptr);

    /// With the add row, one empty row after the last record takes new records.
    void setAllowAddNew(bool on);
    bool allowAddNew() const { return addNew_; }
    /// Whether row is the empty row for a new record.
    bool isAddRow(int row) const;

    /// Re-reads the shown cells without re-running the record source.
    void refreshRows();

    /// Deletes the record at row; false (and dataError) when it cannot be.
    bool deleteRecord(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    /// A change the grid could not store; number is one of the kErr values.
    void dataError(int number, const QString& description);
    void rowDeleted();
    void rowInserted();
    void rowUpdated();

private:
    void rebind();

    DataControl* data_;
    bool addNew_ = true;
    int rows_ = 0;
    int cols_ = 0;
};

} // namespace workbench
