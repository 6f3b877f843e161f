// Counting and removing identical records of tblData.
//
// Call order: comparedColumns, searchDuplicates (counts and tblDupes_AllX),
// readGroupTable for the grid, then removeDuplicates with the search's result.
//
// How: the page's own statements group tblData three times for a search
// (distinct count, duplicate count, result table) and once more for a
// removal. Here each run reads tblData once, in key order, and groups the
// records in a hash table on their compared values, folded as the engine
// compares them (see RecordGrouper). One thread reads the records while a
// second groups the ones read before. The first record of a group is its
// lowest key. A search then knows the distinct and duplicate counts at once,
// and the values its result table shows are the ones each group kept of its
// first record; a removal knows every record to delete and every record to
// keep as it reads it. A million records cost one scan and a million hash
// probes (taken in windows, so that their cache misses overlap); the table
// holds the folded values of each group and its first record's values. Only
// the groups of two or more are sorted, for the result table's order, mostly
// on a prefix of their values, on several threads.
//
// Lists of millions of keys or rows go to SQLite as tables it reads from
// memory (jet::ScopedKeyTable, and the result rows as a jet::RowFeed): one INSERT ...
// SELECT or join instead of a statement step for each row.
//
// Hazards: a removal must never trust groups the list no longer has, so it
// groups the records again inside its own transaction rather than reusing the
// search's. The removal is one workspace transaction: any failure rolls back
// all of it, tblDupes_Min and tblDupes_Del included, and returns the reason.
#include "duplicates/dupe_remover.h"

#include "common/batch_queue.h"
#include "common/general.h"
#include "common/parallel.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/rowfeed.h"
#include "platform/jet/sqlfunctions.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QChar>
#include <QStringView>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <exception>
#include <optional>
#include <thread>

namespace dupes {
namespace {

const QString kKey = QStringLiteral("LumacorPrimK");
constexpr qint64 kProgressEvery = 4096;   // records between two progress reports
const QString kLayout = QStringLiteral("temp.qb_dupe_layout");
const char* const kKeyList = "qb_dupe_keys";   // a key list handed to SQLite

bool isText(const Column& c) { return c.type == jet::dbText || c.type == jet::dbMemo; }

QString bracket(const QString& n) { return QLatin1Char('[') + n + QLatin1Char(']'); }

QString realTable(jet::Connection& c, const QString& name) { return c.requireTable(name); }

// SQLite text of the grouping value of a column of alias a: the same
// equality as the page's IIF(ISNULL(x),'',x) for text, the plain value else.
QString valueExpr(const Column& col, const QString& a)
{
    const QString ref = a + QLatin1Char('.') + jet::quoteName(col.name);
    return isText(col) ? QStringLiteral("coalesce(%1,'')").arg(ref) : ref;
}

QString groupExpr(const Column& col, const QString& a)
{
    return isText(col) ? valueExpr(col, a) + QLatin1String(" COLLATE JETCI") : valueExpr(col, a);
}

QString joinTerms(const std::vector<Column>& cols, const std::function<QString(const Column&)>& f)
{
    QStringList out;
    for (const Column& c : cols)
        out << f(c);
    return out.join(QLatin1String(", "));
}

// How one compared column is told apart: Null taken as "" (Text and Memo),
// and text compared as the engine's case-insensitive collation does, or
// byte for byte.
struct ColumnRule {
    bool nullIsEmpty = false;
    enum class Fold { None, Ascii, Full } fold = Fold::None;
};

// The rule of each column, from its type and the collation SQLite applies to
// it: JETCI when the column is Text or Memo (the grouping says so) or when the
// column is declared with it; NOCASE folds ASCII letters only. Tables of this
// system declare no other collation; anything else compares byte for byte.
std::vector<ColumnRule> columnRules(jet::Connection& c, const QString& data, const std::vector<Column>& columns)
{
    std::vector<ColumnRule> rules;
    const QByteArray table = data.toUtf8();
    for (const Column& col : columns) {
        ColumnRule r;
        r.nullIsEmpty = isText(col);
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(c.handle(), "main", table.constData(), col.name.toUtf8().constData(), nullptr,
                                          &collation, nullptr, nullptr, nullptr)
                != SQLITE_OK)
            c.raise(SQLITE_ERROR, col.name);
        if (r.nullIsEmpty || (collation && sqlite3_stricmp(collation, "JETCI") == 0))
            r.fold = ColumnRule::Fold::Full;
        else if (collation && sqlite3_stricmp(collation, "NOCASE") == 0)
            r.fold = ColumnRule::Fold::Ascii;
        rules.push_back(r);
    }
    return rules;
}

// Bytes kept in blocks that never move: what is stored stays where it was
// put, and growing never holds two copies of everything.
class ByteBlocks {
public:
    const char* store(const std::string& bytes) { return store(bytes.data(), bytes.size()); }

