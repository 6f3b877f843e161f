// The structure checks of mdb_check.h, made with the library's own page and
// row readers but without any of its value conversions (nothing is bound),
// so that the checks follow exactly the pages the reading would.
//
// A table definition is a chain of pages of type 0x02 linked by the page
// number at offset 4; its column count and index count say how far into
// that chain the column entries reach. A long value's 12-byte field holds its
// length with flags (0x80 inline, 0x40 on one page, none on a chain of
// pages) and the page and row of its first part; every part begins with the
// page and row of the next, 0 ending the chain.
//
// A table's usage map lists the pages it owns: either a bitmap of pages from
// a first page on (type 0), or the page numbers of bitmap pages that each
// cover (page size - 4) * 8 pages (type 1). Every page it lists must lie in
// the file: a file cut short loses them, and the library would then end the
// table early as if it had no more rows. Each of them must be a data page
// (type 0x01) naming the table's definition page as its owner (offset 4),
// and its row table (a row count, then each row's start, flags in the top
// three bits) must keep every row inside the page: rows are laid from the
// page's end backwards, row 0 ending at the page's end and every other
// where the row before it starts. A page that is zero, of another table or
// of another kind means the table would come in short or changed.
//
// A row's entry in the row table carries two flags: 0x8000 a deleted row,
// 0x4000 a row whose bytes Access moved to another page on an edit (the row
// then holds only where). The library has the two the other way round: it
// reads deleted rows (the reader leaves them out) and skips moved ones, which
// this reader does not follow either, so a moved row refuses the table.
//
// A long value's parts lie on data pages whose owner field reads "LVAL"; a
// part on one page is the row's bytes, a part of a chain starts with the
// data pointer of the next. Their lengths must add up to the field's.
//
// Cost: the definition pages once; mdbTableDamage reads the table's pages
// once, and once more with their long values when it has memos.

#include "platform/drivers/mdb_check.h"

#include "platform/drivers/read_boundary.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace drivers {
namespace {

// Jet allows 255 columns and 32 indexes in a table.
constexpr int kMaxColumns = 255;
constexpr long kMaxIndexes = 64;
constexpr int kOffsetMask = 0x1fff;
constexpr int kLongValueField = 12;
constexpr quint32 kInline = 0x80000000u;
constexpr quint32 kOnePage = 0x40000000u;
constexpr quint32 kLengthMask = 0x3fffffffu;
constexpr int kPagesPerBeat = 256;
// Flags of a row's entry in its page's row table: a deleted row, and a row
// whose bytes were moved to another page (the entry points there).
constexpr int kDeletedRow = 0x8000;
constexpr int kMovedRow = 0x4000;
// The kind of table a definition says it defines.
constexpr int kUserTable = 0x4e;
constexpr int kSystemTable = 0x53;
// Access allows 64 characters in a column's name.
constexpr int kMaxNameLength = 64;


struct Damage {
    QString why;
};

[[noreturn]] void damaged(const QString& why) { throw Damage{why}; }

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

class Checker {
public:
    explicit Checker(const QString& path) : h_(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS))
    {
        if (h_) {
            // Only whole pages can be read: a last page cut short is lost.
            pages_ = QFileInfo(path).size() / h_->fmt->pg_size;
        }
    }
    MdbHandle* handle() const { return h_.get(); }

