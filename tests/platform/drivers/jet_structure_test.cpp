// The structure of every Access file the writer makes, checked against the
// Jet format as Access writes it, in the parts that mdbtools does not read:
// each table definition's length field and its closing FF FF after the list
// of the long-value columns' usage maps; the usage maps (every page of the
// file owned by exactly one table, long-value column, index or map, the
// free-space maps within the owned pages); the free-space counts of the
// pages; the catalogue's indexes (every row once, in order, the keys of
// Access's own system names byte for byte as Access writes them); the
// owners and rights of the objects and the database's version property.
// A second reader that is not mdbtools (the npm package mdb-reader) then
// reads every table of the same files whole.
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_fixture.h"

#include "platform/jet/error.h"
#include "platform/jet/value.h"
#include "support/outside_need.h"

#include <QDateTime>
#include <QDir>
#include <QTimeZone>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdint>
#include <map>
#include <set>

#include <gtest/gtest.h>

namespace {

using drivers::JetVersion;
using jet::Value;

std::uint32_t u8(const QByteArray& b, qsizetype at) { return std::uint8_t(b[at]); }
std::uint32_t u16(const QByteArray& b, qsizetype at) { return u8(b, at) | u8(b, at + 1) << 8; }
std::uint32_t u32(const QByteArray& b, qsizetype at) { return u16(b, at) | u16(b, at + 2) << 16; }

/// A file read for its structure; every fault found is added to problems.
class JetFileCheck {
public:
    explicit JetFileCheck(const QByteArray& bytes) : file_(bytes)
    {
        jet3_ = bytes.size() > 0x14 && bytes[0x14] == 0;
        page_ = jet3_ ? 2048 : 4096;
    }

    QStringList problems;

    void run()
    {
        if (file_.size() == 0 || file_.size() % page_ != 0 || file_.mid(4, 15) != "Standard Jet DB") {
            fail(QStringLiteral("not a file of whole pages with the Jet header"));
            return;
        }
        pages_ = static_cast<std::uint32_t>(file_.size() / page_);
        own(0, QStringLiteral("header"));
        checkFreePages();
        // The catalogue's own definition, then every table it names.
        const Table catalog = table(2, QStringLiteral("MSysObjects"));
        std::set<std::uint32_t> ids;
        std::map<std::uint32_t, std::pair<std::uint32_t, QByteArray>> names;   // id: parent, name bytes
        for (const Row& r : catalog.rowList) {
            const std::uint32_t id = fixedLong(catalog, r, "Id");
            ids.insert(id);
            names[id] = {fixedLong(catalog, r, "ParentId"), variable(catalog, r, "Name")};
            if (variable(catalog, r, "Owner").isEmpty())
                fail(QStringLiteral("catalogue row %1 has no owner").arg(id));
            if (fixedLong(catalog, r, "Type") == 1 && id != 2)
                tables_.push_back(table(id, QString::fromLatin1(text(variable(catalog, r, "Name")))));
            if (text(variable(catalog, r, "Name")) == "MSysDb")
                checkVersionProperty(catalog, r);
        }
        tables_.push_back(catalog);
        checkIndexes(catalog, names);
        for (const Table& t : tables_) {
            if (t.name == QLatin1String("MSysACEs"))
                checkAces(t, ids);
            else if (t.name != QLatin1String("MSysObjects"))
                checkIndexes(t, {});
        }
        for (std::uint32_t p = 0; p < pages_; ++p)
            if (!owner_.count(p))
                fail(QStringLiteral("page %1 (type %2) belongs to nothing").arg(p).arg(u8(file_, qsizetype(p) * page_)));
    }

    /// The key bytes of each catalogue name (after its flag), by name.
    std::map<QByteArray, QByteArray> catalogNameKeys;
    /// Each table's definition: its length and the columns its list of
    /// long-value usage maps names, in its order.
    std::map<QString, std::pair<std::uint32_t, std::vector<int>>> definitions;

private:
    struct Column {
        QString name;
        int type = 0, number = 0, varIndex = 0, fixedOffset = 0, length = 0;
        bool fixed = false;
    };
    struct Index {
        std::vector<int> columns;
        std::uint32_t keys = 0, usedMap = 0, root = 0;
    };
    struct Row {
        std::uint32_t pointer;
        QByteArray bytes;
    };
    struct Table {
        QString name;
        std::uint32_t page = 0, rows = 0;
        std::vector<Column> cols;
        std::vector<Index> indexes;
        std::vector<Row> rowList;
        bool system = false;
    };

    void fail(const QString& what)
    {
        if (problems.size() < 40)
            problems << what;
    }

    /// Page n; a page of zeros past the end of the file.
    QByteArray page(std::uint32_t n) const
    {
        return n < pages_ ? file_.mid(qsizetype(n) * page_, page_) : QByteArray(page_, '\0');
    }

    void own(std::uint32_t p, const QString& by)
    {
        if (p >= pages_) {
            fail(QStringLiteral("%1 names page %2, past the end of the file").arg(by).arg(p));
            return;
        }
        const auto [it, fresh] = owner_.emplace(p, by);
        if (!fresh)
            fail(QStringLiteral("page %1 belongs both to %2 and to %3").arg(p).arg(it->second, by));
    }