    const char* store(const char* bytes, std::size_t size)
    {
        if (blocks_.empty() || size > blockSize_ - used_) {
            blockSize_ = std::max(kBlock, size);
            blocks_.push_back(std::make_unique<char[]>(blockSize_));
            used_ = 0;
        }
        char* at = blocks_.back().get() + used_;
        std::memcpy(at, bytes, size);
        used_ += size;
        return at;
    }

private:
    static constexpr std::size_t kBlock = std::size_t(1) << 22;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockSize_ = 0;
    std::size_t used_ = 0;
};

/// Appends the bytes of v to out.
template <typename T>
void appendBytes(std::string& out, T v)
{
    char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.append(b, sizeof(T));
}

/// Appends a length: one byte below 128, else a marked four-byte one. Either
/// way the prefix is as long as its value needs and never ambiguous.
void appendLength(std::string& out, int n)
{
    if (n < 128) {
        out.push_back(char(n));
        return;
    }
    out.push_back(char(0x80));
    appendBytes(out, std::int32_t(n));
}

/// Appends a value as SQLite hands it over, in the form readValue reads: a
/// type byte ('N', 'I', 'F', 'T', 'B'), then the integer or the double, or
/// the length and the bytes.
void appendStored(std::string& out, char type, const char* bytes, int n)
{
    out.push_back(type);
    appendLength(out, n);
    out.append(bytes ? bytes : "", std::size_t(n));
}

// Groups records by the values of the compared columns, one record at a time.
// Each record's values are written as one byte string in which two records
// are equal exactly when SQLite's GROUP BY puts them together: a type tag per
// value (Null, number, text, blob; text never equals a number), numbers in
// one form whether stored as integer or real (1 and 1.0 are one value), text
// case-folded where the column compares without case (the engine's collation
// folds each character; an all-ASCII value folds in place), every variable
// part prefixed with its length (one byte when short). The strings live in
// one arena; an open-addressing table of group numbers finds them by hash,
// and every hash match is confirmed on the bytes.
class RecordGrouper {
public:
    // 24 bytes a group: ten million groups must fit in memory with room to
    // spare. The hash is not kept; growing the table hashes the values again.
    // The folded values are followed in the arena by the first record's
    // values as they are stored (see storedValues), which the result table
    // shows: reading them back by key would cost a look-up for every group.
    struct Group {
        const char* bytes = nullptr;   ///< the folded values, in the arena
        qint64 firstKey = 0;
        std::uint32_t size = 0;        ///< of the folded values
        std::uint32_t count = 0;
    };

    /// The values of the group's first record, in the form readValue reads.
    static const char* storedValues(const Group& g) { return g.bytes + g.size; }

    /// expectedRecords: about how many records will come (the group list is
    /// reserved for them, which costs address space, not memory, until used).
    RecordGrouper(std::vector<ColumnRule> rules, qint64 expectedRecords) : rules_(std::move(rules))
    {
        slots_.assign(1 << 16, Slot{});
        groups_.reserve(std::size_t(std::clamp<qint64>(expectedRecords, 0, qint64(1) << 31)));
    }

    /// Encoded rows on their way from the thread that reads them to the one
    /// that groups them.
    struct Batch {
        struct Row {
            std::size_t offset = 0;   ///< in bytes: the folded values, then the stored ones
            std::uint32_t size = 0;
            std::uint32_t rawSize = 0;
            qint64 key = 0;
        };
        std::string bytes;
        std::vector<Row> rows;
        void clear()
        {
            bytes.clear();
            rows.clear();
        }
    };

    /// Adds the current row of st, whose columns from `first` on are the
    /// compared ones, to b. Touches nothing group() uses, so one thread can
    /// read and encode while another groups.
    void encode(Batch& b, sqlite3_stmt* st, int first, qint64 key)
    {
        encode(st, first);
        b.rows.push_back(Batch::Row{b.bytes.size(), std::uint32_t(row_.size()), std::uint32_t(raw_.size()), key});
        b.bytes.append(row_);
        b.bytes.append(raw_);
    }

    /// Groups the rows of b in the order they came and calls
    /// onRow(key, group number, whether the row opened its group) for each.
    /// On millions of groups nearly every look-up misses the processor's
    /// cache three times over (slot, group, bytes); each window of rows asks
    /// for each of these for all its rows before the rows are grouped one by
    /// one, so that the waits overlap.
    template <typename F>
    void group(const Batch& b, F&& onRow)
    {
        constexpr std::size_t kWindow = 32;
        std::uint64_t hashes[kWindow];
        for (std::size_t from = 0; from < b.rows.size(); from += kWindow) {
            const std::size_t n = std::min(kWindow, b.rows.size() - from);
            const Batch::Row* rows = b.rows.data() + from;
            const std::size_t mask = slots_.size() - 1;   // an add may grow the table: only the hints use it
            for (std::size_t i = 0; i < n; ++i) {
                hashes[i] = qHashBits(b.bytes.data() + rows[i].offset, rows[i].size, 0);
                __builtin_prefetch(&slots_[slotOf(hashes[i], mask)]);
            }
            for (std::size_t i = 0; i < n; ++i) {
                const Slot& slot = slots_[slotOf(hashes[i], mask)];
                if (slot.group != 0 && slot.tag == std::uint32_t(hashes[i] >> 32))
                    __builtin_prefetch(&groups_[slot.group - 1]);
            }
            for (std::size_t i = 0; i < n; ++i) {
                const Slot& slot = slots_[slotOf(hashes[i], mask)];
                if (slot.group != 0 && slot.tag == std::uint32_t(hashes[i] >> 32))
                    __builtin_prefetch(groups_[slot.group - 1].bytes);
            }
            for (std::size_t i = 0; i < n; ++i) {
                const auto [group, opened] =
                    add(b.bytes.data() + rows[i].offset, rows[i].size, rows[i].rawSize, hashes[i], rows[i].key);
                onRow(rows[i].key, group, opened);
            }
        }
    }

    const std::vector<Group>& groups() const { return groups_; }

    /// Frees the look-up table once every record is in (the groups stay).
    void releaseIndex() { std::vector<Slot>().swap(slots_); }

