// The E-Mail Cleaner's database work: the validation run that fills tblEMails,
// the SQL texts of the counts list, the invalid-address list and the grid
// filters, and the corrections written back into tblData.
//
// The run reads every filled cell of the column once, in batches of a few
// thousand; worker threads check the batches' addresses while the scan reads
// on, and one INSERT ... SELECT takes the checked rows into tblEMails in the
// order they were read (a row feed), reporting progress and answering a
// Cancel between batches. The cells that lose surrounding blanks (key and new
// text) are rewritten after the scan, so the scan never reads a table it is
// changing. A million cells cost one scan, a million checks spread over the
// cores, a million inserts and as many updates as there were padded cells,
// all inside one savepoint.
//
// The corrections trust tblEMails only while it still describes tblData. The
// connection's generation moves on every change made through the engine, the
// run's own writes included, so the run records it after it commits and a
// correction refuses when it has moved since (or when the page now names
// another column). A single correction moves the generation itself and hands
// the new one back to the run, so the next double-click still works.
#include "email/email_run.h"

#include "common/general.h"
#include "common/parallel.h"
#include "email/address_check.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/rowfeed.h"
#include "platform/jet/schema.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/jet/translator.h"

#include <sqlite3.h>

#include <QCryptographicHash>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <limits>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace email {

namespace {

constexpr int kTextSize = 255;   // Account, SubDomain, Domain, Suggest1
constexpr int kCountrySize = 2;  // Country

const QString kKey = QStringLiteral("LumacorPrimK");

struct Cancelled {};

QString realTable(jet::Connection& c, const QString& name) { return c.requireTable(name); }

/// Length as the engine's column check counts it: characters, not UTF-16 units.
qsizetype characters(const QString& s)
{
    qsizetype n = s.size();
    for (QChar ch : s)
        if (ch.isLowSurrogate())
            --n;
    return n;
}

/// The value for a column of `size` characters: Null for nullopt and, counted
/// in overflow, for a text too long to store.
jet::Value fitted(const std::optional<QString>& v, qsizetype size, bool& overflow)
{
    if (!v)
        return jet::Value();
    if (v->size() > size && characters(*v) > size) {
        overflow = true;
        return jet::Value();
    }
    return jet::Value(*v);
}

/// Writes v as UTF-8 into out, reusing out's storage: the parts are nearly
/// always plain ASCII, which is copied as it is; anything else goes through
/// QString's own conversion.
void utf8Into(QStringView v, std::string& out)
{
    const qsizetype n = v.size();
    out.resize(size_t(n));
    const char16_t* p = v.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] >= 0x80) {
            const QByteArray b = v.toUtf8();
            out.assign(b.constData(), size_t(b.size()));
            return;
        }
        out[size_t(i)] = char(p[i]);
    }
}

/// Binds IsValid, Account, SubDomain, Domain, Country and Suggest1 from
/// parameter `first` on; true when a value had to be left Null.
bool bindCheck(jet::Stmt& s, int first, const EmailCheck& r)
{
    bool overflow = false;
    s.bind(first, jet::Value(r.isValid));
    s.bind(first + 1, fitted(r.account, kTextSize, overflow));
    s.bind(first + 2, fitted(r.subDomain, kTextSize, overflow));
    s.bind(first + 3, fitted(r.domain, kTextSize, overflow));
    s.bind(first + 4, fitted(r.country, kCountrySize, overflow));
    s.bind(first + 5, fitted(r.suggestion, kTextSize, overflow));
    return overflow;
}

/// True when every value the run writes into tblEMails already meets the
/// column checks the table carries: the key comes from tblData's counter (a
/// whole number), IsValid is -1 or 0 and fitted() keeps each text within its
/// column. The engine can then leave the checks out of the run's INSERT.
bool runMeetsChecks(const jet::ColumnList& emails, bool counterKey)
{
    if (!counterKey)
        return false;
    auto wide = [](const jet::ColumnInfo& ci, int size) {
        return ci.type == jet::dbMemo || (ci.type == jet::dbText && ci.size >= size);
    };
    int seen = 0;
    for (const jet::ColumnInfo& ci : emails) {
        const QString& n = ci.name;
        bool ok = true;
        if (n.compare(kKey, Qt::CaseInsensitive) == 0)
            ok = ci.type == jet::dbLong;
        else if (n.compare(QLatin1String("IsValid"), Qt::CaseInsensitive) == 0)
            ok = ci.type == jet::dbBoolean || ci.type == jet::dbInteger || ci.type == jet::dbLong;
        else if (n.compare(QLatin1String("Country"), Qt::CaseInsensitive) == 0)
            ok = wide(ci, kCountrySize);
        else if (n.compare(QLatin1String("Account"), Qt::CaseInsensitive) == 0
                 || n.compare(QLatin1String("SubDomain"), Qt::CaseInsensitive) == 0
                 || n.compare(QLatin1String("Domain"), Qt::CaseInsensitive) == 0
                 || n.compare(QLatin1String("Suggest1"), Qt::CaseInsensitive) == 0)
            ok = wide(ci, kTextSize);
        else
            continue;   // written as Null or its default, as with the checks on
        if (!ok)
            return false;
        ++seen;
    }
    return seen == 7;
}

/// Leaves the column checks out of the statements prepared while it lives
/// (the engine's ignore_check_constraints), then puts them back as they were.
class ChecksOff {
public:
    explicit ChecksOff(jet::Connection& c, bool on) : c_(c)
    {
        if (!on)
            return;
        jet::Stmt read(&c_, QStringLiteral("PRAGMA ignore_check_constraints"));
        if (read.step() && read.int64(0) != 0)
            return;   // already off
        c_.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
        active_ = true;
    }
    ~ChecksOff()
    {
        if (!active_)
            return;
        try {
            c_.exec(QStringLiteral("PRAGMA ignore_check_constraints = OFF"));
        } catch (...) {
        }
    }
    ChecksOff(const ChecksOff&) = delete;
    ChecksOff& operator=(const ChecksOff&) = delete;

private:
    jet::Connection& c_;
    bool active_ = false;
};

/// A slice of the column on its way through the run: the cells as the scan
/// read them and, once a worker has checked them, their tblEMails values.
struct Batch {
    // Read by the scan.
    std::vector<qint64> keys;
    std::vector<quint32> cellEnd;   ///< end of each cell in cells
    std::string cells;              ///< the cells' text as UTF-8
    std::vector<char> isText;       ///< stored as text (only text cells are rewritten trimmed)

