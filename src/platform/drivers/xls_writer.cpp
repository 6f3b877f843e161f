// The Excel export driver: turns a list into a BIFF5 or BIFF8 workbook with one
// sheet and stores it as the "Book" (BIFF5) or "Workbook" (BIFF8) stream of an
// OLE2 compound file through libgsf.
//
// Order of work: every row is turned into cell records in memory first, while
// BIFF8 text is collected into the shared string table (SST), because the SST
// sits in the workbook globals, before the sheet. Only when all rows passed the
// limits is the file created, so a refused list leaves no half-written file.
// Then: globals (BOF, CODEPAGE, WINDOW1, DATEMODE, FONT x4, FORMAT x2 in
// BIFF8, XF x19, STYLE, BOUNDSHEET, SST in BIFF8, EOF), the sheet (BOF,
// DIMENSIONS, cells, WINDOW2, EOF), the BOUNDSHEET's stream offset patched,
// the stream padded with zeros to 4096 bytes so that it lives in ordinary
// sectors and not in the mini-stream.
//
// A record body holds at most 2,080 bytes in BIFF5 and 8,224 in BIFF8. Only
// the SST outgrows that; it goes on in CONTINUE records, where a string's
// 3-byte header is never split, every CONTINUE that carries the rest of a
// string starts with the string's flags byte again, and no string spans more
// than two records (see kSstLimit). BIFF5 cell text is kept to one LABEL
// record (readers do not follow it into CONTINUE records).
//
// Dates are numbers in a date format: XF 16 (date), 17 (date and time) or 18
// (time of day). Memory: about 14 bytes per cell plus the distinct strings.
#include "platform/drivers/xls_writer.h"

#include "platform/files/checked_file.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QHash>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <optional>
#include <string>

namespace drivers {
namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCodepage = 0x0042;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kDateMode = 0x0022;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kBlank = 0x0201;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kBoolErr = 0x0205;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kWindow2 = 0x023E;

constexpr std::size_t kStreamMinimum = 4096;

// Cell formats: XF 15 is the plain cell format; 16 to 18 carry the date
// formats below. Format numbers from 164 up are the workbook's own.
constexpr std::uint16_t kXfGeneral = 15;
constexpr std::uint16_t kXfDate = 16;
constexpr std::uint16_t kXfDateTime = 17;
constexpr std::uint16_t kXfTime = 18;

struct OwnFormat {
    std::uint16_t index;
    const char* code;
};
// BIFF8 gets formats of its own that show four-digit years and seconds.
// BIFF5 keeps to the built-in ones, as FreeXL misreads a BIFF5 FORMAT record.
constexpr std::uint16_t kBuiltInDate = 14;     // "m/d/yy"
constexpr std::uint16_t kBuiltInDateTime = 22; // "m/d/yy h:mm"
constexpr std::uint16_t kBuiltInTime = 21;     // "h:mm:ss"
constexpr OwnFormat kFormats[] = {
    {164, "m/d/yyyy"},
    {165, "m/d/yyyy h:mm:ss"},
};

// Little-endian byte buffer.
class Bytes {
public:
    void u8(std::uint8_t v) { s_.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v)
    {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void f64(double d)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        u32(static_cast<std::uint32_t>(bits));
        u32(static_cast<std::uint32_t>(bits >> 32));
    }
    void raw(const std::string& b) { s_ += b; }
    std::size_t size() const { return s_.size(); }
    std::string& str() { return s_; }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};

// The 0x80 to 0x9F block of Windows-1252; the rest of the code page below
// 0x100 is Latin-1. Zero marks the five unassigned codes.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

std::uint8_t cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<std::uint8_t>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c && c != 0)
            return static_cast<std::uint8_t>(0x80 + i);
    return '?'; // no such character in the code page
}

std::string toCp1252(const QString& s)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(s.size()));
    for (QChar c : s)
        out.push_back(static_cast<char>(cp1252Byte(c.unicode())));
    return out;
}

/// The first character of s that Windows-1252 has no code for, or nullopt.
std::optional<char32_t> firstOutsideCp1252(const QString& s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (cp1252Byte(c) == '?' && c != u'?') {
            if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate())
                return QChar::surrogateToUcs4(c, s[i + 1].unicode());
            return c;
        }
    }
    return std::nullopt;
}