    /// The definition that starts on `page`: a chain of definition pages in
    /// the file, with room in it for the columns and indexes it claims. With
    /// `kind`, the kind of table it must define (0x4e a user's table, 0x53
    /// a system table), so that a definition of another table is not taken
    /// for the one the catalogue names.
    void definition(unsigned long page, const QString& what, int kind = 0)
    {
        MdbHandle* h = h_.get();
        const MdbFormatConstants* fmt = h->fmt;
        // A first page that is not a definition the library refuses itself.
        if (qint64(page) >= pages_ || mdb_read_pg(h, page) != fmt->pg_size || h->pg_buf[0] != 0x02)
            return;
        QSet<unsigned long> seen;
        qint64 bytes = 0;
        for (unsigned long p = page; p != 0;) {
            if (qint64(p) >= pages_)
                damaged(QStringLiteral("the definition of %1 lies outside the file").arg(what));
            if (seen.contains(p))
                damaged(QStringLiteral("the definition of %1 runs in a circle").arg(what));
            seen.insert(p);
            if (mdb_read_pg(h, p) != fmt->pg_size || h->pg_buf[0] != 0x02)
                damaged(QStringLiteral("the definition of %1 is not where the file says").arg(what));
            bytes += seen.size() == 1 ? fmt->pg_size : fmt->pg_size - 8;
            p = static_cast<unsigned long>(mdb_get_int32(h->pg_buf, 4));
        }
        mdb_read_pg(h, page);
        if (kind && h->pg_buf[fmt->tab_num_cols_offset - 5] != kind)
            damaged(QStringLiteral("the definition of %1 is not where the file says").arg(what));
        const int columns = mdb_get_int16(h->pg_buf, fmt->tab_num_cols_offset);
        maxColumns_ = mdb_get_int16(h->pg_buf, fmt->tab_num_cols_offset - 4);
        const long indexes = mdb_get_int32(h->pg_buf, fmt->tab_num_idxs_offset);
        const long realIndexes = mdb_get_int32(h->pg_buf, fmt->tab_num_ridxs_offset);
        if (columns < 1 || columns > kMaxColumns)
            damaged(QStringLiteral("%1 claims %2 columns").arg(what).arg(columns));
        if (maxColumns_ < columns || maxColumns_ > kMaxColumns)
            damaged(QStringLiteral("%1 claims rows of %2 columns for its %3").arg(what).arg(maxColumns_).arg(columns));
        if (indexes < 0 || indexes > kMaxIndexes || realIndexes < 0 || realIndexes > kMaxIndexes)
            damaged(QStringLiteral("%1 claims an impossible number of indexes").arg(what));
        const qint64 needed = fmt->tab_cols_start_offset + qint64(realIndexes) * fmt->tab_ridx_entry_size
                              + qint64(columns) * (fmt->tab_col_entry_size + 1);
        if (needed > bytes)
            damaged(QStringLiteral("the definition of %1 claims more than its pages hold").arg(what));
        for (int at : {int(fmt->tab_usage_map_offset), int(fmt->tab_free_map_offset)})
            if (qint64(static_cast<unsigned long>(mdb_get_int32(h->pg_buf, at)) >> 8) >= pages_)
                damaged(QStringLiteral("the page map of %1 lies outside the file").arg(what));
    }

    /// The table's columns as its definition gives them (read after
    /// definition()): each one's name, kind and length hold together and no
    /// two share a place in the row. Keeps the row's shape, so that the walk
    /// of the table's pages checks every row against it.
    void columns(const MdbTableDef* t, const QString& what)
    {
        const bool jet3 = h_->f->jet_version == MDB_VER_JET3;
        shape_ = Shape{};
        shape_.jet3 = jet3;
        shape_.maxColumns = maxColumns_;
        QSet<int> numbers, places;
        unsigned variable = 0;
        for (guint i = 0; i < t->columns->len; ++i) {
            const auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            const QString name = QString::fromUtf8(c->name);
            const auto bad = [&](const QString& why) {
                damaged(QStringLiteral("field '%1' of %2 %3").arg(name, what, why));
            };
            if (name.isEmpty() || name.size() > kMaxNameLength
                || std::any_of(name.begin(), name.end(), [](QChar ch) { return ch.unicode() < 0x20; }))
                damaged(QStringLiteral("a field of %1 has no proper name").arg(what));
            if (c->col_num < 0 || c->col_num >= maxColumns_ || numbers.contains(c->col_num))
                bad(QStringLiteral("has no place of its own in the row"));
            numbers.insert(c->col_num);
            const int width = mdbFixedWidth(c->col_type);
            const bool text = c->col_type == MDB_TEXT || c->col_type == MDB_BINARY;
            if (width >= 0 && !c->is_fixed)
                bad(QStringLiteral("is of a fixed length but is not kept as one"));
            if (width > 0 && c->col_size != width)
                bad(QStringLiteral("claims %1 bytes for a value of %2").arg(c->col_size).arg(width));
            if (text && (c->col_size < 1 || c->col_size > (jet3 ? 255 : 510) || (!jet3 && c->col_type == MDB_TEXT && c->col_size % 2)))
                bad(QStringLiteral("claims a length of %1 bytes").arg(c->col_size));
            if ((c->col_type == MDB_MEMO || c->col_type == MDB_OLE || text) && c->is_fixed)
                bad(QStringLiteral("is of a variable length but kept as one of a fixed length"));
            if (c->is_fixed) {
                const int size = width >= 0 ? width : c->col_size;
                if (c->fixed_offset < 0 || size < 0)
                    bad(QStringLiteral("lies outside the row"));
                shape_.fixedColumns += 1;
                shape_.fixedBytes = std::max(shape_.fixedBytes, c->fixed_offset + size);
            } else {
                if (places.contains(int(c->var_col_num)) || c->var_col_num >= unsigned(maxColumns_))
                    bad(QStringLiteral("has no place of its own in the row"));
                places.insert(int(c->var_col_num));
                ++variable;
            }
        }
        if (variable != t->num_var_cols)
            damaged(QStringLiteral("%1 claims %2 variable fields but defines %3").arg(what).arg(t->num_var_cols).arg(variable));
        shape_.variable = variable > 0;
        shape_.rows = t->num_rows;
        shape_.known = true;
    }

