// The Access (.mdb) reader over mdbtools' libmdb: the table list, a table's
// columns as the engine's field types, and its rows as the engine's values.
//
// Call order inside libmdb: mdb_open, mdb_read_catalog, mdb_read_table,
// mdb_read_columns, mdb_rewind_table, mdb_bind_column, mdb_fetch_row per row,
// mdb_free_tabledef, mdb_close. Only scaled decimals are bound (libmdb's text
// of them is read back as a number); every other value is taken from the
// row's raw bytes (mdb_crack_row), because libmdb's own texts change values:
// its dates are wrong before 1900 and in 9999, a GUID loses its fourth hyphen,
// the five bytes Windows-1252 leaves undefined become "?", characters beyond
// the Basic Multilingual Plane become "??", and a memo longer than its bind
// buffer is cut. Text is decoded here: Jet 3 in Windows-1252, Jet 4 in UTF-16
// with its compressed form (FF FE, then one byte per character, a zero byte
// switching between one and two). Memos are followed onto their long-value
// pages here too (readLongValue, mdb_check.h); a part that is not where its
// field says, or parts that do not add up to its length, refuse the table.
// Null comes from the row's null mask, so an empty text stays "" and a
// missing one Null. A value whose bytes the row does not hold refuses it too,
// as does a value longer than its field allows, a memo field shorter than
// its 12 bytes, and a table whose rows (deleted ones aside) are not as many
// as its definition counts; the rows' layout itself is checked before the
// first row is read (mdbTableDamage).
//
// mdbTables and readMdbTable read in a child process (read_boundary.h): the
// library loops without end on some damaged files. The library reports the
// damage it meets only as text on standard error and reads on; the child
// catches that text (readerOutput), and any of it refuses the file, naming
// what was being read.
//
// Cost: one pass over the data pages, plus the long-value pages of memos.

// libmdb's header is C and needs glib's declarations before it.
#include <glib.h>
#include <mdbtools.h>

#include "platform/drivers/mdb_reader.h"

#include "platform/drivers/mdb_check.h"
#include "platform/drivers/read_boundary.h"

#include "common/codepage.h"
#include "platform/jet/error.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>
#include <vector>

namespace drivers {
namespace {

// libmdb's own bind size: the text of a scaled decimal is short.
constexpr size_t kBindSize = MDB_BIND_SIZE;

// A memo's field: its length (flags in the top byte) and where it lies.
constexpr int kLongValueField = 12;

// Row offsets on a data page carry flags in their top bits; one marks a
// deleted row.
constexpr int kOffsetMask = 0x1fff;
constexpr int kDeletedRow = 0x8000;

// How often (in rows) the reader looks for the library's warnings and tells
// the parent it is still at work.
constexpr unsigned kRowsPerLook = 4096;

// Day serials of 100-01-01 and of 10000-01-01.
constexpr double kFirstDay = -657434.0;
constexpr double kDayAfterLast = 2958466.0;

[[noreturn]] void badFormat(const QString& path)
{
    throw jet::JetError(jet::errExternal, QStringLiteral("Unrecognized database format '%1'.").arg(path));
}

[[noreturn]] void noTable(const QString& name)
{
    throw jet::JetError(jet::errNoTable, QStringLiteral("The database engine cannot find the input table or query '%1'. "
                                                        "Make sure it exists and that its name is spelled correctly.")
                                             .arg(name));
}

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;

struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using Table = std::unique_ptr<MdbTableDef, TableFreer>;

[[noreturn]] void damagedFile(const QString& path, const QString& why) { throwDamaged(path, why); }

/// Refuses the file when the library has written anything (its warnings)
/// while reading `what`.
void refuseOnWarnings(const QString& path, const QString& what)
{
    const QString said = readerOutput();
    if (!said.isEmpty())
        damagedFile(path, QStringLiteral("the Access library reports damage in %1 (\"%2\")").arg(what, said.left(200)));
}

const QString kCatalogue = QStringLiteral("the catalogue");

/// Opens the file and reads its table catalogue; throws when either fails.
Handle openWithCatalog(const QString& path)
{
    if (!isJetFile(path))
        badFormat(path);
    if (const QString why = mdbDamage(path); !why.isEmpty())
        damagedFile(path, why);
    // A file whose catalogue the library cannot read at all is not a
    // database (what the library said about it then is not looked at).
    Handle h(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!h)
        badFormat(path);
    if (!mdb_read_catalog(h.get(), MDB_TABLE))
        badFormat(path);
    refuseOnWarnings(path, kCatalogue);
    return h;
}

QString entryName(const MdbCatalogEntry* e) { return QString::fromUtf8(e->object_name); }

/// Whether libmdb's text of the column is used: scaled decimals and kinds we
/// do not know.
bool boundAsText(int jetType)
{
    switch (jetType) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_BINARY:
    case MDB_OLE:
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID: return false;
    default: return true;
    }
}

quint32 le32(const unsigned char* p) { return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }
quint16 le16(const unsigned char* p) { return quint16(p[0] | p[1] << 8); }

} // namespace

