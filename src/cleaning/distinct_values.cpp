// The distinct-values listing: the statements and their run.
//
// Without a filter the list is an empty-value row (Null, and for text and
// memo columns also "") followed by one row per distinct value. With a typed
// pattern or a class only the rows the condition selects are grouped, and no
// empty-value row is made.
//
// The statements are built as the engine's SQL, but the listing does not run
// the grouping ones: GROUP BY makes the engine sort every row of the table
// under its collation, which on a million rows costs most of a second before
// the first group comes back. The listing instead reads the column once on the
// same rows (scanSql, with the same WHERE text, so the engine's LIKE decides
// what is selected), counts the values in a hash table keyed as the
// collation compares (case-folded text; numbers by value), and sorts only the
// groups, in the collation's order. Results equal the grouping statements',
// down to the order.
//
// Text and memo columns, the lists of millions of rows, take their own road
// (TextGroups): the stored UTF-8 is read as it is, without a Value or a
// QString per row, and grouped under folded bytes.
//
// The aliases: the engine resolves an ORDER BY name against the result's
// aliases before the table's columns, so a column named like an alias would
// be sorted by the count. The aliases change when the column bears either name.
//
// The Other class is the one filter not left to the engine: its WHERE text
// holds ranges of code-page codes, and the engine's LIKE compares code points,
// which would list values whose only unusual character is a no-break space and
// miss the euro sign, curly quotes and every character the code page lacks.
// For Other every non-Null value is read and tested with hasOtherChar.
#include "cleaning/distinct_values.h"

#include "common/general.h"
#include "common/parallel.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/jet/translator.h"

#include <QByteArray>

#include <sqlite3.h>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <unordered_map>

namespace cleaning {
namespace {

using common::parallelFor;
using common::parallelSort;

struct Aliases {
    QString value;
    QString count;
};

Aliases aliasesFor(const QString& column)
{
    const auto same = [&](const char* alias) {
        return column.compare(QLatin1String(alias), Qt::CaseInsensitive) == 0;
    };
    if (same("Colum") || same("Count"))
        return {QStringLiteral("Colum1"), QStringLiteral("Count1")};
    return {QStringLiteral("Colum"), QStringLiteral("Count")};
}

bool isTextType(int fieldType) { return fieldType == jet::dbText || fieldType == jet::dbMemo; }

QString selectPart(const QString& column, const Aliases& a)
{
    return QStringLiteral("SELECT [") + column + QStringLiteral("] AS ") + a.value
        + QStringLiteral(" , COUNT(*) AS ") + a.count + QStringLiteral(" ");
}

QString scanPart(const QString& column)
{
    return QStringLiteral("SELECT [") + column + QStringLiteral("] FROM tblData ");
}

// The query over the non-empty values, in the unfiltered list's form.
QString nonEmptyQuery(const QString& column, int fieldType, const Aliases& a)
{
    QString sql = selectPart(column, a) + QStringLiteral("FROM tblData ") + QStringLiteral("WHERE [")
        + column + QStringLiteral("] IS NOT NULL ");
    if (isTextType(fieldType))
        sql += QStringLiteral("  AND [") + column + QStringLiteral("]<>\"\" ");
    return sql + QStringLiteral("GROUP BY [") + column + QStringLiteral("] ") + QStringLiteral("ORDER BY ")
        + QStringLiteral("[") + column + QStringLiteral("] ");
}

jet::ColumnInfo findColumn(jet::Connection& c, const QString& column)
{
    const QString table = c.tableName(QStringLiteral("tblData"));
    if (table.isEmpty())
        throw jet::JetError(jet::errNoTable,
                            QStringLiteral("The database engine cannot find the input table or query 'tblData'."));
    for (const jet::ColumnInfo& info : c.columns(table))
        if (info.name.compare(column, Qt::CaseInsensitive) == 0)
            return info;
    throw jet::JetError(jet::errNoField, QStringLiteral("Item not found in this collection."));
}

// Text groups: equal when the collation calls them equal (case folded per
// character), so the hash folds the same way.
struct FoldHash {
    std::size_t operator()(const QString& s) const noexcept
    {
        std::size_t h = 1469598103934665603ull;
        const qsizetype n = s.size();
        const QChar* p = s.constData();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = p[i].unicode();
            if (c < 0x80) {
                if (c >= u'A' && c <= u'Z')
                    c += 32;
            } else if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
                c = QChar::toCaseFolded(QChar::surrogateToUcs4(p[i].unicode(), p[i + 1].unicode()));
                ++i;
            } else {
                c = QChar::toCaseFolded(c);
            }
            h = (h ^ c) * 1099511628211ull;
        }
        return h;
    }
};