    /// Whether the pages walked held as many rows as the table's definition
    /// counts (after usageMap()).
    void rowCount(const QString& what) const
    {
        if (shape_.known && liveRows_ != shape_.rows)
            damaged(QStringLiteral("%1 holds %2 rows where its definition counts %3").arg(what).arg(liveRows_).arg(shape_.rows));
    }

    /// Every page the table's usage map lists lies in the file and is one of
    /// the data pages of the table defined on page `owner`, its rows inside it.
    void usageMap(const MdbTableDef* t, unsigned long owner, const QString& what)
    {
        MdbHandle* h = h_.get();
        const auto* map = static_cast<const unsigned char*>(t->usage_map);
        const size_t size = t->map_sz;
        if (!map || size < 1)
            damaged(QStringLiteral("the page map of %1 cannot be read").arg(what));
        // One byte of a bitmap, its bit 0 standing for page `first`.
        const auto pagesOf = [&](quint64 first, unsigned char bits) {
            for (int bit = 0; bit < 8; ++bit)
                if ((bits >> bit) & 1)
                    dataPage(first + quint64(bit), owner, what);
        };
        if (map[0] == 0) {
            if (size < 5)
                return;
            const quint64 first = static_cast<quint32>(mdb_get_int32(const_cast<unsigned char*>(map), 1));
            for (size_t byte = 5; byte < size; ++byte)
                if (map[byte])
                    pagesOf(first + (byte - 5) * 8, map[byte]);
            return;
        }
        if (map[0] != 1)
            damaged(QStringLiteral("the page map of %1 is of an unknown kind").arg(what));
        const quint64 perPage = quint64(h->fmt->pg_size - 4) * 8;
        std::vector<unsigned char> bits(size_t(h->fmt->pg_size));
        for (size_t i = 0; i + 5 <= size; i += 4) {
            const quint32 mapPage = static_cast<quint32>(mdb_get_int32(const_cast<unsigned char*>(map), int(i) + 1));
            if (mapPage == 0)
                continue;
            if (qint64(mapPage) >= pages_ || mdb_read_alt_pg(h, mapPage) != h->fmt->pg_size)
                beyond(what);
            if (h->alt_pg_buf[0] != 0x05)
                damaged(QStringLiteral("the page map of %1 is not where the file says").arg(what));
            std::memcpy(bits.data(), h->alt_pg_buf, bits.size());   // the pages' own reads use the buffers
            for (quint64 byte = 0; byte < perPage / 8; ++byte)
                if (bits[4 + byte])
                    pagesOf((i / 4) * perPage + byte * 8, bits[4 + byte]);
            stillReading();
        }
    }