    /// Frees the list of groups; their values stay in the arena.
    void releaseGroups() { std::vector<Group>().swap(groups_); }

private:
    // Groups one encoded row; returns the group's number and whether the row
    // opened it.
    std::pair<std::uint32_t, bool> add(const char* bytes, std::size_t size, std::size_t rawSize, std::uint64_t h, qint64 key)
    {
        const std::size_t mask = slots_.size() - 1;
        const auto tag = std::uint32_t(h >> 32);
        std::size_t i = slotOf(h, mask);
        for (; slots_[i].group != 0; i = (i + 1) & mask) {
            if (slots_[i].tag != tag)
                continue;
            Group& g = groups_[slots_[i].group - 1];
            if (g.size == size && std::memcmp(g.bytes, bytes, size) == 0) {
                ++g.count;
                return {slots_[i].group - 1, false};
            }
        }
        const auto n = std::uint32_t(groups_.size());
        groups_.push_back(Group{arena_.store(bytes, size + rawSize), key, std::uint32_t(size), 1});
        slots_[i] = Slot{tag, n + 1};
        if (groups_.size() * 4 > slots_.size() * 3)
            grow();
        return {n, true};
    }

    template <typename T>
    void put(T v)
    {
        appendBytes(row_, v);
    }

    void putLength(int n) { appendLength(row_, n); }

    void putBytes(char tag, const char* p, int n)
    {
        row_.push_back(tag);
        putLength(n);
        row_.append(p, std::size_t(n));
    }

