// The valid-address counts list of the E-Mail Cleaner page as a table model
// over the counts query's recordset, so a list of a hundred thousand groups
// costs the query and the rows on screen, not one list item per group. The
// list's sort is a new run of the query with an ORDER BY, never a sort of
// items in memory.
#pragma once

#include "platform/jet/recordset.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <memory>

namespace email {

/// The counts list's sort: the shown column (0-based) and its direction.
struct CountsSort {
    int column = 0;
    bool descending = false;
};

/// A click on header `clicked` of the counts list with headers as shown:
/// text columns sort ascending first, the count column (trimmed caption
/// "Count", always the last) descending first; the same column again
/// reverses. A caption shown twice counts as its last place. False, and sort
/// unchanged, when the list has fewer than two columns or no rows.
bool clickCountsHeader(CountsSort& sort, const QStringList& headers, int clicked, bool hasRows);

/// The counts query with the list's sort appended.
QString sortedCountsQuery(const QString& countsQuery, const CountsSort& sort);

class CountsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CountsModel(QObject* parent = nullptr);
    ~CountsModel() override;

    /// The shown columns' captions; the rows are dropped.
    void setHeaders(const QStringList& headers);
    const QStringList& headers() const { return headers_; }
    /// Shows the rows of rs, field k in column k (nullptr: no rows).
    void setRows(std::unique_ptr<jet::Recordset> rs);
    /// The text of a cell, "" for Null or a column the query did not give.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Qt::Alignment alignment(int column) const;

    QStringList headers_;
    std::unique_ptr<jet::Recordset> rs_;
    int rows_ = 0;
};

} // namespace email