    /// Every long value of the table's rows: its chain of pages must end.
    /// With properties, the catalogue's property blocks (LvProp) must also
    /// hold together as the library walks them.
    void longValues(MdbTableDef* t, const QString& what, bool properties = false)
    {
        MdbHandle* h = h_.get();
        std::vector<int> columns;
        int propertyColumn = -1;
        for (guint i = 0; i < t->columns->len; ++i) {
            const auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            if (c->col_type == MDB_MEMO || c->col_type == MDB_OLE)
                columns.push_back(static_cast<int>(i));
            if (properties && c->col_type == MDB_OLE && std::strcmp(c->name, "LvProp") == 0)
                propertyColumn = static_cast<int>(i);
        }
        if (columns.empty())
            return;
        std::vector<MdbField> fields(t->num_cols);
        mdb_rewind_table(t);
        for (unsigned rows = 0; mdb_fetch_row(t); ++rows) {
            if ((rows & 1023) == 0)
                stillReading();
            mdb_read_pg(h, t->cur_phys_pg);
            int start = 0;
            size_t size = 0;
            if (t->cur_row < 1 || mdb_find_row(h, static_cast<int>(t->cur_row) - 1, &start, &size) != 0)
                continue;
            if (mdb_crack_row(t, start & kOffsetMask, size, fields.data()) < 0)
                continue;
            for (int i : columns) {
                const MdbField& f = fields[static_cast<size_t>(i)];
                if (f.is_null || !f.value || f.siz < kLongValueField)
                    continue;
                if (i == propertyColumn) {
                    QByteArray bytes;
                    longValueParts(f, what, &bytes);
                    propertyBlock(bytes, what);
                } else {
                    longValueParts(f, what, nullptr);
                }
                mdb_read_pg(h, t->cur_phys_pg);   // the walk read other pages
            }
        }
    }

private:
    [[noreturn]] static void beyond(const QString& what)
    {
        damaged(QStringLiteral("pages of %1 lie beyond the end of the file").arg(what));
    }

    /// Page `page` of the usage map of the table defined on `owner`.
    void dataPage(quint64 page, unsigned long owner, const QString& what)
    {
        MdbHandle* h = h_.get();
        if (qint64(page) >= pages_)
            beyond(what);
        if (++walked_ % kPagesPerBeat == 0)
            stillReading();
        if (mdb_read_pg(h, static_cast<unsigned long>(page)) != h->fmt->pg_size)
            beyond(what);
        const unsigned char* p = h->pg_buf;
        if (p[0] != 0x01 || static_cast<unsigned long>(static_cast<quint32>(mdb_get_int32(h->pg_buf, 4))) != owner)
            damaged(QStringLiteral("page %1 of %2 is not one of its data pages").arg(page).arg(what));
        const int at = h->fmt->row_count_offset;
        const int rows = p[at] | p[at + 1] << 8;
        for (int row = 0; row < rows; ++row) {
            int start = 0, length = 0;
            if (!jetRowBounds(p, h->fmt, row, start, length))
                damaged(QStringLiteral("a row of %1 on page %2 lies outside its page").arg(what).arg(page));
            const int entry = p[at + 2 + 2 * row] | p[at + 3 + 2 * row] << 8;
            if (!shape_.known || (entry & kDeletedRow))
                continue;
            ++liveRows_;
            if (entry & kMovedRow)
                damaged(QStringLiteral("row %1 of %2 on page %3 was moved to another page, which this reader does not follow")
                            .arg(row)
                            .arg(what)
                            .arg(page));
            if (const QString why = rowDamage(p + start, length); !why.isEmpty())
                damaged(QStringLiteral("row %1 of %2 on page %3 %4").arg(row).arg(what).arg(page).arg(why));
        }
    }