    // Written by the worker.
    struct Row {
        bool valid = false;
        quint8 nulls = 0;                  ///< bit i: part i (Account .. Suggest1) is Null
        std::array<quint32, 5> end{};      ///< end of each part in parts
    };
    std::vector<Row> rows;
    std::string parts;
    std::vector<std::pair<qint64, QString>> trims;
    qint64 invalid = 0;
    qint64 oversized = 0;
    InvalidRows invalidRows;   ///< complete unless an invalid cell was not text

    // Set by the worker under the checkers' lock.
    bool checked = false;
    std::exception_ptr error;

    qsizetype size() const { return qsizetype(keys.size()); }

    /// Empties the batch for the next slice, keeping its storage.
    void clear()
    {
        keys.clear();
        cellEnd.clear();
        cells.clear();
        isText.clear();
        rows.clear();
        parts.clear();
        trims.clear();
        invalidRows.complete = true;
        invalidRows.text.clear();
        invalidRows.rows.clear();
        invalid = 0;
        oversized = 0;
        checked = false;
        error = nullptr;
    }
};

using GroupCounts = std::unordered_map<std::string, qint64>;   ///< valid rows by groupKey

/// The key of a valid row's SubDomain, Domain and Country (parts 1 to 3), as
/// written: for each a Null mark, or its length and UTF-8 bytes.
void groupKey(const Batch& b, const Batch::Row& row, quint32 begin, std::string& key)
{
    key.clear();
    for (int p = 0; p < 5; ++p) {
        const quint32 end = row.end[size_t(p)];
        if (p >= 1 && p <= 3) {
            if (row.nulls & (1u << p)) {
                key += '\0';
            } else {
                key += '\1';
                const quint32 n = end - begin;
                key.append(reinterpret_cast<const char*>(&n), sizeof n);
                key.append(b.parts.data() + begin, n);
            }
        }
        begin = end;
    }
}

ValidGroups decodeGroups(const GroupCounts& groups)
{
    ValidGroups out;
    out.reserve(groups.size());
    for (const auto& [key, rows] : groups) {
        ValidGroup g;
        g.rows = rows;
        size_t at = 0;
        for (auto& part : g.parts) {
            if (key[at++] == '\0')
                continue;
            quint32 n = 0;
            std::memcpy(&n, key.data() + at, sizeof n);
            at += sizeof n;
            part.emplace(key.data() + at, n);
            at += n;
        }
        out.push_back(std::move(g));
    }
    return out;
}

/// Checks every cell of b and counts its valid rows into groups; runs on a
/// worker thread and touches nothing else.
void checkBatch(Batch& b, const DomainLists& lists, QStringView specialChars, GroupCounts& groups)
{
    const qsizetype n = b.size();
    b.rows.resize(size_t(n));
    b.parts.reserve(b.cells.size() + size_t(n) * 8);
    std::string utf8;
    quint32 begin = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const quint32 end = b.cellEnd[size_t(i)];
        const QString whole = jet::textFromUtf8(b.cells.data() + begin, qsizetype(end - begin));
        begin = end;
        const QStringView trimmedView = trimBlanks(whole);
        const QString address = trimmedView.size() == whole.size() ? whole : trimmedView.toString();
        if (address.size() != whole.size() && b.isText[size_t(i)])
            b.trims.emplace_back(b.keys[size_t(i)], address);
        const EmailCheck r = checkEmail(address, lists, specialChars, true);
        Batch::Row& row = b.rows[size_t(i)];
        row.valid = r.isValid;
        const std::optional<QString>* texts[5] = {&r.account, &r.subDomain, &r.domain, &r.country, &r.suggestion};
        const qsizetype sizes[5] = {kTextSize, kTextSize, kTextSize, kCountrySize, kTextSize};
        bool overflow = false;
        for (int p = 0; p < 5; ++p) {
            const std::optional<QString>& t = *texts[p];
            // As fitted(): Null for no value and for a text too long for its column.
            bool null = !t;
            if (t && t->size() > sizes[p] && characters(*t) > sizes[p]) {
                overflow = true;
                null = true;
            }
            if (null) {
                row.nulls |= quint8(1u << p);
            } else {
                utf8Into(*t, utf8);
                b.parts += utf8;
            }
            row.end[size_t(p)] = quint32(b.parts.size());
        }
        b.oversized += overflow;
        b.invalid += !r.isValid;
        if (!r.isValid) {
            // The row as the invalid list shows it: the cell as tblData holds
            // it once the run is done, and the suggestion as stored.
            InvalidRows& inv = b.invalidRows;
            if (!b.isText[size_t(i)]) {
                inv.complete = false;
            } else if (address.size() == whole.size()) {
                const quint32 from = i == 0 ? 0 : b.cellEnd[size_t(i - 1)];
                inv.text.append(b.cells.data() + from, b.cellEnd[size_t(i)] - from);
            } else {
                utf8Into(address, utf8);
                inv.text += utf8;
            }
            InvalidRows::Row out;
            out.key = b.keys[size_t(i)];
            out.cellEnd = inv.text.size();
            out.noSuggestion = (row.nulls & (1u << 4)) != 0;
            if (!out.noSuggestion)
                inv.text.append(b.parts.data() + row.end[3], row.end[4] - row.end[3]);
            out.suggestionEnd = inv.text.size();
            inv.rows.push_back(out);
        }
        if (r.isValid) {
            groupKey(b, row, i == 0 ? 0 : b.rows[size_t(i - 1)].end[4], utf8);
            ++groups[utf8];
        }
    }
}

/// Cells per batch, and how many batches may be read ahead of the one being
/// written: enough to keep every core busy, few enough to keep memory flat on
/// any length of list.
constexpr qsizetype kBatchRows = 4096;

int workerCount()
{
    const unsigned hw = std::thread::hardware_concurrency();
    return int(std::clamp(hw, 1u, 16u));
}