struct FoldEqual {
    bool operator()(const QString& a, const QString& b) const
    {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
};

struct Group {
    jet::Value value;   // the first row's value
    qint64 count = 0;
    double number = 0;  // numbers: the value
    QByteArray text;    // text: the stored text in UTF-8, for the collation's compare
    bool isNumber = false;
};

// Numbers before text, as the engine orders its storage classes; text by the
// collation itself.
bool groupLess(const Group& a, const Group& b)
{
    if (a.isNumber != b.isNumber)
        return a.isNumber;
    if (a.isNumber)
        return a.number < b.number;
    return jet::jetCompare(a.text.constData(), static_cast<int>(a.text.size()), b.text.constData(),
                           static_cast<int>(b.text.size()))
        < 0;
}

bool isNumberKind(jet::Kind k) { return k == jet::Kind::Long || k == jet::Kind::Double || k == jet::Kind::Bool; }

bool isAscii(const char* p, std::size_t n)
{
    unsigned char any = 0;
    for (std::size_t i = 0; i < n; ++i)
        any |= static_cast<unsigned char>(p[i]);
    return any < 0x80;
}

std::uint64_t load8(const char* p, std::size_t n)
{
    std::uint64_t w = 0;
    std::memcpy(&w, p, std::min<std::size_t>(n, 8));
    return w;
}

std::uint64_t hashBytes(const char* p, std::size_t n)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xC2B2AE3D27D4EB4Full);
    for (std::size_t i = 0; i < n; i += 8) {
        h ^= load8(p + i, n - i);
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 29);
}

// Eight bytes loaded as they lie in memory (load8), turned to order as the
// bytes do wherever two of them differ: the first byte most significant.
std::uint64_t byteSwapped(std::uint64_t w)
{
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap64(w);
    return w;
}

// A zero-filled array for the groups' table. Every row lands at a random
// place in it; on Linux a large one asks for huge pages, so that on a table of
// a hundred megabytes a row costs one cache miss rather than a page-table walk
// as well.
template <class T>
class ZeroArray {
public:
    explicit ZeroArray(std::size_t n) : n_(n), bytes_(n * sizeof(T))
    {
#if defined(__linux__)
        if (bytes_ >= kHuge) {
            bytes_ = (bytes_ + kHuge - 1) / kHuge * kHuge;
            void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p != MAP_FAILED) {
                madvise(p, bytes_, MADV_HUGEPAGE);
                p_ = static_cast<T*>(p);
                mapped_ = true;
                return;
            }
        }
#endif
        p_ = static_cast<T*>(std::calloc(n, sizeof(T)));
        if (!p_)
            throw std::bad_alloc();
    }
    ~ZeroArray()
    {
#if defined(__linux__)
        if (mapped_) {
            munmap(p_, bytes_);
            return;
        }
#endif
        std::free(p_);
    }
    ZeroArray(const ZeroArray&) = delete;
    ZeroArray& operator=(const ZeroArray&) = delete;
    void swap(ZeroArray& o) noexcept
    {
        std::swap(p_, o.p_);
        std::swap(n_, o.n_);
        std::swap(bytes_, o.bytes_);
        std::swap(mapped_, o.mapped_);
    }

    std::size_t size() const { return n_; }
    T& operator[](std::size_t i) { return p_[i]; }
    const T* begin() const { return p_; }
    const T* end() const { return p_ + n_; }

private:
    static constexpr std::size_t kHuge = std::size_t(2) << 20;
    T* p_ = nullptr;
    std::size_t n_ = 0;
    std::size_t bytes_ = 0;
    bool mapped_ = false;
};