    /// The row a data pointer names, checking its page's header.
    QByteArray rowAt(std::uint32_t pointer, const QString& what)
    {
        const std::uint32_t n = pointer >> 8, r = pointer & 0xff;
        if (n >= pages_) {
            fail(QStringLiteral("%1: page %2 past the end of the file").arg(what).arg(n));
            return {};
        }
        const QByteArray p = page(n);
        const qsizetype at = jet3_ ? 8 : 12;
        if (p[0] != 0x01 || r >= u16(p, at)) {
            fail(QStringLiteral("%1: no row %2 on page %3").arg(what).arg(r).arg(n));
            return {};
        }
        const std::uint32_t start = u16(p, at + 2 + 2 * r) & 0x1fff;
        const std::uint32_t end = r == 0 ? std::uint32_t(page_) : u16(p, at + 2 * r) & 0x1fff;
        return p.mid(start, end - start);
    }

    /// Checks a data or long-value page's header: its free-space count and rows.
    void checkDataPage(std::uint32_t n, const QString& what)
    {
        const QByteArray p = page(n);
        const qsizetype at = jet3_ ? 8 : 12;
        const std::uint32_t rows = u16(p, at);
        std::uint32_t lowest = std::uint32_t(page_);
        for (std::uint32_t r = 0; r < rows; ++r) {
            const std::uint32_t o = u16(p, at + 2 + 2 * r) & 0x1fff;
            if (o >= lowest)
                fail(QStringLiteral("%1: page %2's rows do not run from its end").arg(what).arg(n));
            lowest = std::min(lowest, o);
        }
        if (u16(p, 2) != lowest - (at + 2 + 2 * rows))
            fail(QStringLiteral("%1: page %2 counts %3 free bytes, has %4").arg(what).arg(n).arg(u16(p, 2)).arg(lowest - (at + 2 + 2 * rows)));
    }

    /// The pages a usage map lists.
    std::vector<std::uint32_t> usageMap(std::uint32_t pointer, const QString& what)
    {
        const QByteArray row = rowAt(pointer, what);
        if (mapRowPages_.insert(pointer >> 8).second)   // several maps share a page
            own(pointer >> 8, QStringLiteral("the usage maps' rows"));
        std::vector<std::uint32_t> pagesListed;
        if (row.isEmpty())
            return pagesListed;
        if (row[0] == 0) {
            const std::uint32_t start = u32(row, 1);
            for (qsizetype i = 5; i < row.size(); ++i)
                for (int b = 0; b < 8; ++b)
                    if (u8(row, i) & (1 << b))
                        pagesListed.push_back(start + std::uint32_t((i - 5) * 8 + b));
        } else if (row[0] == 1) {
            for (qsizetype i = 1; i + 4 <= row.size(); i += 4) {
                const std::uint32_t mapPage = u32(row, i);
                if (mapPage == 0)
                    continue;
                own(mapPage, what + QStringLiteral(" (a map page)"));
                const QByteArray m = page(mapPage);
                if (m[0] != 0x05)
                    fail(QStringLiteral("%1: map page %2 has type %3").arg(what).arg(mapPage).arg(u8(m, 0)));
                const std::uint32_t base = std::uint32_t((i - 1) / 4) * std::uint32_t(page_ - 4) * 8;
                for (qsizetype k = 4; k < m.size(); ++k)
                    for (int b = 0; b < 8; ++b)
                        if (u8(m, k) & (1 << b))
                            pagesListed.push_back(base + std::uint32_t((k - 4) * 8 + b));
            }
        } else {
            fail(QStringLiteral("%1: a usage map of type %2").arg(what).arg(u8(row, 0)));
        }
        return pagesListed;
    }

    /// Page 1 maps the free pages: none of the file's own, every page past
    /// its end as far as the map reaches.
    void checkFreePages()
    {
        const QByteArray p = page(1);
        if (p[0] != 0x01 || u16(p, jet3_ ? 8 : 12) < 1) {
            fail(QStringLiteral("page 1 is not the free-page map"));
            return;
        }
        const QByteArray row = rowAt(1u << 8, QStringLiteral("the free-page map"));
        const std::vector<std::uint32_t> listed = usageMap(1u << 8, QStringLiteral("the free-page map"));
        std::uint32_t reach = 0;
        if (row[0] == 0) {
            reach = std::uint32_t(row.size() - 5) * 8;
        } else {
            for (qsizetype i = 1; i + 4 <= row.size(); i += 4)
                if (u32(row, i) != 0)
                    reach = std::uint32_t((i - 1) / 4 + 1) * std::uint32_t(page_ - 4) * 8;
        }
        std::vector<std::uint32_t> free;
        for (std::uint32_t n = pages_; n < reach; ++n)
            free.push_back(n);
        if (listed != free)
            fail(QStringLiteral("the free-page map lists %1 pages as free, from %2; the file has %3 pages and the "
                                "map reaches %4")
                     .arg(listed.size())
                     .arg(listed.empty() ? 0 : listed.front())
                     .arg(pages_)
                     .arg(reach));
    }

