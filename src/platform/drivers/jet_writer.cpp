// The Jet 3 and Jet 4 writer declared in jet_writer.h.
//
// File: fixed-size pages (2 KB for Jet 3, 4 KB for Jet 4), little-endian
// numbers. Page 0 is the header, its variable part RC4-masked with the
// format's fixed key so that it unmasks to "no encryption, no password".
// A "data pointer" names a row as page * 256 + row.
//
// Page plan of an empty database: 0 header; 1 the free-page map (the pages
// past the file's end are free); 2 to 5 the definitions of MSysObjects (readers look
// for it there), MSysACEs, MSysQueries and MSysRelationships, whose ids are
// these page numbers; 6 the catalogue's rows; 7 the rows of MSysACEs; 8 to 14
// the leaf page of each of the system tables' seven indexes; then the pages
// of usage-map rows and, in Jet 4, the long-value page of MSysDb's
// properties. A new table takes pages from the end of the file: its
// definition, then its data and long-value pages as the rows come, then the
// rows of its usage maps and any map pages they need. A table's usage map
// lists its data pages; each memo column's, its long-value pages.
//
// A table definition: the counts, the indexes' entries, the columns and their
// names, the indexes' columns and pages, their names, then the usage maps of
// each memo or OLE column and FF FF; its length field counts all of it from
// the page's start. An index here is one leaf page of entries (a key, then
// the row's page and row) in the order of their bytes.
//
// A row: column count; the fixed-width values at their columns' offsets; the
// variable-width values; then from the end backwards the null mask (one bit
// per column, set when not Null; a Yes/No value is its bit), the count of
// variable values and their start offsets, the last offset marking the end
// of the variable data. Jet 4 writes counts and offsets in two bytes; Jet 3
// in one, with a table of "jumps" saying at which offset each further 256
// bytes begin.
//
// Text: Jet 3 in Windows-1252; Jet 4 in UTF-16, written in the compressed
// form (0xFF 0xFE, then one byte per character below U+0100, a zero byte
// switching to and from two-byte characters) where that is shorter and the
// text has no character whose low byte is zero. A memo of up to 64 bytes
// stays in its row; a longer one goes onto long-value ("LVAL") pages, in one
// row when it fits a page, else in a chain of whole pages. Jet 4 memos above
// 1,024 characters are never compressed.
//
// Cost: one pass over the rows; each new page is written once, as soon as it
// is full, and the catalogue's two pages are updated at the end; memory is a
// few pages.
#include "platform/drivers/jet_writer.h"

#include "common/codepage.h"
#include "platform/drivers/mdb_reader.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/value.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

namespace drivers {
namespace {

struct Format {
    bool jet3;
    int page;          ///< page size
    int rowCountAt;    ///< offset of the row count on data pages; the row offsets follow
    int mapBytes;      ///< bytes of bitmap in a usage map's row
    qint64 limit;      ///< largest file
    const char* name;  ///< for messages
};

Format formatOf(JetVersion v)
{
    if (v == JetVersion::Jet3)
        return {true, 2048, 0x08, 128, qint64(1) << 30, "Access 97"};
    return {false, 4096, 0x0c, 64, qint64(2) << 30, "Access 2000"};
}

constexpr int kMaxRowsPerPage = 255;   // a data pointer has one byte for the row
constexpr int kMaxColumns = 255;
constexpr int kMaxNameLength = 64;
constexpr std::size_t kInlineMemo = 64;
constexpr int kMaxCompressedMemo = 1024;
constexpr std::uint32_t kLvalOwner = 0x4c41564c;   // "LVAL"

// The catalogue's fixed identities: ids of non-table objects live above
// every page number.
constexpr std::uint32_t kRootId = 0x0F000000;
constexpr std::uint32_t kTablesId = 0x0F000001;
constexpr std::uint32_t kDatabasesId = 0x0F000002;
constexpr std::uint32_t kRelationshipsId = 0x0F000003;
constexpr std::uint32_t kMSysDbId = 0x10000000;
constexpr std::uint32_t kSystemFlags = 0x80000000;
constexpr int kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

// Pages of an empty database: the system tables' definitions where Access
// has them (a table's id is its definition's page), their rows, the leaf
// page of each of their indexes; the usage maps and a long-value page follow.
constexpr std::uint32_t kFreeMapPage = 1, kCatalogPage = 2, kAcesPage = 3, kQueriesPage = 4, kRelationsPage = 5;
constexpr std::uint32_t kCatalogDataPage = 6, kAcesDataPage = 7;
constexpr std::uint32_t kNameIndexPage = 8, kIdIndexPage = 9, kAcesIndexPage = 10, kQueriesIndexPage = 11;
constexpr std::uint32_t kRelationsIndexPage = 12;   // and the two after it
constexpr std::uint32_t kFirstMapPage = 15;

enum ColType : std::uint8_t {
    tBool = 0x01, tByte = 0x02, tInt = 0x03, tLong = 0x04, tMoney = 0x05, tSingle = 0x06,
    tDouble = 0x07, tDate = 0x08, tBinary = 0x09, tText = 0x0a, tOle = 0x0b, tMemo = 0x0c,
};

void put16(char* p, std::uint32_t v)
{
    p[0] = static_cast<char>(v & 0xff);
    p[1] = static_cast<char>((v >> 8) & 0xff);
}
void put32(char* p, std::uint32_t v)
{
    put16(p, v & 0xffff);
    put16(p + 2, v >> 16);
}
void add8(std::string& s, std::uint32_t v) { s.push_back(static_cast<char>(v & 0xff)); }
void add16(std::string& s, std::uint32_t v)
{
    add8(s, v);
    add8(s, v >> 8);
}
void add32(std::string& s, std::uint32_t v)
{
    add16(s, v & 0xffff);
    add16(s, v >> 16);
}
std::uint32_t get16(const char* p)
{
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8;
}
std::uint32_t get32(const char* p) { return get16(p) | get16(p + 2) << 16; }

std::uint32_t dataPointer(std::uint32_t page, int row) { return page << 8 | std::uint32_t(row); }

// ---- text ------------------------------------------------------------------

/// Jet 3 text; the position of the first character outside the code page, or -1.
qsizetype encodeJet3(QStringView s, std::string& out)
{
    out.clear();
    out.reserve(static_cast<std::size_t>(s.size()));
    for (qsizetype i = 0; i < s.size(); ++i) {
        const int b = codepage::codeOf(s[i]);
        if (b < 0)
            return i;
        add8(out, static_cast<std::uint32_t>(b));
    }
    return -1;
}

void encodeUcs2(QStringView s, std::string& out)
{
    out.resize(static_cast<std::size_t>(s.size()) * 2);
    for (qsizetype i = 0; i < s.size(); ++i)
        put16(&out[static_cast<std::size_t>(i) * 2], s[i].unicode());
}

/// Jet 4 text, compressed when allowed and shorter.
void encodeJet4(QStringView s, std::string& out, bool mayCompress)
{
    if (mayCompress && !s.isEmpty()) {
        std::size_t size = 2;
        bool narrow = true, possible = true;
        for (QChar qc : s) {
            const char16_t c = qc.unicode();
            if ((c & 0xff) == 0) {
                possible = false;
                break;
            }
            const bool fits = c < 0x100;
            if (fits != narrow) {
                ++size;
                narrow = fits;
            }
            size += fits ? 1 : 2;
        }
        if (possible && size < static_cast<std::size_t>(s.size()) * 2) {
            out.clear();
            out.reserve(size);
            out.push_back('\xff');
            out.push_back('\xfe');
            narrow = true;
            for (QChar qc : s) {
                const char16_t c = qc.unicode();
                const bool fits = c < 0x100;
                if (fits != narrow) {
                    out.push_back('\0');
                    narrow = fits;
                }
                if (fits)
                    add8(out, c);
                else
                    add16(out, c);
            }
            return;
        }
    }
    encodeUcs2(s, out);
}

// ---- columns and rows --------------------------------------------------------

struct Col {
    QString name;
    std::uint8_t type = tText;
    int length = 255;       ///< characters for text, bytes for binary
    int engineType = jet::dbText;
    std::uint8_t flags = 0;  ///< column flags; 0: the writer's own for the column's kind
    // Layout, filled by Layout::Layout.
    int number = 0;
    bool fixed = false;
    int fixedOffset = 0;
    int fixedSize = 0;
    int varIndex = 0;       ///< for a fixed column: the variable columns before it
};

bool isLong(std::uint8_t type) { return type == tMemo || type == tOle; }

int fixedSizeOf(std::uint8_t type)
{
    switch (type) {
    case tBool: return 0;
    case tByte: return 1;
    case tInt: return 2;
    case tLong:
    case tSingle: return 4;
    case tMoney:
    case tDouble:
    case tDate: return 8;
    default: return -1;
    }
}

struct Layout {
    std::vector<Col> cols;
    int fixedBytes = 0;
    int varCount = 0;
    bool system = false;    ///< a system table's: written as Access writes those