QString describeCharacter(char32_t c)
{
    return QStringLiteral("'%1' (U+%2)")
        .arg(QString::fromUcs4(&c, 1), QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0'));
}

/// Why an Excel 5.0/95 sheet cannot hold the text, or "" when it can.
QString biff5Refusal(const QString& text, const QString& where)
{
    const std::optional<char32_t> c = firstOutsideCp1252(text);
    if (!c)
        return QString();
    return QStringLiteral("%1 holds the character %2, which an Excel 5.0 or 95 worksheet cannot store (it holds the "
                          "characters of Windows-1252 only).  Export to Excel 97-2000 instead: it holds every "
                          "character.")
        .arg(where, describeCharacter(*c));
}

bool needsWideChars(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > 0xFF)
            return true;
    return false;
}

// One BIFF stream being built, with the version's record rules.
class Biff {
public:
    explicit Biff(XlsVersion v) : v8_(v == XlsVersion::Biff8) {}

    bool v8() const { return v8_; }

    /// One record. Bodies stay within the limit: cell text is bounded by
    /// xlsMaxTextLength and the string table splits itself.
    void record(Bytes& out, std::uint16_t id, const std::string& body) const
    {
        out.u16(id);
        out.u16(static_cast<std::uint16_t>(body.size()));
        out.raw(body);
    }

    void record(Bytes& out, std::uint16_t id, const Bytes& body) const { record(out, id, body.str()); }

    /// A string with a one-byte length: BIFF8 adds the flags byte and UTF-16
    /// when needed; BIFF5 writes CP1252. Only for short names (fonts, sheets).
    void shortString(Bytes& b, const QString& s) const
    {
        b.u8(static_cast<std::uint8_t>(s.size()));
        if (v8_)
            unicodeChars(b, s);
        else
            b.raw(toCp1252(s));
    }

    /// A string with a two-byte length (formats; BIFF5 cell text).
    void longString(Bytes& b, const QString& s) const
    {
        b.u16(static_cast<std::uint16_t>(s.size()));
        if (v8_)
            unicodeChars(b, s);
        else
            b.raw(toCp1252(s));
    }

private:
    static void unicodeChars(Bytes& b, const QString& s)
    {
        const bool wide = needsWideChars(s);
        b.u8(wide ? 1 : 0);
        for (QChar c : s) {
            if (wide)
                b.u16(c.unicode());
            else
                b.u8(static_cast<std::uint8_t>(c.unicode()));
        }
    }

    bool v8_;
};

// A string of the table spans at most two records: FreeXL (1.0.6) takes the
// whole rest of a split string from the one CONTINUE that follows (it rejects
// the workbook, or reads past the record, otherwise). A string that would
// need more therefore starts a new CONTINUE record, so that up to 16,444
// 8-bit or 8,221 UTF-16 characters always fit in two.
constexpr std::size_t kSstLimit = 8224;

// The shared string table: distinct strings in first-use order.
class StringTable {
public:
    std::uint32_t add(const QString& s)
    {
        ++total_;
        auto it = index_.constFind(s);
        if (it != index_.constEnd())
            return it.value();
        const auto i = static_cast<std::uint32_t>(strings_.size());
        index_.insert(s, i);
        strings_.push_back(s);
        return i;
    }

    /// SST and its CONTINUE records.
    void write(Bytes& out) const
    {
        constexpr std::size_t limit = kSstLimit;
        std::uint16_t id = kSst;
        Bytes body;
        body.u32(total_);
        body.u32(static_cast<std::uint32_t>(strings_.size()));
        auto flush = [&] {
            out.u16(id);
            out.u16(static_cast<std::uint16_t>(body.size()));
            out.raw(body.str());
            body.str().clear();
            id = kContinue;
        };
        for (const QString& s : strings_) {
            const bool wide = needsWideChars(s);
            const std::size_t charSize = wide ? 2 : 1;
            const auto chars = static_cast<std::size_t>(s.size());
            // The length and flags stay with at least the first character,
            // and what does not fit here must fit the next record.
            const std::size_t room = body.size() + 3 < limit ? (limit - body.size() - 3) / charSize : 0;
            if (body.size() + 3 > limit || (chars > 0 && room == 0)
                || (chars > room && (chars - room) * charSize + 1 > limit))
                flush();
            body.u16(static_cast<std::uint16_t>(s.size()));
            body.u8(wide ? 1 : 0);
            qsizetype pos = 0;
            while (pos < s.size()) {
                std::size_t fit = (limit - body.size()) / charSize;
                if (fit == 0) {
                    flush();
                    body.u8(wide ? 1 : 0); // the continued string's flags again
                    continue;
                }
                const qsizetype take = std::min<qsizetype>(static_cast<qsizetype>(fit), s.size() - pos);
                for (qsizetype i = pos; i < pos + take; ++i) {
                    if (wide)
                        body.u16(s[i].unicode());
                    else
                        body.u8(static_cast<std::uint8_t>(s[i].unicode()));
                }
                pos += take;
            }
        }
        flush();
    }

private:
    QHash<QString, std::uint32_t> index_;
    std::vector<QString> strings_;
    std::uint32_t total_ = 0;
};

