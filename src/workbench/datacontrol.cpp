// The data control of the workbench's grid and of the duplicate results: a
// database by file name plus a record source, refreshed into one recordset.
// A refused record source leaves the previous recordset in place.
#include "workbench/datacontrol.h"

namespace workbench {

DataControl::DataControl(QObject* parent) : QObject(parent) {}

DataControl::~DataControl() = default;

void DataControl::setDatabaseName(const QString& path)
{
    if (path == databaseName_)
        return;
    closeDatabase();
    databaseName_ = path;
}

void DataControl::Refresh(jet::RowFeed* knownRows)
{
    if (!db_.isOpen())
        db_ = jet::Database::open(databaseName_);
    std::unique_ptr<jet::Recordset> fresh;
    try {
        fresh = db_.openRecordset(recordSource_, jet::dbOpenDynaset, knownRows);
    } catch (...) {
        recordSource_ = lastGoodSource_;
        throw;
    }
    rs_ = std::move(fresh);
    lastGoodSource_ = recordSource_;
    emit recordsetReplaced();
}

void DataControl::closeDatabase()
{
    const bool had = rs_ != nullptr;
    rs_.reset();
    db_.close();
    if (had)
        emit recordsetReplaced();
}

} // namespace workbench