    void putText(const ColumnRule& r, const unsigned char* p, int n)
    {
        const char* bytes = reinterpret_cast<const char*>(p);
        if (r.fold == ColumnRule::Fold::None) {
            putBytes('T', bytes, n);
            return;
        }
        bool ascii = true;
        for (int i = 0; i < n && ascii; ++i)
            ascii = p[i] < 0x80;
        if (!ascii && r.fold == ColumnRule::Fold::Full) {
            const QByteArray folded = jet::textFromUtf8(bytes, n).toCaseFolded().toUtf8();
            putBytes('T', folded.constData(), int(folded.size()));
            return;
        }
        row_.push_back('T');
        putLength(n);
        const std::size_t at = row_.size();
        row_.resize(at + std::size_t(n));
        char* out = row_.data() + at;
        for (int i = 0; i < n; ++i) {
            const unsigned char ch = p[i];
            out[i] = char(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
        }
    }

    // The row's folded values into row_ and its values as stored into raw_.
    void encode(sqlite3_stmt* st, int first)
    {
        row_.clear();
        raw_.clear();
        for (std::size_t k = 0; k < rules_.size(); ++k) {
            const ColumnRule& r = rules_[k];
            const int col = first + int(k);
            switch (sqlite3_column_type(st, col)) {
            case SQLITE_NULL:
                if (r.nullIsEmpty) {
                    row_.push_back('T');
                    putLength(0);
                    appendStored(raw_, 'T', nullptr, 0);
                } else {
                    row_.push_back('N');
                    raw_.push_back('N');
                }
                break;
            case SQLITE_INTEGER: {
                const auto i = std::int64_t(sqlite3_column_int64(st, col));
                row_.push_back('I');
                put(i);
                raw_.push_back('I');
                appendBytes(raw_, i);
                break;
            }
            case SQLITE_FLOAT: {
                // A whole real within the integers' range equals that integer.
                const double d = sqlite3_column_double(st, col);
                if (d == std::floor(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
                    row_.push_back('I');
                    put(std::int64_t(d));
                } else {
                    row_.push_back('F');
                    put(d);
                }
                raw_.push_back('F');
                appendBytes(raw_, d);
                break;
            }
            case SQLITE_TEXT: {
                const unsigned char* p = sqlite3_column_text(st, col);
                const int n = sqlite3_column_bytes(st, col);
                putText(r, p, n);
                appendStored(raw_, 'T', reinterpret_cast<const char*>(p), n);
                break;
            }
            default: {
                const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
                const int n = sqlite3_column_bytes(st, col);
                putBytes('B', p, n);
                appendStored(raw_, 'B', p, n);
                break;
            }
            }
        }
    }

    // The slot from the hash's low half; the high half is the slot's tag, so
    // a probe past another group's slot rarely reads that group.
    static std::size_t slotOf(std::uint64_t h, std::size_t mask) { return std::size_t(std::uint32_t(h) * 0x9E3779B9u) & mask; }

    void grow()
    {
        slots_.assign(slots_.size() * 2, Slot{});
        const std::size_t mask = slots_.size() - 1;
        for (std::uint32_t n = 0; n < groups_.size(); ++n) {
            const std::uint64_t h = qHashBits(groups_[n].bytes, groups_[n].size, 0);
            std::size_t i = slotOf(h, mask);
            while (slots_[i].group != 0)
                i = (i + 1) & mask;
            slots_[i] = Slot{std::uint32_t(h >> 32), n + 1};
        }
    }

    std::vector<ColumnRule> rules_;
    std::string row_;
    std::string raw_;
    ByteBlocks arena_;
    std::vector<Group> groups_;
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t group = 0;   // group number + 1; 0 marks an empty slot
    };
    std::vector<Slot> slots_;
};

// What moves with every write to the database: the connection's count of
// written rows (its own statements, through the engine or not) and the data
// version (other connections' commits).
std::pair<qint64, qint64> writeStamp(jet::Connection& c)
{
    jet::Stmt v(&c, QStringLiteral("PRAGMA data_version"));
    const qint64 version = v.step() ? v.int64(0) : -1;
    return {qint64(sqlite3_total_changes64(c.handle())), version};
}

// Reads every record of tblData in key order and groups it. This thread
// reads and encodes the records (all the SQLite work); a second one groups
// them meanwhile and calls onRow(key, group, opened) for each, in key order.
// onRead(key) is called on this thread every few thousand records, with the
// key reached. Returns the grouper with the groups' sizes.
template <typename F, typename R>
RecordGrouper groupRecords(jet::Connection& c, const QString& data, const std::vector<Column>& columns, F&& onRow,
                           R&& onRead)
{
    qint64 expected = 0;
    {
        jet::Stmt top(&c, QStringLiteral("SELECT max(%1) FROM main.%2").arg(jet::quoteName(kKey), jet::quoteName(data)));
        if (top.step())
            expected = top.int64(0);
    }
    RecordGrouper g(columnRules(c, data, columns), expected);
    QStringList refs{QStringLiteral("T.") + jet::quoteName(kKey)};
    for (const Column& col : columns)
        refs << QStringLiteral("T.") + jet::quoteName(col.name);
    jet::Stmt s(&c, QStringLiteral("SELECT %1 FROM main.%2 T ORDER BY 1").arg(refs.join(QLatin1String(", ")), jet::quoteName(data)));

    // A fixed set of batches goes round: full ones to the grouping thread,
    // emptied ones back to this one.
    constexpr std::size_t kBatchRows = 4096;
    constexpr std::size_t kBatches = 4;
    using Batch = RecordGrouper::Batch;
    std::vector<Batch> batches(kBatches);
    common::BatchQueue<Batch*> full(kBatches), empty(kBatches);
    for (Batch& b : batches)
        empty.put(&b);
    auto stopBoth = [&] {
        full.stop();
        empty.stop();
    };
    std::exception_ptr groupingFailed;
    std::thread grouping([&] {
        try {
            while (const std::optional<Batch*> b = full.take()) {
                g.group(**b, onRow);
                (*b)->clear();
                empty.put(*b);
            }
        } catch (...) {
            groupingFailed = std::current_exception();
            stopBoth();
        }
    });
    try {
        std::optional<Batch*> b = empty.take();
        qint64 read = 0;
        while (b && s.step()) {
            const qint64 key = sqlite3_column_int64(s.get(), 0);
            g.encode(**b, s.get(), 1, key);
            if ((*b)->rows.size() == kBatchRows) {
                full.put(*b);
                b = empty.take();
            }
            if (++read % kProgressEvery == 0)
                onRead(key);
        }
        if (b)
            full.put(*b);
        full.finish();
    } catch (...) {
        stopBoth();
        grouping.join();
        throw;
    }
    grouping.join();
    if (groupingFailed)
        std::rethrow_exception(groupingFailed);
    g.releaseIndex();
    return g;
}

struct KeptRow {
    qint64 count = 0;
    const char* values = nullptr;
};

/// One stored value read at p; p moves past it.
struct StoredValue {
    char type = 'N';
    std::int64_t i = 0;
    double d = 0;
    const char* bytes = nullptr;
    int size = 0;
};

StoredValue readValue(const char*& p)
{
    StoredValue v;
    v.type = *p++;
    switch (v.type) {
    case 'I': std::memcpy(&v.i, p, 8); p += 8; break;
    case 'F': std::memcpy(&v.d, p, 8); p += 8; break;
    case 'T':
    case 'B': {
        std::int32_t n = static_cast<unsigned char>(*p++);
        if (n == 0x80) {
            std::memcpy(&n, p, 4);
            p += 4;
        }
        v.bytes = p;
        v.size = n;
        p += n;
        break;
    }
    default: break;
    }
    return v;
}

int typeRank(char t) { return t == 'N' ? 0 : (t == 'I' || t == 'F') ? 1 : t == 'T' ? 2 : 3; }

/// SQLite's order of two values: Null, then numbers by value, then text (by
/// the engine's collation in a Text or Memo column, byte by byte elsewhere),
/// then blobs byte by byte.
int compareValue(const StoredValue& a, const StoredValue& b, bool text)
{
    const int ra = typeRank(a.type), rb = typeRank(b.type);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 0)
        return 0;
    if (ra == 1) {
        if (a.type == 'I' && b.type == 'I')
            return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
        const long double x = a.type == 'I' ? (long double)a.i : (long double)a.d;
        const long double y = b.type == 'I' ? (long double)b.i : (long double)b.d;
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (ra == 2 && text)
        return jet::jetCompare(a.bytes, a.size, b.bytes, b.size);
    const int m = std::memcmp(a.bytes, b.bytes, std::size_t(std::min(a.size, b.size)));
    return m != 0 ? (m < 0 ? -1 : 1) : (a.size < b.size ? -1 : a.size > b.size ? 1 : 0);
}

int compareValues(const char* a, const char* b, const std::vector<bool>& textColumn)
{
    for (bool text : textColumn) {
        const int r = compareValue(readValue(a), readValue(b), text);
        if (r != 0)
            return r;
    }
    return 0;
}

// A row's place in the sort, told by its first bytes where they suffice.
// The prefix is the row's text values one after the other, each ended by a
// zero byte, every character case-folded as the collation folds it and
// written in UTF-8, read as big-endian words. It ends early (the rest zero,
// `known` saying how far it reaches) at a value that is no text, at a zero
// byte in a value, or at bytes that are no UTF-8 character of the Basic
// Multilingual Plane (or that fold to none). Where two prefixes first differ
// within what both know, they order the rows as compareValues does: the
// collation compares the folded characters by their numbers, which is the
// order of their UTF-8 bytes, a shorter value first, and the zero after a
// value sorts before any byte of a longer one. Anything else is left to
// compareValues.
struct SortEntry {
    std::array<std::uint64_t, 3> prefix{};
    std::uint32_t row = 0;
    std::uint32_t known = 0;   ///< bytes of the prefix that count
};

/// The character of the Basic Multilingual Plane whose UTF-8 bytes start at
/// p[i] (of n); moves i past them. 0 when the bytes are no such character.
char32_t bmpCharAt(const unsigned char* p, int n, int& i)
{
    const unsigned char lead = p[i];
    int more = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        c = lead & 0x0F;
    } else {
        return 0;   // a continuation byte, an overlong lead, or beyond the plane
    }
    if (i + more >= n)
        return 0;   // cut short
    for (int k = 1; k <= more; ++k) {
        if ((p[i + k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (c < 0x80 || (more == 2 && c < 0x800) || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    i += more + 1;
    return c;
}

SortEntry sortEntry(const char* p, const std::vector<bool>& textColumn, std::uint32_t row)
{
    SortEntry e;
    e.row = row;
    constexpr std::size_t kBytes = sizeof(e.prefix);
    unsigned char bytes[kBytes] = {};
    std::size_t n = 0;
    bool whole = true;   // all the values are in, the zero padding counts
    auto put = [&](unsigned char b) {
        if (n < kBytes)
            bytes[n++] = b;
    };
    for (bool text : textColumn) {
        if (n == kBytes)
            break;
        const StoredValue v = readValue(p);
        if (!text || v.type != 'T') {
            whole = false;
            break;
        }
        const auto* t = reinterpret_cast<const unsigned char*>(v.bytes);
        int i = 0;
        bool stopped = false;
        while (i < v.size && n < kBytes) {
            const unsigned char ch = t[i];
            if (ch != 0 && ch < 0x80) {
                bytes[n++] = ch >= 'A' && ch <= 'Z' ? ch + 32 : ch;
                ++i;
                continue;
            }
            const char32_t c = ch == 0 ? 0 : bmpCharAt(t, v.size, i);
            const char32_t f = c == 0 ? 0 : QChar::toCaseFolded(c);
            if (f == 0 || f > 0xFFFF || (f >= 0xD800 && f <= 0xDFFF)) {
                stopped = true;   // a byte or character the prefix cannot order
                break;
            }
            if (f < 0x80) {
                put(static_cast<unsigned char>(f));
            } else if (f < 0x800) {
                put(static_cast<unsigned char>(0xC0 | (f >> 6)));
                put(static_cast<unsigned char>(0x80 | (f & 0x3F)));
            } else {
                put(static_cast<unsigned char>(0xE0 | (f >> 12)));
                put(static_cast<unsigned char>(0x80 | ((f >> 6) & 0x3F)));
                put(static_cast<unsigned char>(0x80 | (f & 0x3F)));
            }
        }
        if (stopped) {
            whole = false;
            break;
        }
        if (n < kBytes)
            bytes[n++] = 0;
    }
    for (std::size_t w = 0; w < e.prefix.size(); ++w) {
        std::uint64_t x = 0;
        for (std::size_t b = 0; b < 8; ++b)
            x = (x << 8) | bytes[w * 8 + b];
        e.prefix[w] = x;
    }
    e.known = std::uint32_t(whole ? kBytes : n);
    return e;
}

/// -1 or 1 when the prefixes order the two rows, 0 when they cannot.
int comparePrefixes(const SortEntry& a, const SortEntry& b)
{
    const std::uint32_t known = std::min(a.known, b.known);
    for (std::size_t w = 0; w < a.prefix.size(); ++w) {
        const std::uint64_t x = a.prefix[w] ^ b.prefix[w];
        if (x == 0)
            continue;
        const auto at = std::uint32_t(w * 8 + std::size_t(std::countl_zero(x)) / 8);
        return at < known ? (a.prefix[w] < b.prefix[w] ? -1 : 1) : 0;
    }
    return 0;
}

// The sorted result rows as a table SQLite reads (Count, then the values):
// one INSERT ... SELECT writes them all instead of a statement step each.
class ResultRows : public jet::RowFeed {
public:
    ResultRows(const std::vector<KeptRow>& kept, const std::vector<SortEntry>& order, int values)
        : kept_(kept), order_(order), values_(values)
    {
    }
    int columnCount() const override { return values_ + 1; }
    qint64 expectedRows() const override { return qint64(order_.size()); }
    bool rewind() override
    {
        at_ = SIZE_MAX;
        return true;
    }

    // The rows go out in sorted order, which visits the kept rows and their
    // values at random: the ones a few rows ahead are asked for early.
    bool next() override
    {
        ++at_;
        if (at_ + 16 < order_.size())
            __builtin_prefetch(&kept_[order_[at_ + 16].row]);
        if (at_ + 8 < order_.size())
            __builtin_prefetch(kept_[order_[at_ + 8].row].values);
        return at_ < order_.size();
    }

    void result(sqlite3_context* ctx, int col) const override
    {
        const KeptRow& row = kept_[order_[at_].row];
        if (col == 0) {
            sqlite3_result_int64(ctx, row.count);
            return;
        }
        if (parsed_ != at_) {
            parsedValues_.clear();
            const char* p = row.values;
            for (int k = 0; k < values_; ++k)
                parsedValues_.push_back(readValue(p));
            parsed_ = at_;
        }
        const StoredValue& v = parsedValues_[std::size_t(col - 1)];
        switch (v.type) {
        case 'I': sqlite3_result_int64(ctx, v.i); break;
        case 'F': sqlite3_result_double(ctx, v.d); break;
        case 'T': sqlite3_result_text(ctx, v.bytes, v.size, SQLITE_STATIC); break;
        case 'B': sqlite3_result_blob(ctx, v.bytes, v.size, SQLITE_STATIC); break;
        default: sqlite3_result_null(ctx); break;
        }
    }

private:
    const std::vector<KeptRow>& kept_;
    const std::vector<SortEntry>& order_;
    const int values_;
    std::size_t at_ = SIZE_MAX;
    mutable std::size_t parsed_ = SIZE_MAX;   // the row whose values are in parsedValues_
    mutable std::vector<StoredValue> parsedValues_;
};

const char* const kResultRows = "qb_dupe_rows";

// Makes tblDupes_AllX afresh (after it has been dropped): Count, then the
// compared columns under their own names and types, one row per group of two
// or more with the values of its lowest key's record, in the order a GROUP BY
// of the values lists them. The types come from an empty temporary table
// declared like the columns, the rows from the records by key.
void writeResultTable(jet::Connection& c, const QString& data, const std::vector<Column>& columns, RecordGrouper& g)
{
    const jet::ColumnList defs = c.columns(data);
    QStringList cols{QStringLiteral("qb_n INTEGER")};
    QStringList fields{QStringLiteral("qb_n AS \"Count\"")};
    for (const Column& col : columns) {
        jet::ColumnInfo info{col.name, col.type, 255, 0};
        for (const jet::ColumnInfo& d : defs)
            if (d.name.compare(col.name, Qt::CaseInsensitive) == 0)
                info = jet::ColumnInfo{col.name, d.type, d.size, d.attributes & ~jet::dbAutoIncrField};
        cols << jet::columnDefinition(info, false, false);
        fields << jet::quoteName(col.name);
    }
    c.exec(QStringLiteral("DROP TABLE IF EXISTS ") + kLayout);
    c.exec(QStringLiteral("CREATE TEMP TABLE qb_dupe_layout (%1)").arg(cols.join(QLatin1String(", "))));
    jet::createTableFromSelect(c, QString(), QStringLiteral("tblDupes_AllX"),
                               QStringLiteral("SELECT %1 FROM %2 WHERE 0").arg(fields.join(QLatin1String(", ")), kLayout));
    c.exec(QStringLiteral("DROP TABLE ") + kLayout);

    // One transaction for all the rows written here, not a commit for each.
    jet::Savepoint sp(c, QStringLiteral("qb_dupe_result"));
    // Every group of two or more with its first record's values, in the
    // order of their lowest keys (the groups opened in key order); put in the
    // GROUP BY's order here: the engine's sort under the text collation is
    // its slowest step on millions of rows, this sort compares as that
    // collation does.
    std::vector<KeptRow> kept;
    kept.reserve(std::size_t(std::count_if(g.groups().begin(), g.groups().end(),
                                           [](const RecordGrouper::Group& grp) { return grp.count >= 2; })));
    for (const RecordGrouper::Group& grp : g.groups())
        if (grp.count >= 2)
            kept.push_back(KeptRow{grp.count, RecordGrouper::storedValues(grp)});
    g.releaseGroups();   // a tenth of a gigabyte on ten million records
    std::vector<bool> textColumn;
    for (const Column& col : columns)
        textColumn.push_back(isText(col));
    std::vector<SortEntry> order(kept.size());
    common::parallelFor(kept.size(), [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            order[i] = sortEntry(kept[i].values, textColumn, std::uint32_t(i));
    });
    // Equal values keep their key order, as the stable sort of the records by
    // key would: the row number breaks ties, so the order is the same on any
    // number of threads.
    common::parallelSort(order, [&](const SortEntry& a, const SortEntry& b) {
        if (const int p = comparePrefixes(a, b))
            return p < 0;
        const int r = compareValues(kept[a.row].values, kept[b.row].values, textColumn);
        return r != 0 ? r < 0 : a.row < b.row;
    });
    {
        ResultRows rows(kept, order, int(columns.size()));
        const jet::ScopedFeed feed(c, kResultRows, rows);
        jet::Stmt fill(&c, QStringLiteral("INSERT INTO main.tblDupes_AllX SELECT * FROM %1").arg(QLatin1String(kResultRows)));
        jet::runFeed(fill, rows);
    }
    sp.commit();
}

QString partTerms(const std::vector<Column>& cols, const std::function<QString(const Column&)>& f, bool joinWithComma)
{
    QString out;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (joinWithComma && i > 0)
            out += QLatin1Char(',');
        out += f(cols[i]);
    }
    if (!joinWithComma && !out.isEmpty())
        out.chop(1);
    return out;
}

} // namespace

std::vector<Column> comparedColumns(jet::Database& db, Scope scope, const QStringList& selected)
{
    jet::Connection& c = db.connection();
    const jet::ColumnList defs = c.columns(realTable(c, QStringLiteral("tblData")));
    std::vector<Column> out;
    if (scope == Scope::All) {
        for (const jet::ColumnInfo& d : defs)
            if (d.name.compare(kKey, Qt::CaseInsensitive) != 0)
                out.push_back(Column{d.name, d.type});
        return out;
    }
    for (const QString& name : selected) {
        const auto it = std::find_if(defs.begin(), defs.end(), [&](const jet::ColumnInfo& d) {
            return d.name.compare(name, Qt::CaseInsensitive) == 0 && d.name.compare(kKey, Qt::CaseInsensitive) != 0;
        });
        if (it == defs.end())
            throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
        out.push_back(Column{it->name, it->type});
    }
    return out;
}

QString searchGroupList(const std::vector<Column>& columns, Scope scope)
{
    if (scope == Scope::All)
        return partTerms(columns, [](const Column& c) {
            const QString n = bracket(c.name);
            return isText(c) ? QStringLiteral(" IIF(ISNULL(") + n + QStringLiteral("),'',") + n + QStringLiteral("),")
                             : QStringLiteral(" ") + n + QStringLiteral(",");
        }, false);
    return partTerms(columns, [](const Column& c) {
        const QString n = bracket(c.name);
        return isText(c) ? QStringLiteral(" IIF(ISNULL(") + n + QStringLiteral("),'',") + n + QStringLiteral(") ")
                         : QStringLiteral(" ") + n;
    }, true);
}

QString searchSelectList(const std::vector<Column>& columns, Scope scope)
{
    const bool all = scope == Scope::All;
    const QString end = all ? QStringLiteral(",") : QStringLiteral(" ");
    return partTerms(columns, [&](const Column& c) {
        const QString n = bracket(c.name);
        return isText(c) ? QStringLiteral(" IIF(ISNULL(T1.") + n + QStringLiteral("),'',T1.") + n + QStringLiteral(") AS ") + n + end
                         : QStringLiteral(" T1.") + n + end;
    }, !all);
}

QString removalGroupList(const std::vector<Column>& columns)
{
    return partTerms(columns, [](const Column& c) {
        const QString n = bracket(c.name);
        return isText(c) ? QStringLiteral(" IIF(ISNULL(") + n + QStringLiteral("),'',") + n + QStringLiteral(") ")
                         : QStringLiteral(" ") + n + QStringLiteral(" ");
    }, true);
}

QString distinctCountSql(const QString& groupList)
{
    return QStringLiteral("SELECT COUNT(*) AS Count FROM tblData GROUP BY ") + groupList;
}

QString duplicateCountSql(const QString& groupList)
{
    return distinctCountSql(groupList) + QStringLiteral(" HAVING COUNT(*)>1");
}

QString resultTableSql(const QString& selectList, const QString& groupList)
{
    return QStringLiteral("SELECT COUNT(*) AS Count, ") + selectList + QStringLiteral(" INTO tblDupes_AllX FROM tblData T1 GROUP BY ")
           + groupList + QStringLiteral(" HAVING COUNT(*)>1");
}

QStringList removalSql(const QString& groupList)
{
    return {
        QStringLiteral("DELETE * FROM tblDupes_Min;"),
        QStringLiteral("INSERT INTO tblDupes_Min (LumacorPrimK) SELECT MIN(tblData.LumacorPrimK) AS LumacorPrimK FROM tblData GROUP BY ")
            + groupList + QStringLiteral(" "),
        QStringLiteral("DELETE * FROM tblDupes_Del "),
        QStringLiteral("INSERT INTO tblDupes_Del (LumacorPrimK) SELECT T2.LumacorPrimK "
                       "FROM tblDupes_Min T1 RIGHT JOIN tblData T2 ON T1.LumacorPrimK=T2.LumacorPrimK "
                       "WHERE T1.LumacorPrimK IS NULL;"),
        QStringLiteral("DELETE * FROM tblData WHERE LumacorPrimK IN (SELECT LumacorPrimK ") + QString(23, QLatin1Char(' '))
            + QStringLiteral("FROM tblDupes_Del);"),
    };
}

SearchResult searchDuplicates(jet::Database& db, Scope scope, const std::vector<Column>& columns, common::Progress& progress)
{
    SearchResult r;
    r.scope = scope;
    r.columns = columns;
    try {
        if (columns.empty())
            throw jet::JetError(jet::errSyntax, QStringLiteral("No columns to compare."));
        jet::Connection& c = db.connection();
        const QString data = realTable(c, QStringLiteral("tblData"));
        // The scan goes in key order: its place is the key it has reached, out
        // of the highest key, and the result table is the last step.
        qint64 lastKey = 0;
        {
            jet::Stmt top(&c, QStringLiteral("SELECT max(%1) FROM main.%2").arg(jet::quoteName(kKey), jet::quoteName(data)));
            if (top.step())
                lastKey = top.int64(0);
        }
        const qint64 steps = lastKey + 1;
        progress.start(steps);
        auto surplus = std::make_shared<std::vector<qint64>>();
        auto firsts = std::make_shared<std::vector<qint64>>();
        RecordGrouper g = groupRecords(
            c, data, columns, [&](qint64 key, std::uint32_t, bool opened) { (opened ? firsts : surplus)->push_back(key); },
            [&](qint64 key) { progress.step(std::min(key, lastKey)); });
        progress.step(lastKey);
        r.distinct = qint64(g.groups().size());
        r.duplicate = qint64(surplus->size());
        if (general::DropTable(db, QStringLiteral("tblDupes_AllX")))
            throw jet::JetError(jet::errGeneral, QStringLiteral("Could not delete table tblDupes"));
        writeResultTable(c, data, columns, g);
        progress.step(steps);
        c.bump();
        r.generation = c.generation();
        std::tie(r.writtenRows, r.dataVersion) = writeStamp(c);
        r.surplus = std::move(surplus);
        r.firsts = std::move(firsts);
        r.ok = true;
    } catch (const jet::JetError& e) {
        r.ok = false;
        r.error = e.description();
    }
    return r;
}

GroupTable readGroupTable(jet::Database& db)
{
    GroupTable t;
    if (!db.hasTable(QStringLiteral("tblDupes_AllX")))
        return t;
    auto rs = db.openRecordset(QStringLiteral(" SELECT  * FROM tblDupes_AllX"), jet::dbOpenSnapshot);
    for (int i = 0; i < rs->fieldCount(); ++i)
        t.fields << rs->field(i).name;
    for (; !rs->eof(); rs->moveNext()) {
        Group g;
        g.count = rs->value(0).toLong();
        for (int i = 1; i < rs->fieldCount(); ++i)
            g.values.push_back(rs->value(i));
        t.rows.push_back(std::move(g));
    }
    return t;
}

std::vector<GroupKeys> groupsWithKeys(jet::Database& db, const std::vector<Column>& columns)
{
    std::vector<GroupKeys> out;
    if (columns.empty())
        return out;
    jet::Connection& c = db.connection();
    const QString data = realTable(c, QStringLiteral("tblData"));
    const QString key = QStringLiteral("T.") + jet::quoteName(kKey);
    jet::Stmt s(&c, QStringLiteral("SELECT group_concat(%1), %2 FROM main.%3 T GROUP BY %4 HAVING COUNT(*)>1")
                        .arg(key, joinTerms(columns, [](const Column& col) { return valueExpr(col, QStringLiteral("T")); }),
                             jet::quoteName(data),
                             joinTerms(columns, [](const Column& col) { return groupExpr(col, QStringLiteral("T")); })));
    while (s.step()) {
        GroupKeys g;
        for (const QString& k : s.value(0, jet::dbText).toString().split(QLatin1Char(',')))
            g.keys.push_back(k.toLongLong());
        std::sort(g.keys.begin(), g.keys.end());
        for (size_t i = 0; i < columns.size(); ++i)
            g.values.push_back(s.value(int(i) + 1, columns[i].type));
        out.push_back(std::move(g));
    }
    std::sort(out.begin(), out.end(), [](const GroupKeys& a, const GroupKeys& b) { return a.keys.front() < b.keys.front(); });
    return out;
}

RemovalResult removeDuplicates(jet::Database& db, const SearchResult& search, const RemovalOptions& options)
{
    RemovalResult r;
    common::Progress& progress = options.progress ? *options.progress : common::noProgress();
    auto step = [&](int n) {
        progress.step(n - 1);
        if (options.beforeStep)
            options.beforeStep(n);
    };
    if (search.columns.empty()) {
        r.message = QStringLiteral("No columns to compare.");
        return r;
    }
    jet::Connection& c = db.connection();
    bool began = false;
    try {
        progress.start(5);
        const QString data = realTable(c, QStringLiteral("tblData"));
        const QString minTable = realTable(c, QStringLiteral("tblDupes_Min"));
        const QString delTable = realTable(c, QStringLiteral("tblDupes_Del"));
        const bool unchanged = search.surplus && search.firsts && c.generation() == search.generation
                               && writeStamp(c) == std::make_pair(search.writtenRows, search.dataVersion);
        jet::Workspace::beginTrans();
        began = true;

        step(1);
        c.exec(QStringLiteral("DELETE FROM main.") + jet::quoteName(minTable));
        c.exec(QStringLiteral("DELETE FROM main.") + jet::quoteName(delTable));

        step(2);
        // Every record after the first of its group goes, in key order.
        // Nothing written since the search (checked before this transaction
        // wrote anything): its groups hold.
        std::vector<qint64> regrouped, regroupedFirsts;
        if (!unchanged)
            groupRecords(
                c, data, search.columns,
                [&](qint64 key, std::uint32_t, bool opened) { (opened ? regroupedFirsts : regrouped).push_back(key); },
                [](qint64) {});
        const std::vector<qint64>& doomed = unchanged ? *search.surplus : regrouped;
        const std::vector<qint64>& kept = unchanged ? *search.firsts : regroupedFirsts;
        const auto counted = qint64(doomed.size());

        step(3);
        const QString key = jet::quoteName(kKey);
        {
            const jet::ScopedKeyTable list(c.handle(), kKeyList, doomed);
            c.exec(QStringLiteral("INSERT INTO main.%1 (%2) SELECT value FROM %3 ORDER BY value")
                       .arg(jet::quoteName(delTable), key, QLatin1String(kKeyList)));
        }

        step(4);
        c.exec(QStringLiteral("DELETE FROM main.%1 WHERE %2 IN (SELECT %2 FROM main.%3)")
                   .arg(jet::quoteName(data), key, jet::quoteName(delTable)));
        r.removed = c.changes();
        if (r.removed != counted)
            throw jet::JetError(jet::errGeneral, QStringLiteral("Only %1 of the %2 duplicate records could be removed.")
                                                     .arg(r.removed)
                                                     .arg(counted));

        // What is left is the lowest key of every group.
        step(5);
        {
            const jet::ScopedKeyTable list(c.handle(), kKeyList, kept);
            c.exec(QStringLiteral("INSERT INTO main.%1 (%2) SELECT value FROM %3 ORDER BY value")
                       .arg(jet::quoteName(minTable), key, QLatin1String(kKeyList)));
        }
        jet::Workspace::commitTrans();
        began = false;
        r.ok = true;
        r.message = QString::fromLatin1(kRemovalSucceeded);
    } catch (const std::exception& e) {
        if (began) {
            try {
                jet::Workspace::rollback();
            } catch (...) {
            }
        }
        c.bump();
        const auto* je = dynamic_cast<const jet::JetError*>(&e);
        r.ok = false;
        r.removed = 0;
        r.message = je ? je->description() : QString::fromUtf8(e.what());
        return r;
    }
    c.bump();
    progress.step(5);
    return r;
}

} // namespace dupes