// Excel's 1900 day count holds a 29 February 1900 (serial 60) that never was,
// so its serials of January and February 1900 are one below the engine's. Days
// before 1 January 1900 have no Excel serial; a time of day alone (serial
// between 0 and 1) is the same in both.
std::optional<double> excelSerial(jet::DateTime d)
{
    const double s = d.serial;
    if (s > 0 && s < 1)
        return s;
    if (s >= 61)
        return s;
    if (s >= 2)
        return s - 1;
    return std::nullopt;
}

std::uint16_t dateXf(double serial)
{
    if (serial < 1)
        return kXfTime;
    return serial == std::floor(serial) ? kXfDate : kXfDateTime;
}

// Builds the sheet's cell records row by row.
class SheetBuilder {
public:
    SheetBuilder(const Biff& biff, StringTable& sst) : biff_(biff), sst_(sst) {}

    void text(std::uint32_t row, std::uint16_t col, const QString& s)
    {
        Bytes b;
        cellHead(b, row, col, kXfGeneral);
        if (biff_.v8()) {
            b.u32(sst_.add(s));
            biff_.record(cells_, kLabelSst, b);
        } else {
            biff_.longString(b, s);
            biff_.record(cells_, kLabel, b);
        }
    }

    void number(std::uint32_t row, std::uint16_t col, double d, std::uint16_t xf = kXfGeneral)
    {
        Bytes b;
        cellHead(b, row, col, xf);
        b.f64(d);
        biff_.record(cells_, kNumber, b);
    }

    void flag(std::uint32_t row, std::uint16_t col, bool v)
    {
        Bytes b;
        cellHead(b, row, col, kXfGeneral);
        b.u8(v ? 1 : 0);
        b.u8(0); // a boolean, not an error code
        biff_.record(cells_, kBoolErr, b);
    }

    void blank(std::uint32_t row, std::uint16_t col)
    {
        Bytes b;
        cellHead(b, row, col, kXfGeneral);
        biff_.record(cells_, kBlank, b);
    }

    /// Writes one cell; false when nothing was written (Null, NaN, infinity).
    bool value(std::uint32_t row, std::uint16_t col, const jet::Value& v)
    {
        switch (v.kind()) {
        case jet::Kind::Null:
            return false;
        case jet::Kind::Bool:
            flag(row, col, v.toBool());
            return true;
        case jet::Kind::Long:
        case jet::Kind::Double: {
            const double d = v.toDouble();
            if (!std::isfinite(d))
                return false; // a sheet has no infinity or NaN; leave the cell empty
            number(row, col, d);
            return true;
        }
        case jet::Kind::Currency: {
            // A number when the sheet's double gives the amount back digit
            // for digit; else the amount's text, with none changed.
            const double d = v.toDouble();
            if (jet::currencyOf(d) == v.currency())
                number(row, col, d);
            else
                text(row, col, v.toString());
            return true;
        }
        case jet::Kind::Date: {
            const std::optional<double> serial = excelSerial(v.toDate());
            if (serial)
                number(row, col, *serial, dateXf(*serial));
            else
                text(row, col, jet::displayDate(v.toDate())); // keep the date readable
            return true;
        }
        case jet::Kind::Text:
            // A sheet has no empty text cell (and FreeXL refuses a workbook
            // whose string table holds an empty string): "" is an empty cell.
            if (v.textPtr()->isEmpty()) {
                blank(row, col);
                return true;
            }
            text(row, col, *v.textPtr());
            return true;
        }
        return false;
    }

