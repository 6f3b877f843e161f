// The structure checks of xls_check.h. The container is read as the
// compound-file format describes it: a header, sectors of 512 or 4096 bytes
// chained by the allocation table (FAT), small streams in 64-byte mini
// sectors chained by the mini FAT, and a directory of 128-byte entries. Every
// chain must stay inside the file and end without running in a circle. The
// workbook stream is then walked record by record with the reader's own walk
// (xls_records.h: lengths and texts), and the records a reader takes
// strings, indexes or offsets from are checked against their own bodies and
// against each other (shared-text numbers, cell formats, the sheets' areas
// and places).
//
// Cost: one pass over the file; the workbook stream is copied once.
#include "platform/drivers/xls_check.h"

#include "platform/drivers/read_boundary.h"
#include "platform/drivers/xls_records.h"

#include <QSet>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace drivers {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;

[[noreturn]] void damaged(const char* why) { xlsDamaged(why); }

std::uint32_t u32(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
unsigned u16(const QByteArray& b, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData()) + at;
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}
unsigned u8(const QByteArray& b, qsizetype at) { return static_cast<unsigned char>(b[at]); }

/// The compound file: its sectors, allocation tables and directory.
class Container {
public:
    /// With `share`, a stream whose sectors follow each other is handed out
    /// as a view of f's bytes, valid while they are.
    explicit Container(const QByteArray& f, bool share = false) : f_(f), share_(share)
    {
        static const char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
        if (f.size() < 512 || !f.startsWith(QByteArray(kSignature, 8)))
            damaged("it is not an Excel workbook (no compound-file header)");
        const unsigned shift = u16(f, 0x1E);
        if ((shift != 9 && shift != 12) || u16(f, 0x20) != 6 || u16(f, 0x1C) != 0xFFFE)
            damaged("its compound-file header gives impossible sector sizes");
        sector_ = qsizetype(1) << shift;
        count_ = f.size() / sector_ - 1;   // whole sectors after the header
        if (count_ <= 0)
            damaged("it is shorter than its header says");
        readFat();
        directory_ = bytesOf(chain(u32(f, 0x30)));
        if (directory_.size() < 128)
            damaged("its directory is missing");
        readMiniFat();
    }

    /// The stream named `name` (letter case ignored), or nullopt.
    std::optional<QByteArray> stream(const QStringList& names) const
    {
        const qsizetype entries = directory_.size() / 128;
        for (qsizetype e = 1; e < entries; ++e) {
            if (u8(directory_, e * 128 + 0x42) != 2)
                continue;
            const unsigned len = u16(directory_, e * 128 + 0x40);
            const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(directory_.constData() + e * 128),
                                                    len >= 2 ? len / 2 - 1 : 0);
            if (names.contains(name, Qt::CaseInsensitive))
                return streamOf(e);
        }
        return std::nullopt;
    }

    /// Every directory entry's name, links and stream must be sound.
    void checkDirectory() const
    {
        const qsizetype entries = directory_.size() / 128;
        if (u8(directory_, 0x42) != 5)
            damaged("its directory has no root entry");
        for (qsizetype e = 0; e < entries; ++e) {
            const qsizetype at = e * 128;
            const unsigned type = u8(directory_, at + 0x42);
            const unsigned len = u16(directory_, at + 0x40);
            if (type > 5)
                damaged("a directory entry is of no known kind");
            if (type == 0 && len == 0)
                continue;
            if (len < 2 || len > 64 || len % 2 != 0 || u16(directory_, at + len - 2) != 0)
                damaged("a directory entry's name has an impossible length");
            for (unsigned i = 0; i + 2 < len; i += 2)
                if (u16(directory_, at + i) == 0)
                    damaged("a directory entry's name is cut short by a zero character");
            if (type == 0)
                continue;
            for (int link : {0x44, 0x48, 0x4C}) {
                const std::uint32_t id = u32(directory_, at + link);
                if (id != kNoStream && qsizetype(id) >= entries)
                    damaged("a directory entry links to an entry that does not exist");
            }
            if (type == 2)
                streamOf(e, false);
        }
    }

