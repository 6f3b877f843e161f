// The Access (.mdb) reader over mdbtools' libmdb: the table list, a table's
// columns as the engine's field types, and its rows as the engine's values.
//
// Call order inside libmdb: mdb_open, mdb_read_catalog, mdb_read_table,
// mdb_read_columns, mdb_rewind_table, mdb_bind_column, mdb_fetch_row per row,
// mdb_free_tabledef, mdb_close. Only text-like columns are bound (libmdb turns
// them into UTF-8 for us); every other value is taken from the row's raw
// bytes, because libmdb's own date text is wrong before 1900 and in 9999 and
// its number text would have to be parsed back. Null comes from the row's
// null mask, so an empty text stays "" and a missing one stays Null.
//
// Cost: one pass over the data pages; one buffer of kBindSize per text column,
// allocated once per table and touched only as far as the longest value.

// libmdb's header is C and needs glib's declarations before it.
#include <glib.h>
#include <mdbtools.h>

#include "platform/drivers/mdb_reader.h"

#include "platform/drivers/mdb_check.h"

#include "platform/jet/error.h"

#include <QFile>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace drivers {
namespace {

// Well above libmdb's 16384-byte default, which silently cut long memos.
// A value that still fills the buffer is reported, never passed on cut.
constexpr size_t kBindSize = size_t(1) << 20;

// Row offsets on a data page carry flags in their top bits.
constexpr int kOffsetMask = 0x1fff;

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

[[noreturn]] void damagedFile(const QString& path, const QString& why)
{
    throw jet::JetError(jet::errExternal, QStringLiteral("'%1' is damaged and cannot be read: %2.").arg(path, why));
}

/// Opens the file and reads its table catalogue; throws when either fails.
Handle openWithCatalog(const QString& path)
{
    if (!isJetFile(path))
        badFormat(path);
    if (const QString why = mdbDamage(path); !why.isEmpty())
        damagedFile(path, why);
    Handle h(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!h)
        badFormat(path);
    mdb_set_bind_size(h.get(), kBindSize);
    if (!mdb_read_catalog(h.get(), MDB_TABLE))
        badFormat(path);
    return h;
}

QString entryName(const MdbCatalogEntry* e) { return QString::fromUtf8(e->object_name); }

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
    case MDB_OLE: return false;
    default: return true;   // text, memo, GUID, decimal and kinds we do not know
    }
}

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

/// A Single as the decimal it was typed as: the shortest text that reads back
/// as the same float (0.15, not 0.150000005960464), taken as a double.
double singleValue(float f)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, f);
    double d = f;
    if (written.ec == std::errc())
        std::from_chars(text, written.ptr, d);
    return d;
}

/// A fixed-width value from the row's bytes; Null when the row holds too few.
jet::Value rawValue(int jetType, const MdbField& f)
{
    if (jetType == MDB_BOOL)
        return jet::Value(!f.is_null);   // a flag lives in the null mask and is never Null
    if (f.is_null || !f.value)
        return {};
    auto fits = [&](size_t n) { return f.siz >= 0 && static_cast<size_t>(f.siz) >= n; };
    switch (jetType) {
    case MDB_BYTE:
        return fits(1) ? jet::Value(static_cast<int>(rawAt<quint8>(f))) : jet::Value();
    case MDB_INT:
        return fits(2) ? jet::Value(static_cast<int>(rawAt<qint16>(f))) : jet::Value();
    case MDB_LONGINT:
        return fits(4) ? jet::Value(static_cast<int>(rawAt<qint32>(f))) : jet::Value();
    case MDB_MONEY:   // a count of ten-thousandths
        return fits(8) ? jet::Value(static_cast<double>(rawAt<qint64>(f)) / 10000.0) : jet::Value();
    case MDB_FLOAT:
        return fits(4) ? jet::Value(singleValue(rawAt<float>(f))) : jet::Value();
    case MDB_DOUBLE:
        return fits(8) ? jet::Value(rawAt<double>(f)) : jet::Value();
    case MDB_DATETIME:
        return fits(8) ? mdbDateValue(rawAt<double>(f)) : jet::Value();
    default:
        return {};   // binary and OLE objects: the engine has no value for them
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
        if (const QString why = mdbTableDamage(path, tableName); !why.isEmpty())
            damagedFile(path, why);
        t_.reset(mdb_read_table(entry));
        if (!t_ || !mdb_read_columns(t_.get()))
            badFormat(path_);
        mdb_rewind_table(t_.get());

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
        if (!mdb_fetch_row(t))
            return false;
        MdbHandle* mdb = h_.get();
        // Following a memo onto its own pages may have replaced the page buffer.
        mdb_read_pg(mdb, t->cur_phys_pg);
        int start = 0;
        size_t size = 0;
        if (t->cur_row < 1 || mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &size) != 0)
            badFormat(path_);
        mdb_crack_row(t, start & kOffsetMask, size, fields_.data());

        row.resize(cols_.size());
        for (size_t i = 0; i < cols_.size(); ++i) {
            if (!text_[i]) {
                row[i] = rawValue(types_[i], fields_[i]);
                continue;
            }
            if (fields_[i].is_null) {
                row[i] = jet::Value();
                continue;
            }
            const char* s = text_[i].get();
            const size_t len = strnlen(s, kBindSize);
            if (len >= kBindSize - 1)
                throw jet::JetError(jet::errExternal, QStringLiteral("The value of field '%1' in table '%2' is too long to be read.")
                                                          .arg(cols_[i].name, QString::fromUtf8(t->name)));
            QString v = QString::fromUtf8(s, static_cast<qsizetype>(len));
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

    QString path_;
    Handle h_;
    Table t_;
    jet::ColumnList cols_;
    std::vector<MdbField> fields_;
    std::vector<int> types_;
    std::vector<std::unique_ptr<char, GFree>> text_;
    std::vector<int> lens_;
};

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
    Handle h = openWithCatalog(path);
    QStringList out;
    GPtrArray* cat = h->catalog;
    for (guint i = 0; cat && i < cat->len; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(cat, i));
        if (e->object_type == MDB_TABLE && !mdb_is_system_table(e))
            out << entryName(e);
    }
    return out;
}

std::unique_ptr<RowReader> readMdbTable(const QString& path, const QString& table)
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