    /// Why a row (its `size` bytes at `r`) does not hold what the table's
    /// definition lays out, or "": its column count fits the definition,
    /// its fixed part holds every fixed column, and the offsets of its
    /// variable values lie in order between the fixed part and the row's
    /// tail (the offset table, the count of variable values, the null mask).
    QString rowDamage(const unsigned char* r, int size) const
    {
        const Shape& s = shape_;
        const int countSize = s.jet3 ? 1 : 2;
        if (size < countSize + 1)
            return QStringLiteral("is too short to be a row");
        const int columns = s.jet3 ? r[0] : (r[0] | r[1] << 8);
        if (columns < 1 || columns > s.maxColumns)
            return QStringLiteral("claims %1 columns").arg(columns);
        const int mask = (columns + 7) / 8;
        int values = 0;              // variable values the row holds
        int tail = size - mask;      // where the row's tail starts
        std::vector<int> offsets;    // the start of each variable value, then their end
        if (s.variable) {
            if (s.jet3) {
                if (size < mask + 1)
                    return QStringLiteral("is too short for its columns");
                values = r[size - mask - 1];
                // Offsets are single bytes; a jump table counts the 256s.
                int jumps = (size - 1) / 256;
                const int pointer = size - 1 - mask - jumps - 1;
                if (pointer < values || pointer - values < countSize)
                    return QStringLiteral("is too short for its variable values");
                if ((pointer - values) / 256 < jumps)
                    --jumps;
                int used = 0;
                for (int i = 0; i <= values; ++i) {
                    while (used < jumps && i == r[size - 1 - mask - used - 1])
                        ++used;
                    offsets.push_back(r[pointer - i] + used * 256);
                }
                tail = pointer - values;
            } else {
                if (size < countSize + mask + 2)
                    return QStringLiteral("is too short for its columns");
                values = r[size - mask - 2] | r[size - mask - 1] << 8;
                tail = size - mask - 2 - 2 * (values + 1);
                if (tail < countSize)
                    return QStringLiteral("is too short for its variable values");
                for (int i = 0; i <= values; ++i)
                    offsets.push_back(r[size - mask - 4 - 2 * i] | r[size - mask - 3 - 2 * i] << 8);
            }
        }
        if (values > columns)
            return QStringLiteral("claims %1 variable values of %2 columns").arg(values).arg(columns);
        if (columns - values < s.fixedColumns)
            return QStringLiteral("holds fewer fixed values than its table defines");
        const int fixedEnd = offsets.empty() ? tail : offsets.front();
        if (countSize + s.fixedBytes > fixedEnd || fixedEnd > tail)
            return QStringLiteral("has no room for its fixed values");
        for (size_t i = 1; i < offsets.size(); ++i)
            if (offsets[i] < offsets[i - 1])
                return QStringLiteral("has its variable values out of order");
        if (!offsets.empty() && offsets.back() > tail)
            return QStringLiteral("has variable values that run past its end");
        return QString();
    }

    /// A property block ("KKD" or "MR2", then chunks of a 4-byte length and a
    /// 2-byte type: 0x80 a list of names, each with a 2-byte length; 0 to 2 a
    /// named block of values, each with a 2-byte length, its type, the index
    /// of its name and its size): every length must stay inside what holds
    /// it and move on, or the library walks without end or past the block.
    void propertyBlock(const QByteArray& b, const QString& what)
    {
        const auto bad = [&] { damaged(QStringLiteral("the properties of an object in %1 are damaged").arg(what)); };
        const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
        const qsizetype len = b.size();
        if (len < 4)
            bad();
        if (std::memcmp(p, "KKD", 4) != 0 && std::memcmp(p, "MR2", 4) != 0)
            return;   // the library leaves other blocks alone
        const auto u16 = [&](qsizetype at) { return qsizetype(p[at] | p[at + 1] << 8); };
        qsizetype names = -1;
        for (qsizetype pos = 4; pos < len;) {
            if (pos + 6 > len)
                bad();
            const quint32 chunk = quint32(p[pos]) | quint32(p[pos + 1]) << 8 | quint32(p[pos + 2]) << 16 | quint32(p[pos + 3]) << 24;
            const qsizetype type = u16(pos + 4);
            if (chunk < 6 || qint64(chunk) > len - pos)
                bad();
            const qsizetype body = pos + 6, end = pos + qsizetype(chunk);
            if (type == 0x80) {
                names = 0;
                for (qsizetype at = body; at < end; ++names) {
                    if (at + 2 > end || u16(at) > end - at - 2)
                        bad();
                    at += 2 + u16(at);
                }
            } else if (type <= 2 && names >= 0) {
                if (body + 6 > end || u16(body + 4) > end - body - 6)
                    bad();
                for (qsizetype at = body + 6 + u16(body + 4); at < end;) {
                    if (at + 8 > end)
                        bad();
                    const qsizetype record = u16(at), dtype = p[at + 3], elem = u16(at + 4), dsize = u16(at + 6);
                    if (elem >= names || at + 8 + dsize > end)
                        break;   // where the library stops
                    if (record < 8 || dsize < valueWidth(int(dtype)))
                        bad();
                    at += record;
                }
            }
            pos = end;
        }
    }

