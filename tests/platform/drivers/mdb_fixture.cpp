// Writes the .mdb fixtures described in mdb_fixture.h.
//
// Page plan: 0 the database header (its variable part RC4-masked with the
// format's fixed key, so that it unmasks to "no encryption"), 1 one data page
// whose rows are every table's two usage maps, 2 the catalogue's definition,
// then per user table a definition page, its data pages and any long-value
// pages, and last the catalogue's own data pages.
//
// A row is: column count, the fixed-width area, the variable-width values,
// then from the end backwards the null mask, the count of variable values and
// their offsets (the last offset marks the end of the variable data). Jet 3
// uses one byte for counts and offsets, so its rows here stay within 256
// bytes; Jet 4 uses two.
#include "platform/drivers/mdb_fixture.h"

#include <QUuid>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace mdbfixture {
namespace {

struct Format {
    bool jet3;
    int pageSize;
    int rowCountOffset;   // on data pages
};

Format formatOf(Version v)
{
    return v == Version::Jet3 ? Format{true, 2048, 0x08} : Format{false, 4096, 0x0c};
}

void put8(QByteArray& b, int at, int v) { b[at] = static_cast<char>(v & 0xff); }
void put16(QByteArray& b, int at, int v)
{
    put8(b, at, v);
    put8(b, at + 1, v >> 8);
}
void put32(QByteArray& b, int at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        put8(b, at + i, static_cast<int>(v >> (8 * i)));
}
template <class T>
QByteArray bytesOf(T v)
{
    QByteArray b(sizeof v, '\0');
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

void rc4(const unsigned char* key, int keyLen, unsigned char* buf, int len)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + key[i % keyLen] + s[i]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, x = 0, y = 0; n < len; ++n) {
        x = (x + 1) & 0xff;
        y = (y + s[x]) & 0xff;
        std::swap(s[x], s[y]);
        buf[n] ^= s[(s[x] + s[y]) & 0xff];
    }
}