/// The worker threads of one run. Each takes posted batches in turn, checks
/// them and counts the valid rows it saw into a table of its own, so the
/// threads never wait on one another's counts; the tables are added up once
/// at the end.
class Checkers {
public:
    Checkers(int threads, const DomainLists& lists, QStringView specialChars)
        : lists_(lists), specialChars_(specialChars), groups_(size_t(threads))
    {
        threads_.reserve(size_t(threads));
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this, i] { work(groups_[size_t(i)]); });
    }
    ~Checkers()
    {
        {
            const std::lock_guard lock(m_);
            stop_ = true;
        }
        posted_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    Checkers(const Checkers&) = delete;
    Checkers& operator=(const Checkers&) = delete;

    void post(Batch* b)
    {
        {
            const std::lock_guard lock(m_);
            todo_.push_back(b);
        }
        posted_.notify_one();
    }

    /// Waits until b is checked; rethrows what its check threw.
    void wait(Batch& b)
    {
        std::unique_lock lock(m_);
        checked_.wait(lock, [&] { return b.checked; });
        if (b.error)
            std::rethrow_exception(b.error);
    }

    /// The counts of every thread added up; call once every batch is checked.
    GroupCounts takeGroups()
    {
        const std::lock_guard lock(m_);
        GroupCounts all = std::move(groups_[0]);
        for (size_t i = 1; i < groups_.size(); ++i)
            for (const auto& [key, n] : groups_[i])
                all[key] += n;
        return all;
    }

private:
    void work(GroupCounts& groups)
    {
        std::unique_lock lock(m_);
        for (;;) {
            posted_.wait(lock, [&] { return stop_ || !todo_.empty(); });
            if (stop_)
                return;
            Batch* b = todo_.front();
            todo_.pop_front();
            lock.unlock();
            std::exception_ptr error;
            try {
                checkBatch(*b, lists_, specialChars_, groups);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            b->error = error;
            b->checked = true;
            checked_.notify_all();
        }
    }

    const DomainLists& lists_;
    QStringView specialChars_;
    std::vector<GroupCounts> groups_;   ///< one per thread
    std::mutex m_;
    std::condition_variable posted_, checked_;
    std::deque<Batch*> todo_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

/// The run's checked rows in the order the scan reads the cells. The scan is
/// stepped batch by batch as the rows are taken; each batch is checked on a
/// worker thread while earlier ones are written, and at most a few batches
/// per core are held at any time, each used again once its rows are written.
class CheckedRows : public jet::RowFeed {
public:
    CheckedRows(jet::Stmt& scan, const DomainLists& lists, QStringView specialChars, common::Progress& progress)
        : scan_(scan), progress_(progress), ahead_(2 * workerCount()), checkers_(workerCount(), lists, specialChars)
    {
        invalidRows.complete = true;
    }
    CheckedRows(const CheckedRows&) = delete;
    CheckedRows& operator=(const CheckedRows&) = delete;

    int columnCount() const override { return 7; }

    /// Moves to the next row; false past the last. Throws Cancelled when the
    /// user stops the run.
    bool next() override
    {
        if (current_ && ++at_ < current_->size()) {
            begin_ = current_->rows[size_t(at_ - 1)].end[4];
            return true;
        }
        if (current_) {
            done_ += current_->size();
            spare_.push_back(std::move(current_));
            progress_.step(done_);
            if (progress_.cancelled())
                throw Cancelled{};
        }
        readAhead();
        if (pending_.empty())
            return false;
        current_ = std::move(pending_.front());
        pending_.pop_front();
        checkers_.wait(*current_);
        take(*current_);
        readAhead();
        at_ = 0;
        begin_ = 0;
        return current_->size() > 0 || next();
    }

    /// Column i of the current row: 0 the key, 1 IsValid, 2 to 6 Account,
    /// SubDomain, Domain, Country and Suggest1.
    void result(sqlite3_context* ctx, int i) const override
    {
        const Batch& b = *current_;
        const Batch::Row& row = b.rows[size_t(at_)];
        if (i == 0) {
            sqlite3_result_int64(ctx, b.keys[size_t(at_)]);
            return;
        }
        if (i == 1) {
            sqlite3_result_int(ctx, row.valid ? -1 : 0);   // the engine's True
            return;
        }
        const int p = i - 2;
        if (p < 0 || p > 4 || (row.nulls & (1u << p))) {
            sqlite3_result_null(ctx);
            return;
        }
        const quint32 from = p == 0 ? begin_ : row.end[size_t(p - 1)];
        // The batch stays until the engine has moved past its rows.
        sqlite3_result_text(ctx, b.parts.data() + from, int(row.end[size_t(p)] - from), SQLITE_STATIC);
    }

    /// The valid rows by their parts; once every row was taken.
    GroupCounts takeGroups() { return checkers_.takeGroups(); }

    qint64 rows = 0;
    qint64 invalid = 0;
    qint64 oversized = 0;
    std::vector<std::pair<qint64, QString>> trims;
    InvalidRows invalidRows;

private:
    void readAhead()
    {
        while (!scanned_ && qsizetype(pending_.size()) < ahead_) {
            std::unique_ptr<Batch> b;
            if (spare_.empty()) {
                b = std::make_unique<Batch>();
                b->keys.reserve(size_t(kBatchRows));
                b->cellEnd.reserve(size_t(kBatchRows));
                b->isText.reserve(size_t(kBatchRows));
                b->clear();
            } else {
                b = std::move(spare_.back());
                spare_.pop_back();
                b->clear();
            }
            sqlite3_stmt* const in = scan_.get();
            while (b->size() < kBatchRows) {
                if (!scan_.step()) {
                    scanned_ = true;
                    break;
                }
                b->keys.push_back(sqlite3_column_int64(in, 0));
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(in, 1));
                b->cells.append(text, size_t(sqlite3_column_bytes(in, 1)));
                b->cellEnd.push_back(quint32(b->cells.size()));
                b->isText.push_back(char(sqlite3_column_int(in, 2) != 0));
            }
            if (b->size() == 0) {
                spare_.push_back(std::move(b));
                break;
            }
            checkers_.post(b.get());
            pending_.push_back(std::move(b));
        }
    }

    void take(Batch& b)
    {
        rows += b.size();
        invalid += b.invalid;
        oversized += b.oversized;
        for (auto& t : b.trims)
            trims.push_back(std::move(t));
        invalidRows.complete = invalidRows.complete && b.invalidRows.complete;
        const quint64 base = invalidRows.text.size();
        invalidRows.text += b.invalidRows.text;
        for (InvalidRows::Row r : b.invalidRows.rows) {
            r.cellEnd += base;
            r.suggestionEnd += base;
            invalidRows.rows.push_back(r);
        }
    }

    jet::Stmt& scan_;
    common::Progress& progress_;
    const qsizetype ahead_;
    std::deque<std::unique_ptr<Batch>> pending_;
    std::unique_ptr<Batch> current_;
    std::vector<std::unique_ptr<Batch>> spare_;
    qsizetype at_ = 0;
    quint32 begin_ = 0;
    bool scanned_ = false;
    qint64 done_ = 0;
    // Last, so that its threads stop before any batch they may hold goes.
    Checkers checkers_;
};

/// For its lifetime the connection reads the database file through a memory
/// map of at most kMappedBytes: a page read is then a memory access instead
/// of a system call. The map goes with the object, so the pages it touched do
/// not stay counted as the program's memory.
class MappedReads {
public:
    static constexpr qint64 kMappedBytes = 256LL << 20;
    explicit MappedReads(jet::Connection& c) : c_(c)
    {
        jet::Stmt read(&c_, QStringLiteral("PRAGMA mmap_size"));
        if (read.step())
            before_ = read.int64(0);
        if (before_ < kMappedBytes)
            c_.exec(QStringLiteral("PRAGMA mmap_size = %1").arg(kMappedBytes));
    }
    ~MappedReads()
    {
        try {
            if (before_ < kMappedBytes)
                c_.exec(QStringLiteral("PRAGMA mmap_size = %1").arg(before_));
        } catch (...) {
        }
    }
    MappedReads(const MappedReads&) = delete;
    MappedReads& operator=(const MappedReads&) = delete;

private:
    jet::Connection& c_;
    qint64 before_ = 0;
};

QString refusal(const jet::Database& db, const EmailRun& run, const QString& column)
{
    if (run.column.isEmpty() || !db.isOpen())
        return QStringLiteral("Validate an e-mail column first.");
    if (run.column.compare(column, Qt::CaseInsensitive) != 0)
        return QStringLiteral("The e-mail results are for the column %1. Validate the column %2 first.")
            .arg(run.column, column);
    return QStringLiteral("The list has changed since its e-mail addresses were validated. "
                          "Validate the column again.");
}

ChangeResult bulkUpdate(jet::Database& db, const EmailRun& run, const QString& column, const QString& sql)
{
    ChangeResult r;
    if (!isCurrent(db, run, column)) {
        r.refused = true;
        r.reason = refusal(db, run, column);
        return r;
    }
    try {
        // One statement; the engine runs it in a savepoint of its own, so a
        // failure on any row leaves every row as it was.
        db.execute(sql, jet::dbFailOnError);
        r.rows = db.recordsAffected();
        r.ok = true;
    } catch (const jet::JetError& e) {
        r.reason = e.description();
    } catch (const std::exception& e) {
        r.reason = QString::fromUtf8(e.what());
    }
    return r;
}

} // namespace