    /// The bytes the library reads for a property value of a type.
    static int valueWidth(int type)
    {
        switch (type) {
        case MDB_BOOL:
        case MDB_BYTE: return 1;
        case MDB_INT: return 2;
        case MDB_LONGINT:
        case MDB_COMPLEX:
        case MDB_FLOAT: return 4;
        case MDB_MONEY:
        case MDB_DOUBLE:
        case MDB_DATETIME: return 8;
        case MDB_REPID: return 16;
        default: return 0;
        }
    }

    /// A long value whose field is `f`: its parts must hold together.
    void longValueParts(const MdbField& f, const QString& what, QByteArray* out)
    {
        if (definitions_.isEmpty()) {
            definitions_.insert(2);
            if (GPtrArray* cat = h_->catalog)
                for (guint i = 0; i < cat->len; ++i)
                    definitions_.insert(quint32(static_cast<MdbCatalogEntry*>(g_ptr_array_index(cat, i))->table_pg));
        }
        if (const QString why = readLongValue(h_.get(), pages_, definitions_, f.value, f.siz, out); !why.isEmpty())
            damaged(QStringLiteral("a long value of %1 %2").arg(what, why));
    }

    /// What the table's definition says a row holds.
    struct Shape {
        bool known = false;
        bool jet3 = false;
        int maxColumns = 0;     ///< the most columns a row may have
        int fixedColumns = 0;   ///< fixed columns a row holds at least
        int fixedBytes = 0;     ///< bytes of the fixed part they take
        bool variable = false;  ///< whether rows carry an offset table
        quint64 rows = 0;       ///< the rows the definition counts
    };

    std::unique_ptr<MdbHandle, HandleCloser> h_;
    qint64 pages_ = 0;
    qint64 walked_ = 0;
    int maxColumns_ = 0;
    Shape shape_;
    quint64 liveRows_ = 0;
    QSet<quint32> definitions_;
};

QString checked(const std::function<void()>& check)
{
    try {
        check();
        return QString();
    } catch (const Damage& d) {
        return d.why;
    }
}

} // namespace

bool jetRowBounds(const unsigned char* page, const MdbFormatConstants* fmt, int row, int& start, int& length)
{
    const int size = int(fmt->pg_size);
    const int at = fmt->row_count_offset;
    const int rows = page[at] | page[at + 1] << 8;
    const int table = at + 2 + 2 * rows;   // the end of the row table
    if (row < 0 || row >= rows || table > size)
        return false;
    const auto offset = [&](int r) { return (page[at + 2 + 2 * r] | page[at + 3 + 2 * r] << 8) & kOffsetMask; };
    start = offset(row);
    const int end = row == 0 ? size : offset(row - 1);
    if (start < table || start > end || end > size)
        return false;
    length = end - start;
    return true;
}

