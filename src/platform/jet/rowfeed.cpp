// The feed table: an eponymous virtual table of the engine over a RowFeed.
#include "platform/jet/rowfeed.h"

#include "platform/jet/error.h"

#include <sqlite3.h>

#include <new>

namespace jet {
namespace {

struct FeedTable {
    sqlite3_vtab base;
    RowFeed* feed;
    bool read;   ///< a statement has read the feed already
};

struct FeedCursor {
    sqlite3_vtab_cursor base;
    bool eof;
    sqlite3_int64 row;
};

RowFeed& feedOf(sqlite3_vtab_cursor* cursor) { return *reinterpret_cast<FeedTable*>(cursor->pVtab)->feed; }

int feedNext(sqlite3_vtab_cursor* cursor)
{
    auto* cur = reinterpret_cast<FeedCursor*>(cursor);
    RowFeed& feed = feedOf(cursor);
    try {
        cur->eof = !feed.next();
        ++cur->row;
        return SQLITE_OK;
    } catch (...) {
        feed.error = std::current_exception();
        return SQLITE_ERROR;
    }
}

int feedConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**)
{
    auto* feed = static_cast<RowFeed*>(aux);
    QByteArray ddl("CREATE TABLE x(");
    for (int i = 0; i < feed->columnCount(); ++i) {
        if (i)
            ddl += ", ";
        ddl += '"' + feed->columnName(i).replace('"', "\"\"") + '"';
        const QByteArray type = feed->columnType(i);
        if (!type.isEmpty())
            ddl += ' ' + type;
    }
    ddl += ')';
    const int rc = sqlite3_declare_vtab(db, ddl.constData());
    if (rc != SQLITE_OK)
        return rc;
    auto* t = new (std::nothrow) FeedTable{};
    if (!t)
        return SQLITE_NOMEM;
    t->feed = feed;
    *out = &t->base;
    return SQLITE_OK;
}

int feedBestIndex(sqlite3_vtab* t, sqlite3_index_info* info)
{
    const RowFeed& feed = *reinterpret_cast<FeedTable*>(t)->feed;
    const qint64 rows = feed.expectedRows();
    info->estimatedCost = rows > 0 ? double(rows) : 1e9;
    if (rows > 0)
        info->estimatedRows = rows;
    // Rows go out in the order of the row number, and of column 0 when the
    // feed says so.
    if (info->nOrderBy == 1 && !info->aOrderBy[0].desc
        && (info->aOrderBy[0].iColumn == -1 || (info->aOrderBy[0].iColumn == 0 && feed.ascending())))
        info->orderByConsumed = 1;
    return SQLITE_OK;
}

int feedDisconnect(sqlite3_vtab* t)
{
    delete reinterpret_cast<FeedTable*>(t);
    return SQLITE_OK;
}

int feedOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    auto* cur = new (std::nothrow) FeedCursor{};
    if (!cur)
        return SQLITE_NOMEM;
    cur->eof = true;
    *out = &cur->base;
    return SQLITE_OK;
}

int feedClose(sqlite3_vtab_cursor* cur)
{
    delete reinterpret_cast<FeedCursor*>(cur);
    return SQLITE_OK;
}

int feedFilter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**)
{
    auto* cur = reinterpret_cast<FeedCursor*>(cursor);
    auto* table = reinterpret_cast<FeedTable*>(cursor->pVtab);
    if (table->read && !table->feed->rewind()) {
        sqlite3_free(table->base.zErrMsg);
        table->base.zErrMsg = sqlite3_mprintf("these rows can be read only once");
        return SQLITE_ERROR;
    }
    table->read = true;
    cur->row = 0;
    return feedNext(cursor);
}

int feedEof(sqlite3_vtab_cursor* cursor) { return reinterpret_cast<FeedCursor*>(cursor)->eof; }

int feedColumn(sqlite3_vtab_cursor* cursor, sqlite3_context* ctx, int i)
{
    feedOf(cursor).result(ctx, i);
    return SQLITE_OK;
}

int feedRowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid)
{
    *rowid = reinterpret_cast<FeedCursor*>(cursor)->row;
    return SQLITE_OK;
}

const sqlite3_module& feedModule()
{
    static const sqlite3_module m = [] {
        sqlite3_module v{};
        v.xCreate = nullptr;   // eponymous only: the name is the table
        v.xConnect = feedConnect;
        v.xBestIndex = feedBestIndex;
        v.xDisconnect = feedDisconnect;
        v.xOpen = feedOpen;
        v.xClose = feedClose;
        v.xFilter = feedFilter;
        v.xNext = feedNext;
        v.xEof = feedEof;
        v.xColumn = feedColumn;
        v.xRowid = feedRowid;
        return v;
    }();
    return m;
}

} // namespace

QByteArray RowFeed::columnName(int i) const { return 'c' + QByteArray::number(i); }

ScopedFeed::ScopedFeed(Connection& c, const char* name, RowFeed& feed) : ScopedFeed(c.handle(), name, feed) {}

ScopedFeed::ScopedFeed(sqlite3* db, const char* name, RowFeed& feed) : db_(db), name_(name)
{
    if (sqlite3_create_module_v2(db_, name_.constData(), &feedModule(), &feed, nullptr) != SQLITE_OK)
        throw JetError(errSyntax, QString::fromUtf8(sqlite3_errmsg(db_)));
}

ScopedFeed::~ScopedFeed()
{
    // A null module drops the name (and disconnects its table).
    sqlite3_create_module_v2(db_, name_.constData(), nullptr, nullptr, nullptr);
}

void ScopedKeyTable::Keys::result(sqlite3_context* ctx, int) const { sqlite3_result_int64(ctx, keys_[at_]); }

ScopedKeyTable::ScopedKeyTable(sqlite3* db, const char* name, const std::vector<qint64>& keys)
    : keys_(keys), table_(db, name, keys_)
{
}

void runFeed(Stmt& insert, RowFeed& feed)
{
    try {
        while (insert.step()) {
        }
    } catch (const JetError&) {
        if (feed.error)
            std::rethrow_exception(feed.error);
        throw;
    }
}

} // namespace jet