    explicit Layout(std::vector<Col> c, bool sys = false) : cols(std::move(c)), system(sys)
    {
        for (std::size_t i = 0; i < cols.size(); ++i) {
            Col& col = cols[i];
            col.number = static_cast<int>(i);
            const int size = fixedSizeOf(col.type);
            col.fixed = size >= 0;
            if (col.fixed) {
                col.fixedOffset = fixedBytes;
                col.fixedSize = size;
                col.varIndex = varCount;
                fixedBytes += size;
            } else {
                col.varIndex = varCount++;
            }
        }
    }
};

/// One column's value in a row about to be encoded.
struct Cell {
    bool null = true;
    bool flag = false;      ///< a Yes/No value
    std::string bytes;      ///< fixed-width bytes or the variable-width value
};

/// Encodes a row; empty when Jet 3's offsets cannot describe it.
void encodeRow(const Format& f, const Layout& L, const std::vector<Cell>& cells, std::string& out)
{
    const std::size_t n = L.cols.size();
    out.clear();
    if (f.jet3)
        add8(out, static_cast<std::uint32_t>(n));
    else
        add16(out, static_cast<std::uint32_t>(n));
    const std::size_t fixedAt = out.size();
    out.resize(fixedAt + static_cast<std::size_t>(L.fixedBytes), '\0');
    for (std::size_t i = 0; i < n; ++i) {
        const Col& c = L.cols[i];
        if (c.fixed && c.fixedSize > 0 && !cells[i].null)
            std::memcpy(&out[fixedAt + static_cast<std::size_t>(c.fixedOffset)], cells[i].bytes.data(),
                        static_cast<std::size_t>(c.fixedSize));
    }
    // Variable values in their order; offsets[v] is where value v starts.
    std::uint32_t offsets[kMaxColumns + 1];
    if (L.varCount > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            const Col& c = L.cols[i];
            if (c.fixed)
                continue;
            offsets[c.varIndex] = static_cast<std::uint32_t>(out.size());
            if (!cells[i].null)
                out += cells[i].bytes;
        }
        const int nv = L.varCount;
        const std::uint32_t end = static_cast<std::uint32_t>(out.size());
        offsets[nv] = end;
        const std::size_t maskBytes = (n + 7) / 8;
        if (f.jet3) {
            // Offsets are single bytes; jump k names the first offset at or
            // past (k + 1) * 256. Their number follows from the whole row's
            // length, which includes them: settle it by iteration.
            const std::size_t base = end + static_cast<std::size_t>(nv) + 1 + 1 + maskBytes;
            std::size_t jumps = 0;
            while ((base + jumps - 1) / 256 != jumps)
                jumps = (base + jumps - 1) / 256;
            const std::size_t needed = end / 256;
            if (jumps > needed + 1) {
                out.clear();
                return;
            }
            for (int v = nv; v >= 0; --v)
                add8(out, offsets[v]);
            for (std::size_t k = jumps; k-- > 0;) {
                std::uint32_t first = 0xff;   // a spare last jump stays 0xff
                if (k < needed) {
                    int v = 0;
                    while (offsets[v] < (k + 1) * 256)
                        ++v;
                    first = static_cast<std::uint32_t>(v);
                }
                add8(out, first);
            }
            add8(out, static_cast<std::uint32_t>(nv));
        } else {
            for (int v = nv; v >= 0; --v)
                add16(out, offsets[v]);
            add16(out, static_cast<std::uint32_t>(nv));
        }
    }
    const std::size_t maskAt = out.size();
    out.resize(maskAt + (n + 7) / 8, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        const bool set = L.cols[i].type == tBool ? cells[i].flag : !cells[i].null;
        if (set)
            out[maskAt + i / 8] = static_cast<char>(out[maskAt + i / 8] | (1 << (i % 8)));
    }
}

// ---- pages ---------------------------------------------------------------------

/// A data or long-value page being filled from its end towards its header.
class PageBuilder {
public:
    PageBuilder(const Format& f, std::uint32_t owner) : f_(f), owner_(owner), buf_(static_cast<std::size_t>(f.page), '\0')
    {
        top_ = f.page;
    }
    bool empty() const { return rows_ == 0; }
    bool fits(std::size_t len) const
    {
        return rows_ < kMaxRowsPerPage && top_ - static_cast<int>(len) >= headerEnd(rows_ + 1);
    }
    /// Largest row an empty page takes.
    static std::size_t maxRow(const Format& f) { return static_cast<std::size_t>(f.page - f.rowCountAt - 2 - 2); }
    int add(const char* data, std::size_t len)
    {
        top_ -= static_cast<int>(len);
        std::memcpy(&buf_[static_cast<std::size_t>(top_)], data, len);
        put16(&buf_[static_cast<std::size_t>(f_.rowCountAt + 2 + 2 * rows_)], static_cast<std::uint32_t>(top_));
        return rows_++;
    }
    int add(const std::string& row) { return add(row.data(), row.size()); }
    /// The finished page; the builder is empty again afterwards.
    const std::string& finish()
    {
        buf_[0] = 0x01;
        buf_[1] = 0x01;
        put16(&buf_[2], static_cast<std::uint32_t>(top_ - headerEnd(rows_)));
        put32(&buf_[4], owner_);
        put16(&buf_[static_cast<std::size_t>(f_.rowCountAt)], static_cast<std::uint32_t>(rows_));
        return buf_;
    }
    void reset()
    {
        std::fill(buf_.begin(), buf_.end(), '\0');
        rows_ = 0;
        top_ = f_.page;
    }

    std::uint32_t number = 0;   ///< the page it will be written to, once it holds a row

private:
    int headerEnd(int rows) const { return f_.rowCountAt + 2 + 2 * rows; }

    Format f_;
    std::uint32_t owner_;
    std::string buf_;
    int rows_ = 0;
    int top_ = 0;
};

/// A usage map's row for a bitmap of `mapBytes` bytes starting at `start`.
std::string inlineMap(const Format& f, std::uint32_t start, const std::vector<std::uint32_t>& pages)
{
    std::string row;
    add8(row, 0);
    add32(row, start);
    row.append(static_cast<std::size_t>(f.mapBytes), '\0');
    for (std::uint32_t p : pages)
        row[5 + (p - start) / 8] = static_cast<char>(row[5 + (p - start) / 8] | (1 << ((p - start) % 8)));
    return row;
}

bool fitsInline(const Format& f, const std::vector<std::uint32_t>& pages)
{
    return pages.empty() || pages.back() - pages.front() < std::uint32_t(f.mapBytes) * 8;
}

// ---- table definitions ---------------------------------------------------------

/// One index of a table, as its definition describes it: Access's system
/// tables have them; the tables the writer adds have none. Every index here
/// is both a "real" index (its pages) and a "logical" one (its name and
/// kind), one for one.
struct IndexDef {
    const char* name;
    std::vector<int> columns;     ///< column numbers, each in ascending order
    std::uint8_t flags = 0;       ///< 0x01 unique, 0x02 ignore Nulls, 0x08 required
    bool primary = false;
    std::uint32_t root = 0;       ///< its (only) leaf page
    std::uint32_t usedMap = 0;    ///< data pointer of its usage map's row
    std::uint32_t keys = 0;       ///< count of distinct keys
};

/// The usage maps of a memo or OLE column: the long-value pages it owns.
struct LongValueMaps {
    int column = 0;
    std::uint32_t usedMap = 0, freeMap = 0;   ///< data pointers of the maps' rows
};

struct TableDef {
    const Layout* layout;
    std::uint32_t rows = 0;
    std::uint32_t usedMap = 0;   ///< data pointers of the usage maps' rows
    std::uint32_t freeMap = 0;
    std::vector<IndexDef> indexes{};
    std::vector<LongValueMaps> longValues{};   ///< in the order of the columns' names
};

/// Where the definition's fixed part ends: the index counts come before.
std::size_t definitionHeadEnd(const Format& f) { return f.jet3 ? 43 : 63; }
/// Bytes of each index's entry between the fixed part and the columns.
std::size_t realIndexEntry(const Format& f) { return f.jet3 ? 8 : 12; }
/// Where the column entries start in a definition with that many indexes.
std::size_t columnsAt(const Format& f, std::size_t indexes) { return definitionHeadEnd(f) + indexes * realIndexEntry(f); }
/// Where a definition's row count is.
std::size_t rowCountAt(const Format& f) { return f.jet3 ? 12 : 16; }

void addName(const Format& f, std::string& s, const QString& name)
{
    std::string b;
    if (f.jet3) {
        encodeJet3(name, b);   // checked by the caller
        add8(s, static_cast<std::uint32_t>(b.size()));
    } else {
        encodeUcs2(name, b);
        add16(s, static_cast<std::uint32_t>(b.size()));
    }
    s += b;
}

/// The column entries and names: the part of a definition that says what a
/// row holds. Every column carries the sort order "General" (and in Jet 3 the
/// code page), as Access writes them.
std::string columnBlock(const Format& f, const Layout& L)
{
    std::string s;
    for (const Col& c : L.cols) {
        int length = c.fixed ? c.fixedSize : 0;
        if (c.type == tText)
            length = f.jet3 ? c.length : c.length * 2;
        else if (c.type == tBinary)
            length = c.length;
        else if (c.type == tBool)
            length = 1;
        std::uint32_t flags = c.flags;
        if (flags == 0)
            flags = (c.fixed ? 0x01 : 0) | 0x02 | (L.system ? 0x10 : 0);
        add8(s, c.type);
        if (f.jet3) {
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, static_cast<std::uint32_t>(c.varIndex));
            add16(s, static_cast<std::uint32_t>(L.system ? 0 : c.number));
            add16(s, 1);
            add16(s, 0x0409);   // sort order "General"
            add16(s, 1252);     // code page
            add8(s, flags);
        } else {
            add32(s, 0);
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, static_cast<std::uint32_t>(c.varIndex));
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, 0x0409);   // sort order "General"
            add16(s, 0);
            add8(s, flags);
            add8(s, c.type == tText || c.type == tMemo ? (L.system ? 0 : 0x01) : 0);   // Unicode compression
            add32(s, 0);
        }
        add16(s, static_cast<std::uint32_t>(c.fixed ? c.fixedOffset : 0));
        add16(s, static_cast<std::uint32_t>(length));
    }
    for (const Col& c : L.cols)
        addName(f, s, c.name);
    return s;
}

