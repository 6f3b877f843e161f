// Recordsets: a snapshot of row identities (SQLite rowids) in the query's
// order, with rows fetched lazily in pages by identity. Position, bookmark and
// count come from the snapshot alone, so a 1M-row dynaset opens with one
// key-only query and reaches any row in constant time.
//
// States and the moves between them:
//   BOF (pos -1) --MoveNext--> on a record (0..n-1) --MoveNext past last--> EOF (pos n)
//   on a record --Edit--> editing --Update/CancelUpdate--> on a record
//   any --AddNew--> adding --Update--> back where it was (the new row is appended)
//   on a record --Delete--> deleted (fields unreadable) --Move*--> as from that place
// A SELECT over one table (with or without its key column) reads and writes
// that table by rowid; any other SELECT is computed once into a temporary
// table and read from there (read-only).
#pragma once

#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <unordered_set>
#include <vector>

namespace jet {

class Connection;
class RowFeed;
class Stmt;

enum RecordsetType { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8 };

class Recordset {
public:
    struct Field {
        QString name;
        int type = dbText;
        int size = 255;
        int attributes = 0;
        QString sourceColumn;   ///< base-table column, "" when not updatable
    };

    /// knownRows, when given, are the rows sql gives, in its order, already
    /// computed by the caller: a query that is computed once (not over one
    /// table) takes them instead of running. A requery runs the query.
    Recordset(std::shared_ptr<Connection> c, const QString& sql, int type, RowFeed* knownRows = nullptr);
    /// A read-only recordset over SQL already in SQLite's dialect (computed once).
    struct SqliteText { QString sql; };
    Recordset(std::shared_ptr<Connection> c, const SqliteText& sql);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool bof() const { return pos_ < 0 || keys_.empty(); }
    bool eof() const { return pos_ >= static_cast<long>(keys_.size()) || keys_.empty(); }
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    void move(long rows);
    long recordCount() const { return static_cast<long>(keys_.size()); }
    long absolutePosition() const;       ///< 0-based; -1 at BOF/EOF
    void setAbsolutePosition(long pos);

    QByteArray bookmark() const;
    void setBookmark(const QByteArray& b);
    QByteArray lastModified() const { return lastModified_; }

    void findFirst(const QString& criteria);
    void findLast(const QString& criteria);
    void findNext(const QString& criteria);
    void findPrevious(const QString& criteria);
    bool noMatch() const { return noMatch_; }

    void addNew();
    void edit();
    void update();
    void cancelUpdate();
    void deleteRecord();
    void requery();
    void close();
    bool updatable() const { return updatable_; }
    int editMode() const { return static_cast<int>(mode_); }   ///< 0 none, 1 edit, 2 add

    int fieldCount() const { return static_cast<int>(fields_.size()); }
    const Field& field(int i) const;
    int fieldIndex(const QString& name) const;   ///< -1 when none
    Value value(int i) const;
    Value value(const QString& name) const;
    void setValue(int i, const Value& v);
    void setValue(const QString& name, const Value& v);

    /// The row identity at a position (for grids that page on their own).
    qint64 keyAt(long pos) const { return keys_[static_cast<size_t>(pos)]; }
    /// Bytes held for positions and cached rows (an estimate for the cached text).
    qint64 memoryUse() const;
    /// The values of the row at a position, fetched through the page cache.
    const std::vector<Value>& rowAt(long pos) const;

private:
    enum class Mode { None = 0, Edit = 1, Add = 2 };
    void build(RowFeed* knownRows = nullptr);
    void loadKeys();
    void requireCurrent() const;
    int fieldOrThrow(const QString& name) const;
    const std::unordered_set<qint64>& matches(const QString& criteria);
    void findFrom(long start, int step, const QString& criteria);

    std::shared_ptr<Connection> conn_;
    QString sql_;
    QString sqliteSql_;   // set for a recordset over SQLite text
    int type_;
    QString table_;        // the table rows are read from (base or temporary)
    bool tempTable_ = false;
    QString selectList_;
    QString where_, order_;
    QString topRows_;      // SELECT TOP n: the snapshot keeps the first n rows
    bool updatable_ = false;
    std::vector<Field> fields_;
    std::vector<qint64> keys_;
    long pos_ = -1;
    bool deleted_ = false;
    Mode mode_ = Mode::None;
    std::vector<Value> buffer_;
    std::vector<bool> dirty_;
    long savedPos_ = -1;
    QByteArray lastModified_;
    bool noMatch_ = false;

    // page cache
    static constexpr int kPage = 256;
    mutable QHash<long, std::vector<std::vector<Value>>> pages_;
    mutable quint64 cacheGen_ = 0;
    mutable std::unique_ptr<Stmt> fetch_;
    mutable std::unique_ptr<Stmt> fetchRange_;
    // find cache
    QString findCriteria_;
    quint64 findGen_ = ~0ull;
    std::unordered_set<qint64> findSet_;
};

} // namespace jet