RunResult validateColumn(jet::Database& db, const QString& column, const DomainLists& lists,
                         QStringView specialChars, common::Progress& progress)
{
    RunResult r;
    if (!db.isOpen()) {
        r.error = QStringLiteral("The working database is not open.");
        return r;
    }
    jet::Connection& c = db.connection();
    EmailRun run;
    run.lists = lists;
    run.specialChars = specialChars.toString();
    try {
        const QString data = realTable(c, QStringLiteral("tblData"));
        const QString emails = realTable(c, QStringLiteral("tblEMails"));
        bool hasKey = false, counterKey = false;
        for (const jet::ColumnInfo& ci : c.columns(data)) {
            if (ci.name.compare(column, Qt::CaseInsensitive) == 0) {
                run.column = ci.name;
            }
            if (ci.name.compare(kKey, Qt::CaseInsensitive) == 0) {
                hasKey = true;
                counterKey = (ci.attributes & jet::dbAutoIncrField) != 0;
            }
        }
        const bool skipChecks = runMeetsChecks(c.columns(emails), counterKey);
        if (run.column.isEmpty() || !hasKey)
            throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
        const QString dataQ = jet::quoteName(data);
        const QString colQ = jet::quoteName(run.column);

        GroupCounts groups;
        InvalidRows invalidRows;
        const MappedReads mapped(c);
        c.inSavepoint(QStringLiteral("qb_email_run"), [&]() {
            c.exec(QStringLiteral("DELETE FROM ") + jet::quoteName(emails));
            // The rows ahead, for the progress bar: the highest row number
            // comes from the table's tree at once, where a count would read
            // the whole table (they differ only by rows deleted since).
            qint64 total = 0;
            {
                jet::Stmt last(&c, QStringLiteral("SELECT max(rowid) FROM ") + dataQ);
                if (last.step())
                    total = last.int64(0);
            }
            progress.start(total);

            // The engine reads the column once; workers check the cells while
            // the scan reads on, and the INSERT takes the checked rows in the
            // order they were read.
            std::vector<std::pair<qint64, QString>> trims;
            {
                jet::Stmt scan(&c, QStringLiteral("SELECT K, C, typeof(C) = 'text' FROM (SELECT %1 AS K, %2 AS C FROM %3) "
                                                  "WHERE length(C) > 0")
                                       .arg(jet::quoteName(kKey), colQ, dataQ));
                CheckedRows checked(scan, lists, specialChars, progress);
                const jet::ScopedFeed feed(c, "qb_email_rows", checked);
                const ChecksOff checksOff(c, skipChecks);
                jet::Stmt fill(&c, QStringLiteral("INSERT INTO %1 (LumacorPrimK, IsValid, Account, SubDomain, Domain, "
                                                  "Country, Suggest1) SELECT c0, c1, c2, c3, c4, c5, c6 FROM qb_email_rows")
                                       .arg(jet::quoteName(emails)));
                jet::runFeed(fill, checked);
                progress.step(total);
                run.rows = checked.rows;
                run.invalid = checked.invalid;
                run.oversized = checked.oversized;
                trims = std::move(checked.trims);
                groups = checked.takeGroups();
                invalidRows = std::move(checked.invalidRows);
            }
            if (!trims.empty()) {
                jet::Stmt upd(&c, QStringLiteral("UPDATE %1 SET %2 = ?1 WHERE %3 = ?2").arg(dataQ, colQ, jet::quoteName(kKey)));
                for (const auto& [key, text] : trims) {
                    upd.bind(1, jet::Value(text));
                    upd.bindInt(2, key);
                    upd.step();
                    upd.reset();
                }
                run.trimmed = static_cast<qint64>(trims.size());
            }
        });
        run.generation = c.generation();
        r.ok = true;
        r.run = std::move(run);
        r.groups = decodeGroups(groups);
        r.invalid = std::move(invalidRows);
    } catch (const Cancelled&) {
        r.cancelled = true;
        r.error = QStringLiteral("Operation cancelled.");
    } catch (const jet::JetError& e) {
        r.error = e.description();
    } catch (const std::exception& e) {
        r.error = QString::fromUtf8(e.what());
    }
    return r;
}