/// A whole definition, as one run of bytes from the page's start; pages
/// after the first repeat an 8-byte header and go on at offset 8. It ends
/// with the list of the long-value columns' usage maps and the FF FF that
/// closes it; its length field counts every byte from the page's start.
std::string definitionBytes(const Format& f, const TableDef& t)
{
    const Layout& L = *t.layout;
    std::string s(definitionHeadEnd(f), '\0');
    s[0] = 0x02;
    s[1] = 0x01;
    if (f.jet3) {
        s[2] = 'V';
        s[3] = 'C';
    }
    put32(&s[rowCountAt(f)], t.rows);
    if (!f.jet3)
        s[24] = 0x01;
    const std::size_t type = f.jet3 ? 20 : 40;
    s[type] = L.system ? 0x53 : 0x4e;
    put16(&s[type + 1], static_cast<std::uint32_t>(L.cols.size()));
    put16(&s[type + 3], static_cast<std::uint32_t>(L.varCount));
    put16(&s[type + 5], static_cast<std::uint32_t>(L.cols.size()));
    put32(&s[type + 7], static_cast<std::uint32_t>(t.indexes.size()));
    put32(&s[type + 11], static_cast<std::uint32_t>(t.indexes.size()));
    put32(&s[type + 15], t.usedMap);
    put32(&s[type + 19], t.freeMap);
    for (const IndexDef& x : t.indexes) {
        add32(s, 0);
        add32(s, x.keys);
        if (!f.jet3)
            add32(s, 0);
    }
    s += columnBlock(f, L);
    for (const IndexDef& x : t.indexes) {
        if (!f.jet3)
            add32(s, 0);
        for (std::size_t k = 0; k < 10; ++k) {
            add16(s, k < x.columns.size() ? static_cast<std::uint32_t>(x.columns[k]) : 0xffff);
            add8(s, k < x.columns.size() ? 0x01 : 0);
        }
        add32(s, x.usedMap);
        add32(s, x.root);
        if (!f.jet3)
            add32(s, 0);
        add8(s, x.flags | (f.jet3 ? 0 : 0x80));
        if (!f.jet3)
            s.append(5, '\0');
    }
    // The logical indexes in the order of their names, each naming its real one.
    std::vector<std::size_t> byName(t.indexes.size());
    for (std::size_t i = 0; i < byName.size(); ++i)
        byName[i] = i;
    std::sort(byName.begin(), byName.end(),
              [&](std::size_t a, std::size_t b) { return std::strcmp(t.indexes[a].name, t.indexes[b].name) < 0; });
    for (std::size_t i : byName) {
        if (!f.jet3)
            add32(s, 0);
        add32(s, static_cast<std::uint32_t>(i));
        add32(s, static_cast<std::uint32_t>(i));
        add8(s, 0);              // no foreign key: no other table,
        add32(s, 0xffffffff);    // no other index,
        add32(s, 0);             // no other table's page
        add8(s, 0x04);           // (the cascade bytes as Access leaves them)
        add8(s, 0x04);
        add8(s, t.indexes[i].primary ? 0x01 : 0);
        if (!f.jet3)
            add32(s, 0);
    }
    for (std::size_t i : byName)
        addName(f, s, QString::fromLatin1(t.indexes[i].name));
    for (const LongValueMaps& m : t.longValues) {
        add16(s, static_cast<std::uint32_t>(m.column));
        add32(s, m.usedMap);
        add32(s, m.freeMap);
    }
    add16(s, 0xffff);
    put32(&s[8], static_cast<std::uint32_t>(s.size()));
    return s;
}

int definitionPages(const Format& f, std::size_t bytes)
{
    if (bytes <= static_cast<std::size_t>(f.page))
        return 1;
    const std::size_t rest = bytes - static_cast<std::size_t>(f.page), per = static_cast<std::size_t>(f.page - 8);
    return 1 + static_cast<int>((rest + per - 1) / per);
}

/// The definition's pages, the first at `first`, chained.
std::vector<std::string> definitionPageImages(const Format& f, const std::string& def, std::uint32_t first)
{
    const int count = definitionPages(f, def.size());
    std::vector<std::string> pages;
    std::size_t from = 0;
    for (int i = 0; i < count; ++i) {
        std::string p(static_cast<std::size_t>(f.page), '\0');
        const std::size_t at = i == 0 ? 0 : 8;
        const std::size_t take = std::min(def.size() - from, static_cast<std::size_t>(f.page) - at);
        std::memcpy(&p[at], def.data() + from, take);
        from += take;
        p[0] = 0x02;
        p[1] = 0x01;
        if (f.jet3) {
            p[2] = 'V';
            p[3] = 'C';
        } else {
            const int freeBytes = f.page - static_cast<int>(at + take);
            put16(&p[2], static_cast<std::uint32_t>(std::max(freeBytes - 8, 0)));
        }
        put32(&p[4], i + 1 < count ? first + static_cast<std::uint32_t>(i) + 1 : 0);
        pages.push_back(std::move(p));
    }
    return pages;
}

/// The long-value columns of a layout in the order their maps are listed:
/// by name.
std::vector<int> longValueColumns(const Layout& L)
{
    std::vector<int> cols;
    for (const Col& c : L.cols)
        if (isLong(c.type))
            cols.push_back(c.number);
    std::sort(cols.begin(), cols.end(), [&](int a, int b) {
        return L.cols[static_cast<std::size_t>(a)].name.compare(L.cols[static_cast<std::size_t>(b)].name, Qt::CaseInsensitive) < 0;
    });
    return cols;
}

// ---- indexes -----------------------------------------------------------------------

/// Index keys sort as their bytes do. A number: a flag byte, then the value
/// big-endian with its sign bit flipped. A text: the flag, then the sort
/// codes of the order "General" (case-blind), then an end mark.
void addKeyLong(std::string& key, std::int32_t v)
{
    const std::uint32_t u = static_cast<std::uint32_t>(v) ^ 0x80000000u;
    key.push_back('\x7f');
    for (int shift = 24; shift >= 0; shift -= 8)
        key.push_back(static_cast<char>((u >> shift) & 0xff));
}

/// The sort codes of printable ASCII (0x20 to 0x7E) in the order "General":
/// one or two bytes a character; 0 where the character sorts by rules of its
/// own (Jet 4's hyphen and apostrophe), which this writer does not write.
const std::uint16_t* generalCodes(const Format& f)
{
    static const std::uint16_t jet3[95] = {
        0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f, 0x20,   //  !"#$%&'()*+,-./
        0x56, 0x57, 0x58, 0x59, 0x5a, 0x5b, 0x5c, 0x5d, 0x5e, 0x5f,                                       // 0-9
        0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,                                                         // :;<=>?@
        0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x6b, 0x6c, 0x6d, 0x6f,                     // A-M
        0x70, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7a, 0x7b, 0x7c, 0x7d, 0x7e,                     // N-Z
        0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d,                                                               // [\]^_`
        0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x6b, 0x6c, 0x6d, 0x6f,                     // a-m
        0x70, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7a, 0x7b, 0x7c, 0x7d, 0x7e,                     // n-z
        0x2e, 0x2f, 0x30, 0x31,                                                                           // {|}~
    };
    static const std::uint16_t jet4[95] = {
        0x07, 0x09, 0x0a, 0x0c, 0x0e, 0x10, 0x12, 0, 0x14, 0x16, 0x18, 0x2c, 0x1a, 0, 0x1c, 0x1e,         //  !"#$%&'()*+,-./
        0x36, 0x38, 0x3a, 0x3c, 0x3e, 0x40, 0x42, 0x44, 0x46, 0x48,                                       // 0-9
        0x20, 0x22, 0x2e, 0x30, 0x32, 0x24, 0x26,                                                         // :;<=>?@
        0x4a, 0x4c, 0x4d, 0x4f, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5b, 0x5c, 0x5e, 0x60,                     // A-M
        0x62, 0x64, 0x66, 0x68, 0x69, 0x6b, 0x6d, 0x6f, 0x71, 0x73, 0x75, 0x76, 0x78,                     // N-Z
        0x27, 0x29, 0x2a, 0x2b02, 0x2b03, 0x2b07,                                                         // [\]^_`
        0x4a, 0x4c, 0x4d, 0x4f, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5b, 0x5c, 0x5e, 0x60,                     // a-m
        0x62, 0x64, 0x66, 0x68, 0x69, 0x6b, 0x6d, 0x6f, 0x71, 0x73, 0x75, 0x76, 0x78,                     // n-z
        0x2b09, 0x2b0b, 0x2b0d, 0x2b0f,                                                                   // {|}~
    };
    return f.jet3 ? jet3 : jet4;
}

/// Adds the key of a text; the position of the first character it has no
/// code for, or -1.
qsizetype addKeyText(const Format& f, std::string& key, QStringView text)
{
    const std::uint16_t* codes = generalCodes(f);
    key.push_back('\x7f');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const std::uint16_t code = c >= 0x20 && c <= 0x7e ? codes[c - 0x20] : 0;
        if (code == 0)
            return i;
        if (code > 0xff)
            key.push_back(static_cast<char>(code >> 8));
        key.push_back(static_cast<char>(code & 0xff));
    }
    if (!f.jet3)
        key.push_back('\x01');
    key.push_back('\0');
    return -1;
}

/// A leaf entry: the key, then the row's page (3 bytes, big-endian) and row.
std::string leafEntry(std::string key, std::uint32_t pointer)
{
    key.push_back(static_cast<char>((pointer >> 24) & 0xff));
    key.push_back(static_cast<char>((pointer >> 16) & 0xff));
    key.push_back(static_cast<char>((pointer >> 8) & 0xff));
    key.push_back(static_cast<char>(pointer & 0xff));
    return key;
}

std::size_t leafMaskAt(const Format& f) { return f.jet3 ? 0x16 : 0x1b; }
std::size_t leafEntriesAt(const Format& f) { return f.jet3 ? 0xf8 : 0x1e0; }

