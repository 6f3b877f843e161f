// Rows made by our own code, handed to the engine as a table: an
// INSERT ... SELECT over a feed writes them at the engine's own pace, without
// a statement step, a reset and a bind per value for every row.
#pragma once

#include "platform/jet/connection.h"

#include <QString>
#include <exception>

struct sqlite3_context;

namespace jet {

/// The rows of a feed, read once from first to last. next() and result()
/// run inside the engine's statement on the connection's thread; next() may
/// throw, and the statement then fails with what it threw (runFeed rethrows it).
class RowFeed {
public:
    virtual ~RowFeed() = default;
    virtual int columnCount() const = 0;
    /// Moves to the next row (the first on the first call); false past the last.
    virtual bool next() = 0;
    /// Sets the value of column i of the current row. Text may point into the
    /// feed's own storage as long as it stays until the following next().
    virtual void result(sqlite3_context* ctx, int i) const = 0;

    std::exception_ptr error;   ///< what next() threw, kept for runFeed
};

/// While it lives, the connection has the table `name` (columns c0, c1, ...)
/// reading feed's rows. One feed per name at a time.
class ScopedFeed {
public:
    ScopedFeed(Connection& c, const char* name, RowFeed& feed);
    ~ScopedFeed();
    ScopedFeed(const ScopedFeed&) = delete;
    ScopedFeed& operator=(const ScopedFeed&) = delete;

private:
    Connection& c_;
    QByteArray name_;
};

/// Steps insert (a statement reading a ScopedFeed) to its end. When the feed
/// stopped it, rethrows what the feed threw; otherwise the engine's error.
void runFeed(Stmt& insert, RowFeed& feed);

} // namespace jet