QString jetText(bool jet3, const char* bytes, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    if (size <= 0)
        return QString();
    if (jet3) {
        QString out(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            out[i] = codepage::charOfCode(p[i]);
        return out;
    }
    QString out;
    if (size >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        // At most one character a byte: written in place, then cut to length.
        out.resize(size - 2);
        char16_t* to = reinterpret_cast<char16_t*>(out.data());
        qsizetype n = 0;
        bool narrow = true;
        for (qsizetype i = 2; i < size;) {
            if (p[i] == 0) {
                narrow = !narrow;
                ++i;
            } else if (narrow) {
                to[n++] = char16_t(p[i]);
                ++i;
            } else if (i + 1 < size) {
                to[n++] = char16_t(le16(p + i));
                i += 2;
            } else {
                break;   // an odd byte at the end holds no character
            }
        }
        out.truncate(n);
        return out;
    }
    out.resize(size / 2);
    for (qsizetype i = 0; i < size / 2; ++i)
        out[i] = QChar(char16_t(le16(p + 2 * i)));
    return out;
}

QString jetGuidText(const unsigned char* b)
{
    return QStringLiteral("{%1-%2-%3-%4-%5}")
        .arg(le32(b), 8, 16, QLatin1Char('0'))
        .arg(le16(b + 4), 4, 16, QLatin1Char('0'))
        .arg(le16(b + 6), 4, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(b + 8), 2).toHex()))
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(b + 10), 6).toHex()))
        .toUpper();
}