/// An index's only page, a leaf holding the entries in their order; empty
/// when they do not fit. Its bitmap marks where each entry ends.
std::string leafPage(const Format& f, std::uint32_t table, std::vector<std::string> entries)
{
    std::sort(entries.begin(), entries.end());
    std::string p(static_cast<std::size_t>(f.page), '\0');
    p[0] = 0x04;
    p[1] = 0x01;
    put32(&p[4], table);
    std::size_t at = leafEntriesAt(f);
    for (const std::string& e : entries) {
        if (at + e.size() > p.size())
            return {};
        std::memcpy(&p[at], e.data(), e.size());
        at += e.size();
        const std::size_t bit = at - leafEntriesAt(f);
        p[leafMaskAt(f) + bit / 8] = static_cast<char>(p[leafMaskAt(f) + bit / 8] | (1 << (bit % 8)));
    }
    put16(&p[2], static_cast<std::uint32_t>(p.size() - at));
    return p;
}

/// The entries of a leaf page that leafPage made.
std::vector<std::string> leafEntries(const Format& f, const std::string& p)
{
    std::vector<std::string> entries;
    const std::size_t first = leafEntriesAt(f), end = p.size() - get16(&p[2]);
    std::size_t from = first;
    for (std::size_t at = first + 1; at <= end && at < p.size(); ++at) {
        const std::size_t bit = at - first;
        if (std::uint8_t(p[leafMaskAt(f) + bit / 8]) & (1 << (bit % 8))) {
            entries.push_back(p.substr(from, at - from));
            from = at;
        }
    }
    return entries;
}

// ---- the system tables -----------------------------------------------------------

Col col(const char* name, std::uint8_t type, int length = 0, std::uint8_t flags = 0)
{
    Col c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.length = length;
    c.flags = flags;
    return c;
}

// The system tables' columns in Access's order (their numbers), with its
// column flags; a security id's column has flag 0x20 besides.
constexpr std::uint8_t kSidFlags = 0x32;

const Layout& catalogLayout(const Format& f)
{
    auto make = [](int binary) {
        return Layout({col("Id", tLong), col("ParentId", tLong), col("Name", tText, 255), col("Type", tInt),
                       col("DateCreate", tDate), col("DateUpdate", tDate), col("Owner", tBinary, binary, kSidFlags),
                       col("Flags", tLong), col("Database", tMemo), col("Connect", tMemo),
                       col("ForeignName", tText, 255), col("RmtInfoShort", tBinary, binary),
                       col("RmtInfoLong", tOle), col("Lv", tOle), col("LvProp", tOle), col("LvModule", tOle),
                       col("LvExtra", tOle)},
                      true);
    };
    static const Layout jet3 = make(255), jet4 = make(510);
    return f.jet3 ? jet3 : jet4;
}

const Layout& acesLayout(const Format& f)
{
    auto make = [](int binary) {
        return Layout({col("ObjectId", tLong), col("SID", tBinary, binary, kSidFlags), col("ACM", tLong),
                       col("FInheritable", tBool)},
                      true);
    };
    static const Layout jet3 = make(255), jet4 = make(510);
    return f.jet3 ? jet3 : jet4;
}

const Layout& queriesLayout(const Format& f)
{
    static const Layout jet3({col("ObjectId", tLong), col("Attribute", tByte), col("Order", tBinary, 255),
                              col("Name1", tText, 255), col("Name2", tText, 255), col("Expression", tMemo),
                              col("Flag", tInt)},
                             true);
    static const Layout jet4({col("ObjectId", tLong), col("Attribute", tByte), col("Order", tBinary, 510),
                              col("Name1", tText, 255), col("Name2", tText, 255), col("Expression", tMemo),
                              col("Flag", tInt), col("LvExtra", tLong)},
                             true);
    return f.jet3 ? jet3 : jet4;
}

const Layout& relationshipsLayout()
{
    static const Layout L({col("szRelationship", tText, 255), col("grbit", tLong), col("ccolumn", tLong),
                           col("icolumn", tLong), col("szObject", tText, 255), col("szColumn", tText, 255),
                           col("szReferencedObject", tText, 255), col("szReferencedColumn", tText, 255)},
                          true);
    return L;
}

std::string fixedLong(std::int32_t v)
{
    std::string s;
    add32(s, static_cast<std::uint32_t>(v));
    return s;
}

std::string fixedDouble(double d)
{
    std::string s(8, '\0');
    std::memcpy(&s[0], &d, 8);
    return s;
}

double nowSerial()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return jet::toDateTime({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}).serial;
}

// Security ids as Access writes them in a database made under its default
// workgroup: the engine's (owner of the system objects), the default user
// "Admin"'s (owner of what that user makes), and two more that the default
// rights name. The workgroup's own "Admins" group has an id of every
// workgroup's own, and is left out.
enum class Sid { Engine, Admin, Creator, Users };

std::string sidBytes(const Format& f, Sid s)
{
    static const char jet3[4][2] = {{0x02, 0x03}, {0x03, 0x01}, {0x02, 0x01}, {0x02, 0x04}};
    static const char jet4[4][2] = {{char(0xa7), 0x31}, {char(0xa6), 0x33}, {char(0xa7), 0x33}, {char(0xa7), 0x36}};
    return std::string((f.jet3 ? jet3 : jet4)[static_cast<int>(s)], 2);
}

/// One row of MSysACEs: who may do what with an object.
struct Ace {
    std::uint32_t object;
    Sid sid;
    std::uint32_t rights;
    bool inheritable;
};

/// The rights an empty database made by Access gives its objects.
std::vector<Ace> defaultAces()
{
    return {
        {kTablesId, Sid::Users, 983294, true},       {kTablesId, Sid::Admin, 1048319, true},
        {kTablesId, Sid::Creator, 1048319, true},    {kDatabasesId, Sid::Admin, 393216, false},
        {kRelationshipsId, Sid::Users, 983294, true}, {kRelationshipsId, Sid::Admin, 393217, false},
        {kRelationshipsId, Sid::Creator, 1048575, true}, {kMSysDbId, Sid::Admin, 393230, false},
        {kMSysDbId, Sid::Creator, 14, false},        {kCatalogPage, Sid::Admin, 393216, false},
        {kCatalogPage, Sid::Creator, 20, false},     {kAcesPage, Sid::Admin, 393216, false},
        {kQueriesPage, Sid::Admin, 393216, false},   {kQueriesPage, Sid::Creator, 20, false},
        {kRelationsPage, Sid::Admin, 917504, false}, {kRelationsPage, Sid::Creator, 20, false},
    };
}

/// The rights on a table the writer adds: its owner's and the creator's.
std::vector<Ace> tableAces(std::uint32_t table)
{
    return {{table, Sid::Admin, 1048319, false}, {table, Sid::Creator, 1048319, false}};
}

std::string aceRow(const Format& f, const Ace& a)
{
    const Layout& L = acesLayout(f);
    std::vector<Cell> cells(L.cols.size());
    cells[0].null = false;
    add32(cells[0].bytes, a.object);
    cells[1].null = false;
    cells[1].bytes = sidBytes(f, a.sid);
    cells[2].null = false;
    add32(cells[2].bytes, a.rights);
    cells[3].null = false;
    cells[3].flag = a.inheritable;
    std::string row;
    encodeRow(f, L, cells, row);
    return row;
}

/// The database's properties (MSysDb's LvProp): "AccessVersion", the
/// version of the format: "07.53" for Access 97, "08.50" for Access 2000.
std::string databaseProperties(const Format& f)
{
    const QString name = QStringLiteral("AccessVersion");
    const QString version = f.jet3 ? QStringLiteral("07.53") : QStringLiteral("08.50");
    std::string nameBytes, valueBytes;
    if (f.jet3) {
        encodeJet3(name, nameBytes);
        encodeJet3(version, valueBytes);
    } else {
        encodeUcs2(name, nameBytes);
        encodeUcs2(version, valueBytes);
    }
    std::string s(f.jet3 ? std::string("KKD\0", 4) : std::string("MR2\0", 4));
    // The names.
    add32(s, static_cast<std::uint32_t>(4 + 2 + 2 + nameBytes.size()));
    add16(s, 0x0080);
    add16(s, static_cast<std::uint32_t>(nameBytes.size()));
    s += nameBytes;
    // The values of the object itself (a block of no name): one text.
    const std::size_t value = 2 + 1 + 1 + 2 + 2 + valueBytes.size();
    add32(s, static_cast<std::uint32_t>(4 + 2 + 6 + value));
    add16(s, 0x0000);
    add32(s, 6);
    add16(s, 0);
    add16(s, static_cast<std::uint32_t>(value));
    add8(s, 0);        // not a DDL property
    add8(s, tText);    // of type text
    add16(s, 0);       // the first name
    add16(s, static_cast<std::uint32_t>(valueBytes.size()));
    s += valueBytes;
    return s;
}

/// A catalogue row. `longValue`, for LvProp, is the 12-byte field (and the
/// value when it stays in the row).
struct CatalogEntry {
    std::uint32_t id;
    std::uint32_t parent;
    QString name;
    int type;
    std::uint32_t flags;
    Sid owner;
    std::string lvProp;
};