bool isCurrent(const jet::Database& db, const EmailRun& run, const QString& column)
{
    return db.isOpen() && !run.column.isEmpty() && run.column.compare(column, Qt::CaseInsensitive) == 0
        && db.connection().generation() == run.generation;
}

QByteArray columnFingerprint(jet::Database& db, const QString& column)
{
    jet::Connection& c = db.connection();
    const QString data = c.requireTable(QStringLiteral("tblData"));
    jet::Stmt scan(&c, QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1")
                           .arg(jet::quoteName(kKey), jet::quoteName(column), jet::quoteName(data)));
    QCryptographicHash hash(QCryptographicHash::Md5);
    while (scan.step()) {
        sqlite3_stmt* s = scan.get();
        const qint64 key = sqlite3_column_int64(s, 0);
        const int type = sqlite3_column_type(s, 1);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&key), sizeof key));
        const char kind = char(type);
        hash.addData(QByteArrayView(&kind, 1));
        if (type == SQLITE_NULL)
            continue;
        const char* bytes = static_cast<const char*>(sqlite3_column_blob(s, 1));
        const int n = sqlite3_column_bytes(s, 1);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&n), sizeof n));
        if (n > 0)
            hash.addData(QByteArrayView(bytes, n));
    }
    return hash.result();
}

ChangeResult useAllSuggestions(jet::Database& db, const EmailRun& run, const QString& column)
{
    return bulkUpdate(db, run, column,
                      QStringLiteral("UPDATE tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK ")
                          + QStringLiteral("SET D.[") + run.column + QStringLiteral("]=E.Suggest1 ")
                          + QStringLiteral("WHERE E.IsValid=FALSE ") + QStringLiteral("  AND E.Suggest1 IS NOT NULL ")
                          + QStringLiteral("  AND TRIM(E.Suggest1)<>'';"));
}

ChangeResult blankAllInvalid(jet::Database& db, const EmailRun& run, const QString& column)
{
    return bulkUpdate(db, run, column,
                      QStringLiteral("UPDATE tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK ")
                          + QStringLiteral("SET D.[") + run.column + QStringLiteral("]=NULL ")
                          + QStringLiteral("WHERE E.IsValid=FALSE;"));
}

ChangeResult applySuggestion(jet::Database& db, EmailRun& run, const QString& column, qint64 key)
{
    ChangeResult r;
    if (!isCurrent(db, run, column)) {
        r.refused = true;
        r.reason = refusal(db, run, column);
        return r;
    }
    jet::Connection& c = db.connection();
    try {
        const QString emails = jet::quoteName(realTable(c, QStringLiteral("tblEMails")));
        const QString data = jet::quoteName(realTable(c, QStringLiteral("tblData")));
        jet::Value suggestion;
        bool wasValid = false;
        {
            jet::Stmt read(&c, QStringLiteral("SELECT IsValid, Suggest1 FROM %1 WHERE LumacorPrimK = ?1").arg(emails));
            read.bindInt(1, key);
            if (!read.step()) {
                r.reason = QStringLiteral("No e-mail result is stored for that row.");
                return r;
            }
            wasValid = read.value(0, jet::dbBoolean).toBool();
            suggestion = read.value(1, jet::dbText);
        }
        // A valid row has no suggestion to take; an empty one would blank the
        // address, which is the other button's job.
        if (wasValid || suggestion.isNull() || trimBlanks(suggestion.toString()).isEmpty()) {
            r.ok = true;
            return r;
        }
        const QString address = suggestion.toString();
        const EmailCheck check = checkEmail(address, run.lists, run.specialChars, true);
        c.inSavepoint(QStringLiteral("qb_email_one"), [&]() {
            jet::Stmt upd(&c, QStringLiteral("UPDATE %1 SET %2 = ?1 WHERE %3 = ?2")
                                  .arg(data, jet::quoteName(run.column), jet::quoteName(kKey)));
            upd.bind(1, jet::Value(address));
            upd.bindInt(2, key);
            upd.step();
            r.rows = c.changes();
            jet::Stmt mark(&c, QStringLiteral("UPDATE %1 SET IsValid = ?1, Account = ?2, SubDomain = ?3, Domain = ?4, "
                                              "Country = ?5, Suggest1 = ?6 WHERE LumacorPrimK = ?7")
                                   .arg(emails));
            bindCheck(mark, 1, check);
            mark.bindInt(7, key);
            mark.step();
        });
        run.generation = c.generation();
        if (check.isValid)
            --run.invalid;
        r.ok = true;
    } catch (const jet::JetError& e) {
        r.rows = 0;
        r.reason = e.description();
    } catch (const std::exception& e) {
        r.rows = 0;
        r.reason = QString::fromUtf8(e.what());
    }
    return r;
}

// ---- Texts ----

namespace {

struct CountsPart {
    const char* select;
    const char* groupBy;
    const char* filter;   // followed by a double quote, the pattern, a double quote and a blank
};

// Rows 1 to 4 of the counts list; row 5 (the country name) rides on row 4.
const CountsPart kCountsParts[5] = {
    {nullptr, nullptr, nullptr},
    {" Account ", " Account ", " AND Account LIKE "},
    {" SubDomain ", " SubDomain ", " AND Subdomain LIKE "},
    {" Domain ", " Domain ", " AND Domain LIKE "},
    {" E.Country AS Country, IIF(ISNULL(CCTLD_Name),'USA',CCTLD_Name) ", " E.Country, ccTLD_Name ",
     " AND E.Country LIKE "},
};
constexpr const char* kCountryNameFilter = " AND IIF(ISNULL(CCTLD_Name),'USA',CCTLD_Name) LIKE ";

QString likeFragment(const char* fragment, const QString& pattern)
{
    return QString::fromLatin1(fragment) + QLatin1Char('"') + general::Double_Quotes(pattern) + QLatin1String("\" ");
}

QString countsWhere(const CountsChoice& choice)
{
    QString w;
    for (int i = 1; i <= 4; ++i) {
        if (!choice.ticked[size_t(i)])
            continue;
        if (!choice.filter[size_t(i)].isEmpty())
            w += likeFragment(kCountsParts[i].filter, choice.filter[size_t(i)]);
        if (i == 4 && !choice.filter[5].isEmpty())
            w += likeFragment(kCountryNameFilter, choice.filter[5]);
    }
    return w;
}

} // namespace