private:
    void readFat()
    {
        const std::uint32_t fatSectors = u32(f_, 0x2C);
        if (fatSectors == 0 || qsizetype(fatSectors) > count_)
            damaged("its allocation table claims more sectors than the file holds");
        std::vector<std::uint32_t> ids;
        for (int i = 0; i < 109; ++i) {
            const std::uint32_t id = u32(f_, 0x4C + 4 * i);
            if (ids.size() < fatSectors)
                ids.push_back(id);
            else if (id != kNoStream && id != kEndOfChain)
                // The header's list of table sectors is padded with free
                // entries: another sector there is a damaged count or entry.
                damaged("its allocation table's sector list holds more sectors than it counts");
        }
        std::uint32_t difat = u32(f_, 0x44);
        QSet<std::uint32_t> seen;
        const qsizetype perSector = sector_ / 4 - 1;
        while (ids.size() < fatSectors) {
            if (qsizetype(difat) >= count_ || seen.contains(difat))
                damaged("its allocation table's sector list runs outside the file or in a circle");
            seen.insert(difat);
            const qsizetype base = (qsizetype(difat) + 1) * sector_;
            for (qsizetype i = 0; i < perSector && ids.size() < fatSectors; ++i)
                ids.push_back(u32(f_, base + 4 * i));
            difat = u32(f_, base + 4 * perSector);
        }
        fat_.reserve(ids.size() * std::size_t(sector_ / 4));
        owner_.assign(std::size_t(count_), kFree);
        for (std::uint32_t s : seen)
            owner_[s] = kTableSector;
        for (std::uint32_t id : ids) {
            if (qsizetype(id) >= count_)
                damaged("its allocation table lies outside the file");
            owner_[id] = kTableSector;
            const qsizetype base = (qsizetype(id) + 1) * sector_;
            for (qsizetype i = 0; i < sector_ / 4; ++i)
                fat_.push_back(u32(f_, base + 4 * i));
        }
    }

    void readMiniFat()
    {
        const std::uint32_t first = u32(f_, 0x3C);
        if (first != kEndOfChain && first != kNoStream) {
            const QByteArray table = bytesOf(chain(first));
            for (qsizetype i = 0; i + 4 <= table.size(); i += 4)
                miniFat_.push_back(u32(table, i));
        }
        const std::uint32_t rootStart = u32(directory_, 0x74);
        const std::uint32_t rootSize = u32(directory_, 0x78);
        if (rootStart != kEndOfChain && rootStart != kNoStream && rootSize > 0) {
            mini_ = bytesOf(chain(rootStart));
            if (mini_.size() < qsizetype(rootSize))
                damaged("its small-stream area is shorter than its directory says");
        }
    }

    /// The sectors of the chain from `start`. A sector belongs to one chain
    /// only and never to the allocation table itself: a damaged table entry
    /// that leads a stream into another one's sectors would otherwise hand
    /// out another stream's bytes as the workbook's.
    std::vector<std::uint32_t> chain(std::uint32_t start) const
    {
        std::vector<std::uint32_t> out;
        // Each walk marks the sectors it passes with a stamp of its own: a
        // sector met twice in one walk is a circle.
        ++walk_;
        if (visit_.empty())
            visit_.assign(std::size_t(count_), 0);
        for (std::uint32_t s = start; s != kEndOfChain;) {
            if (qsizetype(s) >= count_ || s >= fat_.size() || visit_[s] == walk_)
                damaged("a chain of sectors runs outside the file or in a circle");
            if (owner_[s] == kTableSector)
                damaged("a chain of sectors runs through the allocation table");
            if (owner_[s] != kFree && owner_[s] != start)
                damaged("two streams of the file claim the same sector");
            owner_[s] = start;
            visit_[s] = walk_;
            out.push_back(s);
            s = fat_[s];
        }
        return out;
    }

    /// The sectors' bytes, at most `size` of them.
    QByteArray bytesOf(const std::vector<std::uint32_t>& sectors, qsizetype size = -1) const
    {
        qsizetype n = qsizetype(sectors.size()) * sector_;
        if (size >= 0)
            n = std::min(n, size);
        QByteArray out(n, Qt::Uninitialized);
        char* to = out.data();
        for (std::size_t k = 0; k < sectors.size() && n > 0; ++k) {
            if ((k & 4095) == 0)
                stillReading();
            const qsizetype here = std::min(n, sector_);
            std::memcpy(to, f_.constData() + (qsizetype(sectors[k]) + 1) * sector_, std::size_t(here));
            to += here;
            n -= here;
        }
        return out;
    }

    /// A stream's bytes; with `bytes` false only its chain is checked.
    QByteArray streamOf(qsizetype entry, bool bytes = true) const
    {
        const std::uint32_t start = u32(directory_, entry * 128 + 0x74);
        const std::uint32_t size = u32(directory_, entry * 128 + 0x78);
        if (size == 0)
            return {};
        if (size >= u32(f_, 0x38)) {
            const std::vector<std::uint32_t> sectors = chain(start);
            if (qsizetype(sectors.size()) * sector_ < qsizetype(size))
                damaged("a stream is shorter than its directory entry says");
            if (!bytes)
                return QByteArray();
            // Sectors that follow each other are read where they are.
            bool inOrder = true;
            for (std::size_t k = 1; k < sectors.size() && inOrder; ++k)
                inOrder = sectors[k] == sectors[0] + k;
            if (inOrder && share_)
                return QByteArray::fromRawData(f_.constData() + (qsizetype(sectors[0]) + 1) * sector_, qsizetype(size));
            return bytesOf(sectors, size);
        }
        QByteArray out;
        QSet<std::uint32_t> seen;
        for (std::uint32_t s = start; s != kEndOfChain;) {
            if (s >= miniFat_.size() || (qsizetype(s) + 1) * 64 > mini_.size() || seen.contains(s))
                damaged("a small stream's chain runs outside the file or in a circle");
            seen.insert(s);
            out += mini_.mid(qsizetype(s) * 64, 64);
            s = miniFat_[s];
        }
        if (out.size() < qsizetype(size))
            damaged("a small stream is shorter than its directory entry says");
        return out.left(size);
    }

    static constexpr std::uint32_t kFree = 0xFFFFFFFFu, kTableSector = 0xFFFFFFFDu;

    const QByteArray& f_;
    bool share_ = false;
    qsizetype sector_ = 512;
    qsizetype count_ = 0;
    std::vector<std::uint32_t> fat_, miniFat_;
    mutable std::vector<std::uint32_t> owner_;   ///< the first sector of the chain each sector belongs to
    mutable std::vector<std::uint32_t> visit_;   ///< the walk that last passed each sector
    mutable std::uint32_t walk_ = 0;
    QByteArray directory_, mini_;
};