QByteArray encodeText(const Format& f, const QString& s)
{
    if (f.jet3)
        return s.toLatin1();
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

bool isFixed(int type) { return type != Text && type != Memo && type != Ole; }

int fixedWidth(int type)
{
    switch (type) {
    case Byte: return 1;
    case Int: return 2;
    case Long:
    case Single: return 4;
    case Money:
    case Double:
    case DateTime: return 8;
    case Guid: return 16;
    default: return 0;   // flags live in the null mask
    }
}

class Writer {
public:
    Writer(Version v, CatalogueRows catalogue) : f_(formatOf(v)), catalogueFirst_(catalogue == CatalogueRows::First) {}

    bool write(const QString& path, const std::vector<Table>& userTables, QString* why)
    {
        pages_.assign(3, QByteArray(f_.pageSize, '\0'));   // header, maps, catalogue definition
        Table catalog;
        catalog.name = QStringLiteral("MSysObjects");
        catalog.flags = 0x80000002u;
        catalog.columns = {{QStringLiteral("Id"), Long, 0, false},      {QStringLiteral("ParentId"), Long, 0, false},
                           {QStringLiteral("Name"), Text, 128, false},  {QStringLiteral("Type"), Int, 0, false},
                           {QStringLiteral("Flags"), Long, 0, false},   {QStringLiteral("LvProp"), Ole, 0, false}};
        std::vector<Placed> placed;
        placed.push_back({&catalog, 2, {}});
        for (const Table& t : userTables) {
            const int tdef = newPage();
            placed.push_back({&t, tdef, {}});
        }
        // Catalogue rows: the catalogue itself, then every table.
        for (const Placed& p : placed)
            catalog.rows.push_back({jet::Value(static_cast<long long>(p.tdefPage)), jet::Value(0), jet::Value(p.table->name),
                                    jet::Value(1), jet::Value(static_cast<long long>(static_cast<std::int32_t>(p.table->flags))),
                                    p.table->properties.isEmpty() ? jet::Value() : jet::Value(p.table->properties)});
        if (catalogueFirst_ && !writeRows(placed[0], why))
            return false;
        for (size_t i = 1; i < placed.size(); ++i)
            if (!writeRows(placed[i], why))
                return false;
        if (!catalogueFirst_ && !writeRows(placed[0], why))
            return false;
        writeMaps(placed);
        for (size_t i = 0; i < placed.size(); ++i)
            if (!writeDefinition(placed[i], static_cast<int>(i), why))
                return false;
        writeHeader();

        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            if (why)
                *why = out.errorString();
            return false;
        }
        for (const QByteArray& p : pages_)
            out.write(p);
        return out.error() == QFile::NoError;
    }

private:
    struct Placed {
        const Table* table;
        int tdefPage;
        std::vector<int> dataPages;
    };

    int newPage()
    {
        pages_.push_back(QByteArray(f_.pageSize, '\0'));
        return static_cast<int>(pages_.size()) - 1;
    }

    int dataHeaderSize() const { return f_.rowCountOffset + 2; }

    int newDataPage(std::uint32_t owner, bool longValues)
    {
        const int n = newPage();
        QByteArray& p = pages_[static_cast<size_t>(n)];
        put8(p, 0, 0x01);
        put8(p, 1, 0x01);
        if (longValues)
            std::memcpy(p.data() + 4, "LVAL", 4);
        else
            put32(p, 4, owner);
        put16(p, 2, f_.pageSize - dataHeaderSize());
        return n;
    }

    /// Free bytes left on a data page.
    int room(int page) const
    {
        const QByteArray& p = pages_[static_cast<size_t>(page)];
        const int rows = static_cast<unsigned char>(p[f_.rowCountOffset]) | (static_cast<unsigned char>(p[f_.rowCountOffset + 1]) << 8);
        const int low = rows ? rowStart(page, rows - 1) : f_.pageSize;
        return low - (dataHeaderSize() + 2 * rows);
    }

    int rowStart(int page, int row) const
    {
        const QByteArray& p = pages_[static_cast<size_t>(page)];
        const int at = f_.rowCountOffset + 2 + 2 * row;
        return static_cast<unsigned char>(p[at]) | (static_cast<unsigned char>(p[at + 1]) << 8);
    }

    /// Adds a row to a page that has room for it; returns its row number.
    int addRow(int page, const QByteArray& row)
    {
        QByteArray& p = pages_[static_cast<size_t>(page)];
        const int rows = static_cast<unsigned char>(p[f_.rowCountOffset]) | (static_cast<unsigned char>(p[f_.rowCountOffset + 1]) << 8);
        const int end = rows ? rowStart(page, rows - 1) : f_.pageSize;
        const int start = end - static_cast<int>(row.size());
        std::memcpy(p.data() + start, row.constData(), static_cast<size_t>(row.size()));
        put16(p, f_.rowCountOffset + 2 + 2 * rows, start);
        put16(p, f_.rowCountOffset, rows + 1);
        put16(p, 2, room(page) - 2);
        return rows;
    }

    /// The memo's 12-byte field: inline when short, else a chain of long-value pages.
    QByteArray memoField(const QByteArray& data)
    {
        QByteArray field(12, '\0');
        if (data.size() <= 200) {
            put32(field, 0, static_cast<std::uint32_t>(data.size()) | 0x80000000u);
            return field + data;
        }
        put32(field, 0, static_cast<std::uint32_t>(data.size()));
        const int chunk = f_.pageSize - dataHeaderSize() - 2 - 4;
        std::vector<int> pages;
        for (int at = 0; at < data.size(); at += chunk)
            pages.push_back(newDataPage(0, true));
        for (size_t i = 0; i < pages.size(); ++i) {
            const int at = static_cast<int>(i) * chunk;
            QByteArray row(4, '\0');
            if (i + 1 < pages.size())
                put32(row, 0, static_cast<std::uint32_t>(pages[i + 1]) << 8);
            row += data.mid(at, chunk);
            addRow(pages[i], row);
        }
        put32(field, 4, static_cast<std::uint32_t>(pages.front()) << 8);
        return field;
    }

    bool encodeRow(const Table& t, const std::vector<jet::Value>& values, QByteArray& row, QString* why)
    {
        const int n = static_cast<int>(t.columns.size());
        const int countSize = f_.jet3 ? 1 : 2;
        int fixedSize = 0;
        for (const Column& c : t.columns)
            if (isFixed(c.type))
                fixedSize += fixedWidth(c.type);
        QByteArray fixed(fixedSize, '\0');
        QByteArray nullMask((n + 7) / 8, '\0');
        QByteArray var;
        std::vector<int> varOffsets;
        int fixedAt = 0;
        for (int i = 0; i < n; ++i) {
            const Column& c = t.columns[static_cast<size_t>(i)];
            const jet::Value v = i < static_cast<int>(values.size()) ? values[static_cast<size_t>(i)] : jet::Value();
            bool present = !v.isNull();
            if (c.type == Bool)
                present = v.toBool();
            if (present)
                nullMask[i / 8] = static_cast<char>(nullMask[i / 8] | (1 << (i % 8)));
            if (isFixed(c.type)) {
                QByteArray b;
                if (!v.isNull()) {
                    switch (c.type) {
                    case Byte: b = bytesOf(static_cast<std::uint8_t>(v.toLong())); break;
                    case Int: b = bytesOf(static_cast<std::int16_t>(v.toLong())); break;
                    case Long: b = bytesOf(static_cast<std::int32_t>(v.toLong())); break;
                    case Single: b = bytesOf(static_cast<float>(v.toDouble())); break;
                    case Double: b = bytesOf(v.toDouble()); break;
                    case Money: b = bytesOf(static_cast<std::int64_t>(std::llround(v.toDouble() * 10000.0))); break;
                    case DateTime: b = bytesOf(v.toDate().serial); break;
                    case Guid: {
                        // Stored as Windows lays the structure out: the first
                        // three groups little-endian, the last two as written.
                        const QUuid u(v.toString());
                        b = bytesOf(static_cast<std::uint32_t>(u.data1)) + bytesOf(static_cast<std::uint16_t>(u.data2))
                            + bytesOf(static_cast<std::uint16_t>(u.data3))
                            + QByteArray(reinterpret_cast<const char*>(u.data4), 8);
                        break;
                    }
                    default: break;
                    }
                }
                std::memcpy(fixed.data() + fixedAt, b.constData(), static_cast<size_t>(b.size()));
                fixedAt += fixedWidth(c.type);
                continue;
            }
            varOffsets.push_back(countSize + fixedSize + static_cast<int>(var.size()));
            if (v.isNull())
                continue;
            const QByteArray text = encodeText(f_, v.toString());
            var += c.type == Memo || c.type == Ole ? memoField(text) : text;   // both are long values
        }
        const int varCount = static_cast<int>(varOffsets.size());
        row.clear();
        if (f_.jet3)
            row.append(static_cast<char>(n));
        else
            row.append(bytesOf(static_cast<std::uint16_t>(n)));
        row += fixed;
        row += var;
        if (varCount > 0) {
            const int eod = static_cast<int>(row.size());
            std::vector<int> table = varOffsets;
            table.push_back(eod);
            for (auto it = table.rbegin(); it != table.rend(); ++it) {
                if (f_.jet3)
                    row.append(static_cast<char>(*it));
                else
                    row.append(bytesOf(static_cast<std::uint16_t>(*it)));
            }
            if (f_.jet3)
                row.append(static_cast<char>(varCount));
            else
                row.append(bytesOf(static_cast<std::uint16_t>(varCount)));
        }
        row += nullMask;
        if (f_.jet3 && row.size() > 256) {
            if (why)
                *why = QStringLiteral("a Jet 3 row of table %1 is longer than 256 bytes").arg(t.name);
            return false;
        }
        return true;
    }

    bool writeRows(Placed& p, QString* why)
    {
        int page = 0;
        for (const auto& values : p.table->rows) {
            QByteArray row;
            if (!encodeRow(*p.table, values, row, why))
                return false;
            if (row.size() + 2 > f_.pageSize - dataHeaderSize()) {
                if (why)
                    *why = QStringLiteral("a row of table %1 does not fit a page").arg(p.table->name);
                return false;
            }
            if (!page || room(page) < row.size() + 2) {
                page = newDataPage(static_cast<std::uint32_t>(p.tdefPage), false);
                p.dataPages.push_back(page);
            }
            addRow(page, row);
        }
        return true;
    }

    void writeMaps(const std::vector<Placed>& placed)
    {
        QByteArray& maps = pages_[1];
        put8(maps, 0, 0x01);
        put8(maps, 1, 0x01);
        put16(maps, 2, f_.pageSize - dataHeaderSize());
        const int bitmapBytes = std::max<int>(f_.jet3 ? 123 : 59, (static_cast<int>(pages_.size()) + 7) / 8);
        for (const Placed& p : placed) {
            QByteArray used(5 + bitmapBytes, '\0');   // type 0: start page 0, then one bit per page
            for (int pg : p.dataPages)
                used[5 + pg / 8] = static_cast<char>(used[5 + pg / 8] | (1 << (pg % 8)));
            QByteArray freeMap(5 + bitmapBytes, '\0');
            addRow(1, used);
            addRow(1, freeMap);
        }
    }

    bool writeDefinition(const Placed& p, int index, QString* why)
    {
        const Table& t = *p.table;
        QByteArray& d = pages_[static_cast<size_t>(p.tdefPage)];
        put8(d, 0, 0x02);
        put8(d, 1, 0x01);
        if (f_.jet3)
            std::memcpy(d.data() + 2, "VC", 2);
        const int n = static_cast<int>(t.columns.size());
        int varCount = 0;
        for (const Column& c : t.columns)
            varCount += !isFixed(c.type);
        long long nextAuto = 1;
        for (size_t ci = 0; ci < t.columns.size(); ++ci)
            if (t.columns[ci].autoIncrement)
                for (const auto& r : t.rows)
                    if (ci < r.size() && !r[ci].isNull())
                        nextAuto = std::max<long long>(nextAuto, r[ci].toLong() + 1);
        const std::uint32_t usedMap = (1u << 8) | static_cast<std::uint32_t>(2 * index);
        const std::uint32_t freeMap = (1u << 8) | static_cast<std::uint32_t>(2 * index + 1);
        const int tableType = t.flags ? 0x53 : 0x4e;
        int at = 0;
        if (f_.jet3) {
            put32(d, 12, static_cast<std::uint32_t>(t.rows.size()));
            put32(d, 16, static_cast<std::uint32_t>(nextAuto));
            put8(d, 20, tableType);
            put16(d, 21, n);
            put16(d, 23, varCount);
            put16(d, 25, n);
            put32(d, 27, 0);
            put32(d, 31, 0);
            put32(d, 35, usedMap);
            put32(d, 39, freeMap);
            at = 43;
        } else {
            put32(d, 16, static_cast<std::uint32_t>(t.rows.size()));
            put32(d, 20, static_cast<std::uint32_t>(nextAuto));
            put8(d, 24, 1);
            put8(d, 40, tableType);
            put16(d, 41, n);
            put16(d, 43, varCount);
            put16(d, 45, n);
            put32(d, 47, 0);
            put32(d, 51, 0);
            put32(d, 55, usedMap);
            put32(d, 59, freeMap);
            at = 63;
        }
        int fixedAt = 0, varAt = 0;
        for (int i = 0; i < n; ++i) {
            const Column& c = t.columns[static_cast<size_t>(i)];
            int flags = 0x02;   // may be Null
            if (isFixed(c.type))
                flags |= 0x01;
            if (c.autoIncrement)
                flags |= 0x04;
            const int len = c.type == Text ? c.size * (f_.jet3 ? 1 : 2) : (c.type == Bool ? 1 : fixedWidth(c.type));
            const int fixedOffset = isFixed(c.type) ? fixedAt : 0;
            const int varIndex = isFixed(c.type) ? 0 : varAt;
            if (f_.jet3) {
                put8(d, at, c.type);
                put16(d, at + 1, i);
                put16(d, at + 3, varIndex);
                put16(d, at + 5, i);
                put16(d, at + 7, c.type == Text || c.type == Memo ? 0x409 : 0);
                put16(d, at + 9, c.type == Text || c.type == Memo ? 0x4e4 : 0);
                put8(d, at + 13, flags);
                put16(d, at + 14, fixedOffset);
                put16(d, at + 16, len);
                at += 18;
            } else {
                put8(d, at, c.type);
                put16(d, at + 5, i);
                put16(d, at + 7, varIndex);
                put16(d, at + 9, i);
                put16(d, at + 11, c.type == Text || c.type == Memo ? 0x409 : 0);
                put8(d, at + 15, flags);
                put16(d, at + 21, fixedOffset);
                put16(d, at + 23, len);
                at += 25;
            }
            if (isFixed(c.type))
                fixedAt += fixedWidth(c.type);
            else
                ++varAt;
        }
        for (const Column& c : t.columns) {
            const QByteArray name = encodeText(f_, c.name);
            if (f_.jet3) {
                put8(d, at, static_cast<int>(name.size()));
                at += 1;
            } else {
                put16(d, at, static_cast<int>(name.size()));
                at += 2;
            }
            std::memcpy(d.data() + at, name.constData(), static_cast<size_t>(name.size()));
            at += static_cast<int>(name.size());
        }
        put16(d, at, 0xffff);   // end of the (empty) list of variable columns' own maps
        at += 2;
        if (at > f_.pageSize) {
            if (why)
                *why = QStringLiteral("the definition of table %1 does not fit a page").arg(t.name);
            return false;
        }
        put32(d, 8, static_cast<std::uint32_t>(at - 8));
        if (!f_.jet3)
            put16(d, 2, f_.pageSize - at - 8);
        return true;
    }

    void writeHeader()
    {
        QByteArray& h = pages_[0];
        put8(h, 0, 0x00);
        put8(h, 1, 0x01);
        std::memcpy(h.data() + 4, "Standard Jet DB", 15);
        put8(h, 0x14, f_.jet3 ? 0 : 1);
        // The variable part, in the clear: sort order, code page, no key.
        if (f_.jet3)
            put16(h, 0x3a, 0x409);
        else
            put16(h, 0x6e, 0x409);
        put16(h, 0x3c, 1252);
        put32(h, 0x3e, 0);
        const std::uint32_t key = 0x6b39dac7u;
        const unsigned char k[4] = {static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
                                    static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
        rc4(k, 4, reinterpret_cast<unsigned char*>(h.data()) + 0x18, f_.jet3 ? 126 : 128);
    }

    Format f_;
    bool catalogueFirst_;
    std::vector<QByteArray> pages_;
};

} // namespace

