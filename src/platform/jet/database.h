// The engine's object model, as the program uses it: databases, statements,
// recordsets, table definitions and the workspace transaction.
//
//   auto db = jet::Database::open(path);
//   db.execute("UPDATE tblData SET [City]=\"Boston\" WHERE [City]=\"boston\"", jet::dbFailOnError);
//   auto rs = db.openRecordset("SELECT [Name] FROM tblData", jet::dbOpenDynaset);
//   while (!rs->eof()) { ... rs->moveNext(); }
//
// Every Database on one path shares one connection (see connection.h).
#pragma once

#include "platform/jet/recordset.h"
#include "platform/jet/types.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace jet {

class Connection;
class RowFeed;

enum ExecuteOption { dbFailOnError = 128 };

struct FieldDef {
    QString name;
    int type = dbText;
    int size = 255;
    int attributes = 0;
    int ordinalPosition = 0;
};

struct TableDef {
    QString name;
    int attributes = 0;   ///< dbSystemObject (0x80000002) for the engine's system tables
    std::vector<FieldDef> fields;
};

class Database {
public:
    Database() = default;
    /// Opens an existing database file; create makes a new empty one.
    static Database open(const QString& path, bool create = false);

    bool isOpen() const { return conn_ != nullptr; }
    void close();
    QString name() const;

    /// Runs one statement in the engine's SQL. Errors always surface as JetError;
    /// options keeps the engine's signature (dbFailOnError also rolls back the
    /// statement's partial work, which every statement here does anyway).
    void execute(const QString& sql, int options = 0);
    qint64 recordsAffected() const { return affected_; }

    /// A recordset over a table name or a SELECT.
    /// knownRows: see Recordset's constructor.
    std::unique_ptr<Recordset> openRecordset(const QString& source, int type = dbOpenDynaset,
                                             RowFeed* knownRows = nullptr);

    // Table definitions.
    std::vector<TableDef> tableDefs() const;   ///< refreshed on every call
    TableDef tableDef(const QString& name) const;
    bool hasTable(const QString& name) const;  ///< name compared as the engine compares it
    void deleteTableDef(const QString& name);
    /// Appends a field; with dbAutoIncrField the existing rows are numbered 1..n in
    /// table order and the field becomes the table's key and its last field.
    void appendField(const QString& table, const FieldDef& field);

    Connection& connection() const { return *conn_; }

private:
    explicit Database(std::shared_ptr<Connection> c) : conn_(std::move(c)) {}
    void materializeExternals(const struct Translated& t, QStringList& temps);
    bool createFromFeed(const struct Translated& t);
    std::shared_ptr<Connection> conn_;
    qint64 affected_ = 0;
};

/// The default workspace: its transaction spans every open database.
namespace Workspace {
void beginTrans();
/// Throws when a level cannot be kept (the engine undid it after an error).
void commitTrans();
/// Never throws; the engine's words when a rollback failed, "" otherwise.
QString rollback();
}

/// Creates table name from a SELECT's result, keeping the source columns' types
/// and order (expression columns take the type of their first value).
/// knownRows, when given, are the rows selectSql gives, in its order, already
/// computed by the caller: the table then takes them instead of running it.
void createTableFromSelect(Connection& c, const QString& schemaPrefix, const QString& name, const QString& selectSql,
                           RowFeed* knownRows = nullptr);

} // namespace jet