    Bytes& cells() { return cells_; }

private:
    void cellHead(Bytes& b, std::uint32_t row, std::uint16_t col, std::uint16_t xf) const
    {
        b.u16(static_cast<std::uint16_t>(row));
        b.u16(col);
        b.u16(xf);
    }

    const Biff& biff_;
    StringTable& sst_;
    Bytes cells_;
};

void bof(const Biff& biff, Bytes& out, std::uint16_t type)
{
    Bytes b;
    if (biff.v8()) {
        b.u16(0x0600);
        b.u16(type);
        b.u16(0x0DBB); // build
        b.u16(0x07CC); // year
        b.u32(0);      // file history
        b.u32(0x06);   // lowest version that can read the file
    } else {
        b.u16(0x0500);
        b.u16(type);
        b.u16(0x0DBB);
        b.u16(0x07CC);
    }
    biff.record(out, kBof, b);
}

void emptyRecord(const Biff& biff, Bytes& out, std::uint16_t id)
{
    biff.record(out, id, std::string());
}

void fonts(const Biff& biff, Bytes& out)
{
    // Font index 4 does not exist in BIFF; four fonts cover 0 to 3.
    for (int i = 0; i < 4; ++i) {
        Bytes b;
        b.u16(200);    // 10 points, in twentieths
        b.u16(0);      // no italic or strike-out
        b.u16(0x7FFF); // automatic colour
        b.u16(400);    // normal weight
        b.u16(0);      // no super- or subscript
        b.u8(0);       // no underline
        b.u8(0);       // family
        b.u8(0);       // character set
        b.u8(0);
        biff.shortString(b, QStringLiteral("Arial"));
        biff.record(out, kFont, b);
    }
}

void formats(const Biff& biff, Bytes& out)
{
    if (!biff.v8())
        return;
    for (const OwnFormat& f : kFormats) {
        Bytes b;
        b.u16(f.index);
        biff.longString(b, QString::fromLatin1(f.code));
        biff.record(out, kFormat, b);
    }
}

void xf(const Biff& biff, Bytes& out, bool style, std::uint16_t format)
{
    // Style formats mark every attribute group as their own (flags 0); cell
    // formats say that they set all groups themselves (the number format
    // among them), so readers do not fall back on the parent style's.
    Bytes b;
    b.u16(0);                        // font
    b.u16(format);                   // number format
    b.u16(style ? 0xFFF5 : 0x0001);  // style XF without parent / locked cell of style 0
    if (biff.v8()) {
        b.u8(0x20);                  // aligned at the bottom
        b.u8(0);                     // no rotation
        b.u8(0);                     // no indent
        b.u8(style ? 0x00 : 0xFC);   // attribute groups used
        b.u32(0);                    // no borders
        b.u32(0);
        b.u16(0x20C0);               // pattern colours: automatic
    } else {
        b.u16(style ? 0x0020 : 0xFC20); // bottom alignment; attribute groups used
        b.u16(0x20C0);               // pattern colours: automatic
        b.u16(0);                    // no pattern, no bottom line
        b.u32(0);                    // no other lines
    }
    biff.record(out, kXf, b);
}