std::string catalogRow(const Format& f, const CatalogEntry& e, double now)
{
    const Layout& L = catalogLayout(f);
    std::vector<Cell> cells(L.cols.size());
    auto set = [&](std::size_t i, std::string bytes) {
        cells[i].null = false;
        cells[i].bytes = std::move(bytes);
    };
    set(0, fixedLong(static_cast<std::int32_t>(e.id)));
    set(1, fixedLong(static_cast<std::int32_t>(e.parent)));
    std::string text;
    if (f.jet3)
        encodeJet3(e.name, text);
    else
        encodeUcs2(e.name, text);   // the system tables' text is never compressed
    set(2, text);
    std::string t;
    add16(t, static_cast<std::uint32_t>(e.type));
    set(3, t);
    set(4, fixedDouble(now));
    set(5, fixedDouble(now));
    set(6, sidBytes(f, e.owner));
    set(7, fixedLong(static_cast<std::int32_t>(e.flags)));
    if (!e.lvProp.empty())
        set(14, e.lvProp);
    std::string row;
    encodeRow(f, L, cells, row);
    return row;
}

/// The keys of a catalogue row in its two indexes, "ParentIdName" and "Id";
/// -1, or where the name has a character no key is written for.
qsizetype catalogKeys(const Format& f, const CatalogEntry& e, std::string& parentName, std::string& id)
{
    parentName.clear();
    id.clear();
    addKeyLong(parentName, static_cast<std::int32_t>(e.parent));
    addKeyLong(id, static_cast<std::int32_t>(e.id));
    return addKeyText(f, parentName, e.name);
}

std::string aceKey(const Ace& a)
{
    std::string key;
    addKeyLong(key, static_cast<std::int32_t>(a.object));
    return key;
}

// ---- the file ------------------------------------------------------------------

void rc4(const std::uint8_t* key, int keyLen, char* data, int len)
{
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[n] = static_cast<char>(data[n] ^ s[(s[i] + s[j]) & 0xff]);
    }
}

std::string headerPage(const Format& f)
{
    std::string p(static_cast<std::size_t>(f.page), '\0');
    p[1] = 0x01;
    std::memcpy(&p[4], "Standard Jet DB", 15);
    p[0x14] = f.jet3 ? 0 : 1;
    // The masked part: sort order, code page, no encryption key, no
    // password, creation date 0 (so that Jet 4's password mask is empty).
    if (f.jet3)
        put16(&p[0x3a], 0x0409);
    else
        put16(&p[0x6e], 0x0409);
    put16(&p[0x3c], 1252);
    static const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, 4, &p[0x18], f.jet3 ? 126 : 128);
    return p;
}

QString sizeText(qint64 bytes)
{
    if (bytes % (qint64(1) << 30) == 0)
        return QStringLiteral("%1 GB").arg(bytes >> 30);
    return QStringLiteral("%1 MB").arg(bytes / double(1 << 20), 0, 'g', 3);
}

[[noreturn]] void refuse(const QString& why) { throw jet::JetError(jet::errExternal, why); }