    /// Reads and checks a table's definition, pages, maps and rows.
    Table table(std::uint32_t first, const QString& name)
    {
        Table t;
        t.name = name;
        t.page = first;
        const QString what = QStringLiteral("table %1").arg(name);
        // The definition, over its chain of pages.
        QByteArray def;
        for (std::uint32_t n = first, k = 0; n != 0; ++k) {
            if (n >= pages_ || page(n)[0] != 0x02) {
                fail(QStringLiteral("%1: definition page %2 is not one").arg(what).arg(n));
                return t;
            }
            own(n, what + QStringLiteral(" (definition)"));
            const QByteArray p = page(n);
            def += k == 0 ? p : p.mid(8);
            if (jet3_ && p.mid(2, 2) != "VC")
                fail(QStringLiteral("%1: definition page %2 lacks VC").arg(what).arg(n));
            n = u32(p, 4);
        }
        const qsizetype type = jet3_ ? 20 : 40;
        t.rows = u32(def, jet3_ ? 12 : 16);
        t.system = u8(def, type) == 0x53;
        const std::uint32_t ncols = u16(def, type + 5), nvar = u16(def, type + 3), nidx = u32(def, type + 7),
                            nreal = u32(def, type + 11);
        qsizetype at = type + 23;
        for (std::uint32_t i = 0; i < nreal; ++i) {
            t.indexes.push_back({});
            t.indexes.back().keys = u32(def, at + 4);
            at += jet3_ ? 8 : 12;
        }
        const qsizetype entry = jet3_ ? 18 : 25;
        for (std::uint32_t i = 0; i < ncols; ++i, at += entry) {
            Column c;
            c.type = int(u8(def, at));
            c.number = int(u16(def, at + (jet3_ ? 1 : 5)));
            c.varIndex = int(u16(def, at + (jet3_ ? 3 : 7)));
            c.fixed = u8(def, at + (jet3_ ? 13 : 15)) & 0x01;
            c.fixedOffset = int(u16(def, at + (jet3_ ? 14 : 21)));
            c.length = int(u16(def, at + (jet3_ ? 16 : 23)));
            t.cols.push_back(c);
        }
        for (Column& c : t.cols) {
            const std::uint32_t len = jet3_ ? u8(def, at) : u16(def, at);
            at += jet3_ ? 1 : 2;
            c.name = jet3_ ? QString::fromLatin1(def.mid(at, len))
                           : QString::fromUtf16(reinterpret_cast<const char16_t*>(def.constData() + at), len / 2);
            at += len;
        }
        for (Index& x : t.indexes) {
            at += jet3_ ? 0 : 4;
            for (int k = 0; k < 10; ++k)
                if (u16(def, at + 3 * k) != 0xffff)
                    x.columns.push_back(int(u16(def, at + 3 * k)));
            x.usedMap = u32(def, at + 30);
            x.root = u32(def, at + 34);
            at += jet3_ ? 39 : 48;
        }
        at += qsizetype(nidx) * (jet3_ ? 20 : 28);
        for (std::uint32_t i = 0; i < nidx; ++i)
            at += (jet3_ ? 1 + u8(def, at) : 2 + u16(def, at));
        // The long-value columns' usage maps, closed by FF FF.
        std::set<int> mapped;
        std::vector<int> listed;
        while (at + 2 <= def.size() && u16(def, at) != 0xffff && mapped.size() <= ncols) {
            const int c = int(u16(def, at));
            const auto named = std::find_if(t.cols.begin(), t.cols.end(), [c](const Column& k) { return k.number == c; });
            if (named == t.cols.end() || (named->type != 0x0b && named->type != 0x0c) || mapped.count(c)) {
                fail(QStringLiteral("%1: the list of long-value usage maps names column %2 and is not closed by FF FF")
                         .arg(what)
                         .arg(c));
                return t;
            }
            mapped.insert(c);
            listed.push_back(c);
            const QString col = what + QStringLiteral(" column %1").arg(c);
            const auto used = usageMap(u32(def, at + 2), col);
            for (std::uint32_t p : used) {
                own(p, col);
                if (p < pages_ && page(p).mid(4, 4) != "LVAL")
                    fail(QStringLiteral("%1 owns page %2, which is no long-value page").arg(col).arg(p));
                checkDataPage(p, col);
            }
            for (std::uint32_t p : usageMap(u32(def, at + 6), col + QStringLiteral(" (free space)")))
                if (std::find(used.begin(), used.end(), p) == used.end())
                    fail(QStringLiteral("%1 lists page %2 as having room but does not own it").arg(col).arg(p));
            at += 10;
        }
        if (at + 2 > def.size()) {
            fail(QStringLiteral("%1: the definition does not end with FF FF").arg(what));
            return t;
        }
        at += 2;
        definitions[name] = {std::uint32_t(at), listed};
        if (u32(def, 8) != at)
            fail(QStringLiteral("%1: the definition's length field says %2, its bytes are %3").arg(what).arg(u32(def, 8)).arg(at));
        if (!jet3_) {   // each page's free count
            const std::uint32_t onFirst = std::min<std::uint32_t>(std::uint32_t(at), std::uint32_t(page_));
            if (u16(page(first), 2) != page_ - onFirst - 8 && at <= page_)
                fail(QStringLiteral("%1: the definition page counts %2 free bytes").arg(what).arg(u16(page(first), 2)));
        }
        // Columns: numbers 0.., fixed ones side by side, variable indexes 0..nvar-1.
        std::set<int> numbers, vars;
        int fixedEnd = 0;
        for (const Column& c : t.cols) {
            numbers.insert(c.number);
            if (!c.fixed) {
                vars.insert(c.varIndex);
            } else if (c.type != 0x01) {
                if (c.fixedOffset != fixedEnd)
                    fail(QStringLiteral("%1: column %2 starts at %3, not %4").arg(what, c.name).arg(c.fixedOffset).arg(fixedEnd));
                fixedEnd = c.fixedOffset + c.length;
            }
            const bool isLong = c.type == 0x0b || c.type == 0x0c;
            if (isLong != bool(mapped.count(c.number)))
                fail(QStringLiteral("%1: column %2 %3 in the list of long-value usage maps").arg(what, c.name, isLong ? "missing" : "wrongly"));
        }
        if (int(numbers.size()) != int(ncols) || (!numbers.empty() && *numbers.rbegin() != int(ncols) - 1) || vars.size() != nvar)
            fail(QStringLiteral("%1: column numbers or variable indexes are not whole").arg(what));
        // Its data pages: those its map lists, each owned by the table, no other.
        const auto used = usageMap(u32(def, type + 15), what);
        std::uint32_t rows = 0;
        for (std::uint32_t p : used) {
            own(p, what);
            const QByteArray d = page(p);
            if (d[0] != 0x01 || u32(d, 4) != first) {
                fail(QStringLiteral("%1 owns page %2, which is not its data page").arg(what).arg(p));
                continue;
            }
            checkDataPage(p, what);
            const std::uint32_t count = u16(d, jet3_ ? 8 : 12);
            for (std::uint32_t r = 0; r < count; ++r) {
                const std::uint32_t o = u16(d, (jet3_ ? 8 : 12) + 2 + 2 * r);
                if (o & 0xc000)
                    continue;   // deleted or moved
                ++rows;
                t.rowList.push_back({p << 8 | r, rowAt(p << 8 | r, what)});
            }
        }
        for (std::uint32_t p = 0; p < pages_; ++p)
            if (page(p)[0] == 0x01 && u32(page(p), 4) == first && std::find(used.begin(), used.end(), p) == used.end())
                fail(QStringLiteral("data page %1 of %2 is missing from its usage map").arg(p).arg(what));
        for (std::uint32_t p : usageMap(u32(def, type + 19), what + QStringLiteral(" (free space)")))
            if (std::find(used.begin(), used.end(), p) == used.end())
                fail(QStringLiteral("%1 lists page %2 as having room but does not own it").arg(what).arg(p));
        if (rows != t.rows)
            fail(QStringLiteral("%1: the definition counts %2 rows, its pages hold %3").arg(what).arg(t.rows).arg(rows));
        return t;
    }