void putU32At(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A BIFF5 name holds Windows-1252 only: other letters become "_" too, not
// the "?" a sheet name may not hold.
QString cleanSheetName(const QString& name, bool cp1252Only)
{
    QString n = name;
    for (QChar& c : n) {
        if (c == u':' || c == u'\\' || c == u'/' || c == u'?' || c == u'*' || c == u'[' || c == u']'
            || c.unicode() < 0x20 || (cp1252Only && cp1252Byte(c.unicode()) == '?'))
            c = u'_';
    }
    n = n.left(31);
    // A sheet name may not start or end with a quote.
    while (n.startsWith(u'\''))
        n.remove(0, 1);
    while (n.endsWith(u'\''))
        n.chop(1);
    if (n.trimmed().isEmpty())
        n = QStringLiteral("Sheet1");
    return n;
}

struct GsfCloser {
    GsfOutput* file = nullptr;
    GsfOutfile* ole = nullptr;
    GsfOutput* stream = nullptr;
    ~GsfCloser()
    {
        if (stream)
            g_object_unref(stream);
        if (ole)
            g_object_unref(ole);
        if (file)
            g_object_unref(file);
    }
};

bool storeCompoundFile(const QString& path, XlsVersion version, const std::string& stream, QString* error)
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });

    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Could not write file '%1': %2").arg(path, why);
        return false;
    };

    // The compound file is made in memory and written out whole through the
    // checked file: a full disk leaves no cut workbook behind.
    GsfCloser g;
    g.file = gsf_output_memory_new();
    if (!g.file)
        return fail(QStringLiteral("out of memory"));
    g.ole = gsf_outfile_msole_new(g.file);
    if (!g.ole)
        return fail(QStringLiteral("cannot start the compound file"));
    g.stream = gsf_outfile_new_child(g.ole, version == XlsVersion::Biff8 ? "Workbook" : "Book", FALSE);
    if (!g.stream)
        return fail(QStringLiteral("cannot add the workbook stream"));

    bool ok = gsf_output_write(g.stream, stream.size(), reinterpret_cast<const guint8*>(stream.data()));
    ok = gsf_output_close(g.stream) && ok;
    ok = gsf_output_close(GSF_OUTPUT(g.ole)) && ok;
    // Closing the compound file normally closes its sink as well.
    if (!gsf_output_is_closed(g.file))
        ok = gsf_output_close(g.file) && ok;
    if (!ok) {
        const GError* e = gsf_output_error(g.file);
        return fail(e ? QString::fromUtf8(e->message) : QStringLiteral("write failed"));
    }
    GsfOutputMemory* memory = GSF_OUTPUT_MEMORY(g.file);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(memory)),
                                                     static_cast<qsizetype>(gsf_output_size(g.file)));
    QString why;
    if (!files::writeWholeFile(path, bytes, &why)) {
        if (error)
            *error = why;
        return false;
    }
    return true;
}

QString versionName(XlsVersion v)
{
    return v == XlsVersion::Biff8 ? QStringLiteral("Excel 97-2000") : QStringLiteral("Excel 5.0");
}

} // namespace

int xlsMaxTextLength(XlsVersion version, bool latin1)
{
    if (version == XlsVersion::Biff5)
        return 2080 - 8; // one LABEL record
    // Two string-table records: a fresh CONTINUE less the string's header,
    // plus a whole CONTINUE less the repeated flags byte.
    const int charSize = latin1 ? 1 : 2;
    return static_cast<int>((kSstLimit - 3) / charSize + (kSstLimit - 1) / charSize);
}

int xlsMaxRows(XlsVersion version)
{
    return version == XlsVersion::Biff8 ? 65536 : 16384;
}