namespace {

jet::ColumnInfo columnInfo(const MdbHandle* mdb, const MdbColumn* c)
{
    jet::ColumnInfo info;
    info.name = QString::fromUtf8(c->name);
    info.type = mdbFieldType(c->col_type);
    switch (c->col_type) {
    case MDB_BOOL:
    case MDB_BYTE: info.size = 1; break;
    case MDB_INT: info.size = 2; break;
    case MDB_LONGINT:
    case MDB_FLOAT: info.size = 4; break;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC: info.size = 8; break;
    case MDB_REPID: info.size = 16; break;
    case MDB_MEMO:
    case MDB_OLE:
    case MDB_BINARY: info.size = 0; break;
    case MDB_TEXT: {
        // Jet 4 keeps the length in bytes of two-byte characters.
        const int chars = mdb->f->jet_version == MDB_VER_JET3 ? c->col_size : c->col_size / 2;
        info.size = chars > 0 ? chars : 255;
        break;
    }
    default: info.size = 255; break;
    }
    info.attributes = c->is_fixed ? jet::dbFixedField : jet::dbVariableField;
    if (c->is_long_auto)
        info.attributes |= jet::dbAutoIncrField;
    return info;
}

template <class T>
T rawAt(const MdbField& f)
{
    T v;
    std::memcpy(&v, f.value, sizeof v);   // the files are little-endian, as are our targets
    return v;
}

/// A fixed-width value from the row's bytes (the caller made sure the row
/// holds all of them).
jet::Value rawValue(int jetType, const MdbField& f)
{
    if (jetType == MDB_BOOL)
        return jet::Value(!f.is_null);   // a flag lives in the null mask and is never Null
    if (f.is_null || !f.value)
        return {};
    switch (jetType) {
    case MDB_BYTE: return jet::Value(static_cast<int>(rawAt<quint8>(f)));
    case MDB_INT: return jet::Value(static_cast<int>(rawAt<qint16>(f)));
    case MDB_LONGINT: return jet::Value(static_cast<int>(rawAt<qint32>(f)));
    case MDB_MONEY: return jet::Value(jet::Currency{rawAt<qint64>(f)});   // a count of ten-thousandths
    case MDB_FLOAT: return jet::Value(jet::singleValue(rawAt<float>(f)));
    case MDB_DOUBLE: return jet::Value(rawAt<double>(f));
    case MDB_DATETIME: return mdbDateValue(rawAt<double>(f));
    default: return {};   // binary and OLE objects: the engine has no value for them
    }
}

class MdbRowReader : public RowReader {
public:
    MdbRowReader(const QString& path, const QString& tableName) : path_(path), h_(openWithCatalog(path))
    {
        MdbCatalogEntry* entry = nullptr;
        GPtrArray* cat = h_->catalog;
        for (guint i = 0; cat && i < cat->len && !entry; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(cat, i));
            if (e->object_type == MDB_TABLE && entryName(e).compare(tableName, Qt::CaseInsensitive) == 0)
                entry = e;
        }
        if (!entry)
            noTable(tableName);
        const QString what = QStringLiteral("table '%1'").arg(entryName(entry));
        // The definition before the library reads the columns from it; its
        // pages and long values before the first row (a caller that only
        // asks for the columns does not wait for the walk over every page).
        if (const QString why = mdbTableDamage(path, tableName, true); !why.isEmpty())
            damagedFile(path, why);
        refuseOnWarnings(path, what);
        t_.reset(mdb_read_table(entry));
        if (!t_ || !mdb_read_columns(t_.get()))
            badFormat(path_);
        mdb_rewind_table(t_.get());
        refuseOnWarnings(path, what);
        jet3_ = h_->f->jet_version == MDB_VER_JET3;
        pages_ = QFileInfo(path).size() / h_->fmt->pg_size;
        tableName_ = QString::fromUtf8(t_->name);
        for (guint i = 0; cat && i < cat->len; ++i)
            definitions_.insert(quint32(static_cast<MdbCatalogEntry*>(g_ptr_array_index(cat, i))->table_pg));
        definitions_.insert(2);

