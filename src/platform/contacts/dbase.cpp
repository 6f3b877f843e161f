// The dBase III reader and writer. A table is read in one go (the file's
// size in memory, memos decoded); a write builds the whole file in memory and
// writes it to the paths it is given, flushed to the disk. Callers write to
// new names and rename them over the old files once everything is written.
#include "platform/contacts/dbase.h"

#include "common/codepage.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include <unistd.h>

namespace contacts {
namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr int kMemoBlock = 512;
constexpr char kLive = ' ';
constexpr char kDeleted = '*';

quint32 le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}
quint16 le16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | u[1] << 8);
}
void put32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
void put16(char* p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ContactError(QStringLiteral("Cannot read '%1': %2").arg(path, f.errorString()));
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush()
        || f.error() != QFileDevice::NoError || ::fsync(f.handle()) != 0) {
        const QString why = f.errorString();
        f.close();
        f.remove();
        throw ContactError(QStringLiteral("Cannot write '%1': %2").arg(path, why));
    }
}

QString fieldError(const DbfField& f, const QString& why)
{
    return QStringLiteral("The field %1 cannot hold this value: %2").arg(f.name, why);
}

bool isNumberText(const QString& s)
{
    bool ok = false;
    s.toDouble(&ok);
    if (!ok)
        return false;
    // Only plain decimal forms: what dBase itself writes and reads.
    for (QChar c : s)
        if (!(c.isDigit() || c == u'-' || c == u'+' || c == u'.'))
            return false;
    return true;
}

} // namespace

bool hasWindows1252Code(QChar c) { return codepage::codeOf(c) >= 0; }

QByteArray toWindows1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar qc : text) {
        const int code = codepage::codeOf(qc);
        if (code < 0)
            throw ContactError(QStringLiteral("The character '%1' (U+%2) has no code in the Windows code page.")
                                   .arg(QString(qc))
                                   .arg(int(qc.unicode()), 4, 16, QLatin1Char('0')));
        out.append(char(code));
    }
    return out;
}

QString fromWindows1252(const QByteArray& bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = codepage::charOfCode(static_cast<unsigned char>(bytes[i]));
    return out;
}

DbfTable::DbfTable(std::vector<DbfField> fields) : fields_(std::move(fields))
{
    for (DbfField& f : fields_) {
        f.name = f.name.toUpper();
        if (f.name.isEmpty() || f.name.size() > 10 || toWindows1252(f.name).size() != f.name.size())
            throw ContactError(QStringLiteral("'%1' is not a dBase field name.").arg(f.name));
        switch (f.type) {
        case 'D': f.length = 8; break;
        case 'L': f.length = 1; break;
        case 'M': f.length = 10; break;
        case 'C':
        case 'N': break;
        default: throw ContactError(QStringLiteral("The field %1 has the unknown type '%2'.").arg(f.name).arg(f.type));
        }
        if (f.length < 1 || f.length > 254)
            throw ContactError(QStringLiteral("The field %1 has the length %2.").arg(f.name).arg(f.length));
        memo_ = memo_ || f.type == 'M';
        offsets_.push_back(recordLength_);
        recordLength_ += f.length;
    }
}

bool DbfTable::hasMemo() const { return memo_; }

