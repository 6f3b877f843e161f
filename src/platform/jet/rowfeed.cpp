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
        ddl += 'c' + QByteArray::number(i);
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

int feedBestIndex(sqlite3_vtab*, sqlite3_index_info* info)
{
    info->estimatedCost = 1e9;
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

int feedFilter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) { return feedNext(cursor); }

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

ScopedFeed::ScopedFeed(Connection& c, const char* name, RowFeed& feed) : c_(c), name_(name)
{
    if (sqlite3_create_module_v2(c_.handle(), name_.constData(), &feedModule(), &feed, nullptr) != SQLITE_OK)
        throw JetError(errSyntax, QString::fromUtf8(sqlite3_errmsg(c_.handle())));
}

ScopedFeed::~ScopedFeed()
{
    // A null module drops the name (and disconnects its table).
    sqlite3_create_module_v2(c_.handle(), name_.constData(), nullptr, nullptr, nullptr);
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