/// Why Access 97 cannot keep text whose character at bad is outside Windows-1252.
QString codePageRefusal(const QString& where, QStringView text, qsizetype bad)
{
    char32_t c = text[bad].unicode();
    if (text[bad].isHighSurrogate() && bad + 1 < text.size() && text[bad + 1].isLowSurrogate())
        c = QChar::surrogateToUcs4(text[bad], text[bad + 1]);
    return QStringLiteral("%1 holds the character '%2' (U+%3), which an Access 97 database cannot store (it holds "
                          "the characters of Windows-1252 only).  Export to Access 2000 instead: it holds every "
                          "character.")
        .arg(where, QString::fromUcs4(&c, 1), QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0'));
}

class JetFile {
public:
    JetFile(const QString& path, const Format& f) : file_(path), f_(f)
    {
        // Unbuffered: every page goes to the system as it is written, so a
        // failing write is seen at once, with its reason.
        if (!file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            fail();
        size_ = file_.size();
        pages_ = static_cast<std::uint32_t>(size_ / f.page);
    }

    /// True when the file is made of whole pages.
    bool whole() const { return size_ % f_.page == 0; }
    /// Pages the file has, with those allocated since it was opened.
    std::uint32_t pages() const { return pages_; }

    std::string read(std::uint32_t n)
    {
        std::string p(static_cast<std::size_t>(f_.page), '\0');
        if (!file_.seek(qint64(n) * f_.page) || file_.read(p.data(), f_.page) != f_.page)
            refuse(QStringLiteral("Cannot read page %1 of '%2'.").arg(n).arg(file_.fileName()));
        return p;
    }

    /// Writes page n; a page the file held before is kept first, for cutBack().
    void write(std::uint32_t n, const std::string& page)
    {
        if (qint64(n) * f_.page < size_
            && std::none_of(before_.begin(), before_.end(), [n](const auto& p) { return p.first == n; }))
            before_.emplace_back(n, read(n));
        if (!file_.seek(qint64(n) * f_.page))
            fail();
        const qint64 done = file_.write(page.data(), f_.page);
        if (done == f_.page)
            return;
        if (done < 0)
            fail();
        // A short write (a full disk, a size limit) leaves no reason in the
        // file object: the rest, written once more, gives the system's.
        const ssize_t more = ::pwrite(file_.handle(), page.data() + done, size_t(f_.page - done), qint64(n) * f_.page + done);
        if (more != f_.page - done)
            fail(more < 0 ? errno : ENOSPC);
    }

    /// Puts the file back as it was opened, as far as the system lets it:
    /// the pages it held are written back and the new ones cut off.
    void cutBack()
    {
        for (const auto& [n, page] : before_)
            if (file_.seek(qint64(n) * f_.page))
                file_.write(page.data(), f_.page);
        file_.resize(size_);
        file_.flush();
    }

    /// Reserves count pages at the end of the file; the first one's number.
    std::uint32_t allocate(std::uint32_t count = 1)
    {
        if ((qint64(pages_) + count) * f_.page > f_.limit)
            refuse(QStringLiteral("The list does not fit in an %1 database, which can hold at most %2.  "
                                  "Export fewer rows or choose another format.")
                       .arg(QLatin1String(f_.name), sizeText(f_.limit)));
        const std::uint32_t first = pages_;
        pages_ += count;
        return first;
    }

    /// Flushes and syncs; throws when the data did not reach the disk.
    void close()
    {
        if (!file_.flush())
            fail();
        if (::fsync(file_.handle()) != 0)
            fail(errno);
        file_.close();
    }

private:
    /// err: the system's error number where the file object has none.
    [[noreturn]] void fail(int err = 0)
    {
        const QString reason = err ? QString::fromLocal8Bit(std::strerror(err)) : file_.errorString();
        throw jet::JetError(jet::errCannotOpen, QStringLiteral("Cannot write the file '%1': %2.").arg(file_.fileName(), reason));
    }

    QFile file_;
    Format f_;
    qint64 size_ = 0;
    std::uint32_t pages_ = 0;
    std::vector<std::pair<std::uint32_t, std::string>> before_;
};

// ---- the new table ---------------------------------------------------------------

/// The column a list's field becomes.
Col columnFor(const jet::ColumnInfo& info)
{
    Col c;
    c.name = info.name;
    c.engineType = info.type;
    switch (info.type) {
    case jet::dbBoolean: c.type = tBool; break;
    case jet::dbByte: c.type = tByte; break;
    case jet::dbInteger: c.type = tInt; break;
    case jet::dbLong: c.type = tLong; break;
    case jet::dbCurrency: c.type = tMoney; break;
    case jet::dbSingle: c.type = tSingle; break;
    case jet::dbDouble: c.type = tDouble; break;
    case jet::dbDate: c.type = tDate; break;
    case jet::dbText:
        if (info.size > 0 && info.size <= 255) {
            c.type = tText;
            c.length = info.size;
        } else {
            c.type = tMemo;
        }
        break;
    default:
        c.type = tMemo;   // memo and anything the file has no column for: its text
        c.engineType = jet::dbMemo;
        break;
    }
    return c;
}

/// Rows of usage maps, on pages of their own taken as they fill.
class MapRows {
public:
    MapRows(const Format& f, std::function<std::uint32_t()> allocate,
            std::function<void(std::uint32_t, const std::string&)> write)
        : page_(f, 0), allocate_(std::move(allocate)), write_(std::move(write))
    {
    }
    /// Adds a map's row; its data pointer.
    std::uint32_t add(const std::string& row)
    {
        if (!page_.fits(row.size()))
            finish();
        if (page_.empty())
            page_.number = allocate_();
        return dataPointer(page_.number, page_.add(row));
    }
    /// Writes the page being filled.
    void finish()
    {
        if (page_.empty())
            return;
        write_(page_.number, page_.finish());
        page_.reset();
    }

private:
    PageBuilder page_;
    std::function<std::uint32_t()> allocate_;
    std::function<void(std::uint32_t, const std::string&)> write_;
};

/// The row of a map of owned pages: inline when the pages lie close
/// together, else a list of map pages (made through allocate and write).
std::string usageMapRow(const Format& f, const std::vector<std::uint32_t>& pages, std::uint32_t near,
                        const std::function<std::uint32_t()>& allocate,
                        const std::function<void(std::uint32_t, const std::string&)>& write)
{
    if (fitsInline(f, pages))
        return inlineMap(f, pages.empty() ? near : pages.front(), pages);
    const std::uint32_t perPage = static_cast<std::uint32_t>(f.page - 4) * 8;
    const std::size_t mapSlots = static_cast<std::size_t>(f.mapBytes + 4) / 4;
    std::string row;
    add8(row, 1);
    std::size_t at = 0;
    for (std::size_t slot = 0; slot < mapSlots; ++slot) {
        const std::uint32_t lo = static_cast<std::uint32_t>(slot) * perPage, hi = lo + perPage;
        std::string bitmap;
        for (; at < pages.size() && pages[at] < hi; ++at) {
            if (bitmap.empty()) {
                bitmap.assign(static_cast<std::size_t>(f.page), '\0');
                bitmap[0] = 0x05;
                bitmap[1] = 0x01;
            }
            const std::uint32_t bit = pages[at] - lo;
            bitmap[4 + bit / 8] = static_cast<char>(bitmap[4 + bit / 8] | (1 << (bit % 8)));
        }
        std::uint32_t mapPage = 0;
        if (!bitmap.empty()) {
            mapPage = allocate();
            write(mapPage, bitmap);
        }
        add32(row, mapPage);
    }
    return row;
}

/// Page 1, the database's map of free pages, as Access keeps it: every page
/// of the file is in use, the pages past its end (as far as the map reaches)
/// are free. A file past what the map's row covers gets map pages: `mapPages`
/// holds those it has (0 where none), new ones are taken through allocate, and
/// all are written through write. Access puts a second, empty map after it.
std::string freePageMapPage(const Format& f, const std::function<std::uint32_t()>& pageCount,
                            std::vector<std::uint32_t> mapPages, const std::function<std::uint32_t()>& allocate,
                            const std::function<void(std::uint32_t, const std::string&)>& write)
{
    const std::uint32_t inlinePages = static_cast<std::uint32_t>(f.mapBytes) * 8;
    std::string row;
    if (mapPages.empty() && pageCount() <= inlinePages) {
        row = inlineMap(f, 0, {});
        for (std::uint32_t p = pageCount(); p < inlinePages; ++p)
            row[5 + p / 8] = static_cast<char>(row[5 + p / 8] | (1 << (p % 8)));
    } else {
        const std::uint32_t perPage = static_cast<std::uint32_t>(f.page - 4) * 8;
        const std::size_t slotCount = static_cast<std::size_t>(f.mapBytes + 4) / 4;
        mapPages.resize(slotCount, 0);
        // Each slot up to the one that holds the file's end has its page.
        for (bool more = true; more;) {
            more = false;
            for (std::size_t k = 0; k < slotCount && k * perPage <= pageCount(); ++k)
                if (mapPages[k] == 0) {
                    mapPages[k] = allocate();
                    more = true;
                }
        }
        const std::uint32_t n = pageCount();
        add8(row, 1);
        for (std::size_t k = 0; k < slotCount; ++k) {
            add32(row, mapPages[k]);
            if (mapPages[k] == 0)
                continue;
            std::string bitmap(static_cast<std::size_t>(f.page), '\0');
            bitmap[0] = 0x05;
            bitmap[1] = 0x01;
            const std::uint32_t lo = static_cast<std::uint32_t>(k) * perPage;
            for (std::uint32_t p = std::max(n, lo); p < lo + perPage; ++p)
                bitmap[4 + (p - lo) / 8] = static_cast<char>(bitmap[4 + (p - lo) / 8] | (1 << ((p - lo) % 8)));
            write(mapPages[k], bitmap);
        }
    }
    PageBuilder page(f, kFreeMapPage);
    page.add(row);
    page.add(inlineMap(f, 0, {}));
    return page.finish();
}

/// The map pages of a free-page map that has them (see freePageMapPage).
std::vector<std::uint32_t> freePageMapPages(const Format& f, const std::string& page)
{
    const std::size_t at = get16(&page[static_cast<std::size_t>(f.rowCountAt) + 2]) & 0x1fff;
    std::vector<std::uint32_t> mapPages;
    if (page[at] == 1)
        for (std::size_t k = at + 1; k + 4 <= at + 5 + static_cast<std::size_t>(f.mapBytes); k += 4)
            mapPages.push_back(get32(&page[k]));
    return mapPages;
}

/// Adds a row to a data page of the file that has room for it; its data
/// pointer, or 0 when it has none.
std::uint32_t addRowToPage(const Format& f, std::string& page, std::uint32_t number, const std::string& row)
{
    const std::uint32_t rows = get16(&page[static_cast<std::size_t>(f.rowCountAt)]);
    std::uint32_t lowest = static_cast<std::uint32_t>(f.page);
    for (std::uint32_t r = 0; r < rows; ++r)
        lowest = std::min(lowest, get16(&page[static_cast<std::size_t>(f.rowCountAt) + 2 + 2 * r]) & 0x1fff);
    const std::uint32_t headerEnd = static_cast<std::uint32_t>(f.rowCountAt) + 2 + 2 * (rows + 1);
    if (rows >= kMaxRowsPerPage || lowest < headerEnd + row.size())
        return 0;
    const std::uint32_t at = lowest - static_cast<std::uint32_t>(row.size());
    std::memcpy(&page[at], row.data(), row.size());
    put16(&page[static_cast<std::size_t>(f.rowCountAt) + 2 + 2 * rows], at);
    put16(&page[static_cast<std::size_t>(f.rowCountAt)], rows + 1);
    put16(&page[2], at - headerEnd);
    return dataPointer(number, static_cast<int>(rows));
}

class TableWriter {
public:
    TableWriter(JetFile& file, const Format& f, const QString& name, std::vector<Col> cols)
        : file_(file), f_(f), name_(name), layout_(std::move(cols)), cells_(layout_.cols.size()), data_(f, 0),
          slotOf_(layout_.cols.size(), -1)
    {
        for (int c : longValueColumns(layout_)) {
            slotOf_[static_cast<std::size_t>(c)] = static_cast<int>(longValues_.size());
            longValues_.push_back({c, PageBuilder(f, kLvalOwner), {}});
        }
        tdefPages_ = definitionPages(f, definitionBytes(f, definition()).size());
        tdef_ = file_.allocate(static_cast<std::uint32_t>(tdefPages_));
        data_ = PageBuilder(f, tdef_);
    }

    void add(const std::vector<jet::Value>& row)
    {
        ++rows_;
        if (rows_ > 0xffffffffLL)
            refuse(QStringLiteral("An %1 table holds at most 4,294,967,295 rows.").arg(QLatin1String(f_.name)));
        static const jet::Value null;
        for (std::size_t i = 0; i < layout_.cols.size(); ++i)
            setCell(i, i < row.size() ? row[i] : null);
        encodeRow(f_, layout_, cells_, encoded_);
        if (encoded_.empty() || encoded_.size() > PageBuilder::maxRow(f_))
            refuse(QStringLiteral("Record %1 is too long for an %2 table (a record holds at most %3 bytes outside "
                                  "its memos).")
                       .arg(rows_)
                       .arg(QLatin1String(f_.name))
                       .arg(PageBuilder::maxRow(f_)));
        place(data_, encoded_, owned_);
    }

    /// Writes the pages still open, the usage maps and the definition, then
    /// enters the table in the catalogue and gives it its owner's rights.
    void finish()
    {
        flush(data_);
        for (LongValueColumn& lv : longValues_) {
            flush(lv.page);
            std::sort(lv.owned.begin(), lv.owned.end());
        }
        std::sort(owned_.begin(), owned_.end());

        const std::function<std::uint32_t()> allocate = [this] { return file_.allocate(); };
        const std::function<void(std::uint32_t, const std::string&)> write = [this](std::uint32_t n, const std::string& p) {
            file_.write(n, p);
        };
        MapRows maps(f_, allocate, write);
        TableDef def = definition();
        def.rows = static_cast<std::uint32_t>(rows_);
        def.usedMap = maps.add(usageMapRow(f_, owned_, tdef_, allocate, write));
        def.freeMap = maps.add(inlineMap(f_, owned_.empty() ? tdef_ : owned_.front(), {}));
        for (std::size_t i = 0; i < longValues_.size(); ++i) {
            const LongValueColumn& lv = longValues_[i];
            def.longValues[i].usedMap = maps.add(usageMapRow(f_, lv.owned, tdef_, allocate, write));
            def.longValues[i].freeMap = maps.add(inlineMap(f_, lv.owned.empty() ? tdef_ : lv.owned.front(), {}));
        }
        maps.finish();
        const auto images = definitionPageImages(f_, definitionBytes(f_, def), tdef_);
        for (std::size_t i = 0; i < images.size(); ++i)
            file_.write(tdef_ + static_cast<std::uint32_t>(i), images[i]);

        addToCatalog();
    }

private:
    struct LongValueColumn {
        int column;
        PageBuilder page;
        std::vector<std::uint32_t> owned;
    };

    TableDef definition() const
    {
        TableDef def{&layout_};
        for (const LongValueColumn& lv : longValues_)
            def.longValues.push_back({lv.column, 0, 0});
        return def;
    }

    [[noreturn]] void refuseCell(std::size_t col, const QString& why)
    {
        refuse(QStringLiteral("Record %1, column [%2]: %3").arg(rows_).arg(layout_.cols[col].name, why));
    }

    void setCell(std::size_t i, const jet::Value& given)
    {
        const Col& c = layout_.cols[i];
        Cell& cell = cells_[i];
        if (c.type == tBool) {   // Yes/No has no Null: it is No
            cell.null = false;
            cell.flag = !given.isNull() && given.toBool();
            return;
        }
        cell.null = given.isNull();
        if (cell.null)
            return;
        jet::Value converted;
        const jet::Value* v = &given;
        const bool isText = c.type == tText || c.type == tMemo;
        const bool kindFits = isText ? given.isText()
                              : c.type == tDate ? given.kind() == jet::Kind::Date
                                                : given.isNumber();
        if (!kindFits) {
            try {
                converted = jet::coerce(given, c.engineType);
            } catch (const jet::JetError& e) {
                refuseCell(i, e.description());
            }
            v = &converted;
            if (v->isNull()) {
                cell.null = true;
                return;
            }
        }
        std::string& b = cell.bytes;
        switch (c.type) {
        case tByte:
        case tInt:
        case tLong: {
            const std::int64_t n = v->toLong();
            const std::int64_t lo = c.type == tByte ? 0 : c.type == tInt ? -32768 : std::numeric_limits<std::int32_t>::min();
            const std::int64_t hi = c.type == tByte ? 255 : c.type == tInt ? 32767 : std::numeric_limits<std::int32_t>::max();
            if (n < lo || n > hi)
                refuseCell(i, QStringLiteral("%1 is outside the range of the column's type.").arg(n));
            const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(n));
            b.clear();
            if (c.type == tByte)
                add8(b, u);
            else if (c.type == tInt)
                add16(b, u);
            else
                add32(b, u);
            return;
        }
        case tMoney: {
            // Currency is a count of ten-thousandths in 64 bits: an amount
            // goes as its own count; a number of another kind (an expression
            // column typed Currency) is taken as the engine converts it.
            std::optional<jet::Currency> amount;
            if (v->isCurrency()) {
                amount = v->currency();
            } else {
                try {
                    amount = jet::coerce(*v, jet::dbCurrency).currency();
                } catch (const jet::JetError&) {
                }
            }
            if (!amount)
                refuseCell(i, QStringLiteral("the amount is outside the range of Currency."));
            const std::int64_t ticks = amount->units;
            const auto n = static_cast<std::uint64_t>(static_cast<std::int64_t>(ticks));
            b.resize(8);
            put32(&b[0], static_cast<std::uint32_t>(n));
            put32(&b[4], static_cast<std::uint32_t>(n >> 32));
            return;
        }
        case tSingle: {
            const float x = static_cast<float>(v->toDouble());
            b.resize(4);
            std::memcpy(&b[0], &x, 4);
            return;
        }
        case tDouble: {
            const double x = v->toDouble();
            b.resize(8);
            std::memcpy(&b[0], &x, 8);
            return;
        }
        case tDate: {
            const double x = v->toDate().serial;
            b.resize(8);
            std::memcpy(&b[0], &x, 8);
            return;
        }
        default: break;
        }
        const QString* s = v->textPtr();
        const QString fallback = s ? QString() : v->toString();
        const QStringView text = s ? QStringView(*s) : QStringView(fallback);
        if (c.type == tText && text.size() > c.length)
            refuseCell(i, QStringLiteral("the text is %1 characters long; the column holds %2.").arg(text.size()).arg(c.length));
        std::string& out = c.type == tText ? b : memo_;
        if (f_.jet3) {
            const qsizetype bad = encodeJet3(text, out);
            if (bad >= 0)
                refuse(codePageRefusal(QStringLiteral("The text in record %1, column [%2]").arg(rows_).arg(c.name), text, bad));
        } else {
            encodeJet4(text, out, c.type == tText || text.size() <= kMaxCompressedMemo);
        }
        if (c.type == tMemo)
            memoField(i, b);
    }

    /// The 12-byte memo field for memo_, with the value in the row or on the
    /// column's own long-value pages.
    void memoField(std::size_t col, std::string& b)
    {
        const std::size_t len = memo_.size();
        if (len > 0xffffff)
            refuseCell(col, QStringLiteral("the text is too long for a memo."));
        LongValueColumn& lv = longValues_[static_cast<std::size_t>(slotOf_[col])];
        std::uint32_t lenFlags = static_cast<std::uint32_t>(len), pointer = 0;
        const std::size_t single = PageBuilder::maxRow(f_);
        if (len <= kInlineMemo) {
            lenFlags |= 0x80000000u;
        } else if (len <= single) {
            lenFlags |= 0x40000000u;
            pointer = place(lv.page, memo_, lv.owned);
        } else {
            const std::size_t chunk = single - 4;
            const auto count = static_cast<std::uint32_t>((len + chunk - 1) / chunk);
            const std::uint32_t first = file_.allocate(count);
            PageBuilder page(f_, kLvalOwner);
            std::string piece;
            for (std::uint32_t k = 0; k < count; ++k) {
                piece.clear();
                add32(piece, k + 1 < count ? dataPointer(first + k + 1, 0) : 0);
                const std::size_t from = k * chunk;
                piece.append(memo_, from, std::min(chunk, len - from));
                page.reset();
                page.add(piece);
                file_.write(first + k, page.finish());
                lv.owned.push_back(first + k);
            }
            pointer = dataPointer(first, 0);
        }
        b.clear();
        add32(b, lenFlags);
        add32(b, pointer);
        add32(b, 0);
        if (len <= kInlineMemo)
            b += memo_;
    }

    /// Adds a row to the page (written first when full); its data pointer.
    /// A page taken anew is entered in `owned`.
    std::uint32_t place(PageBuilder& page, const std::string& row, std::vector<std::uint32_t>& owned)
    {
        if (!page.fits(row.size()))
            flush(page);
        if (page.empty()) {
            page.number = file_.allocate();
            owned.push_back(page.number);
        }
        return dataPointer(page.number, page.add(row));
    }

    void flush(PageBuilder& page)
    {
        if (page.empty())
            return;
        file_.write(page.number, page.finish());
        page.reset();
    }

    /// The table's row in the catalogue and its keys in the catalogue's two
    /// indexes; its owner's rights in MSysACEs and their key there; the
    /// counts of both tables' definitions.
    void addToCatalog()
    {
        const CatalogEntry entry{tdef_, kTablesId, name_, kTypeTable, 0, Sid::Admin, {}};
        std::string page = file_.read(kCatalogDataPage);
        const std::uint32_t at = addRowToPage(f_, page, kCatalogDataPage, catalogRow(f_, entry, nowSerial()));
        if (at == 0)
            refuse(QStringLiteral("The database's catalogue has no room for another table."));
        std::string nameKey, idKey;
        catalogKeys(f_, entry, nameKey, idKey);   // the name was checked before
        insertIntoLeaf(kNameIndexPage, kCatalogPage, leafEntry(nameKey, at));
        insertIntoLeaf(kIdIndexPage, kCatalogPage, leafEntry(idKey, at));
        file_.write(kCatalogDataPage, page);
        addToDefinition(kCatalogPage, 1, {1, 1}, 2);

        std::string aces = file_.read(kAcesDataPage);
        for (const Ace& a : tableAces(tdef_)) {
            const std::uint32_t row = addRowToPage(f_, aces, kAcesDataPage, aceRow(f_, a));
            if (row == 0)
                refuse(QStringLiteral("The database's catalogue has no room for another table."));
            insertIntoLeaf(kAcesIndexPage, kAcesPage, leafEntry(aceKey(a), row));
        }
        file_.write(kAcesDataPage, aces);
        addToDefinition(kAcesPage, static_cast<std::uint32_t>(tableAces(tdef_).size()), {1}, 1);
    }

    void insertIntoLeaf(std::uint32_t number, std::uint32_t table, const std::string& entry)
    {
        std::vector<std::string> entries = leafEntries(f_, file_.read(number));
        entries.push_back(entry);
        const std::string page = leafPage(f_, table, std::move(entries));
        if (page.empty())
            refuse(QStringLiteral("The database's catalogue has no room for another table."));
        file_.write(number, page);
    }

    /// Adds to a system table's row count and to its indexes' key counts.
    void addToDefinition(std::uint32_t number, std::uint32_t rows, const std::vector<std::uint32_t>& keys,
                         std::size_t indexes)
    {
        std::string def = file_.read(number);
        put32(&def[rowCountAt(f_)], get32(&def[rowCountAt(f_)]) + rows);
        for (std::size_t i = 0; i < keys.size() && i < indexes; ++i) {
            const std::size_t at = definitionHeadEnd(f_) + i * realIndexEntry(f_) + 4;
            put32(&def[at], get32(&def[at]) + keys[i]);
        }
        file_.write(number, def);
    }

    JetFile& file_;
    Format f_;
    QString name_;
    Layout layout_;
    std::vector<Cell> cells_;
    std::string encoded_, memo_;
    PageBuilder data_;
    std::vector<LongValueColumn> longValues_;
    std::vector<int> slotOf_;   ///< a column's place in longValues_, or -1
    std::vector<std::uint32_t> owned_;
    std::uint32_t tdef_ = 0;
    int tdefPages_ = 1;
    qint64 rows_ = 0;
};

/// The system tables: their definitions' pages, their rows' pages, their indexes.
struct SystemTable {
    const char* name;
    const Layout* layout;
    std::uint32_t page;
    std::uint32_t dataPage;   ///< 0: no rows
    std::vector<IndexDef> indexes{};
};

std::vector<SystemTable> systemTables(const Format& f)
{
    return {
        {"MSysObjects", &catalogLayout(f), kCatalogPage, kCatalogDataPage,
         {{"ParentIdName", {1, 2}, 0x01, false, kNameIndexPage}, {"Id", {0}, 0x01, true, kIdIndexPage}}},
        {"MSysACEs", &acesLayout(f), kAcesPage, kAcesDataPage, {{"ObjectId", {0}, 0x08, false, kAcesIndexPage}}},
        {"MSysQueries", &queriesLayout(f), kQueriesPage, 0,
         {{"ObjectIdAttribute", {0, 1, 2}, 0x01, true, kQueriesIndexPage}}},
        {"MSysRelationships", &relationshipsLayout(), kRelationsPage, 0,
         {{"szRelationship", {0}, 0x02, false, kRelationsIndexPage},
          {"szObject", {4}, 0x02, false, kRelationsIndexPage + 1},
          {"szReferencedObject", {6}, 0x02, false, kRelationsIndexPage + 2}}},
    };
}

/// Throws unless the file's catalogue is the one this writer makes: then its
/// pages and those of MSysACEs and of both tables' indexes are where the
/// writer put them.
void requireOwnCatalog(JetFile& file, const Format& f, const QString& path)
{
    bool own = file.whole() && file.pages() > kFirstMapPage;
    for (const SystemTable& t : systemTables(f)) {
        if (!own || (t.page != kCatalogPage && t.page != kAcesPage))
            continue;
        const std::string def = file.read(t.page);
        const std::string block = columnBlock(f, *t.layout);
        const std::size_t counts = f.jet3 ? 27 : 47;
        const std::string data = file.read(t.dataPage);
        own = def[0] == 0x02 && get32(&def[4]) == 0 && get32(&def[counts]) == t.indexes.size()
              && get32(&def[counts + 4]) == t.indexes.size()
              && def.compare(columnsAt(f, t.indexes.size()), block.size(), block) == 0 && data[0] == 0x01
              && get32(&data[4]) == t.page;
        for (const IndexDef& x : t.indexes) {
            const std::string leaf = own ? file.read(x.root) : std::string();
            own = own && leaf[0] == 0x04 && get32(&leaf[4]) == t.page
                  && std::all_of(leaf.begin() + 8, leaf.begin() + static_cast<std::ptrdiff_t>(leafMaskAt(f)),
                                 [](char c) { return c == 0; });
        }
    }
    if (!own)
        refuse(QStringLiteral("A table can only be added to an Access database that this program made; "
                              "'%1' is another one.")
                   .arg(path));
}

} // namespace