namespace {

/// The counts query over table, counting with count ("COUNT(*)" for
/// tblEmails itself).
QString countsQueryOver(const CountsChoice& choice, const QString& table, const QString& count)
{
    QString g, s;
    for (int i = 1; i <= 4; ++i) {
        if (!choice.ticked[size_t(i)])
            continue;
        g += g.isEmpty() ? QStringLiteral("GROUP BY ") : QStringLiteral(", ");
        g += QString::fromLatin1(kCountsParts[i].groupBy);
        if (!s.isEmpty())
            s += QStringLiteral(", ");
        s += QString::fromLatin1(kCountsParts[i].select);
    }
    QString q = QStringLiteral("SELECT ") + s;
    if (!s.isEmpty())
        q += QStringLiteral(", ");
    q += QLatin1Char(' ') + count + QStringLiteral(" AS Count ");
    q += QStringLiteral("FROM Z_ccTLD Z RIGHT JOIN ") + table + QStringLiteral(" E ON Z.ccTLD=E.Country ");
    q += QStringLiteral("WHERE IsValid=TRUE ");
    q += countsWhere(choice);
    q += QLatin1Char(' ');
    q += g;
    return q;
}

} // namespace

QString countsQuery(const CountsChoice& choice)
{
    return countsQueryOver(choice, QStringLiteral("tblEmails"), QStringLiteral("COUNT(*)"));
}

namespace {

const QString kGroups = QStringLiteral("qb_email_groups");

/// The key of one row's values by storage class and bytes: rows with the
/// same key hold the same values.
void appendKey(std::string& key, sqlite3_stmt* s, int i)
{
    const int type = sqlite3_column_type(s, i);
    key += char(type);
    switch (type) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(s, i);
        key.append(reinterpret_cast<const char*>(&v), sizeof v);
        break;
    }
    case SQLITE_FLOAT: {
        const double v = sqlite3_column_double(s, i);
        key.append(reinterpret_cast<const char*>(&v), sizeof v);
        break;
    }
    case SQLITE_NULL: break;
    default: {
        const void* p = type == SQLITE_BLOB ? sqlite3_column_blob(s, i) : static_cast<const void*>(sqlite3_column_text(s, i));
        const int n = sqlite3_column_bytes(s, i);
        key.append(reinterpret_cast<const char*>(&n), sizeof n);
        if (n > 0)
            key.append(static_cast<const char*>(p), size_t(n));
        break;
    }
    }
}

bool scalarTrue(jet::Connection& c, const QString& sql)
{
    jet::Stmt s(&c, sql);
    return s.step() && s.int64(0) != 0;
}

