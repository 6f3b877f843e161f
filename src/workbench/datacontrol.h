// A data control: a database named by its file and a record source text,
// opened into one recordset on Refresh(). The grid reads its rows from it and
// the tools move it, read its fields and refresh it.
#pragma once

#include "platform/jet/database.h"
#include "platform/jet/recordset.h"

#include <QObject>
#include <QString>
#include <memory>

namespace workbench {

class DataControl : public QObject {
    Q_OBJECT
public:
    explicit DataControl(QObject* parent = nullptr);
    ~DataControl() override;

    /// The database file; a new name closes the database held for the old one.
    QString DatabaseName() const { return databaseName_; }
    void setDatabaseName(const QString& path);
    /// The SELECT (or table name) the next Refresh() opens.
    QString RecordSource() const { return recordSource_; }
    void setRecordSource(const QString& source) { recordSource_ = source; }

    /// Opens the database when needed and runs the record source. On failure
    /// the JetError propagates and the recordset and record source are the ones
    /// that last worked, so the grid keeps showing rows that exist.
    /// knownRows, when given, are the source's rows already computed by the
    /// caller (see jet::Recordset).
    void Refresh(jet::RowFeed* knownRows = nullptr);

    /// The open recordset, nullptr before the first Refresh and after closing.
    jet::Recordset* Recordset() const { return rs_.get(); }
    /// The database the control holds (not open before the first Refresh).
    jet::Database& Database() { return db_; }
    /// Closes the recordset and the database; the names are kept.
    void closeDatabase();

signals:
    /// A new recordset replaced the old one (or the recordset went away).
    void recordsetReplaced();

private:
    QString databaseName_;
    QString recordSource_;
    QString lastGoodSource_;
    jet::Database db_;
    std::unique_ptr<jet::Recordset> rs_;
};

} // namespace workbench