// The groups of a text or memo column, read from the stored UTF-8.
//
// Two texts are one group when the collation calls them equal: case folded per
// character. A text whose folded characters are all ASCII is keyed by its
// folded bytes, in one arena with the first row's text, and looked up in an
// open-addressed table; that is nearly every value on a mailing list, and it
// costs no QString per row. Such keys also sort by their bytes exactly as the
// collation orders their texts, since the collation compares folded ASCII
// characters one by one and a shorter text before a longer one it begins. The
// rare text with a folded character beyond ASCII is grouped as a QString under
// FoldHash and FoldEqual and sorted by the collation's compare, as is any pair
// of groups that includes one.
class TextGroups {
public:
    TextGroups() : slots_(std::size_t(1) << 12) {}

    /// Counts one non-empty row's text.
    void add(const char* p, std::size_t n)
    {
        std::string& pending_ = batches_[filling_].bytes;
        if (isAscii(p, n)) {
            const std::size_t at = pending_.size();
            pending_.resize(at + n);
            char* key = pending_.data() + at;
            bool same = true;
            for (std::size_t i = 0; i < n; ++i) {
                char c = p[i];
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c + 32);
                    same = false;
                }
                key[i] = c;
            }
            if (!same)
                pending_.append(p, n);
            queue(at, n, n, same);
            return;
        }
        const QString s = jet::textFromUtf8(p, static_cast<qsizetype>(n));
        const std::size_t at = pending_.size();
        const qsizetype len = s.size();
        const QChar* u = s.constData();
        for (qsizetype i = 0; i < len; ++i) {
            char32_t c = u[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < len && u[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(u[i].unicode(), u[i + 1].unicode());
                ++i;
            }
            c = QChar::toCaseFolded(c);
            if (c >= 0x80) {
                pending_.resize(at);
                addOther(s);
                return;
            }
            pending_.push_back(static_cast<char>(c));
        }
        const std::size_t klen = pending_.size() - at;
        const QByteArray text = s.toUtf8();
        pending_.append(text.constData(), static_cast<std::size_t>(text.size()));
        queue(at, klen, static_cast<std::size_t>(text.size()), false);
    }

    /// Counts the rows still waiting; call once, after the last add.
    void finish()
    {
        count(batches_[1 - filling_]);
        count(batches_[filling_]);
    }

    struct Item {
        std::uint64_t prefix;   // folded keys: the first eight bytes, most significant first
        qint64 count;
        std::uint32_t group;
        bool ascii;
    };

    /// The groups in the collation's order, after finish. The folded keys
    /// come from the table's slots, read in turn, rather than from the
    /// groups, which on millions of them would be a cache miss each.
    std::vector<Item> order() const
    {
        std::vector<Item> items;
        items.reserve(groups_.size());
        for (const Slot& slot : slots_)
            if (slot.group != 0)
                items.push_back(Item{byteSwapped(slot.head), slot.count, slot.group - 1, true});
        for (const auto& [text, group] : others_)
            items.push_back(Item{0, groups_[group].count, static_cast<std::uint32_t>(group), false});
        const auto less = [this](const Item& a, const Item& b) {
            const G& ga = groups_[a.group];
            const G& gb = groups_[b.group];
            if (a.ascii && b.ascii) {
                if (a.prefix != b.prefix)
                    return a.prefix < b.prefix;
                const std::size_t n = std::min(ga.keyLen, gb.keyLen);
                const int c = n > 8 ? std::memcmp(arena_.data() + ga.key + 8, arena_.data() + gb.key + 8, n - 8) : 0;
                return c != 0 ? c < 0 : ga.keyLen < gb.keyLen;
            }
            return jet::jetCompare(arena_.data() + ga.text, static_cast<int>(ga.textLen), arena_.data() + gb.text,
                                   static_cast<int>(gb.textLen))
                < 0;
        };
        parallelSort(items, less);
        return items;
    }

    QString text(std::uint32_t group) const
    {
        const G& g = groups_[group];
        return jet::textFromUtf8(arena_.data() + g.text, static_cast<qsizetype>(g.textLen));
    }