QString DbfTable::memoPath(const QString& path)
{
    const QFileInfo fi(path);
    const QString base = fi.completeBaseName();
    const QDir dir = fi.dir();
    for (const QString& name : dir.entryList(QDir::Files))
        if (QFileInfo(name).completeBaseName() == base && QFileInfo(name).suffix().compare(QLatin1String("dbt"), Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return dir.filePath(base + (fi.suffix() == QLatin1String("DBF") ? QStringLiteral(".DBT") : QStringLiteral(".dbt")));
}

DbfTable DbfTable::read(const QString& path)
{
    const QByteArray file = readFile(path);
    const auto damaged = [&](const char* what) {
        return ContactError(QStringLiteral("'%1' is not a dBase table (%2).").arg(path, QLatin1String(what)));
    };
    if (file.size() < kHeaderSize + 1)
        throw damaged("too short");
    const char* h = file.constData();
    const quint32 count = le32(h + 4);
    const int headerLength = le16(h + 8);
    const int recordLength = le16(h + 10);
    if (headerLength < kHeaderSize + 1 || headerLength > file.size() || (headerLength - kHeaderSize - 1) % kDescriptorSize != 0)
        throw damaged("header length");

    std::vector<DbfField> fields;
    for (int p = kHeaderSize; p + kDescriptorSize <= headerLength && h[p] != 0x0D; p += kDescriptorSize) {
        DbfField f;
        f.name = QString::fromLatin1(h + p, int(qstrnlen(h + p, 11)));
        f.type = h[p + 11];
        f.length = static_cast<unsigned char>(h[p + 16]);
        f.decimals = static_cast<unsigned char>(h[p + 17]);
        fields.push_back(f);
    }
    DbfTable t;
    try {
        t = DbfTable(std::move(fields));
    } catch (const ContactError&) {
        throw damaged("field descriptors");
    }
    if (t.recordLength_ != recordLength)
        throw damaged("record length");
    if (qint64(headerLength) + qint64(count) * recordLength > file.size())
        throw damaged("fewer records than the header says");

    QByteArray memo;
    if (t.hasMemo()) {
        const QString mp = memoPath(path);
        memo = QFileInfo::exists(mp) ? readFile(mp) : QByteArray();
    }
    t.rows_.reserve(count);
    for (quint32 r = 0; r < count; ++r) {
        const char* rec = h + headerLength + qint64(r) * recordLength;
        if (rec[0] == kDeleted)
            continue;
        t.rows_.emplace_back(rec, recordLength);
        if (!t.hasMemo())
            continue;
        std::vector<QString> memos(t.fields_.size());
        for (size_t i = 0; i < t.fields_.size(); ++i) {
            if (t.fields_[i].type != 'M')
                continue;
            const QByteArray ref = QByteArray(rec + t.offsets_[i], 10).trimmed();
            if (ref.isEmpty())
                continue;
            bool ok = false;
            const qint64 block = ref.toLongLong(&ok);
            if (!ok || block < 1 || block * kMemoBlock >= memo.size())
                throw damaged("memo reference");
            const qint64 start = block * kMemoBlock;
            qsizetype end = memo.indexOf('\x1A', start);
            if (end < 0)
                end = memo.size();
            memos[i] = fromWindows1252(memo.mid(start, end - start));
        }
        t.memos_.push_back(std::move(memos));
    }
    return t;
}

void DbfTable::write(const QString& path, const QString& memoFile) const
{
    const bool memo = hasMemo();
    QByteArray out(kHeaderSize + kDescriptorSize * qsizetype(fields_.size()) + 1, '\0');
    char* h = out.data();
    h[0] = memo ? char(0x83) : char(0x03);
    const QDate today = QDate::currentDate();
    h[1] = char(today.year() - 1900);
    h[2] = char(today.month());
    h[3] = char(today.day());
    quint32 live = 0;
    for (const QByteArray& rec : rows_)
        live += rec[0] != kDeleted;
    put32(h + 4, live);
    put16(h + 8, quint16(out.size()));
    put16(h + 10, quint16(recordLength_));
    h[29] = 0x03;   // Windows ANSI
    for (size_t i = 0; i < fields_.size(); ++i) {
        char* d = h + kHeaderSize + kDescriptorSize * qsizetype(i);
        const QByteArray name = fields_[i].name.toLatin1();
        std::memcpy(d, name.constData(), size_t(name.size()));
        d[11] = fields_[i].type;
        d[16] = char(fields_[i].length);
        d[17] = char(fields_[i].decimals);
    }
    h[out.size() - 1] = 0x0D;

    QByteArray dbt;
    if (memo) {
        dbt = QByteArray(kMemoBlock, '\0');
    }
    out.reserve(out.size() + qsizetype(rows_.size()) * recordLength_ + 1);
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (rows_[r][0] == kDeleted)
            continue;
        QByteArray rec = rows_[r];
        for (size_t i = 0; memo && i < fields_.size(); ++i) {
            if (fields_[i].type != 'M')
                continue;
            const QString& text = memos_[r][i];
            QByteArray ref(10, ' ');
            if (!text.isEmpty()) {
                const qint64 block = dbt.size() / kMemoBlock;
                dbt += toWindows1252(text);
                dbt += "\x1A\x1A";
                dbt += QByteArray((kMemoBlock - dbt.size() % kMemoBlock) % kMemoBlock, '\0');
                ref = QByteArray::number(block).rightJustified(10, ' ');
            }
            std::memcpy(rec.data() + offsets_[i], ref.constData(), 10);
        }
        out += rec;
    }
    out += '\x1A';
    if (memo) {
        put32(dbt.data(), quint32(dbt.size() / kMemoBlock));
        writeFile(memoFile, dbt);
    }
    writeFile(path, out);
}

int DbfTable::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void DbfTable::requireRow(int row) const
{
    if (row < 0 || row >= rowCount())
        throw ContactError(QStringLiteral("There is no record %1.").arg(row + 1));
}

QString DbfTable::text(int row, int field) const
{
    requireRow(row);
    const DbfField& f = fields_.at(size_t(field));
    if (f.type == 'M')
        return memos_[size_t(row)][size_t(field)];
    // Straight from the record: the blanks that pad it are not decoded.
    const char* raw = rows_[size_t(row)].constData() + offsets_[size_t(field)];
    int n = f.length;
    while (n > 0 && raw[n - 1] == ' ')
        --n;
    int start = 0;
    if (f.type != 'C')
        while (start < n && raw[start] == ' ')
            ++start;
    return fromWindows1252(QByteArray::fromRawData(raw + start, n - start));
}

void DbfTable::setText(int row, int field, const QString& value)
{
    requireRow(row);
    const DbfField& f = fields_.at(size_t(field));
    if (f.type == 'M') {
        if (value.contains(QChar(0x1A)))
            throw ContactError(fieldError(f, QStringLiteral("it holds the character 26.")));
        toWindows1252(value);   // refuses what the code page cannot hold
        memos_[size_t(row)][size_t(field)] = value;
        return;
    }
    QByteArray bytes = toWindows1252(value);
    switch (f.type) {
    case 'C':
        if (bytes.size() > f.length)
            throw ContactError(fieldError(f, QStringLiteral("it is longer than %1 characters.").arg(f.length)));
        bytes = bytes.leftJustified(f.length, ' ');
        break;
    case 'N':
        bytes = bytes.trimmed();
        if (!bytes.isEmpty() && (!isNumberText(QString::fromLatin1(bytes)) || bytes.size() > f.length))
            throw ContactError(fieldError(f, QStringLiteral("'%1' is not a number of %2 digits.").arg(value).arg(f.length)));
        bytes = bytes.rightJustified(f.length, ' ');
        break;
    case 'D':
        if (!bytes.isEmpty()) {
            bool digits = bytes.size() == 8;
            for (char ch : bytes)
                digits = digits && ch >= '0' && ch <= '9';
            if (!digits || !QDate::isValid(bytes.left(4).toInt(), bytes.mid(4, 2).toInt(), bytes.mid(6, 2).toInt()))
                throw ContactError(fieldError(f, QStringLiteral("'%1' is not a date.").arg(value)));
        }
        bytes = bytes.leftJustified(8, ' ');
        break;
    case 'L':
        if (bytes.size() > 1 || (!bytes.isEmpty() && !QByteArray("TFYN?tfyn").contains(bytes[0])))
            throw ContactError(fieldError(f, QStringLiteral("'%1' is not a yes/no value.").arg(value)));
        bytes = bytes.toUpper().leftJustified(1, ' ');
        break;
    }
    std::memcpy(rows_[size_t(row)].data() + offsets_[size_t(field)], bytes.constData(), size_t(f.length));
}

int DbfTable::appendRow()
{
    QByteArray rec(recordLength_, ' ');
    rec[0] = kLive;
    rows_.push_back(rec);
    if (hasMemo())
        memos_.emplace_back(fields_.size());
    return rowCount() - 1;
}

void DbfTable::removeRow(int row)
{
    requireRow(row);
    rows_[size_t(row)][0] = kDeleted;
}

bool DbfTable::isRemoved(int row) const
{
    requireRow(row);
    return rows_[size_t(row)][0] == kDeleted;
}

} // namespace contacts