    const Column* column(const Table& t, const char* name) const
    {
        for (const Column& c : t.cols)
            if (c.name == QLatin1String(name))
                return &c;
        return nullptr;
    }

    std::uint32_t fixedLong(const Table& t, const Row& r, const char* name) const
    {
        const Column* c = column(t, name);
        if (!c)
            return 0xffffffff;
        const qsizetype at = (jet3_ ? 1 : 2) + c->fixedOffset;
        return c->length == 2 ? u16(r.bytes, at) : u32(r.bytes, at);
    }

    /// A variable column's bytes (rows under 256 bytes: no Jet 3 jumps).
    QByteArray variable(const Table& t, const Row& r, const char* name) const
    {
        const Column* c = column(t, name);
        const QByteArray& b = r.bytes;
        if (!c || c->fixed || (jet3_ && b.size() >= 256))
            return {};
        const qsizetype mask = (qsizetype(t.cols.size()) + 7) / 8;
        const qsizetype end = b.size() - mask;
        if (!(u8(b, end + c->number / 8) & (1 << (c->number % 8))))
            return {};   // Null
        const auto offset = [&](int v) {
            return jet3_ ? qsizetype(u8(b, end - 1 - 1 - v)) : qsizetype(u16(b, end - 2 - 2 - 2 * v));
        };
        return b.mid(offset(c->varIndex), offset(c->varIndex + 1) - offset(c->varIndex));
    }

    QByteArray text(const QByteArray& bytes) const
    {
        if (jet3_)
            return bytes;
        QByteArray latin;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
            latin += bytes[i];
        return latin;
    }

