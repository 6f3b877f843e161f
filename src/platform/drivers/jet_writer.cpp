// The Jet 3 and Jet 4 writer declared in jet_writer.h.
//
// File: fixed-size pages (2 KB for Jet 3, 4 KB for Jet 4), little-endian
// numbers. Page 0 is the header, its variable part RC4-masked with the
// format's fixed key so that it unmasks to "no encryption, no password".
// A "data pointer" names a row as page * 256 + row.
//
// Page plan of an empty database: 0 header; 1 the free-page map (empty:
// every page is in use); 2 the catalogue's definition (readers look for it
// there); 3 the catalogue's rows; 4 the usage maps of the four system tables;
// 5, 6 and 7 the definitions of MSysACEs, MSysQueries and MSysRelationships,
// which hold no rows. A new table takes pages from the end of the file: its
// definition, a page for its two usage maps, then its data and long-value
// pages as the rows come, and last any pages of its usage map that do not
// fit in the map's row. A table's usage map lists its data pages only.
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
constexpr std::uint32_t kMSysDbId = 0x0F000004;
constexpr std::uint32_t kSystemFlags = 0x80000002;
constexpr int kTypeTable = 1, kTypeDatabase = 2, kTypeContainer = 3;

// Pages of an empty database.
constexpr std::uint32_t kFreeMapPage = 1, kCatalogPage = 2, kCatalogDataPage = 3, kSystemMapsPage = 4;
constexpr std::uint32_t kFirstUserPage = 8;

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
    // Layout, filled by Layout::Layout.
    int number = 0;
    bool fixed = false;
    int fixedOffset = 0;
    int fixedSize = 0;
    int varIndex = 0;
};

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

    explicit Layout(std::vector<Col> c) : cols(std::move(c))
    {
        for (std::size_t i = 0; i < cols.size(); ++i) {
            Col& col = cols[i];
            col.number = static_cast<int>(i);
            const int size = fixedSizeOf(col.type);
            col.fixed = size >= 0;
            if (col.fixed) {
                col.fixedOffset = fixedBytes;
                col.fixedSize = size;
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

struct TableDef {
    const Layout* layout;
    bool system = false;
    std::uint32_t rows = 0;
    std::uint32_t usedMap = 0;   ///< data pointers of the usage maps' rows
    std::uint32_t freeMap = 0;
};

/// Where the column entries start in a definition.
int columnsAt(const Format& f) { return f.jet3 ? 43 : 63; }

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

/// The column entries and names: the part of a definition that says what a row holds.
std::string columnBlock(const Format& f, const Layout& L)
{
    std::string s;
    for (const Col& c : L.cols) {
        const bool text = c.type == tText || c.type == tMemo;
        int length = c.fixed ? c.fixedSize : 0;
        if (c.type == tText)
            length = f.jet3 ? c.length : c.length * 2;
        else if (c.type == tBinary)
            length = c.length;
        else if (c.type == tBool)
            length = 1;
        const std::uint32_t flags = c.fixed ? 0x03 : 0x02;
        add8(s, c.type);
        if (f.jet3) {
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, static_cast<std::uint32_t>(c.varIndex));
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, text ? 0x0409 : 0);   // sort order "General"
            add16(s, text ? 1252 : 0);     // code page
            add16(s, 0);
            add8(s, flags);
        } else {
            add32(s, 0);
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, static_cast<std::uint32_t>(c.varIndex));
            add16(s, static_cast<std::uint32_t>(c.number));
            add16(s, text ? 0x0409 : 0);   // sort order "General"
            add16(s, 0);
            add8(s, flags);
            add8(s, text ? 0x01 : 0);      // Unicode compression
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
/// after the first repeat an 8-byte header and go on at offset 8.
std::string definitionBytes(const Format& f, const TableDef& t)
{
    const Layout& L = *t.layout;
    std::string s(static_cast<std::size_t>(columnsAt(f)), '\0');
    s[0] = 0x02;
    s[1] = 0x01;
    if (f.jet3) {
        s[2] = 'V';
        s[3] = 'C';
    }
    const std::size_t at = f.jet3 ? 12 : 16;   // the row count; the rest follows from it
    put32(&s[at], t.rows);
    if (!f.jet3)
        s[24] = 0x01;
    const std::size_t type = f.jet3 ? 20 : 40;
    s[type] = t.system ? 0x53 : 0x4e;
    put16(&s[type + 1], static_cast<std::uint32_t>(L.cols.size()));
    put16(&s[type + 3], static_cast<std::uint32_t>(L.varCount));
    put16(&s[type + 5], static_cast<std::uint32_t>(L.cols.size()));
    // no indexes: both counts stay 0
    put32(&s[type + 15], t.usedMap);
    put32(&s[type + 19], t.freeMap);
    s += columnBlock(f, L);
    put32(&s[8], static_cast<std::uint32_t>(s.size() - 8));
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

// ---- the system tables -----------------------------------------------------------

Col col(const char* name, std::uint8_t type, int length = 0)
{
    Col c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.length = length;
    return c;
}

const Layout& catalogLayout()
{
    static const Layout L({col("Id", tLong), col("ParentId", tLong), col("Name", tText, 255), col("Type", tInt),
                           col("DateCreate", tDate), col("DateUpdate", tDate), col("Owner", tBinary, 255),
                           col("Flags", tLong), col("Database", tMemo), col("Connect", tMemo),
                           col("ForeignName", tText, 255), col("RmtInfoShort", tBinary, 255),
                           col("RmtInfoLong", tOle), col("Lv", tOle), col("LvProp", tOle), col("LvModule", tOle),
                           col("LvExtra", tOle)});
    return L;
}

const Layout& acesLayout()
{
    static const Layout L({col("ACM", tLong), col("FInheritable", tBool), col("ObjectId", tLong),
                           col("SID", tBinary, 255)});
    return L;
}

const Layout& queriesLayout()
{
    static const Layout L({col("Attribute", tByte), col("Expression", tText, 255), col("Flag", tInt),
                           col("LvExtra", tOle), col("Name1", tText, 255), col("Name2", tText, 255),
                           col("ObjectId", tLong), col("Order", tBinary, 255)});
    return L;
}

const Layout& relationshipsLayout()
{
    static const Layout L({col("ccolumn", tLong), col("grbit", tLong), col("icolumn", tLong),
                           col("szColumn", tText, 64), col("szObject", tText, 64),
                           col("szReferencedColumn", tText, 64), col("szReferencedObject", tText, 64),
                           col("szRelationship", tText, 64)});
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

/// A catalogue row: the id, parent, name, type and flags; created and updated now.
std::string catalogRow(const Format& f, std::uint32_t id, std::uint32_t parent, const QString& name, int type,
                       std::uint32_t flags)
{
    const Layout& L = catalogLayout();
    std::vector<Cell> cells(L.cols.size());
    auto set = [&](std::size_t i, std::string bytes) {
        cells[i].null = false;
        cells[i].bytes = std::move(bytes);
    };
    set(0, fixedLong(static_cast<std::int32_t>(id)));
    set(1, fixedLong(static_cast<std::int32_t>(parent)));
    std::string text;
    if (f.jet3)
        encodeJet3(name, text);
    else
        encodeJet4(name, text, true);
    set(2, text);
    std::string t;
    add16(t, static_cast<std::uint32_t>(type));
    set(3, t);
    const double now = nowSerial();
    set(4, fixedDouble(now));
    set(5, fixedDouble(now));
    set(7, fixedLong(static_cast<std::int32_t>(flags)));
    std::string row;
    encodeRow(f, L, cells, row);
    return row;
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

class TableWriter {
public:
    TableWriter(JetFile& file, const Format& f, const QString& name, std::vector<Col> cols)
        : file_(file), f_(f), name_(name), layout_(std::move(cols)), cells_(layout_.cols.size()), data_(f, 0),
          lval_(f, kLvalOwner)
    {
        TableDef def{&layout_};
        tdefPages_ = definitionPages(f, definitionBytes(f, def).size());
        tdef_ = file_.allocate(static_cast<std::uint32_t>(tdefPages_));
        mapPage_ = file_.allocate();
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
        place(data_, encoded_);
    }

    /// Writes the pages still open, the usage maps and the definition, then
    /// enters the table in the catalogue.
    void finish()
    {
        flush(data_);
        flush(lval_);
        std::sort(owned_.begin(), owned_.end());

        std::string maps = usageMap();
        PageBuilder mapPage(f_, 0);
        const int usedRow = mapPage.add(maps);
        const int freeRow = mapPage.add(inlineMap(f_, owned_.empty() ? tdef_ : owned_.front(), {}));
        file_.write(mapPage_, mapPage.finish());

        TableDef def{&layout_};
        def.rows = static_cast<std::uint32_t>(rows_);
        def.usedMap = dataPointer(mapPage_, usedRow);
        def.freeMap = dataPointer(mapPage_, freeRow);
        const auto images = definitionPageImages(f_, definitionBytes(f_, def), tdef_);
        for (std::size_t i = 0; i < images.size(); ++i)
            file_.write(tdef_ + static_cast<std::uint32_t>(i), images[i]);

        addToCatalog();
    }

private:
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
            const double d = v->toDouble() * 10000.0;
            if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
                refuseCell(i, QStringLiteral("the amount is outside the range of Currency."));
            const auto n = static_cast<std::uint64_t>(std::llround(d));
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

    /// The 12-byte memo field for memo_, with the value in the row or on long-value pages.
    void memoField(std::size_t col, std::string& b)
    {
        const std::size_t len = memo_.size();
        if (len > 0xffffff)
            refuseCell(col, QStringLiteral("the text is too long for a memo."));
        std::uint32_t lenFlags = static_cast<std::uint32_t>(len), pointer = 0;
        const std::size_t single = PageBuilder::maxRow(f_);
        if (len <= kInlineMemo) {
            lenFlags |= 0x80000000u;
        } else if (len <= single) {
            lenFlags |= 0x40000000u;
            if (!lval_.fits(len))
                flush(lval_);
            pointer = place(lval_, memo_);
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
    std::uint32_t place(PageBuilder& page, const std::string& row)
    {
        if (!page.fits(row.size()))
            flush(page);
        if (page.empty()) {
            page.number = file_.allocate();
            if (&page == &data_)
                owned_.push_back(page.number);
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

    /// The row of the owned-pages map: inline when the pages lie close
    /// together, else a list of map pages written now.
    std::string usageMap()
    {
        if (fitsInline(f_, owned_))
            return inlineMap(f_, owned_.empty() ? tdef_ : owned_.front(), owned_);
        const std::uint32_t perPage = static_cast<std::uint32_t>(f_.page - 4) * 8;
        const std::size_t mapSlots = static_cast<std::size_t>(f_.mapBytes + 4) / 4;
        std::string row;
        add8(row, 1);
        std::size_t at = 0;
        for (std::size_t slot = 0; slot < mapSlots; ++slot) {
            const std::uint32_t lo = static_cast<std::uint32_t>(slot) * perPage, hi = lo + perPage;
            std::string bitmap;
            for (; at < owned_.size() && owned_[at] < hi; ++at) {
                if (bitmap.empty()) {
                    bitmap.assign(static_cast<std::size_t>(f_.page), '\0');
                    bitmap[0] = 0x05;
                    bitmap[1] = 0x01;
                }
                const std::uint32_t bit = owned_[at] - lo;
                bitmap[4 + bit / 8] = static_cast<char>(bitmap[4 + bit / 8] | (1 << (bit % 8)));
            }
            std::uint32_t mapPage = 0;
            if (!bitmap.empty()) {
                mapPage = file_.allocate();
                file_.write(mapPage, bitmap);
            }
            add32(row, mapPage);
        }
        return row;
    }

    void addToCatalog()
    {
        const std::string row = catalogRow(f_, tdef_, kTablesId, name_, kTypeTable, 0);
        std::string page = file_.read(kCatalogDataPage);
        const std::uint32_t rows = get16(&page[static_cast<std::size_t>(f_.rowCountAt)]);
        std::uint32_t lowest = static_cast<std::uint32_t>(f_.page);
        for (std::uint32_t r = 0; r < rows; ++r)
            lowest = std::min(lowest, get16(&page[static_cast<std::size_t>(f_.rowCountAt) + 2 + 2 * r]) & 0x1fff);
        const std::uint32_t headerEnd = static_cast<std::uint32_t>(f_.rowCountAt) + 2 + 2 * (rows + 1);
        if (rows >= kMaxRowsPerPage || lowest < headerEnd + row.size())
            refuse(QStringLiteral("The database's catalogue has no room for another table."));
        const std::uint32_t at = lowest - static_cast<std::uint32_t>(row.size());
        std::memcpy(&page[at], row.data(), row.size());
        put16(&page[static_cast<std::size_t>(f_.rowCountAt) + 2 + 2 * rows], at);
        put16(&page[static_cast<std::size_t>(f_.rowCountAt)], rows + 1);
        put16(&page[2], at - headerEnd);
        file_.write(kCatalogDataPage, page);

        std::string def = file_.read(kCatalogPage);
        const std::size_t count = f_.jet3 ? 12 : 16;
        put32(&def[count], get32(&def[count]) + 1);
        file_.write(kCatalogPage, def);
    }

    JetFile& file_;
    Format f_;
    QString name_;
    Layout layout_;
    std::vector<Cell> cells_;
    std::string encoded_, memo_;
    PageBuilder data_, lval_;
    std::vector<std::uint32_t> owned_;
    std::uint32_t tdef_ = 0, mapPage_ = 0;
    int tdefPages_ = 1;
    qint64 rows_ = 0;
};

/// Throws unless the file's catalogue is the one this writer makes: then its
/// pages are where the writer put them and it has no index to keep up.
void requireOwnCatalog(JetFile& file, const Format& f, const QString& path)
{
    const std::string def = file.read(kCatalogPage);
    const std::string block = columnBlock(f, catalogLayout());
    const std::size_t at = static_cast<std::size_t>(columnsAt(f));
    const std::size_t indexes = f.jet3 ? 27 : 47;
    const std::string data = file.read(kCatalogDataPage);
    if (!file.whole() || def[0] != 0x02 || get32(&def[4]) != 0 || get32(&def[indexes]) != 0 || get32(&def[indexes + 4]) != 0
        || def.compare(at, block.size(), block) != 0 || data[0] != 0x01 || get32(&data[4]) != kCatalogPage)
        refuse(QStringLiteral("A table can only be added to an Access database that this program made; "
                              "'%1' is another one.")
                   .arg(path));
}

} // namespace

qint64 jetFileLimit(JetVersion version) { return formatOf(version).limit; }

QByteArray emptyJetDatabase(JetVersion version)
{
    const Format f = formatOf(version);
    std::vector<std::string> pages(kFirstUserPage);
    pages[0] = headerPage(f);

    PageBuilder freeMap(f, 0);
    freeMap.add(inlineMap(f, 0, {}));
    pages[kFreeMapPage] = freeMap.finish();

    struct System {
        const char* name;
        const Layout* layout;
        std::uint32_t page;
        std::vector<std::uint32_t> owned, withRoom;
    };
    const System tables[] = {
        {"MSysObjects", &catalogLayout(), kCatalogPage, {kCatalogDataPage}, {kCatalogDataPage}},
        {"MSysACEs", &acesLayout(), 5, {}, {}},
        {"MSysQueries", &queriesLayout(), 6, {}, {}},
        {"MSysRelationships", &relationshipsLayout(), 7, {}, {}},
    };

    PageBuilder catalog(f, kCatalogPage);
    auto entry = [&](std::uint32_t id, std::uint32_t parent, const char* name, int type, std::uint32_t flags) {
        catalog.add(catalogRow(f, id, parent, QString::fromLatin1(name), type, flags));
    };
    entry(kTablesId, kRootId, "Tables", kTypeContainer, 0);
    entry(kDatabasesId, kRootId, "Databases", kTypeContainer, 0);
    entry(kRelationshipsId, kRootId, "Relationships", kTypeContainer, 0);
    entry(kMSysDbId, kDatabasesId, "MSysDb", kTypeDatabase, 0);
    for (const System& t : tables)
        entry(t.page, kTablesId, t.name, kTypeTable, kSystemFlags);
    pages[kCatalogDataPage] = catalog.finish();

    PageBuilder maps(f, 0);
    for (const System& t : tables) {
        TableDef def{t.layout};
        def.system = true;
        def.rows = t.page == kCatalogPage ? 4 + static_cast<std::uint32_t>(std::size(tables)) : 0;
        def.usedMap = dataPointer(kSystemMapsPage, maps.add(inlineMap(f, 0, t.owned)));
        def.freeMap = dataPointer(kSystemMapsPage, maps.add(inlineMap(f, 0, t.withRoom)));
        pages[t.page] = definitionPageImages(f, definitionBytes(f, def), t.page).front();
    }
    pages[kSystemMapsPage] = maps.finish();

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

    JetFile file(path, f);
    requireOwnCatalog(file, f, path);
    try {
        TableWriter writer(file, f, table, std::move(cols));
        std::vector<jet::Value> row;
        while (rows(row))
            writer.add(row);
        writer.finish();
        file.close();
    } catch (...) {
        file.cutBack();
        throw;
    }
}

} // namespace drivers
