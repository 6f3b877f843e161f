// Walks the BIFF records of a workbook stream for the numbers of one sheet.
// Every length is checked against the stream before it is followed, so a
// damaged file ends the walk instead of reading past the buffer.
#include "platform/drivers/xls_serials.h"

#include "platform/jet/value.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <QFile>

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace drivers {
namespace {

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kNumber = 0x0203,
                  kRk = 0x027E, kMulRk = 0x00BD;

// A workbook holds at most a few hundred MB; a stream claiming more is damaged.
constexpr gsf_off_t kMostStreamBytes = 512LL * 1024 * 1024;

quint16 u16(const unsigned char* p) { return quint16(p[0] | (p[1] << 8)); }
quint32 u32(const unsigned char* p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }

double f64(const unsigned char* p)
{
    double d;
    std::memcpy(&d, p, 8);   // the files are little-endian, as are our targets
    return d;
}

// An RK number: a 30-bit integer or the top 30 bits of a double, perhaps / 100.
double rkValue(quint32 rk)
{
    double d;
    if (rk & 2) {
        d = static_cast<double>(static_cast<qint32>(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, 8);
    }
    return (rk & 1) ? d / 100 : d;
}

template <class T>
struct Unref {
    T* p = nullptr;
    ~Unref()
    {
        if (p)
            g_object_unref(p);
    }
};

std::vector<unsigned char> workbookStream(const QString& path)
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
    Unref<GsfInput> file{gsf_input_stdio_new(QFile::encodeName(path).constData(), nullptr)};
    if (!file.p)
        return {};
    Unref<GsfInfile> ole{gsf_infile_msole_new(file.p, nullptr)};
    if (!ole.p)
        return {};
    Unref<GsfInput> stream{gsf_infile_child_by_name(ole.p, "Workbook")};
    if (!stream.p)
        stream.p = gsf_infile_child_by_name(ole.p, "Book");
    if (!stream.p)
        return {};
    const gsf_off_t size = gsf_input_size(stream.p);
    if (size <= 0 || size > kMostStreamBytes)
        return {};
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (!gsf_input_read(stream.p, static_cast<size_t>(size), bytes.data()))
        return {};
    return bytes;
}

} // namespace

QHash<quint64, double> xlsSmallNumbers(const QString& path, int sheetIndex)
{
    QHash<quint64, double> out;
    const std::vector<unsigned char> s = workbookStream(path);
    const size_t n = s.size();

    // The sheets' offsets, in the order of their BOUNDSHEET records.
    std::vector<quint32> sheets;
    size_t at = 0;
    while (at + 4 <= n) {
        const quint16 id = u16(&s[at]);
        const size_t len = u16(&s[at + 2]);
        if (at + 4 + len > n)
            break;
        if (id == kBoundSheet && len >= 4)
            sheets.push_back(u32(&s[at + 4]));
        if (id == kEof)
            break;
        at += 4 + len;
    }
    if (sheetIndex < 0 || size_t(sheetIndex) >= sheets.size())
        return out;

    at = sheets[size_t(sheetIndex)];
    if (at + 4 > n || u16(&s[at]) != kBof)
        return out;
    auto keep = [&](unsigned row, unsigned short col, double v) {
        if (v < 1)
            out.insert(xlsCellKey(row, col), v);
    };
    while (at + 4 <= n) {
        const quint16 id = u16(&s[at]);
        const size_t len = u16(&s[at + 2]);
        const unsigned char* b = &s[at + 4];
        if (at + 4 + len > n)
            break;
        if (id == kEof)
            break;
        if (id == kNumber && len >= 14) {
            keep(u16(b), u16(b + 2), f64(b + 6));
        } else if (id == kRk && len >= 10) {
            keep(u16(b), u16(b + 2), rkValue(u32(b + 6)));
        } else if (id == kMulRk && len >= 6) {
            const unsigned row = u16(b);
            const unsigned short first = u16(b + 2);
            const size_t cells = (len - 6) / 6;
            for (size_t i = 0; i < cells; ++i)
                keep(row, static_cast<unsigned short>(first + i), rkValue(u32(b + 4 + 6 * i + 2)));
        }
        at += 4 + len;
    }
    return out;
}

std::optional<double> xlsSerialBefore1900(double stored)
{
    if (!std::isfinite(stored))
        return std::nullopt;
    const double day = std::floor(stored);
    const double time = stored - day;
    const double serial = day < 0 && time > 0 ? day - time : stored;
    const jet::DateParts p = jet::toParts(jet::DateTime{serial});
    if (p.year < 100 || p.year > 9999 || serial < -657434.0)
        return std::nullopt;
    return serial;
}

} // namespace drivers