    /// "AccessVersion" among MSysDb's properties, as Access writes it.
    void checkVersionProperty(const Table& catalog, const Row& r)
    {
        const QByteArray field = variable(catalog, r, "LvProp");
        if (field.size() < 12) {
            fail(QStringLiteral("MSysDb has no properties"));
            return;
        }
        const std::uint32_t len = u32(field, 0) & 0x3fffffff;
        QByteArray props;
        if (u32(field, 0) & 0x80000000u) {
            props = field.mid(12, len);
        } else {
            const std::uint32_t pointer = u32(field, 4);
            props = rowAt(pointer, QStringLiteral("MSysDb's properties"));
        }
        const QByteArray version = jet3_ ? QByteArray("07.53") : QByteArray("0\0008\000.\0005\0000\000", 10);
        const QByteArray name = jet3_ ? QByteArray("AccessVersion")
                                      : QByteArray("A\0c\0c\0e\0s\0s\0V\0e\0r\0s\0i\0o\0n\0", 26);
        if (props.left(4) != (jet3_ ? QByteArray("KKD\0", 4) : QByteArray("MR2\0", 4)) || !props.contains(name)
            || !props.endsWith(version) || qsizetype(len) != props.size())
            fail(QStringLiteral("MSysDb's properties do not hold the format's AccessVersion: %1").arg(QString::fromLatin1(props.toHex())));
    }

    /// The entries of an index's one leaf page, checking its header and bitmap.
    std::vector<QByteArray> leaf(const Table& t, const Index& x, const QString& what)
    {
        std::vector<QByteArray> entries;
        const auto used = usageMap(x.usedMap, what);
        if (used != std::vector<std::uint32_t>{x.root})
            fail(QStringLiteral("%1: its usage map does not list its page %2 alone").arg(what).arg(x.root));
        own(x.root, what);
        const QByteArray p = page(x.root);
        if (p.isEmpty() || p[0] != 0x04 || u32(p, 4) != t.page) {
            fail(QStringLiteral("%1: page %2 is not its leaf").arg(what).arg(x.root));
            return entries;
        }
        const qsizetype maskAt = jet3_ ? 0x16 : 0x1b, first = jet3_ ? 0xf8 : 0x1e0;
        if (u16(p, maskAt - (jet3_ ? 2 : 3)) != 0)
            fail(QStringLiteral("%1: its entries share a prefix").arg(what));
        qsizetype from = first;
        for (qsizetype i = 1; first + i <= page_; ++i)
            if (u8(p, maskAt + i / 8) & (1 << (i % 8))) {
                entries.push_back(p.mid(from, first + i - from));
                from = first + i;
            }
        if (u16(p, 2) != page_ - from)
            fail(QStringLiteral("%1: the leaf counts %2 free bytes, has %3").arg(what).arg(u16(p, 2)).arg(page_ - from));
        for (std::size_t i = 1; i < entries.size(); ++i)
            if (!(entries[i - 1] < entries[i]))
                fail(QStringLiteral("%1: entries %2 and %3 are out of order").arg(what).arg(i - 1).arg(i));
        return entries;
    }

    static QByteArray longKey(std::uint32_t v)
    {
        QByteArray k(5, '\x7f');
        for (int i = 0; i < 4; ++i)
            k[1 + i] = char(((v ^ 0x80000000u) >> (24 - 8 * i)) & 0xff);
        return k;
    }

    static std::uint32_t pointerOf(const QByteArray& entry)
    {
        const qsizetype n = entry.size();
        return u8(entry, n - 4) << 24 | u8(entry, n - 3) << 16 | u8(entry, n - 2) << 8 | u8(entry, n - 1);
    }

    /// Every row once in each index, keyed by its values; names keep their
    /// order (digits before letters, case-blind).
    void checkIndexes(const Table& t, const std::map<std::uint32_t, std::pair<std::uint32_t, QByteArray>>& names)
    {
        if (t.system && t.indexes.empty())
            fail(QStringLiteral("system table %1 has no index").arg(t.name));
        for (std::size_t i = 0; i < t.indexes.size(); ++i) {
            const Index& x = t.indexes[i];
            const QString what = QStringLiteral("index %1 of %2").arg(i).arg(t.name);
            const std::vector<QByteArray> entries = leaf(t, x, what);
            if (entries.size() != t.rowList.size())
                fail(QStringLiteral("%1 has %2 entries for %3 rows").arg(what).arg(entries.size()).arg(t.rowList.size()));
            std::set<QByteArray> keys;
            std::set<std::uint32_t> pointers;
            for (const QByteArray& e : entries) {
                keys.insert(e.left(e.size() - 4));
                pointers.insert(pointerOf(e));
                const auto row = std::find_if(t.rowList.begin(), t.rowList.end(), [&](const Row& r) { return r.pointer == pointerOf(e); });
                if (row == t.rowList.end()) {
                    fail(QStringLiteral("%1: an entry names no row of the table").arg(what));
                    continue;
                }
                // Number columns lead the key: their bytes follow from the row.
                QByteArray want;
                for (int c : x.columns) {
                    const Column& col = t.cols[std::size_t(c)];
                    if (col.type != 0x04)
                        break;
                    want += longKey(fixedLong(t, *row, col.name.toLatin1().constData()));
                }
                if (!e.startsWith(want))
                    fail(QStringLiteral("%1: an entry's key is not its row's values").arg(what));
                if (t.name == QLatin1String("MSysObjects") && x.columns == std::vector<int>{1, 2}) {
                    const std::uint32_t id = fixedLong(t, *row, "Id");
                    catalogNameKeys[text(names.at(id).second)] = e.mid(6, e.size() - 10);
                }
            }
            if (pointers.size() != entries.size())
                fail(QStringLiteral("%1 names a row twice").arg(what));
            if (keys.size() != x.keys)
                fail(QStringLiteral("%1: the definition counts %2 keys, the leaf has %3").arg(what).arg(x.keys).arg(keys.size()));
        }
    }