using xlsrec::Record;
using xlsrec::recordAt;

/// The checks of the workbook stream's records, in one walk over them in
/// place (a big sheet has a million of them): each record inside the stream
/// and of a length its kind has (XlsRecords), then its contents.
class Workbook {
public:
    explicit Workbook(const QByteArray& s) : s_(s)
    {
        if (s_.size() < 4 || (recordAt(s_, 0).type & 0xFF) != 0x09)
            damaged("its workbook stream does not begin with a BOF record");
        const Record bof = recordAt(s_, 0);
        biff8_ = bof.type == 0x0809 && bof.len >= 2 && s_.size() >= 6 && u16(s_, 4) == 0x0600;
        // After FILEPASS the record bodies are encrypted: only their lengths
        // can be checked, and the reader refuses the file as encrypted.
        // Between a BOF and its EOF every record is one of a kind; outside
        // them (after the last sheet) writers pad the stream with zeros. The
        // sheets' places are checked once every BOF is known.
        int depth = 0;
        bool encrypted = false;
        unsigned lastKind = 0;   // of the last record that is not a CONTINUE
        xlsrec::XlsRecords walk(s_, biff8_);
        Record r;
        for (qsizetype count = 0; walk.next(r); ++count) {
            if ((count & 4095) == 0)
                stillReading();
            if (isBof(r))
                bofs_.insert(r.at);
            if (encrypted)
                continue;
            if (r.type == xlsrec::kFilePass) {
                encrypted = true;
                continue;
            }
            if (isBof(r))
                ++depth;
            else if (depth == 0)
                continue;
            if (r.type == 0x0000)
                damaged("a record of the workbook is of no known kind (type 0)");
            if (r.type == xlsrec::kEof)
                --depth;
            // A CONTINUE goes on from a text that reached into it, or from
            // a record of a kind that may go on; after a record that the
            // walk reads whole it is another record's damaged type.
            if (r.type == xlsrec::kContinue) {
                if (r.at >= textEnd_ && readWhole(lastKind))
                    damaged("a CONTINUE record of the workbook goes on from a record that does not go on");
            } else {
                lastKind = r.type;
            }
            check(r);
        }
        if (depth > 0 && !encrypted)
            damaged("a sheet of the workbook ends inside its records (it has no EOF record)");
        for (const qsizetype place : sheetPlaces_)
            if (!bofs_.contains(place))
                damaged("a sheet's place in the workbook does not hold a sheet");
    }

private:
    qsizetype body(const Record& r) const { return r.at + 4; }
    static bool isBof(const Record& r) { return (r.type & 0xFF) == 0x09 && (r.type >> 8) <= 8; }