private:
    struct G {
        std::size_t text = 0;    // arena offset of the first row's text
        std::size_t key = 0;     // arena offset of the folded key (asciiKey)
        qint64 count = 0;        // groups beyond ASCII; a folded key's count is in its slot
        std::uint32_t textLen = 0;
        std::uint32_t keyLen = 0;
        bool asciiKey = false;
    };

    std::size_t put(const char* p, std::size_t n)
    {
        const std::size_t at = arena_.size();
        arena_.insert(arena_.end(), p, p + n);
        return at;
    }

    // Rows wait in batches: a batch's slots are fetched from memory while the
    // batch before it is counted, for a table larger than the caches.
    struct Pending {
        std::uint64_t hash;
        std::size_t at;     // the folded key in bytes, the row's text after it unless same
        std::size_t keyLen;
        std::size_t textLen;
        bool same;
    };
    static constexpr std::size_t kBatch = 16;
    struct Batch {
        std::string bytes;
        Pending rows[kBatch];
        std::size_t size = 0;
    };

    void queue(std::size_t at, std::size_t klen, std::size_t n, bool same)
    {
        Batch& b = batches_[filling_];
        const std::uint64_t h = hashBytes(b.bytes.data() + at, klen);
        __builtin_prefetch(&slots_[h & (slots_.size() - 1)]);
        b.rows[b.size++] = Pending{h, at, klen, n, same};
        if (b.size == kBatch) {
            filling_ = 1 - filling_;
            count(batches_[filling_]);
        }
    }

    void count(Batch& b)
    {
        for (std::size_t i = 0; i < b.size; ++i) {
            const Pending& r = b.rows[i];
            const char* key = b.bytes.data() + r.at;
            addFolded(r.hash, key, r.keyLen, r.same ? key : key + r.keyLen, r.textLen);
        }
        b.size = 0;
        b.bytes.clear();
    }

    // A slot holds the key's first eight bytes and its length, so a key of up
    // to eight bytes is found without leaving the table.
    void addFolded(std::uint64_t h, const char* key, std::size_t klen, const char* text, std::size_t n)
    {
        const std::uint64_t head = load8(key, klen);
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = h & mask;
        for (;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.group == 0)
                break;
            if (slot.hash != h || slot.head != head || slot.keyLen != klen)
                continue;
            if (klen > 8) {
                const G& g = groups_[slot.group - 1];
                if (std::memcmp(arena_.data() + g.key + 8, key + 8, klen - 8) != 0)
                    continue;
            }
            ++slot.count;
            return;
        }
        G g;
        g.asciiKey = true;
        g.keyLen = static_cast<std::uint32_t>(klen);
        g.textLen = static_cast<std::uint32_t>(n);
        g.key = put(key, klen);
        g.text = text == key ? g.key : put(text, n);
        groups_.push_back(g);
        slots_[i] = Slot{head, h, static_cast<std::uint32_t>(groups_.size()), g.keyLen, 1};
        if (groups_.size() * 4 > slots_.size() * 3)
            grow();
    }

    void addOther(const QString& s)
    {
        auto it = others_.find(s);
        if (it != others_.end()) {
            ++groups_[it->second].count;
            return;
        }
        const QByteArray text = s.toUtf8();
        G g;
        g.count = 1;
        g.textLen = static_cast<std::uint32_t>(text.size());
        g.text = put(text.constData(), static_cast<std::size_t>(text.size()));
        groups_.push_back(g);
        others_.emplace(s, groups_.size() - 1);
    }

    void grow()
    {
        ZeroArray<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.group == 0)
                continue;
            std::size_t i = slot.hash & mask;
            while (slots_[i].group != 0)
                i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    struct Slot {
        std::uint64_t head = 0;     // the key's first eight bytes
        std::uint64_t hash = 0;
        std::uint32_t group = 0;    // group + 1; 0 for a free slot
        std::uint32_t keyLen = 0;
        qint64 count = 0;
    };

    std::vector<char> arena_;
    std::vector<G> groups_;
    ZeroArray<Slot> slots_;
    std::unordered_map<QString, std::size_t, FoldHash, FoldEqual> others_;
    Batch batches_[2];
    std::size_t filling_ = 0;   // the batch rows go to; the other waits to be counted
};