        const guint n = t_->columns->len;
        fields_.resize(n);
        types_.resize(n);
        text_.resize(n);
        lens_.resize(n);
        for (guint i = 0; i < n; ++i) {
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t_->columns, i));
            cols_.push_back(columnInfo(h_.get(), c));
            types_[i] = c->col_type;
            if (boundAsText(c->col_type)) {
                text_[i].reset(static_cast<char*>(g_malloc0(kBindSize)));
                mdb_bind_column(t_.get(), static_cast<int>(i + 1), text_[i].get(), &lens_[i]);
            }
        }
    }

    ~MdbRowReader() override
    {
        t_.reset();   // the table refers to the handle's catalogue: free it first
        h_.reset();
    }

    const jet::ColumnList& columns() const override { return cols_; }

    bool next(std::vector<jet::Value>& row) override
    {
        MdbTableDef* t = t_.get();
        if (!checked_) {
            checked_ = true;
            if (const QString why = mdbTableDamage(path_, tableName_); !why.isEmpty())
                damagedFile(path_, why);
            refuseOnWarnings(path_, QStringLiteral("table '%1'").arg(tableName_));
        }
        if ((rows_ + 1) % kRowsPerLook == 0) {
            refuseOnWarnings(path_, QStringLiteral("table '%1'").arg(tableName_));
            stillReading();
        }
        MdbHandle* mdb = h_.get();
        int start = 0;
        size_t size = 0;
        for (;;) {
            if (!mdb_fetch_row(t)) {
                refuseOnWarnings(path_, QStringLiteral("table '%1'").arg(tableName_));
                // Every row the definition counts must have been read.
                if (rows_ != t->num_rows)
                    damagedFile(path_, QStringLiteral("table '%1' holds %2 rows where its definition counts %3")
                                           .arg(tableName_)
                                           .arg(rows_)
                                           .arg(t->num_rows));
                return false;
            }
            if (t->cur_row < 1 || mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &size) != 0)
                badFormat(path_);
            // The library reads a deleted row as any other: it is left out here.
            if (!(start & kDeletedRow))
                break;
        }
        ++rows_;
        start &= kOffsetMask;
        if (start + size > size_t(mdb->fmt->pg_size)
            || mdb_crack_row(t, start, size, fields_.data()) < 0)
            damagedFile(path_, QStringLiteral("a row of table '%1' cannot be read").arg(tableName_));
        // Every value must lie inside its row.
        const char* rowStart = reinterpret_cast<const char*>(mdb->pg_buf) + start;
        const char* rowEnd = rowStart + size;
        for (const MdbField& f : fields_)
            if (!f.is_null && f.value && f.siz > 0
                && (static_cast<const char*>(f.value) < rowStart || static_cast<const char*>(f.value) + f.siz > rowEnd))
                damagedFile(path_, QStringLiteral("a row of table '%1' on page %2 lies outside its page")
                                       .arg(tableName_)
                                       .arg(t->cur_phys_pg));

        row.resize(cols_.size());
        for (size_t i = 0; i < cols_.size(); ++i) {
            const MdbField& f = fields_[i];
            // A value is read whole or not at all: a fixed one takes its
            // kind's bytes, a long value's field at least its 12 (an empty
            // memo keeps one too, of length 0).
            if (!f.is_null) {
                const int width = mdbFixedWidth(types_[i]);
                const int size = f.value ? f.siz : 0;
                if ((width > 0 && size != width)
                    || ((types_[i] == MDB_MEMO || types_[i] == MDB_OLE) && size < kLongValueField))
                    badValue(cols_[i].name, QStringLiteral("is not as long as its kind"));
            }
            switch (types_[i]) {
            case MDB_TEXT:
                row[i] = f.is_null ? jet::Value() : jet::Value(text(f, i));
                continue;
            case MDB_MEMO:
                row[i] = f.is_null ? jet::Value() : jet::Value(memoText(f, cols_[i].name));
                continue;
            case MDB_REPID:
                row[i] = f.is_null ? jet::Value() : jet::Value(jetGuidText(static_cast<const unsigned char*>(f.value)));
                continue;
            default: break;
            }
            if (!text_[i]) {
                row[i] = rawValue(types_[i], f);
                // Access keeps no date outside the years 100 to 9999.
                if (types_[i] == MDB_DATETIME && !f.is_null && row[i].isNull())
                    badValue(cols_[i].name, QStringLiteral("is no date of the years 100 to 9999"));
                continue;
            }
            if (f.is_null) {
                row[i] = jet::Value();
                continue;
            }
            const char* s = text_[i].get();
            QString v = QString::fromUtf8(s, static_cast<qsizetype>(strnlen(s, kBindSize)));
            if (types_[i] == MDB_NUMERIC) {
                bool ok = false;
                const double d = v.toDouble(&ok);
                row[i] = ok ? jet::Value(d) : jet::Value();
            } else {
                row[i] = jet::Value(std::move(v));
            }
        }
        return true;
    }