bool writeMdb(const QString& path, Version version, const std::vector<Table>& tables, QString* why, CatalogueRows catalogue)
{
    Writer w(version, catalogue);
    return w.write(path, tables, why);
}

QString mdbReader(const QStringList& files, QJsonArray& report, const QStringList& tables)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QString npm = QStandardPaths::findExecutable(QStringLiteral("npm"));
    if (node.isEmpty() || npm.isEmpty())
        return QStringLiteral("node and npm are not installed");
    const QString prefix = QStringLiteral(QB_BINARY_DIR "/npm-readers");
    QDir().mkpath(prefix);
    QLockFile lock(prefix + QStringLiteral("/.lock"));   // tests run side by side install once
    lock.setStaleLockTime(300000);
    if (!lock.lock())
        return QStringLiteral("cannot lock ") + prefix;
    if (!QFile::exists(prefix + QStringLiteral("/node_modules/mdb-reader/package.json"))) {
        QProcess install;
        install.start(npm, {QStringLiteral("install"), QStringLiteral("--no-audit"), QStringLiteral("--no-fund"),
                            QStringLiteral("--prefix"), prefix, QStringLiteral("mdb-reader@3.2.0")});
        if (!install.waitForFinished(180000) || install.exitCode() != 0)
            return QStringLiteral("npm could not install mdb-reader: ") + QString::fromUtf8(install.readAllStandardError());
    }
    // A module finds its packages beside itself: the script runs from there.
    const QString script = prefix + QStringLiteral("/read_mdb.mjs");
    QFile::remove(script);
    if (!QFile::copy(QStringLiteral(QB_SOURCE_DIR "/tests/platform/drivers/read_mdb.mjs"), script))
        return QStringLiteral("cannot copy the reader's script to ") + prefix;
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    run.setProcessEnvironment(env);
    QStringList arguments{script};
    for (const QString& t : tables)
        arguments << QStringLiteral("--table=") + t;
    run.start(node, arguments + files);
    if (!run.waitForFinished(120000))
        return QStringLiteral("mdb-reader did not finish");
    const QByteArray err = run.readAllStandardError();
    report = QJsonDocument::fromJson(run.readAllStandardOutput()).array();
    if (run.exitCode() != 0 || report.size() != files.size())
        report = QJsonArray{QJsonObject{{QStringLiteral("error"), QString::fromUtf8(err)}}};
    return {};
}

} // namespace mdbfixture