qint64 jetFileLimit(JetVersion version) { return formatOf(version).limit; }

QByteArray emptyJetDatabase(JetVersion version)
{
    const Format f = formatOf(version);
    std::vector<std::string> pages(kFirstMapPage);
    pages[0] = headerPage(f);

    const std::function<std::uint32_t()> allocate = [&pages] {
        pages.emplace_back();
        return static_cast<std::uint32_t>(pages.size() - 1);
    };
    const std::function<void(std::uint32_t, const std::string&)> write = [&pages](std::uint32_t n, const std::string& p) {
        pages[n] = p;
    };

    // The database's properties: in MSysDb's row when they fit, else on a
    // long-value page of LvProp's own.
    const std::string props = databaseProperties(f);
    std::string lvProp;
    std::vector<std::uint32_t> propPages;
    if (props.size() <= kInlineMemo) {
        add32(lvProp, static_cast<std::uint32_t>(props.size()) | 0x80000000u);
        add32(lvProp, 0);
        add32(lvProp, 0);
        lvProp += props;
    } else {
        const std::uint32_t page = allocate();
        PageBuilder lval(f, kLvalOwner);
        const int row = lval.add(props);
        pages[page] = lval.finish();
        propPages.push_back(page);
        add32(lvProp, static_cast<std::uint32_t>(props.size()) | 0x40000000u);
        add32(lvProp, dataPointer(page, row));
        add32(lvProp, 0);
    }

    const std::vector<SystemTable> tables = systemTables(f);
    std::vector<CatalogEntry> entries = {
        {kTablesId, kRootId, QStringLiteral("Tables"), kTypeContainer, kSystemFlags, Sid::Engine, {}},
        {kDatabasesId, kRootId, QStringLiteral("Databases"), kTypeContainer, kSystemFlags, Sid::Engine, {}},
        {kRelationshipsId, kRootId, QStringLiteral("Relationships"), kTypeContainer, kSystemFlags, Sid::Engine, {}},
        {kMSysDbId, kDatabasesId, QStringLiteral("MSysDb"), kTypeDatabase, kSystemFlags, Sid::Admin, lvProp},
    };
    for (const SystemTable& t : tables)
        entries.push_back({t.page, kTablesId, QString::fromLatin1(t.name), kTypeTable, kSystemFlags, Sid::Engine, {}});

    const double now = nowSerial();
    PageBuilder catalog(f, kCatalogPage);
    std::vector<std::string> byName, byId;
    for (const CatalogEntry& e : entries) {
        const std::uint32_t at = dataPointer(kCatalogDataPage, catalog.add(catalogRow(f, e, now)));
        std::string nameKey, idKey;
        catalogKeys(f, e, nameKey, idKey);
        byName.push_back(leafEntry(nameKey, at));
        byId.push_back(leafEntry(idKey, at));
    }
    pages[kCatalogDataPage] = catalog.finish();
    pages[kNameIndexPage] = leafPage(f, kCatalogPage, byName);
    pages[kIdIndexPage] = leafPage(f, kCatalogPage, byId);

    PageBuilder aces(f, kAcesPage);
    std::vector<std::string> byObject;
    std::vector<std::uint32_t> objects;
    for (const Ace& a : defaultAces()) {
        byObject.push_back(leafEntry(aceKey(a), dataPointer(kAcesDataPage, aces.add(aceRow(f, a)))));
        if (std::find(objects.begin(), objects.end(), a.object) == objects.end())
            objects.push_back(a.object);
    }
    pages[kAcesDataPage] = aces.finish();
    pages[kAcesIndexPage] = leafPage(f, kAcesPage, byObject);

    MapRows maps(f, allocate, write);
    for (const SystemTable& t : tables) {
        TableDef def{t.layout};
        const std::vector<std::uint32_t> owned = t.dataPage ? std::vector<std::uint32_t>{t.dataPage}
                                                            : std::vector<std::uint32_t>{};
        def.rows = t.page == kCatalogPage ? static_cast<std::uint32_t>(entries.size())
                   : t.page == kAcesPage  ? static_cast<std::uint32_t>(defaultAces().size())
                                          : 0;
        def.usedMap = maps.add(inlineMap(f, 0, owned));
        def.freeMap = maps.add(inlineMap(f, 0, owned));
        for (int c : longValueColumns(*t.layout)) {
            const bool props = t.page == kCatalogPage && c == 14;   // LvProp
            const std::vector<std::uint32_t> lvPages = props ? propPages : std::vector<std::uint32_t>{};
            const std::uint32_t used = maps.add(inlineMap(f, 0, lvPages));
            def.longValues.push_back({c, used, maps.add(inlineMap(f, 0, lvPages))});
        }
        def.indexes = t.indexes;
        for (IndexDef& x : def.indexes) {
            x.usedMap = maps.add(inlineMap(f, 0, {x.root}));
            x.keys = t.page == kCatalogPage ? static_cast<std::uint32_t>(entries.size())
                     : t.page == kAcesPage  ? static_cast<std::uint32_t>(objects.size())
                                            : 0;
            if (t.dataPage == 0)
                pages[x.root] = leafPage(f, t.page, {});
        }
        pages[t.page] = definitionPageImages(f, definitionBytes(f, def), t.page).front();
    }
    maps.finish();
    pages[kFreeMapPage] = freePageMapPage(
        f, [&pages] { return static_cast<std::uint32_t>(pages.size()); }, {}, allocate, write);

    QByteArray out;
    for (const std::string& p : pages)
        out.append(p.data(), static_cast<qsizetype>(p.size()));
    return out;
}