bool writeXls(const QString& path, XlsVersion version, const QString& sheetName, const jet::ColumnList& columns,
              const XlsRowSource& rows, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (columns.size() > static_cast<std::size_t>(kXlsMaxColumns))
        return fail(QStringLiteral("Too many columns for an Excel worksheet: %1 (at most %2).")
                        .arg(columns.size())
                        .arg(kXlsMaxColumns));

    const Biff biff(version);
    StringTable sst;
    SheetBuilder sheet(biff, sst);
    const auto ncols = static_cast<std::uint16_t>(columns.size());

    const int maxText = xlsMaxTextLength(version, false);
    for (std::uint16_t c = 0; c < ncols; ++c) {
        if (!biff.v8()) {
            const QString why = biff5Refusal(columns[c].name, QStringLiteral("The column name [%1]").arg(columns[c].name));
            if (!why.isEmpty())
                return fail(why);
        }
        sheet.value(0, c, columns[c].name.left(maxText));
    }

    const auto maxRows = static_cast<std::uint32_t>(xlsMaxRows(version));
    std::uint32_t row = 1; // the header is row 0
    std::vector<jet::Value> values;
    values.reserve(columns.size());
    while (true) {
        values.clear();
        if (!rows || !rows(values))
            break;
        if (row >= maxRows)
            return fail(QStringLiteral("Too many rows for an %1 worksheet: at most %2 rows besides the header row.")
                            .arg(versionName(version))
                            .arg(maxRows - 1));
        if (values.size() != columns.size())
            return fail(QStringLiteral("Record %1 has %2 values for %3 columns.")
                            .arg(row)
                            .arg(values.size())
                            .arg(columns.size()));
        bool any = false;
        for (std::uint16_t c = 0; c < ncols; ++c) {
            const QString* t = values[c].textPtr();
            if (t && t->size() > maxText) {
                const int most = xlsMaxTextLength(version, !needsWideChars(*t));
                if (t->size() > most)
                    return fail(QStringLiteral("The text in record %1, column [%2] is longer than %3 characters, "
                                               "the most an %4 cell of this text holds.")
                                    .arg(row)
                                    .arg(columns[c].name)
                                    .arg(most)
                                    .arg(versionName(version)));
            }
            if (t && !biff.v8()) {
                const QString why =
                    biff5Refusal(*t, QStringLiteral("The text in record %1, column [%2]").arg(row).arg(columns[c].name));
                if (!why.isEmpty())
                    return fail(why);
            }
            any = sheet.value(row, c, values[c]) || any;
        }
        // A record of nothing but Nulls still takes its row, so that readers
        // that go by the cells they find do not drop it at the end.
        if (!any && ncols > 0)
            sheet.blank(row, 0);
        ++row;
    }

    Bytes out;
    bof(biff, out, 0x0005);
    {
        Bytes b;
        b.u16(biff.v8() ? 1200 : 1252);
        biff.record(out, kCodepage, b);
    }
    {
        Bytes b;
        b.u16(0);      // left
        b.u16(0);      // top
        b.u16(0x4000); // width
        b.u16(0x2000); // height
        b.u16(0x0038); // horizontal and vertical scroll bars, sheet tabs
        b.u16(0);      // active sheet
        b.u16(0);      // first visible tab
        b.u16(1);      // selected sheets
        b.u16(0x0258); // tab bar width ratio
        biff.record(out, kWindow1, b);
    }
    {
        Bytes b;
        b.u16(0); // the 1900 day count
        biff.record(out, kDateMode, b);
    }
    fonts(biff, out);
    formats(biff, out);
    for (int i = 0; i < 15; ++i)
        xf(biff, out, true, 0);
    xf(biff, out, false, 0);
    xf(biff, out, false, biff.v8() ? kFormats[0].index : kBuiltInDate);
    xf(biff, out, false, biff.v8() ? kFormats[1].index : kBuiltInDateTime);
    xf(biff, out, false, kBuiltInTime);
    {
        Bytes b;
        b.u16(0x8000); // built-in style for XF 0
        b.u8(0);       // "Normal"
        b.u8(0xFF);
        biff.record(out, kStyle, b);
    }
    std::size_t sheetOffsetAt = 0;
    {
        Bytes b;
        b.u32(0); // stream offset of the sheet's BOF, patched below
        b.u16(0); // visible worksheet
        biff.shortString(b, cleanSheetName(sheetName, !biff.v8()));
        sheetOffsetAt = out.size() + 4;
        biff.record(out, kBoundSheet, b);
    }
    if (biff.v8())
        sst.write(out);
    emptyRecord(biff, out, kEof);

    putU32At(out.str(), sheetOffsetAt, static_cast<std::uint32_t>(out.size()));
    bof(biff, out, 0x0010);
    {
        Bytes b;
        if (biff.v8()) {
            b.u32(0);
            b.u32(row);
        } else {
            b.u16(0);
            b.u16(static_cast<std::uint16_t>(row));
        }
        b.u16(0);
        b.u16(ncols);
        b.u16(0);
        biff.record(out, kDimensions, b);
    }
    out.raw(sheet.cells().str());
    sheet.cells().str().clear();
    {
        Bytes b;
        b.u16(0x06B6); // grid lines, headers, zeros, outline symbols; selected and shown
        b.u16(0);      // top row
        b.u16(0);      // left column
        if (biff.v8()) {
            b.u32(0x40); // automatic grid line colour
            b.u16(0);    // zoom in page break preview
            b.u16(0);    // zoom in normal view
            b.u32(0);
        } else {
            b.u32(0);
        }
        biff.record(out, kWindow2, b);
    }
    emptyRecord(biff, out, kEof);
    if (out.size() < kStreamMinimum)
        out.str().append(kStreamMinimum - out.size(), '\0');

    return storeCompoundFile(path, version, out.str(), error);
}

bool writeXls(const QString& path, XlsVersion version, const QString& sheetName, const jet::ColumnList& columns,
              const std::vector<std::vector<jet::Value>>& rows, QString* error)
{
    std::size_t next = 0;
    return writeXls(
        path, version, sheetName, columns,
        [&](std::vector<jet::Value>& row) {
            if (next >= rows.size())
                return false;
            row = rows[next++];
            return true;
        },
        error);
}

} // namespace drivers
