// One SQLite connection per database file in the process. Every Database object
// that opens the same path shares it, so each sees the others' changes at
// once, schema changes included, and a workspace transaction covers them all.
// The connection also owns the conversions between the engine's values and
// SQLite's, and the mapping of SQLite's errors to the engine's messages.
#pragma once

#include "platform/jet/thread_check.h"
#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace jet {

class Connection;

/// A prepared statement; reset and reused, finalised on destruction.
class Stmt {
public:
    Stmt() = default;
    Stmt(Connection* c, const QString& sql);
    ~Stmt();
    Stmt(Stmt&& o) noexcept;
    Stmt& operator=(Stmt&& o) noexcept;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    sqlite3_stmt* get() const { return s_; }
    void bind(int index1, const Value& v);   ///< binds in stored form
    void bindInt(int index1, qint64 v);
    bool step();                              ///< true on a row; throws JetError on failure
    void reset();
    int columnCount() const;
    QString columnName(int i) const;
    QString declType(int i) const;            ///< "" for an expression
    Value value(int i, int fieldType) const;  ///< fieldType 0: by storage class
    qint64 int64(int i) const;

private:
    Connection* c_ = nullptr;
    sqlite3_stmt* s_ = nullptr;
};

class Connection {
public:
    /// The shared connection on path; create makes a new empty database file.
    static std::shared_ptr<Connection> open(const QString& path, bool create = false);
    ~Connection();

    sqlite3* handle() const
    {
        QB_JET_CALL(this);
        return db_;
    }
    const QString& path() const { return path_; }

    /// Runs SQLite text; throws JetError with the engine's message.
    void exec(const QString& sql);
    qint64 changes() const;

    /// True while a transaction or savepoint is open. The engine ends one by
    /// itself on some errors (a full disk, an I/O error): then every
    /// savepoint of it is gone and what was done in them is undone.
    bool inTransaction() const;
    /// Opens a savepoint of that (SQL-ready) name.
    void beginSavepoint(const QString& name);
    /// Keeps what was done in the savepoint. Throws when the savepoint is
    /// gone (the engine undid the work after an error) or the release fails.
    void releaseSavepoint(const QString& name);
    /// Undoes and ends the savepoint; nothing to do when the engine has
    /// already rolled back. Never throws: when the rollback itself fails the
    /// whole transaction is rolled back, and the engine's words are returned
    /// ("" when all went well).
    QString rollbackSavepoint(const QString& name) noexcept;
    /// Runs work inside a savepoint: all of it or none. The generation moves
    /// either way, so nothing cached across the attempt survives. The work's
    /// error goes on to the caller.
    template <class F>
    void inSavepoint(const QString& name, F&& work)
    {
        beginSavepoint(name);
        try {
            work();
            releaseSavepoint(name);
        } catch (...) {
            rollbackSavepoint(name);
            bump();
            throw;
        }
        bump();
    }

    /// Bumped by every change made through the engine; caches compare it.
    quint64 generation() const { return generation_; }
    void bump() { ++generation_; }

    /// The table's real name when a table of that name exists (names compare
    /// without regard to case, as the engine's do); "" otherwise.
    QString tableName(const QString& name) const;
    /// tableName(), or the engine's "cannot find the input table" error.
    QString requireTable(const QString& name) const;
    QStringList tables() const;
    ColumnList columns(const QString& table) const;
    /// The columns of a table named as a statement names it (any case), empty
    /// for no such table: what the translator asks to convert values and to
    /// compare dates and Currency amounts by their type.
    std::function<ColumnList(const QString& table)> columnsByName() const;
    /// Key columns of the table's primary key, in order.
    QStringList primaryKey(const QString& table) const;

    /// Tables held open by recordsets; such a table cannot be dropped.
    void holdTable(const QString& table, int delta);
    bool tableHeld(const QString& table) const;

    // Workspace transaction depth on this connection.
    int transactionDepth = 0;

    [[noreturn]] void raise(int rc, const QString& context = QString()) const;

    static const QList<Connection*>& all();

#if QB_THREAD_CHECKS
    /// The mark of the thread inside this connection (thread_check.h).
    ThreadUse& threadUse() const { return threadUse_; }
#endif

private:
    Connection() = default;
    sqlite3* db_ = nullptr;
    QString path_;
    quint64 generation_ = 0;
    QHash<QString, int> held_;
#if QB_THREAD_CHECKS
    mutable ThreadUse threadUse_;
#endif
};

/// A savepoint: everything done on the connection between its making and
/// commit() stays; without commit() (an error, a Cancel) it is all undone.
class Savepoint {
public:
    explicit Savepoint(Connection& c, const QString& name = QStringLiteral("qb_sp"));
    /// Without commit(): the rollback, which never throws.
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void commit();

private:
    Connection& c_;
    QString name_;
    bool open_ = true;
};

/// Column info from a declared type as SQLite stores it ("TEXT(255)", "DOUBLE", "INTEGER").
ColumnInfo columnFromDecl(const QString& name, const QString& decl, bool rowidKey);

/// The engine's one conversion of a value written into a column of
/// fieldType, whatever writes it (SQL, the grid, Replace All, the tools, an
/// import): text is read by the column's rules (numbers as typed, "Yes",
/// "No", "True", "False", "On", "Off" or a number for Yes/No, the date texts
/// of # literals for dates), whole-number types round half to even, a Single
/// keeps its float's shortest decimal, Currency four decimals. Throws
/// JetError errTypeMismatch ("Data type conversion error.") for a value of
/// another kind and errOverflow ("Numeric field overflow.") for a number or
/// date outside the column's range. Null stays Null; text keeps its length
/// (the column's length is checked where the value is stored).
Value coerce(const Value& v, int fieldType);

} // namespace jet
