// The counts list's model and sort. Rows come from the recordset's page
// cache on demand; the row count is the recordset's snapshot length, known
// before any cell is read.
#include "email/counts_model.h"

namespace email {

namespace {

bool isCountCaption(const QString& caption) { return caption.trimmed() == QLatin1String("Count"); }

} // namespace

bool clickCountsHeader(CountsSort& sort, const QStringList& headers, int clicked, bool hasRows)
{
    if (headers.size() < 2 || !hasRows || clicked < 0 || clicked >= headers.size())
        return false;
    const QString caption = headers[clicked];
    if (isCountCaption(caption)) {
        const int last = int(headers.size()) - 1;
        if (sort.column == last) {
            sort.descending = !sort.descending;
        } else {
            sort.column = last;
            sort.descending = true;   // largest counts first
        }
        return true;
    }
    const int index = int(headers.lastIndexOf(caption));
    if (sort.column == index) {
        sort.descending = !sort.descending;
    } else {
        sort.column = index;
        sort.descending = false;
    }
    return true;
}

QString sortedCountsQuery(const QString& countsQuery, const CountsSort& sort)
{
    return countsQuery + QStringLiteral(" ORDER BY ") + QString::number(sort.column + 1)
        + (sort.descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
}

CountsModel::CountsModel(QObject* parent) : QAbstractTableModel(parent) {}

CountsModel::~CountsModel() = default;

void CountsModel::setHeaders(const QStringList& headers)
{
    beginResetModel();
    headers_ = headers;
    rs_.reset();
    rows_ = 0;
    endResetModel();
}

void CountsModel::setRows(std::unique_ptr<jet::Recordset> rs)
{
    beginResetModel();
    rs_ = std::move(rs);
    rows_ = rs_ ? int(rs_->recordCount()) : 0;
    endResetModel();
}

QString CountsModel::text(int row, int column) const
{
    if (!rs_ || row < 0 || row >= rows_ || column < 0 || column >= rs_->fieldCount())
        return QString();
    try {
        const jet::Value& v = rs_->rowAt(row)[size_t(column)];
        return v.isNull() ? QString() : v.toString();
    } catch (const std::exception&) {
        return QString();   // the work table was rebuilt under the list
    }
}

int CountsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int CountsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(headers_.size()); }

Qt::Alignment CountsModel::alignment(int column) const
{
    // The count is right-aligned beside the parts; alone it is left-aligned.
    if (headers_.size() > 1 && column == headers_.size() - 1 && isCountCaption(headers_[column]))
        return Qt::AlignRight | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QVariant CountsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= headers_.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return int(alignment(index.column()));
    return QVariant();
}

QVariant CountsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return headers_[section];
    if (role == Qt::TextAlignmentRole)
        return int(alignment(section));
    return QVariant();
}

} // namespace email