/// The counts list over a table of the valid rows already counted by their
/// parts (each distinct set of values once, with its number of rows): the
/// query then joins and sorts a few thousand rows instead of every address.
/// The table keeps tblEMails's declared types and collations, and the query
/// is the counts query with SUM of those numbers for COUNT(*); it gives the
/// same rows as long as every group of the query holds one spelling of its
/// values and every country code one row of Z_ccTLD, which is checked first.
/// nullptr when that does not hold or the parts cannot be counted ahead.
std::unique_ptr<jet::Recordset> openGroupedCounts(jet::Database& db, const CountsChoice& choice,
                                                  const std::function<QString(const QString&)>& sorted,
                                                  const ValidGroups* runGroups)
{
    static const char* const kParts[5] = {nullptr, "Account", "SubDomain", "Domain", "Country"};
    // Accounts are nearly all distinct: counting them ahead saves nothing.
    if (!db.isOpen() || choice.ticked[1])
        return nullptr;
    jet::Connection& c = db.connection();
    const QString emails = c.tableName(QStringLiteral("tblEMails"));
    const QString zones = c.tableName(QStringLiteral("Z_ccTLD"));
    if (emails.isEmpty() || zones.isEmpty())
        return nullptr;
    const jet::ColumnList emailColumns = c.columns(emails);
    auto realName = [&](const char* name) {
        for (const jet::ColumnInfo& ci : emailColumns)
            if (ci.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return ci.name;
        return QString();
    };
    QStringList grouped;   // the ticked parts
    for (int i = 2; i <= 4; ++i)
        if (choice.ticked[size_t(i)])
            grouped << realName(kParts[i]);
    if (grouped.isEmpty())
        return nullptr;
    QStringList keys = grouped;   // the join needs the country code either way
    if (!choice.ticked[4])
        keys << realName("Country");
    const QString valid = realName("IsValid");
    if (valid.isEmpty() || keys.contains(QString()))
        return nullptr;

    QStringList defs;
    const QByteArray table = emails.toUtf8();
    for (const QString& name : QStringList{valid} + keys) {
        const char* decl = nullptr;
        const char* coll = nullptr;
        if (sqlite3_table_column_metadata(c.handle(), nullptr, table.constData(), name.toUtf8().constData(), &decl, &coll,
                                          nullptr, nullptr, nullptr)
            != SQLITE_OK)
            return nullptr;
        defs << jet::quoteName(name) + QLatin1Char(' ') + QString::fromUtf8(decl ? decl : "") + QStringLiteral(" COLLATE ")
                + QString::fromUtf8(coll ? coll : "BINARY");
    }
    defs << QStringLiteral("qb_n INTEGER");

    const QString savepoint = QStringLiteral("qb_email_counts");
    std::unique_ptr<jet::Recordset> rs;
    try {
        c.beginSavepoint(savepoint);
        c.exec(QStringLiteral("DROP TABLE IF EXISTS temp.") + kGroups);
        const QString zonesQ = jet::quoteName(zones);
        bool ok = scalarTrue(c, QStringLiteral("SELECT (SELECT count(*) FROM %1) = (SELECT count(*) FROM (SELECT 1 FROM %1 "
                                               "GROUP BY ccTLD COLLATE JETCI))")
                                    .arg(zonesQ));
        if (ok) {
            c.exec(QStringLiteral("CREATE TEMP TABLE %1 (%2)").arg(kGroups, defs.join(QLatin1String(", "))));
            if (runGroups) {
                // The run counted by SubDomain, Domain and Country; added up
                // here by the parts in keys (the same values, byte for byte),
                // the table holds one row per group the query can tell apart
                // at most.
                std::vector<int> parts;   // index into ValidGroup::parts, in keys' order
                for (const QString& k : keys)
                    parts.push_back(k.compare(QLatin1String("SubDomain"), Qt::CaseInsensitive) == 0 ? 0
                                    : k.compare(QLatin1String("Domain"), Qt::CaseInsensitive) == 0  ? 1
                                                                                                     : 2);
                std::map<std::vector<std::optional<std::string>>, qint64> summed;
                std::vector<std::optional<std::string>> key(parts.size());
                for (const ValidGroup& g : *runGroups) {
                    for (size_t i = 0; i < parts.size(); ++i)
                        key[i] = g.parts[size_t(parts[i])];
                    summed[key] += g.rows;
                }
                jet::Stmt ins(&c, QStringLiteral("INSERT INTO temp.%1 VALUES (%2?)")
                                      .arg(kGroups, QStringLiteral("?, ").repeated(int(parts.size()) + 1)));
                for (const auto& [values, rows] : summed) {
                    sqlite3_bind_int(ins.get(), 1, -1);   // the engine's True
                    for (size_t i = 0; i < values.size(); ++i) {
                        const std::optional<std::string>& v = values[i];
                        if (v)
                            sqlite3_bind_text(ins.get(), int(i) + 2, v->data(), int(v->size()), SQLITE_STATIC);
                        else
                            sqlite3_bind_null(ins.get(), int(i) + 2);
                    }
                    sqlite3_bind_int64(ins.get(), int(values.size()) + 2, rows);
                    ins.step();
                    ins.reset();
                }
            } else {
                QStringList keysQ;
                for (const QString& k : keys)
                    keysQ << jet::quoteName(k);
                jet::Stmt scan(&c, QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                       .arg(keysQ.join(QLatin1String(", ")), jet::quoteName(emails),
                                            jet::translateExpression(QStringLiteral("IsValid=TRUE"))));
                struct Group {
                    std::vector<sqlite3_value*> values;
                    qint64 rows = 0;
                };
                std::unordered_map<std::string, size_t> index;
                std::vector<Group> groups;
                const int n = int(keys.size());
                std::string key;
                try {
                    while (scan.step()) {
                        key.clear();
                        for (int i = 0; i < n; ++i)
                            appendKey(key, scan.get(), i);
                        auto [it, fresh] = index.try_emplace(key, groups.size());
                        if (fresh) {
                            Group g;
                            for (int i = 0; i < n; ++i)
                                g.values.push_back(sqlite3_value_dup(sqlite3_column_value(scan.get(), i)));
                            groups.push_back(std::move(g));
                        }
                        ++groups[it->second].rows;
                    }
                    jet::Stmt ins(&c, QStringLiteral("INSERT INTO temp.%1 VALUES (%2?)")
                                          .arg(kGroups, QStringLiteral("?, ").repeated(n + 1)));
                    for (const Group& g : groups) {
                        sqlite3_bind_int(ins.get(), 1, -1);   // the engine's True
                        for (int i = 0; i < n; ++i)
                            sqlite3_bind_value(ins.get(), i + 2, g.values[size_t(i)]);
                        sqlite3_bind_int64(ins.get(), n + 2, g.rows);
                        ins.step();
                        ins.reset();
                    }
                } catch (...) {
                    for (Group& g : groups)
                        for (sqlite3_value* v : g.values)
                            sqlite3_value_free(v);
                    throw;
                }
                for (Group& g : groups)
                    for (sqlite3_value* v : g.values)
                        sqlite3_value_free(v);
            }
            QStringList binary, folded;
            for (const QString& k : grouped) {
                binary << jet::quoteName(k) + QStringLiteral(" COLLATE BINARY");
                folded << jet::quoteName(k) + QStringLiteral(" COLLATE JETCI");
            }
            ok = scalarTrue(c, QStringLiteral("SELECT (SELECT count(*) FROM (SELECT 1 FROM temp.%1 GROUP BY %2)) = "
                                              "(SELECT count(*) FROM (SELECT 1 FROM temp.%1 GROUP BY %3))")
                                   .arg(kGroups, binary.join(QLatin1String(", ")), folded.join(QLatin1String(", "))));
            if (ok)
                rs = db.openRecordset(sorted(countsQueryOver(choice, kGroups, QStringLiteral("SUM(qb_n)"))),
                                      jet::dbOpenSnapshot);
            c.exec(QStringLiteral("DROP TABLE temp.") + kGroups);
        }
        c.releaseSavepoint(savepoint);
    } catch (...) {
        rs.reset();
        c.rollbackSavepoint(savepoint);
        return nullptr;
    }
    return rs;
}

} // namespace

std::unique_ptr<jet::Recordset> openCounts(jet::Database& db, const CountsChoice& choice,
                                           const std::function<QString(const QString&)>& sorted,
                                           const ValidGroups* groups)
{
    if (auto rs = openGroupedCounts(db, choice, sorted, groups))
        return rs;
    return db.openRecordset(sorted(countsQuery(choice)), jet::dbOpenSnapshot);
}

bool countsFiltered(const CountsChoice& choice)
{
    return !countsWhere(choice).isEmpty();
}