JetVersion jetVersionOf(const QString& path)
{
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(0x20);
    if (head.size() < 0x20 || head.mid(4, 15) != QByteArrayLiteral("Standard Jet DB") || head[0x14] > 1)
        refuse(QStringLiteral("Unrecognized database format '%1'.").arg(path));
    return head[0x14] == 0 ? JetVersion::Jet3 : JetVersion::Jet4;
}

void writeJetTable(const QString& path, const QString& table, const jet::ColumnList& columns, const RowSource& rows,
                   qint64 sizeLimit)
{
    Format f = formatOf(jetVersionOf(path));
    if (sizeLimit > 0)
        f.limit = std::min(f.limit, sizeLimit);
    if (columns.empty() || columns.size() > static_cast<std::size_t>(kMaxColumns))
        refuse(QStringLiteral("An %1 table holds 1 to %2 columns.").arg(QLatin1String(f.name)).arg(kMaxColumns));
    for (const QString& t : mdbTables(path))
        if (t.compare(table, Qt::CaseInsensitive) == 0)
            throw jet::JetError(jet::errTableExists, QStringLiteral("Table '%1' already exists.").arg(table));

    std::vector<Col> cols;
    std::string probe;
    for (const jet::ColumnInfo& c : columns) {
        if (c.name.size() > kMaxNameLength)
            refuse(QStringLiteral("The column name [%1] is longer than the %2 characters an %3 field name holds.")
                       .arg(c.name)
                       .arg(kMaxNameLength)
                       .arg(QLatin1String(f.name)));
        if (const qsizetype bad = f.jet3 ? encodeJet3(c.name, probe) : -1; bad >= 0)
            refuse(codePageRefusal(QStringLiteral("The column name [%1]").arg(c.name), c.name, bad));
        cols.push_back(columnFor(c));
    }
    if (const qsizetype bad = f.jet3 ? encodeJet3(table, probe) : -1; bad >= 0)
        refuse(codePageRefusal(QStringLiteral("The table name [%1]").arg(table), table, bad));
    std::string nameKey, idKey;
    if (const qsizetype bad = catalogKeys(f, {0, kTablesId, table, kTypeTable, 0, Sid::Admin, {}}, nameKey, idKey);
        bad >= 0)
        refuse(QStringLiteral("The table name [%1] holds the character '%2', which this program does not write in "
                              "the name of an %3 table (it writes the letters A to Z, digits, spaces and the "
                              "punctuation of ASCII%4).")
                   .arg(table, table.mid(bad, 1), QLatin1String(f.name),
                        f.jet3 ? QString() : QStringLiteral(" but for the hyphen and the apostrophe")));

    JetFile file(path, f);
    requireOwnCatalog(file, f, path);
    try {
        TableWriter writer(file, f, table, std::move(cols));
        std::vector<jet::Value> row;
        while (rows(row))
            writer.add(row);
        writer.finish();
        const std::string freeMap = freePageMapPage(
            f, [&file] { return file.pages(); }, freePageMapPages(f, file.read(kFreeMapPage)),
            [&file] { return file.allocate(); }, [&file](std::uint32_t n, const std::string& p) { file.write(n, p); });
        file.write(kFreeMapPage, freeMap);
        file.close();
    } catch (...) {
        file.cutBack();
        throw;
    }
}

} // namespace drivers
