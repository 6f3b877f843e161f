// Rows made by our own code, handed to the engine as a table: an
// INSERT ... SELECT over a feed writes them at the engine's own pace, without
// a statement step, a reset and a bind per value for every row.
#pragma once

#include "platform/jet/connection.h"

#include <QByteArray>
#include <QString>
#include <exception>
#include <vector>

struct sqlite3;
struct sqlite3_context;

namespace jet {

/// The rows of a feed, from first to last. next() and result() run inside
/// the engine's statement on the connection's thread; next() may throw, and
/// the statement then fails with what it threw (runFeed rethrows it). The
/// position is the feed's own: one statement reads a feed at a time.
class RowFeed {
public:
    virtual ~RowFeed() = default;
    virtual int columnCount() const = 0;
    /// The name of column i in statements: c0, c1, ... unless a feed says.
    virtual QByteArray columnName(int i) const;
    /// Column i's declared type ("TEXT(255) COLLATE JETCI"), which statements
    /// over the feed see as a table's; none unless a feed says.
    virtual QByteArray columnType(int) const { return {}; }
    /// Moves to the next row (the first on the first call); false past the last.
    virtual bool next() = 0;
    /// Sets the value of column i of the current row. Text goes in as the
    /// engine's own UTF-8 (engine_text.h; never through the UTF-16 calls,
    /// which take a leading U+FEFF or U+FFFE for a byte-order mark). A
    /// statement may keep a value past its row (max() and min() keep the
    /// text they take as it is), so a feed that any statement may read hands
    /// text that it reuses or frees at a later row with SQLITE_TRANSIENT, for
    /// the engine to copy. SQLITE_STATIC is only for text that stays where it
    /// is until the statement has ended (held by the feed for its whole
    /// life), or for a feed read by nothing but its owner's plain
    /// INSERT ... SELECT, which writes each row before it reads the next; such
    /// a feed says so where it hands its text over.
    virtual void result(sqlite3_context* ctx, int i) const = 0;
    /// Goes back before the first row, for a statement that reads the table
    /// again; false (the default) when the rows can be read only once.
    virtual bool rewind() { return false; }
    /// How many rows to expect, for the engine's plan (0: many).
    virtual qint64 expectedRows() const { return 0; }
    /// True when the rows come in ascending order of column 0, so an
    /// ORDER BY of it needs no sort.
    virtual bool ascending() const { return false; }

    std::exception_ptr error;   ///< what next() threw, kept for runFeed
};

/// While it lives, the connection has the table `name` reading feed's rows.
/// One feed per name at a time.
class ScopedFeed {
public:
    ScopedFeed(Connection& c, const char* name, RowFeed& feed);
    ScopedFeed(sqlite3* db, const char* name, RowFeed& feed);
    ~ScopedFeed();
    ScopedFeed(const ScopedFeed&) = delete;
    ScopedFeed& operator=(const ScopedFeed&) = delete;

private:
    sqlite3* db_;
    QByteArray name_;
};

/// A list of keys in memory, readable on a connection as the one-column
/// table `name` (column value) for as long as this object lives: a run hands
/// millions of keys to one INSERT ... SELECT or DELETE instead of stepping a
/// statement for each. The keys must be ascending (the table says it is
/// ordered by value) and must outlive this object.
class ScopedKeyTable {
public:
    ScopedKeyTable(sqlite3* db, const char* name, const std::vector<qint64>& keys);

private:
    class Keys : public RowFeed {
    public:
        explicit Keys(const std::vector<qint64>& keys) : keys_(keys) {}
        int columnCount() const override { return 1; }
        QByteArray columnName(int) const override { return QByteArrayLiteral("value"); }
        bool next() override { return ++at_ < keys_.size(); }
        void result(sqlite3_context* ctx, int i) const override;
        bool rewind() override
        {
            at_ = size_t(-1);
            return true;
        }
        qint64 expectedRows() const override { return qint64(keys_.size()); }
        bool ascending() const override { return true; }

    private:
        const std::vector<qint64>& keys_;
        size_t at_ = size_t(-1);
    };
    Keys keys_;
    ScopedFeed table_;
};

/// Steps insert (a statement reading a ScopedFeed) to its end. When the feed
/// stopped it, rethrows what the feed threw; otherwise the engine's error.
void runFeed(Stmt& insert, RowFeed& feed);

} // namespace jet