    /// Every object of the catalogue has its rights, each on an object that is there.
    void checkAces(const Table& aces, const std::set<std::uint32_t>& ids)
    {
        checkIndexes(aces, {});
        std::set<std::uint32_t> withRights;
        for (const Row& r : aces.rowList) {
            const std::uint32_t object = fixedLong(aces, r, "ObjectId");
            withRights.insert(object);
            if (!ids.count(object))
                fail(QStringLiteral("MSysACEs gives rights on %1, which the catalogue does not hold").arg(object));
            if (variable(aces, r, "SID").isEmpty())
                fail(QStringLiteral("MSysACEs has a row without a security id"));
        }
        for (std::uint32_t id : ids)
            if (!withRights.count(id))
                fail(QStringLiteral("object %1 has no rights in MSysACEs").arg(id));
    }

    QByteArray file_;
    bool jet3_ = false;
    qsizetype page_ = 4096;
    std::uint32_t pages_ = 0;
    std::map<std::uint32_t, QString> owner_;
    std::set<std::uint32_t> mapRowPages_;
    std::vector<Table> tables_;
};

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// A table to write: its columns and rows.
struct Sample {
    const char* table;
    jet::ColumnList columns;
    std::function<std::vector<Value>(int)> row;
    int rows;
};

QString repeated(const QString& unit, int length)
{
    QString s;
    while (s.size() < length)
        s += unit;
    return s.left(length);
}

jet::ColumnList many()
{
    jet::ColumnList cols;
    for (int i = 0; i < 200; ++i)
        cols.push_back({QStringLiteral("Column number %1").arg(i), i % 2 ? jet::dbLong : jet::dbText, i % 2 ? 4 : 20, 0});
    return cols;
}

std::vector<Sample> samples()
{
    using jet::ColumnInfo;
    return {
        {"data",
         {{"Name", jet::dbText, 255}, {"Notes", jet::dbMemo, 0}, {"Count", jet::dbLong, 4}, {"Ratio", jet::dbDouble, 8},
          {"Born", jet::dbDate, 8}, {"Active", jet::dbBoolean, 1}, {"Price", jet::dbCurrency, 8},
          {"Small", jet::dbInteger, 2}, {"Tiny", jet::dbByte, 1}, {"Share", jet::dbSingle, 4}},
         [](int i) {
             return std::vector<Value>{Value(QStringLiteral("Row %1").arg(i)),
                                       i % 5 ? Value() : Value(repeated(QStringLiteral("memo text "), 50 + 7 * i)),
                                       Value(i), Value(i / 3.0), Value(jet::DateTime{36526.0 + i}), Value(i % 2 == 0),
                                       Value(i * 0.25), Value(i % 300), Value(i % 256), Value(i / 8.0)};
         },
         600},
        // Several memo columns: long values on pages of each column, some of
        // them over whole chains of pages.
        {"Memos 2",
         {{"A", jet::dbMemo, 0}, {"b", jet::dbMemo, 0}, {"C_3", jet::dbMemo, 0}, {"Key", jet::dbLong, 4}},
         [](int i) {
             return std::vector<Value>{Value(repeated(QStringLiteral("a"), 70 + i * 40)), Value(repeated(QStringLiteral("bc"), 3000 + i)),
                                       i % 2 ? Value() : Value(repeated(QStringLiteral("z"), 9000)), Value(i)};
         },
         40},
        // Enough pages that the table's map is a list of map pages.
        {"Wide", {{"Text", jet::dbText, 255}, {"N", jet::dbLong, 4}},
         [](int i) { return std::vector<Value>{Value(repeated(QStringLiteral("%1 ").arg(i), 250)), Value(i)}; }, 12000},
        {"Empty", {{"A", jet::dbText, 10}, {"B", jet::dbDate, 8}}, [](int) { return std::vector<Value>{}; }, 0},
        // A definition over several pages.
        {"Many", many(), [](int i) { return std::vector<Value>(200, Value(i)); }, 5},
    };
}

class JetStructure : public ::testing::TestWithParam<JetVersion> {
protected:
    bool jet3() const { return GetParam() == JetVersion::Jet3; }
    QString templatePath() const { return QStringLiteral(QB_BINARY_DIR "/") + (jet3() ? "acs1" : "acs2"); }