QString readLongValue(MdbHandle* h, qint64 pages, const QSet<quint32>& definitions, const void* field, int size,
                      QByteArray* out)
{
    if (!field || size < kLongValueField)
        return QStringLiteral("cannot be read");
    unsigned char head[kLongValueField];
    std::memcpy(head, field, sizeof head);
    const quint32 word = static_cast<quint32>(mdb_get_int32(head, 0));
    const qint64 length = word & kLengthMask;
    if (word & kInline) {
        if (size - kLongValueField != length)
            return QStringLiteral("is not as long as its length says");
        if (out)
            out->append(static_cast<const char*>(field) + kLongValueField, qsizetype(length));
        return QString();
    }
    const bool onePage = word & kOnePage;
    if (!onePage && (word & 0xff000000u))
        return QStringLiteral("is of a kind this reader does not know");
    const bool jet3 = h->f->jet_version == MDB_VER_JET3;
    const int pageSize = int(h->fmt->pg_size);
    QSet<quint32> seen;
    qint64 total = 0;
    quint32 at = static_cast<quint32>(mdb_get_int32(head, 4));
    if (at == 0 && !onePage)
        return length == 0 ? QString() : QStringLiteral("is shorter than its length says");
    for (;;) {
        if (seen.contains(at))
            return QStringLiteral("runs in a circle of pages");
        seen.insert(at);
        const quint32 page = at >> 8;
        if (qint64(page) >= pages || page == 0)
            return QStringLiteral("lies beyond the end of the file");
        if (mdb_read_alt_pg(h, page) != pageSize)
            return QStringLiteral("lies beyond the end of the file");
        const unsigned char* p = h->alt_pg_buf;
        const bool marked = std::memcmp(p + 4, "LVAL", 4) == 0;
        const quint32 owner = quint32(p[4]) | quint32(p[5]) << 8 | quint32(p[6]) << 16 | quint32(p[7]) << 24;
        if (p[0] != 0x01 || (!marked && (!jet3 || definitions.contains(owner))))
            return QStringLiteral("lies on page %1, which is not a long-value page").arg(page);
        int start = 0, len = 0;
        if (!jetRowBounds(p, h->fmt, int(at & 0xff), start, len))
            return QStringLiteral("lies outside its page %1").arg(page);
        if (onePage) {
            if (len != length)
                return QStringLiteral("is not as long as its length says");
            if (out)
                out->append(reinterpret_cast<const char*>(p) + start, len);
            return QString();
        }
        if (len < 4)
            return QStringLiteral("lies outside its page %1").arg(page);
        total += len - 4;
        if (total > length)
            return QStringLiteral("is longer than its length says");
        if (out)
            out->append(reinterpret_cast<const char*>(p) + start + 4, len - 4);
        at = quint32(p[start]) | quint32(p[start + 1]) << 8 | quint32(p[start + 2]) << 16 | quint32(p[start + 3]) << 24;
        if (at == 0) {
            if (total != length)
                return QStringLiteral("is shorter than its length says");
            return QString();
        }
    }
}

QString mdbDamage(const QString& path)
{
    Checker c(path);
    if (!c.handle())
        return QString();
    return checked([&] {
        const QString what = QStringLiteral("the catalogue");
        c.definition(2, what);
        // The catalogue is read through a stand-in entry, as the library does.
        MdbCatalogEntry entry;
        std::memset(&entry, 0, sizeof entry);
        entry.mdb = c.handle();
        entry.object_type = MDB_TABLE;
        entry.table_pg = 2;
        std::strcpy(entry.object_name, "MSysObjects");
        std::unique_ptr<MdbTableDef, TableFreer> t(mdb_read_table(&entry));
        if (!t || !mdb_read_columns(t.get()))
            return;   // the reader reports a catalogue it cannot read
        c.usageMap(t.get(), 2, what);
        c.longValues(t.get(), what, true);
    });
}

QString mdbTableDamage(const QString& path, const QString& table, bool definitionOnly)
{
    Checker c(path);
    if (!c.handle() || !mdb_read_catalog(c.handle(), MDB_TABLE))
        return QString();
    return checked([&] {
        GPtrArray* cat = c.handle()->catalog;
        for (guint i = 0; cat && i < cat->len; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(cat, i));
            if (e->object_type != MDB_TABLE || QString::fromUtf8(e->object_name).compare(table, Qt::CaseInsensitive) != 0)
                continue;
            const QString what = QStringLiteral("table '%1'").arg(table);
            c.definition(e->table_pg, what, mdb_is_system_table(e) ? kSystemTable : kUserTable);
            std::unique_ptr<MdbTableDef, TableFreer> t(mdb_read_table(e));
            if (!t)
                return;   // the reader reports a table it cannot read
            // The columns are read from the definition page still in the
            // handle's buffer: before the walk reads other pages.
            const bool columns = mdb_read_columns(t.get()) != nullptr;
            if (columns)
                c.columns(t.get(), what);
            if (definitionOnly)
                return;
            c.usageMap(t.get(), e->table_pg, what);
            c.rowCount(what);
            if (columns)
                c.longValues(t.get(), what);
            return;
        }
    });
}

int mdbFixedWidth(int type)
{
    switch (type) {
    case MDB_BOOL: return 0;
    case MDB_BYTE: return 1;
    case MDB_INT: return 2;
    case MDB_LONGINT:
    case MDB_FLOAT: return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME: return 8;
    case MDB_REPID: return 16;
    case MDB_NUMERIC: return 17;
    default: return -1;
    }
}

} // namespace drivers