// A text or memo column's list. Every value is text here (numbers stored in
// the column come back as their text), and "" is empty like Null.
void listText(jet::Stmt& s, int fieldType, bool listEmpty, const ClassFilter* test, DistinctList& list)
{
    sqlite3_stmt* st = s.get();
    TextGroups groups;
    qint64 empties = 0;
    QByteArray converted;
    while (s.step()) {
        const int type = sqlite3_column_type(st, 0);
        if (type == SQLITE_NULL) {
            empties += listEmpty;
            continue;
        }
        const char* p;
        std::size_t n;
        if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            p = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            n = static_cast<std::size_t>(sqlite3_column_bytes(st, 0));
        } else {
            converted = s.value(0, fieldType).toString().toUtf8();
            p = converted.constData();
            n = static_cast<std::size_t>(converted.size());
        }
        if (n == 0 && listEmpty) {
            ++empties;
            continue;
        }
        if (test && !test->passes(jet::textFromUtf8(p, static_cast<qsizetype>(n))))
            continue;
        groups.add(p, n);
    }
    groups.finish();

    const std::vector<TextGroups::Item> order = groups.order();
    const std::size_t first = empties > 0 ? 1 : 0;
    list.rows.resize(first + order.size());
    if (empties > 0)
        list.rows[0] = DistinctRow{jet::Value(), empties, true};
    // Each row's text is its own allocation: made on several threads.
    parallelFor(order.size(), [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            list.rows[first + i] = DistinctRow{jet::Value(groups.text(order[i].group)), order[i].count, false};
    });
}

} // namespace

DistinctQuery distinctQuery(const QString& column, int fieldType, const DistinctFilter& filter)
{
    const Aliases a = aliasesFor(column);
    QString where;
    DistinctQuery q;
    if (!filter.special) {
        if (!filter.likePattern.isEmpty())
            where = QStringLiteral(" WHERE [") + column + QStringLiteral("] LIKE \"")
                + general::Double_Quotes(filter.likePattern) + QStringLiteral("\"");
    } else if (filter.cls == CharClass::Other) {
        q.mainSql = nonEmptyQuery(column, fieldType, a);
        q.scanSql = scanPart(column) + QStringLiteral("WHERE [") + column + QStringLiteral("] IS NOT NULL ");
        q.valueTest = CharClass::Other;
        return q;
    } else {
        where = classCondition(column, filter.cls, filter.specChars);
    }

    if (!where.isEmpty()) {
        q.mainSql = selectPart(column, a) + QStringLiteral("FROM tblData ") + where + QStringLiteral("GROUP BY [")
            + column + QStringLiteral("] ") + QStringLiteral("ORDER BY ") + QStringLiteral("[") + column
            + QStringLiteral("] ");
        q.scanSql = scanPart(column) + where;
        return q;
    }

    q.emptySql = QStringLiteral("SELECT \"\" AS ") + a.value + QStringLiteral(" , COUNT(*) AS ") + a.count
        + QStringLiteral(" ") + QStringLiteral("FROM tblData ") + QStringLiteral("WHERE [") + column
        + QStringLiteral("] IS NULL ");
    if (isTextType(fieldType))
        q.emptySql += QStringLiteral("   OR [") + column + QStringLiteral("]=\"\" ");
    q.mainSql = nonEmptyQuery(column, fieldType, a);
    q.scanSql = scanPart(column);
    return q;
}