    QString copyOfTemplate(const QString& name)
    {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(templatePath(), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    static void write(const QString& path, const Sample& s)
    {
        int at = 0;
        drivers::writeJetTable(path, QString::fromLatin1(s.table), s.columns, [&](std::vector<Value>& row) {
            if (at >= s.rows)
                return false;
            row = s.row(at++);
            return true;
        });
    }

    /// The files the writer makes: the template, each sample alone, and all
    /// of them in one database.
    QStringList files()
    {
        QStringList out{templatePath()};
        const std::vector<Sample> all = samples();
        const QString together = copyOfTemplate(QStringLiteral("all.mdb"));
        for (std::size_t i = 0; i < all.size(); ++i) {
            const QString alone = copyOfTemplate(QStringLiteral("sample%1.mdb").arg(i));
            write(alone, all[i]);
            write(together, all[i]);
            out << alone;
        }
        out << together;
        return out;
    }

    QTemporaryDir dir;
};

TEST_P(JetStructure, EveryFileTheWriterMakesHasTheStructureAccessWrites)
{
    for (const QString& path : files()) {
        SCOPED_TRACE(path.toStdString());
        JetFileCheck check(bytesOf(path));
        check.run();
        EXPECT_EQ(check.problems.join(QLatin1Char('\n')).toStdString(), "");
    }
}

// The catalogue's name index keys Access's own system names exactly as an
// empty database made by Access keys them (the bytes after the key's flag:
// the "General" sort codes and the end mark).
TEST_P(JetStructure, TheCatalogueKeysItsNamesAsAccessDoes)
{
    const std::map<QByteArray, const char*> access3 = {
        {"Tables", "7760616d667600"},
        {"Databases", "64607760616076667600"},
        {"Relationships", "75666d60776a727076696a737600"},
        {"MSysDb", "6f767d76646100"},
        {"MSysObjects", "6f767d7672616b6662777600"},
        {"MSysACEs", "6f767d766062667600"},
        {"MSysQueries", "6f767d76747866756a667600"},
        {"MSysRelationships", "6f767d7675666d60776a727076696a737600"},
    };
    const std::map<QByteArray, const char*> access4 = {
        {"Tables", "6d4a4c5e516b0100"},
        {"Databases", "4f4a6d4a4c4a6b516b0100"},
        {"Relationships", "69515e4a6d5964626b5759666b0100"},
        {"MSysDb", "606b766b4f4c0100"},
        {"MSysObjects", "606b766b644c5b514d6d6b0100"},
        {"MSysACEs", "606b766b4a4d516b0100"},
        {"MSysQueries", "606b766b686f516959516b0100"},
        {"MSysRelationships", "606b766b69515e4a6d5964626b5759666b0100"},
    };
    const QString path = copyOfTemplate(QStringLiteral("names.mdb"));
    // Names that sort by the order "General": case-blind, digits before letters.
    for (const char* name : {"data", "Zeta", "alpha 2", "Alpha 10", "b_c", "DATA2"})
        write(path, {name, {{"A", jet::dbLong, 4}}, [](int i) { return std::vector<Value>{Value(i)}; }, 3});
    JetFileCheck check(bytesOf(path));
    check.run();
    EXPECT_EQ(check.problems.join(QLatin1Char('\n')).toStdString(), "");
    for (const auto& [name, hex] : jet3() ? access3 : access4)
        EXPECT_EQ(check.catalogNameKeys[name].toHex().toStdString(), hex) << name.toStdString();
    QStringList byKey;
    std::vector<std::pair<QByteArray, QString>> keyed;
    for (const char* name : {"data", "Zeta", "alpha 2", "Alpha 10", "b_c", "DATA2"})
        keyed.emplace_back(check.catalogNameKeys[name], QString::fromLatin1(name));
    std::sort(keyed.begin(), keyed.end());
    for (const auto& k : keyed)
        byKey << k.second;
    EXPECT_EQ(byKey, (QStringList{"Alpha 10", "alpha 2", "b_c", "data", "DATA2", "Zeta"}));
}

// The system tables' definitions are as long as those of an empty database
// made by Access, and list the long-value columns' maps in its order.
TEST_P(JetStructure, TheSystemTablesAreDefinedAsAccessDefinesThem)
{
    JetFileCheck check(bytesOf(templatePath()));
    check.run();
    EXPECT_EQ(check.problems.join(QLatin1Char('\n')).toStdString(), "");
    using Definition = std::pair<std::uint32_t, std::vector<int>>;
    const std::map<QString, Definition> access3 = {
        {"MSysObjects", {708, {9, 8, 13, 16, 15, 14, 12}}},
        {"MSysACEs", {223, {}}},
        {"MSysQueries", {319, {5}}},
        {"MSysRelationships", {526, {}}},
    };
    const std::map<QString, Definition> access4 = {
        {"MSysObjects", {1050, {9, 8, 13, 16, 15, 14, 12}}},
        {"MSysACEs", {335, {}}},
        {"MSysQueries", {525, {5}}},
        {"MSysRelationships", {813, {}}},
    };
    EXPECT_EQ(check.definitions, jet3() ? access3 : access4);
}

// Tables are added until the catalogue is full: the one refused leaves the
// file as it was, byte for byte, and every file on the way is whole.
TEST_P(JetStructure, AFullCatalogueRefusesTheNextTableAndKeepsTheFile)
{
    const QString path = copyOfTemplate(QStringLiteral("full.mdb"));
    QString refusal;
    int added = 0;
    for (; added < 300 && refusal.isEmpty(); ++added) {
        const QByteArray before = bytesOf(path);
        const QByteArray name = QStringLiteral("A table of a long name, number %1").arg(added).toLatin1();
        try {
            write(path, {name.constData(), {{"Notes", jet::dbMemo, 0}, {"N", jet::dbLong, 4}},
                         [](int i) { return std::vector<Value>{Value(repeated(QStringLiteral("n"), 200)), Value(i)}; }, 3});
        } catch (const jet::JetError& e) {
            refusal = e.description();
            EXPECT_EQ(bytesOf(path), before);
        }
    }
    EXPECT_EQ(refusal, QStringLiteral("The database's catalogue has no room for another table."));
    EXPECT_GT(added, 10);
    JetFileCheck check(bytesOf(path));
    check.run();
    EXPECT_EQ(check.problems.join(QLatin1Char('\n')).toStdString(), "");
}

// A table name with a character the writer has no sort code for is refused
// before anything is written.
TEST_P(JetStructure, ANameTheIndexCannotKeyIsRefused)
{
    const QString path = copyOfTemplate(QStringLiteral("refused.mdb"));
    const QByteArray before = bytesOf(path);
    const QString name = jet3() ? QStringLiteral("Café") : QStringLiteral("Kunden-2024");
    try {
        drivers::writeJetTable(path, name, {{QStringLiteral("A"), jet::dbLong, 4, 0}}, [](std::vector<Value>&) { return false; });
        ADD_FAILURE() << "written";
    } catch (const jet::JetError& e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("The table name [%1] holds the character '%2'")
                                                    .arg(name, jet3() ? QStringLiteral("é") : QStringLiteral("-"))))
            << e.description().toStdString();
    }
    EXPECT_EQ(bytesOf(path), before);
}

TEST_P(JetStructure, ASecondReaderReadsEveryTableWhole)
{
    const QStringList paths = files();
    QJsonArray report;
    const QString skip = mdbfixture::mdbReader(paths, report);
    QB_NEED_OUTSIDE(skip.isEmpty(), skip.toStdString());
    ASSERT_EQ(report.size(), paths.size()) << QJsonDocument(report).toJson().toStdString();
    const std::vector<Sample> all = samples();
    for (qsizetype f = 0; f < paths.size(); ++f) {
        SCOPED_TRACE(paths[f].toStdString());
        const QJsonObject file = report[f].toObject();
        ASSERT_FALSE(file.contains(QStringLiteral("error"))) << file[QStringLiteral("error")].toString().toStdString();
        const QJsonObject tables = file[QStringLiteral("tables")].toObject();
        EXPECT_EQ(file[QStringLiteral("version")].toString(), QLatin1String(jet3() ? "07.53" : "08.50"));
        EXPECT_EQ(tables[QStringLiteral("MSysObjects")][QStringLiteral("rows")].toInt(),
                  8 + (f == 0 ? 0 : f == paths.size() - 1 ? qsizetype(all.size()) : 1));
        EXPECT_EQ(tables[QStringLiteral("MSysACEs")][QStringLiteral("rows")].toInt(),
                  16 + 2 * (f == 0 ? 0 : f == paths.size() - 1 ? qsizetype(all.size()) : 1));
        for (std::size_t s = 0; s < all.size(); ++s) {
            const bool here = (f > 0 && f == qsizetype(s) + 1) || f == paths.size() - 1;
            const QJsonObject t = tables[QLatin1String(all[s].table)].toObject();
            ASSERT_EQ(!t.isEmpty(), here) << all[s].table;
            if (!here)
                continue;
            const QJsonArray rows = t[QStringLiteral("data")].toArray();
            ASSERT_EQ(rows.size(), all[s].rows) << all[s].table;
            for (int r = 0; r < all[s].rows; r += std::max(1, all[s].rows / 97)) {
                const std::vector<Value> want = all[s].row(r);
                const QJsonObject got = rows[r].toObject();
                for (std::size_t c = 0; c < want.size(); ++c) {
                    const QJsonValue v = got[all[s].columns[c].name];
                    const int type = all[s].columns[c].type;
                    if (type == jet::dbBoolean)
                        EXPECT_EQ(v.toBool(), want[c].toBool()) << r << " " << c;
                    else if (want[c].isNull())
                        EXPECT_TRUE(v.isNull()) << r << " " << c;
                    else if (type == jet::dbText || type == jet::dbMemo)
                        EXPECT_EQ(v.toString(), want[c].toString()) << r << " " << c;
                    else if (type == jet::dbDate)
                        EXPECT_EQ(v.toString(), QDateTime(QDate(1899, 12, 30).addDays(qint64(want[c].toDate().serial)),
                                                          QTime(0, 0), Qt::UTC)
                                                    .toString(Qt::ISODateWithMs))
                            << r << " " << c;
                    else
                        EXPECT_NEAR(v.toVariant().toDouble(), want[c].toDouble(), 1e-6 * std::max(1.0, std::fabs(want[c].toDouble())))
                            << r << " " << c;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, JetStructure, ::testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto& info) { return std::string(info.param == JetVersion::Jet3 ? "JET3" : "JET4"); });

} // namespace