    /// Kinds the walk reads to their end: of a fixed length, or a text and
    /// what follows it, or a run of cells.
    static bool readWhole(unsigned type)
    {
        switch (type) {
        case 0x0809:   // BOF
        case 0x0204:   // LABEL
        case 0x00D6:   // RSTRING
        case 0x0207:   // STRING
        case 0x00FC:   // SST
        case 0x0085:   // BOUNDSHEET
        case 0x041E:   // FORMAT
        case 0x0031:   // FONT
        case 0x00BD:   // MULRK
        case 0x00BE:   // MULBLANK
            return true;
        default:
            return xlsrec::kindLength(type, true).step == 0;
        }
    }

    void need(const Record& r, qsizetype bytes) const
    {
        if (bytes > r.len)
            damaged(xlsrec::kClaimsMoreText);
    }

    /// A text at `at` of the record, its count in `countBytes` bytes; with
    /// `whole`, nothing may follow it in its record.
    void string(const Record& r, qsizetype at, int countBytes, bool whole = false)
    {
        textEnd_ = xlsrec::recordText(s_, r, at, countBytes, biff8_, whole).after();
    }

    void cellFormat(const Record& r, qsizetype at) const
    {
        need(r, at + 2);
        if (xfs_ > 0 && u16(s_, body(r) + at) >= unsigned(xfs_))
            damaged("a cell refers to a cell format the workbook does not have");
    }

    /// A cell's row and column (and the last column of a run of cells) must
    /// lie inside the area its sheet declares: a cell outside it is
    /// damage that readers treat each in their own way.
    /// Blank cells (formatting without a value) outside the area are left
    /// out by every reader and harm nothing.
    void inside(const Record& r, unsigned lastColumn, bool blank = false)
    {
        need(r, 4);
        if (!haveDims_)
            return;
        const unsigned row = u16(s_, body(r)), first = u16(s_, body(r) + 2);
        if (first > lastColumn)
            damaged("a cell lies outside the area its sheet declares");
        if (row >= dimRows_ || lastColumn >= dimCols_) {
            if (blank)
                return;
            damaged("a cell lies outside the area its sheet declares");
        }
        // A second record for the same cell: one of the two values would be
        // lost without a word.
        for (unsigned c = first; c <= lastColumn; ++c) {
            const std::size_t at = std::size_t(row) * dimCols_ + c;
            if (taken_[at])
                damaged("a cell of a sheet is given twice");
            taken_[at] = true;
        }
    }

    void cell(const Record& r)
    {
        inside(r, u16(s_, body(r) + 2));
        cellFormat(r, 4);
    }