QString validRowFilter(const std::vector<std::pair<QString, QString>>& shownColumns)
{
    QString w = QStringLiteral("IsValid=TRUE ");
    for (const auto& [header, value] : shownColumns) {
        // Sub-domain, domain and code hold only a-z, 0-9, "-" and "." once
        // valid; doubling quotes there changes nothing and keeps any text safe.
        const QString v = general::Double_Quotes(value);
        if (header == QLatin1String("Account"))
            w += QStringLiteral(" AND Account=\"") + v + QLatin1Char('"');
        else if (header == QLatin1String("Sub-domain"))
            w += QStringLiteral(" AND (IIF(ISNULL(Subdomain),\"\",Subdomain)=\"") + v + QStringLiteral("\") ");
        else if (header == QLatin1String("Domain"))
            w += QStringLiteral(" AND Domain=\"") + v + QLatin1Char('"');
        else if (header == QLatin1String("Tld"))
            w += QStringLiteral(" AND (IIF(ISNULL(Country),\"\",Country)=\"") + v + QStringLiteral("\") ");
    }
    return QStringLiteral(" LumacorPrimK IN (SELECT LumacorPrimK ") + QStringLiteral("                  FROM tblEMails ")
        + QStringLiteral("                  WHERE ") + w + QLatin1Char(')');
}

QString invalidAddressFilter(const QString& column, const QString& address)
{
    return QStringLiteral(" [") + column + QStringLiteral("]=\"") + general::Double_Quotes(address) + QLatin1Char('"');
}

QString allInvalidFilter()
{
    return QStringLiteral(" LumacorPrimK IN (SELECT LumacorPrimK ") + QStringLiteral("                  FROM tblEMails ")
        + QStringLiteral("                  WHERE IsValid=FALSE) ");
}

QString invalidListSource(const QString& column, int sortColumn, bool descending)
{
    return QStringLiteral("SELECT D.LumacorPrimK, E.LumacorPrimK, D.[") + column
        + QStringLiteral("] AS EMail, E.Suggest1 AS [Possible Correction] ")
        + QStringLiteral("FROM tblData D INNER JOIN tblEMails E ON D.LumacorPrimK=E.LumacorPrimK ")
        + QStringLiteral("WHERE E.IsValid=FALSE ") + QStringLiteral("ORDER BY ") + QString::number(sortColumn)
        + QLatin1Char(' ') + (descending ? QStringLiteral("DESC") : QStringLiteral("ASC"));
}

namespace {

/// The invalid list's rows in their order: D.LumacorPrimK, E.LumacorPrimK,
/// EMail, Possible Correction.
class InvalidListFeed : public jet::RowFeed {
public:
    InvalidListFeed(const InvalidRows& rows, std::vector<quint32> order) : rows_(rows), order_(std::move(order)) {}
    int columnCount() const override { return 4; }
    bool next() override { return ++at_ < order_.size(); }
    void result(sqlite3_context* ctx, int i) const override
    {
        const quint32 n = order_[at_];
        if (i <= 1) {
            sqlite3_result_int64(ctx, rows_.rows[n].key);
            return;
        }
        const std::optional<std::string_view> v = i == 2 ? rows_.cell(n) : rows_.suggestion(n);
        if (v)
            sqlite3_result_text(ctx, v->data(), int(v->size()), SQLITE_STATIC);
        else
            sqlite3_result_null(ctx);
    }
    qint64 expectedRows() const override { return qint64(order_.size()); }

private:
    const InvalidRows& rows_;
    std::vector<quint32> order_;
    size_t at_ = size_t(-1);
};

bool comparesAsText(jet::Connection& c, const QString& table, const QString& column)
{
    const char* coll = nullptr;
    return sqlite3_table_column_metadata(c.handle(), nullptr, table.toUtf8().constData(), column.toUtf8().constData(),
                                         nullptr, &coll, nullptr, nullptr, nullptr)
        == SQLITE_OK
        && coll && qstricmp(coll, "JETCI") == 0;
}

} // namespace

std::unique_ptr<jet::RowFeed> invalidListRows(jet::Database& db, const EmailRun& run, const InvalidRows& rows,
                                              const InvalidSort& sort)
{
    if (!rows.complete || (sort.column != 3 && sort.column != 4) || !isCurrent(db, run, run.column)
        || rows.rows.size() > std::numeric_limits<quint32>::max())
        return nullptr;
    jet::Connection& c = db.connection();
    const bool byCell = sort.column == 3;
    const QString table = c.tableName(byCell ? QStringLiteral("tblData") : QStringLiteral("tblEMails"));
    if (table.isEmpty() || !comparesAsText(c, table, byCell ? run.column : QStringLiteral("Suggest1")))
        return nullptr;

    // The engine's sort keeps equal values in the order they come, the
    // key's, as the run read them.
    std::vector<quint32> order(rows.rows.size());
    for (quint32 i = 0; i < order.size(); ++i)
        order[i] = i;
    auto value = [&](quint32 n) -> std::optional<std::string_view> {
        return byCell ? rows.cell(n) : rows.suggestion(n);
    };
    common::parallelSort(order, [&](quint32 a, quint32 b) {
        const std::optional<std::string_view> va = value(a), vb = value(b);
        int cmp = 0;
        if (!va || !vb)
            cmp = int(bool(va)) - int(bool(vb));   // Null before any text
        else
            cmp = jet::jetCompare(va->data(), int(va->size()), vb->data(), int(vb->size()));
        return sort.descending ? cmp > 0 : cmp < 0;
    }, true, 16384);
    return std::make_unique<InvalidListFeed>(rows, std::move(order));
}

bool clickInvalidHeader(InvalidSort& sort, int colIndex)
{
    if (colIndex != 2 && colIndex != 3)
        return false;
    const int n = colIndex + 1;
    if (n != sort.column) {
        sort.column = n;
        sort.descending = false;
    } else {
        sort.descending = !sort.descending;
    }
    return true;
}

DomainLists settingsDomainLists()
{
    QStringList generic;
    std::vector<CountryDomain> countries;
    for (size_t i = 1; i < general::gstrGTLDs.size(); ++i)
        if (!general::gstrGTLDs[i].isEmpty())
            generic << general::gstrGTLDs[i];
    for (size_t i = 1; i < general::gstrCCTLDs.size(); ++i)
        if (!general::gstrCCTLDs[i][0].isEmpty())
            countries.push_back({general::gstrCCTLDs[i][0], general::gstrCCTLDs[i][1]});
    return DomainLists(generic, countries);
}

QString settingsSpecialChars()
{
    std::vector<int> codes;
    codes.reserve(32);
    for (size_t i = 1; i <= 32; ++i)
        codes.push_back(general::gintSpecChars[i][1]);
    return specialCharsFromCodes(codes);
}

} // namespace email