private:
    struct GFree {
        void operator()(char* p) const { g_free(p); }
    };

    [[noreturn]] void badLongValue(const QString& column, const QString& why) const
    {
        damagedFile(path_, QStringLiteral("a value of field '%1' in table '%2' %3").arg(column, tableName_, why));
    }

    [[noreturn]] void badValue(const QString& column, const QString& why) const
    {
        damagedFile(path_, QStringLiteral("a value of field '%1' in table '%2' on page %3 %4")
                               .arg(column, tableName_)
                               .arg(t_->cur_phys_pg)
                               .arg(why));
    }

    /// A text field's value: no longer than its column allows and, in Jet 4
    /// when not compressed, whole characters of two bytes.
    QString text(const MdbField& f, size_t column) const
    {
        const char* bytes = static_cast<const char*>(f.value);
        const int size = bytes ? f.siz : 0;
        const auto* b = reinterpret_cast<const unsigned char*>(bytes);
        const bool compressed = !jet3_ && size >= 2 && b[0] == 0xff && b[1] == 0xfe;
        if (!jet3_ && !compressed && size % 2)
            badValue(cols_[column].name, QStringLiteral("ends inside a character"));
        QString out = jetText(jet3_, bytes, size);
        if ((compressed ? out.size() : qsizetype(jet3_ ? size : size / 2)) > cols_[column].size)
            badValue(cols_[column].name, QStringLiteral("is longer than its field allows"));
        return out;
    }

    /// A memo's text: inline in the row, on one long-value page, or on a
    /// chain of them (readLongValue).
    QString memoText(const MdbField& f, const QString& column)
    {
        memo_.clear();
        if (const QString why = readLongValue(h_.get(), pages_, definitions_, f.value, f.siz, &memo_); !why.isEmpty())
            badLongValue(column, why);
        const auto* b = reinterpret_cast<const unsigned char*>(memo_.constData());
        const bool compressed = memo_.size() >= 2 && b[0] == 0xff && b[1] == 0xfe;
        if (!jet3_ && !compressed && memo_.size() % 2)
            badLongValue(column, QStringLiteral("ends inside a character"));
        return jetText(jet3_, memo_.constData(), memo_.size());
    }

    QString path_;
    Handle h_;
    Table t_;
    bool jet3_ = false;
    qint64 pages_ = 0;
    QSet<quint32> definitions_;
    QByteArray memo_;
    quint64 rows_ = 0;
    bool checked_ = false;
    QString tableName_;
    jet::ColumnList cols_;
    std::vector<MdbField> fields_;
    std::vector<int> types_;
    std::vector<std::unique_ptr<char, GFree>> text_;
    std::vector<int> lens_;
};

QStringList listTables(const QString& path)
{
    Handle h = openWithCatalog(path);
    QStringList out;
    GPtrArray* cat = h->catalog;
    for (guint i = 0; cat && i < cat->len; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(cat, i));
        if (e->object_type == MDB_TABLE && !mdb_is_system_table(e))
            out << entryName(e);
    }
    refuseOnWarnings(path, kCatalogue);
    return out;
}

/// The child's limits for a file: at least 4 bytes a row.
ReadLimits limitsFor(const QString& path)
{
    ReadLimits l;
    l.maxRows = QFileInfo(path).size() / 4;
    return l;
}

} // namespace

bool isJetFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(19);
    if (head.size() < 19)
        return false;
    const QByteArray id = head.mid(4, 15);
    return id == "Standard Jet DB" || id == "Standard ACE DB";
}

QStringList mdbTables(const QString& path)
{
    return listInChild(path, [&path] { return listTables(path); }, limitsFor(path));
}

std::unique_ptr<RowReader> readMdbTable(const QString& path, const QString& table)
{
    return readInChild(path, [&] { return readMdbTableInProcess(path, table); }, limitsFor(path));
}

QStringList mdbTablesInProcess(const QString& path) { return listTables(path); }

std::unique_ptr<RowReader> readMdbTableInProcess(const QString& path, const QString& table)
{
    return std::make_unique<MdbRowReader>(path, table);
}

int mdbFieldType(int jetColumnType)
{
    switch (jetColumnType) {
    case MDB_BOOL: return jet::dbBoolean;
    case MDB_BYTE: return jet::dbByte;
    case MDB_INT: return jet::dbInteger;
    case MDB_LONGINT: return jet::dbLong;
    case MDB_MONEY: return jet::dbCurrency;
    case MDB_FLOAT: return jet::dbSingle;
    case MDB_DOUBLE: return jet::dbDouble;
    case MDB_DATETIME: return jet::dbDate;
    case MDB_BINARY:
    case MDB_OLE: return jet::dbLongBinary;
    case MDB_TEXT: return jet::dbText;
    case MDB_MEMO: return jet::dbMemo;
    case MDB_REPID: return jet::dbGUID;
    case MDB_NUMERIC: return jet::dbDouble;   // the engine keeps no scaled decimals
    default: return jet::dbText;
    }
}

jet::Value mdbDateValue(double serial)
{
    // Before 1899-12-30 the day is negative while the fraction still counts
    // forward from midnight (-1.25 is 1899-12-29 06:00), as the engine keeps
    // it; so every moment of 100-01-01 lies in (-657435, -657434].
    if (!std::isfinite(serial) || serial <= kFirstDay - 1.0 || serial >= kDayAfterLast)
        return {};
    return jet::Value(jet::DateTime{serial});
}

} // namespace drivers