DistinctList distinctValues(jet::Database& db, const QString& column, const DistinctFilter& filter)
{
    DistinctList list;
    try {
        jet::Connection& c = db.connection();
        const jet::ColumnInfo info = findColumn(c, column);
        list.fieldType = info.type;
        const DistinctQuery q = distinctQuery(column, info.type, filter);
        const bool listEmpty = !q.emptySql.isEmpty();
        const bool text = isTextType(info.type);
        const ClassFilter test(q.valueTest, filter.specChars);

        // With the column's type: a filter on a Currency column matches its
        // amounts, not the counts it stores.
        jet::Stmt s(&c, jet::translate(q.scanSql, c.columnsByName()).sql);
        if (text) {
            listText(s, info.type, listEmpty, q.valueTest != CharClass::None ? &test : nullptr, list);
            return list;
        }

        std::vector<Group> groups;
        std::unordered_map<QString, std::size_t, FoldHash, FoldEqual> byText;
        std::unordered_map<double, std::size_t> byNumber;
        qint64 empties = 0;

        while (s.step()) {
            jet::Value v = s.value(0, info.type);
            if (v.isNull()) {
                empties += listEmpty;
                continue;
            }
            // The class test reads every kind of value as its text, numbers
            // and flags as well as dates.
            if (q.valueTest != CharClass::None && !test.passes(v.toString()))
                continue;
            if (isNumberKind(v.kind())) {
                const double d = v.toDouble();
                auto [it, fresh] = byNumber.try_emplace(d, groups.size());
                if (fresh) {
                    Group g;
                    g.value = std::move(v);
                    g.number = d;
                    g.isNumber = true;
                    groups.push_back(std::move(g));
                }
                ++groups[it->second].count;
                continue;
            }
            // Dates group and sort as the text they are stored as.
            QString key = v.kind() == jet::Kind::Date ? jet::storedDate(v.toDate()) : v.toString();
            auto it = byText.find(key);
            if (it == byText.end()) {
                Group g;
                g.value = std::move(v);
                groups.push_back(std::move(g));
                it = byText.emplace(std::move(key), groups.size() - 1).first;
            }
            ++groups[it->second].count;
        }

        for (const auto& [key, index] : byText)
            groups[index].text = key.toUtf8();
        std::sort(groups.begin(), groups.end(), groupLess);

        list.rows.reserve(groups.size() + 1);
        if (empties > 0)
            list.rows.push_back(DistinctRow{jet::Value(), empties, true});
        for (Group& g : groups)
            list.rows.push_back(DistinctRow{std::move(g.value), g.count, false});
    } catch (const jet::JetError& e) {
        list.rows.clear();
        list.error = e.description();
    }
    return list;
}

QString literalDelimiter(int fieldType)
{
    if (fieldType == jet::dbDate)
        return QStringLiteral("#");
    if (isTextType(fieldType))
        return QStringLiteral("\"");
    return QString();
}

QString valueFilter(const QString& column, int fieldType, const DistinctRow& row)
{
    const QString name = QStringLiteral("[") + column + QStringLiteral("]");
    if (row.empty || row.value.isNull()) {
        if (isTextType(fieldType))
            return name + QStringLiteral("=\"\" OR ") + name + QStringLiteral(" IS NULL ");
        return name + QStringLiteral(" IS NULL ");
    }
    if (fieldType == jet::dbDate && row.value.kind() == jet::Kind::Date) {
        const jet::DateParts p = jet::toParts(row.value.toDate());
        return name + QStringLiteral("=#%1/%2/%3 %4:%5:%6# ")
                          .arg(p.month, 2, 10, QLatin1Char('0'))
                          .arg(p.day, 2, 10, QLatin1Char('0'))
                          .arg(p.year, 4, 10, QLatin1Char('0'))
                          .arg(p.hour, 2, 10, QLatin1Char('0'))
                          .arg(p.minute, 2, 10, QLatin1Char('0'))
                          .arg(p.second, 2, 10, QLatin1Char('0'));
    }
    if (row.value.isText() || isTextType(fieldType))
        return name + QStringLiteral("=\"") + general::Double_Quotes(row.value.toString()) + QStringLiteral("\" ");
    // Every digit of the stored number, not the 15 the list shows.
    if (row.value.kind() == jet::Kind::Double)
        return name + QStringLiteral("=") + jet::sqlNumber(row.value.toDouble()) + QStringLiteral(" ");
    return name + QStringLiteral("=") + row.value.toString() + QStringLiteral(" ");
}

} // namespace cleaning