    /// A record's contents; its length fits its kind (XlsRecords).
    void check(const Record& r)
    {
        const qsizetype b = body(r);
        if (isBof(r)) {
            if (r.len < 4)
                damaged(xlsrec::kShorter);
            haveDims_ = false;   // a sheet (or the globals) begins
        }
        switch (r.type) {
        case 0x00E0:   // XF
        case 0x0043:
        case 0x0243:
        case 0x0443:
            ++xfs_;
            break;
        case 0x0085:   // BOUNDSHEET: where the sheet's BOF is, and its name
            sheetPlaces_.push_back(qsizetype(u32(s_, b)));
            string(r, 6, 1);
            break;
        case 0x00FC:   // SST
            sharedStrings(r);
            break;
        case 0x00FD:   // LABELSST
            cell(r);
            if (!haveSst_ || u32(s_, b + 6) >= sstCount_)
                damaged("a cell refers to a shared text the workbook does not have");
            break;
        case 0x0204:   // LABEL
            cell(r);
            string(r, 6, 2, true);
            break;
        case 0x00D6:   // RSTRING: the text, then its formatting runs
            cell(r);
            string(r, 6, 2);
            break;
        case 0x0207:   // STRING: a formula's text result
            string(r, 0, 2, true);
            break;
        case 0x041E:   // FORMAT
            string(r, 2, biff8_ ? 2 : 1);
            break;
        case 0x001E:   // FORMAT of the oldest versions
            string(r, 0, 1);
            break;
        case 0x0031:   // FONT
            string(r, 14, 1);
            break;
        case 0x0201:   // BLANK
            inside(r, u16(s_, b + 2), true);
            cellFormat(r, 4);
            break;
        case 0x0203:   // NUMBER
        case 0x027E:   // RK
        case 0x0205:   // BOOLERR
        case 0x0006:   // FORMULA
            cell(r);
            break;
        case 0x00BD:   // MULRK: row, first column, (format, value) pairs, last column
            inside(r, u16(s_, b + r.len - 2));
            for (qsizetype at = 4; at + 6 <= r.len - 2; at += 6)
                cellFormat(r, at);
            break;
        case 0x00BE:   // MULBLANK
            inside(r, u16(s_, b + r.len - 2), true);
            break;
        case 0x0200: {   // DIMENSIONS
            const std::uint32_t firstRow = biff8_ ? u32(s_, b) : u16(s_, b);
            const std::uint32_t lastRow = biff8_ ? u32(s_, b + 4) : u16(s_, b + 2);
            const unsigned firstCol = u16(s_, b + (biff8_ ? 8 : 4)), lastCol = u16(s_, b + (biff8_ ? 10 : 6));
            if (firstRow > lastRow || lastRow > 65536 || firstCol > lastCol || lastCol > 256)
                damaged("a sheet claims more rows or columns than a workbook can have");
            haveDims_ = true;
            dimRows_ = lastRow;
            dimCols_ = lastCol;
            taken_.assign(std::size_t(lastRow) * lastCol, false);
            break;
        }
        default:
            break;
        }
    }

    /// The shared texts, which continue from the SST record into the
    /// CONTINUE records after it.
    void sharedStrings(const Record& first)
    {
        textEnd_ = xlsrec::sharedTexts(s_, first, nullptr);
        haveSst_ = true;
        sstCount_ = u32(s_, body(first) + 4);
    }

    const QByteArray& s_;
    QSet<qsizetype> bofs_;
    std::vector<qsizetype> sheetPlaces_;   ///< where the sheet list says the sheets begin
    bool biff8_ = true;
    int xfs_ = 0;
    bool haveDims_ = false;
    std::uint32_t dimRows_ = 0;
    unsigned dimCols_ = 0;
    std::vector<bool> taken_;   ///< the cells of the sheet given so far
    bool haveSst_ = false;
    std::uint32_t sstCount_ = 0;
    qsizetype textEnd_ = 0;   ///< where the records the last text reached end
};

} // namespace

QString xlsDamage(const QByteArray& file, QByteArray* stream)
{
    try {
        const Container c(file, stream != nullptr);
        c.checkDirectory();
        auto found = c.stream({QStringLiteral("Workbook"), QStringLiteral("Book")});
        if (!found)
            damaged("it holds no workbook stream");
        Workbook w(*found);
        if (stream)
            *stream = std::move(*found);
        return QString();
    } catch (const XlsDamage& d) {
        return d.why;
    }
}

} // namespace drivers
