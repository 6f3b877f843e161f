// The Excel export driver: turns a list into a BIFF5 or BIFF8 workbook with one
// sheet and stores it as the "Book" (BIFF5) or "Workbook" (BIFF8) stream of an
// OLE2 compound file that it lays out itself.
//
// Order of work, one pass over the rows: the sheet (BOF, DIMENSIONS, cells,
// WINDOW2, EOF) goes to the file as it is made, in the sectors right after
// the compound file's header. BIFF8 text goes into the shared string table
// (SST), which sits in the workbook globals before the sheet in the stream;
// so the globals (BOF, WRITEACCESS, CODEPAGE, WINDOW1, DATEMODE, FONT x4,
// FORMAT x2 in BIFF8, XF x19, STYLE, BOUNDSHEET, SST in BIFF8, EOF) are
// written after the sheet's sectors and head the stream's sector chain. The
// sheet begins the chain's second part at a sector boundary: the WRITEACCESS
// record (its user name empty, the rest spaces, as Excel pads it) is made as
// long as it takes the globals to fill whole sectors. Then the allocation
// table (FAT, with DIFAT sectors beyond 109 FAT sectors) and the directory,
// and last the header and the sheet's row count, written over their places.
// The stream is at least 4096 bytes long (zeros after the sheet's EOF), so
// it lives in ordinary sectors and not in the mini-stream.
//
// The file is made under a temporary name and takes its own only when it is
// whole (files::CheckedFile): a list refused part-way (too many rows, a text
// too long or, in BIFF5, a character outside Windows-1252) leaves no file.
//
// A record body holds at most 2,080 bytes in BIFF5 and 8,224 in BIFF8. Only
// the SST outgrows that; it goes on in CONTINUE records, where a string's
// 3-byte header is never split, every CONTINUE that carries the rest of a
// string starts with the string's flags byte again, and no string spans more
// than two records (see kSstLimit). BIFF5 cell text is kept to one LABEL
// record (readers do not follow it into CONTINUE records).
//
// Dates are numbers in a date format: XF 16 (date), 17 (date and time) or 18
// (time of day). Memory: the distinct texts of a BIFF8 sheet, each kept once
// as the SST will hold it, plus 4 bytes of index number and 16 to 32 bytes
// of hash slots; the cells themselves are not kept. Time: one hash lookup per
// text cell, the rest is copying. A workbook stream past 2 GB is refused.
#include "platform/drivers/xls_writer.h"

#include "platform/files/checked_file.h"
#include "platform/jet/value.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <sys/mman.h>

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
constexpr std::uint16_t kWriteAccess = 0x005C;

constexpr std::uint64_t kStreamMinimum = 4096;

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

/// Half of a surrogate pair is no character: a workbook holding one is
/// refused by the readers of Excel files, this program's own import included.
QString halfCharacterRefusal(const QString& where)
{
    return QStringLiteral("%1 holds half of a character (a lone UTF-16 surrogate), which an Excel worksheet "
                          "cannot store.")
        .arg(where);
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

// Excel's 1900 day count holds a 29 February 1900 (serial 60) that never was,
// so its serials of January and February 1900 are one below the engine's. Days
// before 1 January 1900 have no Excel serial; a time of day alone (serial
// from 0, midnight, to below 1) is the same in both.
std::optional<double> excelSerial(jet::DateTime d)
{
    const double s = d.serial;
    if (s >= 0 && s < 1)
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

// A string of the table spans at most two records: FreeXL (1.0.6) takes the
// whole rest of a split string from the one CONTINUE that follows (it rejects
// the workbook, or reads past the record, otherwise). A string that would
// need more therefore starts a new CONTINUE record, so that up to 16,444
// 8-bit or 8,221 UTF-16 characters always fit in two.
constexpr std::size_t kSstLimit = 8224;

void put16(char* p, std::uint16_t v)
{
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
}

void put32(char* p, std::uint32_t v)
{
    put16(p, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

void putF64(char* p, double d)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    put32(p, static_cast<std::uint32_t>(bits));
    put32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

std::uint16_t get16(const char* p)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
}

std::uint32_t get32(const char* p) { return get16(p) | std::uint32_t(get16(p + 2)) << 16; }

/// A hash of a string's UTF-16 code units: eight bytes at a time,
/// multiplied and folded.
std::uint32_t hashOf(const QString& s)
{
    const char* p = reinterpret_cast<const char*>(s.constData());
    std::size_t n = static_cast<std::size_t>(s.size()) * 2;
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    std::uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 29;
    h *= 0xFF51AFD7ED558CCDull;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Memory for the string table, zero-filled. A large piece is mapped in huge
// pages where the system gives them: the table's pieces are written once, at
// random places, and a fault per small page costs more than the writing.
class Zeroed {
public:
    Zeroed() = default;
    explicit Zeroed(std::size_t bytes) : bytes_(bytes)
    {
        if (bytes >= kHuge) {
            // Mapped with a huge page's room to spare, then cut to whole huge
            // pages on a huge page's boundary.
            bytes_ = (bytes + kHuge - 1) / kHuge * kHuge;
            void* m = ::mmap(nullptr, bytes_ + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (m != MAP_FAILED) {
                const auto at = reinterpret_cast<std::uintptr_t>(m);
                const std::uintptr_t aligned = (at + kHuge - 1) / kHuge * kHuge;
                if (aligned > at)
                    ::munmap(m, aligned - at);
                if (aligned + bytes_ < at + bytes_ + kHuge)
                    ::munmap(reinterpret_cast<void*>(aligned + bytes_), at + kHuge - aligned);
                p_ = reinterpret_cast<char*>(aligned);
                ::madvise(p_, bytes_, MADV_HUGEPAGE);
                mapped_ = true;
                return;
            }
        }
        p_ = static_cast<char*>(std::calloc(bytes, 1));
        if (!p_)
            throw std::bad_alloc();
    }
    ~Zeroed() { release(); }
    Zeroed(Zeroed&& o) noexcept : p_(std::exchange(o.p_, nullptr)), bytes_(o.bytes_), mapped_(o.mapped_) {}
    Zeroed& operator=(Zeroed&& o) noexcept
    {
        if (this != &o) {
            release();
            p_ = std::exchange(o.p_, nullptr);
            bytes_ = o.bytes_;
            mapped_ = o.mapped_;
        }
        return *this;
    }

    char* get() const { return p_; }

private:
    static constexpr std::size_t kHuge = std::size_t(2) << 20;

    void release()
    {
        if (!p_)
            return;
        if (mapped_)
            ::munmap(p_, bytes_);
        else
            std::free(p_);
        p_ = nullptr;
    }

    char* p_ = nullptr;
    std::size_t bytes_ = 0;
    bool mapped_ = false;
};

// The shared string table: distinct strings in first-use order, each kept
// once as the table writes it (length, flags byte, 8-bit or UTF-16
// characters) after its index, in blocks of 1 MB, found again through an
// open-addressing index of 8 bytes a slot (the hash and the string's place
// among the blocks' bytes), at most half full.
//
// Most of a lookup's time is waiting for memory: the slot, then the string
// it points at, both at random places. A row's strings are therefore looked
// for in three steps (see SheetWriter::prepare): hash them all and ask for
// their slots, then ask for the strings those slots point at, then compare
// and insert, by when the memory has mostly come.
class StringTable {
public:
    /// Makes room for `more` new strings, so that the slots asked for by
    /// prefetch() stay where they are until then.
    void reserve(std::size_t more)
    {
        while ((count_ + more) * 2 > slotCount_)
            grow();
    }

    void prefetchSlot(std::uint32_t hash) const { __builtin_prefetch(&slotArray()[hash & (slotCount_ - 1)]); }

    void prefetchString(std::uint32_t hash) const
    {
        const Slot& slot = slotArray()[hash & (slotCount_ - 1)];
        if (slot.place != 0 && slot.hash == hash)
            __builtin_prefetch(entry(slot.place));
    }

    /// The string's index in the table, added when it is new; `hash` is hashOf(s).
    std::uint32_t add(const QString& s, std::uint32_t hash)
    {
        ++total_;
        reserve(1);
        const std::size_t mask = slotCount_ - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slotArray()[i];
            if (slot.place == 0) {
                slot = Slot{hash, store(s)};
                return count_++;
            }
            if (slot.hash == hash) {
                const char* e = entry(slot.place);
                if (same(e + 4, s))
                    return get32(e);
            }
        }
    }

    /// The SST and its CONTINUE records, handed to put(bytes, count) piece
    /// by piece: the same walk measures the table and writes it.
    template <class Put>
    void write(Put&& put) const
    {
        constexpr std::size_t limit = kSstLimit;
        char body[kSstLimit];
        std::size_t used = 0;
        std::uint16_t id = kSst; // then CONTINUE
        put32(body, total_);
        put32(body + 4, count_);
        used = 8;
        auto flush = [&] {
            char head[4];
            put16(head, id);
            put16(head + 2, static_cast<std::uint16_t>(used));
            put(head, 4);
            put(body, used);
            used = 0;
            id = kContinue;
        };
        forEach([&](const char* e) {
            const std::size_t chars = get16(e);
            const bool wide = e[2] != 0;
            const std::size_t charSize = wide ? 2 : 1;
            // The length and flags stay with at least the first character,
            // and what does not fit here must fit the next record.
            const std::size_t room = used + 3 < limit ? (limit - used - 3) / charSize : 0;
            if (used + 3 > limit || (chars > 0 && room == 0)
                || (chars > room && (chars - room) * charSize + 1 > limit))
                flush();
            std::memcpy(body + used, e, 3);
            used += 3;
            const char* from = e + 3;
            std::size_t left = chars;
            while (left > 0) {
                const std::size_t fit = (limit - used) / charSize;
                if (fit == 0) {
                    flush();
                    body[used++] = wide ? 1 : 0; // the continued string's flags again
                    continue;
                }
                const std::size_t take = std::min(fit, left);
                std::memcpy(body + used, from, take * charSize);
                used += take * charSize;
                from += take * charSize;
                left -= take;
            }
        });
        flush();
    }

    /// Bytes the strings take here: about what they take in the file.
    std::uint64_t bytes() const { return bytes_; }

    /// Bytes the SST and its CONTINUE records take.
    std::uint64_t size() const
    {
        std::uint64_t n = 0;
        write([&](const char*, std::size_t count) { n += count; });
        return n;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t place = 0; ///< where the string is among the blocks' bytes, + 1; 0 for an empty slot
    };

    const char* entry(std::uint32_t place) const
    {
        const std::uint32_t at = place - 1;
        return blocks_[at >> kBlockBits].get() + (at & (kBlock - 1));
    }

    /// Whether the stored entry is s. A string is stored wide exactly when
    /// it holds a character above U+00FF, so comparing code by code is enough.
    static bool same(const char* e, const QString& s)
    {
        const std::size_t chars = get16(e);
        if (chars != static_cast<std::size_t>(s.size()))
            return false;
        const auto* c = reinterpret_cast<const char16_t*>(s.constData());
        const char* p = e + 3;
        if (e[2] != 0) {
            for (std::size_t i = 0; i < chars; ++i, p += 2)
                if (get16(p) != c[i])
                    return false;
            return true;
        }
        for (std::size_t i = 0; i < chars; ++i)
            if (static_cast<unsigned char>(p[i]) != c[i])
                return false;
        return true;
    }

    /// Appends s, after its index, as the table writes it; returns its place + 1.
    std::uint32_t store(const QString& s)
    {
        const bool wide = needsWideChars(s);
        const auto chars = static_cast<std::size_t>(s.size());
        const std::size_t len = 4 + 3 + chars * (wide ? 2 : 1); // a text is at most 33 KB
        if (blocks_.empty() || kBlock - used_.back() < len) {
            blocks_.emplace_back(kBlock);
            used_.push_back(0);
        }
        const std::size_t place = (blocks_.size() - 1) * kBlock + used_.back();
        char* at = blocks_.back().get() + used_.back();
        used_.back() += len;
        bytes_ += len;
        put32(at, count_);
        at += 4;
        put16(at, static_cast<std::uint16_t>(chars));
        at[2] = wide ? 1 : 0;
        char* p = at + 3;
        const auto* c = reinterpret_cast<const char16_t*>(s.constData());
        if (wide) {
            for (std::size_t i = 0; i < chars; ++i, p += 2)
                put16(p, c[i]);
        } else {
            for (std::size_t i = 0; i < chars; ++i)
                p[i] = static_cast<char>(c[i]);
        }
        return static_cast<std::uint32_t>(place + 1);
    }

    Slot* slotArray() const { return reinterpret_cast<Slot*>(slots_.get()); }

    void grow()
    {
        const std::size_t count = std::max<std::size_t>(1024, slotCount_ * 2);
        Zeroed bigger(count * sizeof(Slot));
        auto* to = reinterpret_cast<Slot*>(bigger.get());
        const std::size_t mask = count - 1;
        for (std::size_t k = 0; k < slotCount_; ++k) {
            const Slot& s = slotArray()[k];
            if (s.place == 0)
                continue;
            std::size_t i = s.hash & mask;
            while (to[i].place != 0)
                i = (i + 1) & mask;
            to[i] = s;
        }
        slots_ = std::move(bigger);
        slotCount_ = count;
    }

    /// Calls f(entry) for every string in first-use order.
    template <class F>
    void forEach(F&& f) const
    {
        for (std::size_t b = 0; b < blocks_.size(); ++b)
            for (const char* e = blocks_[b].get() + 4; e < blocks_[b].get() + used_[b];) {
                f(e);
                e += 3 + std::size_t(get16(e)) * (e[2] != 0 ? 2 : 1) + 4;
            }
    }

    static constexpr unsigned kBlockBits = 21;
    static constexpr std::size_t kBlock = std::size_t(1) << kBlockBits;

    std::vector<Zeroed> blocks_;
    std::vector<std::size_t> used_; ///< the bytes used of each block
    Zeroed slots_;
    std::size_t slotCount_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint32_t count_ = 0;
    std::uint32_t total_ = 0;
};

// The bytes of the file in order, gathered in a block and handed to the
// checked file a block at a time.
class FileOut {
public:
    explicit FileOut(files::CheckedFile& f) : f_(f), buf_(std::make_unique<char[]>(kBlock)) {}

    /// Room for n bytes (n at most a block), to be filled by the caller.
    char* room(std::size_t n)
    {
        if (used_ + n > kBlock)
            flush();
        char* p = buf_.get() + used_;
        used_ += n;
        written_ += n;
        return p;
    }

    void bytes(const char* p, std::size_t n)
    {
        while (n > 0) {
            const std::size_t take = std::min(n, kBlock);
            std::memcpy(room(take), p, take);
            p += take;
            n -= take;
        }
    }

    void zeros(std::size_t n)
    {
        while (n > 0) {
            const std::size_t take = std::min(n, kBlock);
            std::memset(room(take), 0, take);
            n -= take;
        }
    }

    void record(std::uint16_t id, const std::string& body)
    {
        char* p = room(4 + body.size());
        put16(p, id);
        put16(p + 2, static_cast<std::uint16_t>(body.size()));
        std::memcpy(p + 4, body.data(), body.size());
    }

    /// Hands the block to the file; false once a write has failed.
    bool flush()
    {
        if (used_ > 0) {
            ok_ = f_.write(buf_.get(), static_cast<qint64>(used_)) && ok_;
            used_ = 0;
        }
        return ok_;
    }

    bool ok() const { return ok_; }
    std::uint64_t written() const { return written_; }

private:
    static constexpr std::size_t kBlock = std::size_t(1) << 18;

    files::CheckedFile& f_;
    std::unique_ptr<char[]> buf_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    bool ok_ = true;
};

// Writes the sheet's cell records as the rows come.
class SheetWriter {
public:
    SheetWriter(const Biff& biff, StringTable& sst, FileOut& out) : biff_(biff), sst_(sst), out_(out) {}

    /// Before a row's cells: starts the lookups of its texts in the string
    /// table (see StringTable), which the cells then finish.
    void prepare(const std::vector<jet::Value>& values)
    {
        if (!biff_.v8())
            return;
        hashes_.resize(values.size());
        sst_.reserve(values.size());
        for (std::size_t c = 0; c < values.size(); ++c)
            if (const QString* t = values[c].textPtr()) {
                hashes_[c] = hashOf(*t);
                sst_.prefetchSlot(hashes_[c]);
            }
        for (std::size_t c = 0; c < values.size(); ++c)
            if (values[c].textPtr())
                sst_.prefetchString(hashes_[c]);
        prepared_ = true;
    }

    /// After a row's cells.
    void endRow() { prepared_ = false; }

    void text(std::uint32_t row, std::uint16_t col, const QString& s) { text(row, col, s, biff_.v8() ? hashOf(s) : 0); }

    /// A text cell; `hash` is hashOf(s) (BIFF8 only).
    void text(std::uint32_t row, std::uint16_t col, const QString& s, std::uint32_t hash)
    {
        if (biff_.v8()) {
            char* p = cell(kLabelSst, 10, row, col, kXfGeneral);
            put32(p, sst_.add(s, hash));
            return;
        }
        const auto n = static_cast<std::size_t>(s.size());
        char* p = cell(kLabel, 8 + n, row, col, kXfGeneral);
        put16(p, static_cast<std::uint16_t>(n));
        p += 2;
        const auto* from = reinterpret_cast<const char16_t*>(s.constData());
        for (std::size_t i = 0; i < n; ++i)
            p[i] = static_cast<char>(cp1252Byte(from[i]));
    }

    void number(std::uint32_t row, std::uint16_t col, double d, std::uint16_t xf = kXfGeneral)
    {
        putF64(cell(kNumber, 14, row, col, xf), d);
    }

    void flag(std::uint32_t row, std::uint16_t col, bool v)
    {
        char* p = cell(kBoolErr, 8, row, col, kXfGeneral);
        p[0] = v ? 1 : 0;
        p[1] = 0; // a boolean, not an error code
    }

    void blank(std::uint32_t row, std::uint16_t col) { cell(kBlank, 6, row, col, kXfGeneral); }

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
            text(row, col, *v.textPtr(), prepared_ ? hashes_[col] : biff_.v8() ? hashOf(*v.textPtr()) : 0);
            return true;
        }
        return false;
    }

private:
    /// A cell record's header, row, column and format; returns where the
    /// rest of its body (length - 6 bytes) goes.
    char* cell(std::uint16_t id, std::size_t length, std::uint32_t row, std::uint16_t col, std::uint16_t xf)
    {
        char* p = out_.room(4 + length);
        put16(p, id);
        put16(p + 2, static_cast<std::uint16_t>(length));
        put16(p + 4, static_cast<std::uint16_t>(row));
        put16(p + 6, col);
        put16(p + 8, xf);
        return p + 10;
    }

    const Biff& biff_;
    StringTable& sst_;
    FileOut& out_;
    std::vector<std::uint32_t> hashes_; ///< of the prepared row's texts, by column
    bool prepared_ = false;
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

// The compound file around the stream (512-byte sectors, version 3).
constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFFu;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kFatSector = 0xFFFFFFFDu;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFCu;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;
constexpr std::uint32_t kIdsPerSector = kSector / 4;
constexpr std::uint32_t kHeaderFatIds = 109;
/// The longest stream written: a version-3 file's size fields are read as
/// signed 32-bit numbers by some programs.
constexpr std::uint64_t kMaxStream = 0x7FFFFFFFu;

/// Where the parts of the file lie once the sheet's sectors are written.
/// Sectors are numbered from 0 after the header: the sheet's, the globals',
/// the FAT's, the DIFAT's, then the one directory sector.
struct Layout {
    std::uint32_t sheet = 0;   ///< the sheet's sectors, from 0
    std::uint32_t globals = 0; ///< the globals' sectors, after the sheet's
    std::uint32_t fat = 0;
    std::uint32_t difat = 0;

    std::uint32_t firstGlobals() const { return sheet; }
    std::uint32_t firstFat() const { return sheet + globals; }
    std::uint32_t firstDifat() const { return firstFat() + fat; }
    std::uint32_t directory() const { return firstDifat() + difat; }
    std::uint32_t count() const { return directory() + 1; }

    static Layout of(std::uint32_t sheetSectors, std::uint32_t globalsSectors)
    {
        Layout l{sheetSectors, globalsSectors, 1, 0};
        // The tables count their own sectors: grow them until they hold all.
        for (;;) {
            const std::uint32_t fat = (l.count() + kIdsPerSector - 1) / kIdsPerSector;
            const std::uint32_t difat =
                fat > kHeaderFatIds ? (fat - kHeaderFatIds + kIdsPerSector - 2) / (kIdsPerSector - 1) : 0;
            if (fat == l.fat && difat == l.difat)
                return l;
            l.fat = std::max(l.fat, fat);
            l.difat = std::max(l.difat, difat);
        }
    }

    /// The FAT's entry for sector s: the stream's chain runs through the
    /// globals, then on to the sheet.
    std::uint32_t next(std::uint32_t s) const
    {
        if (s < sheet)
            return s + 1 < sheet ? s + 1 : kEndOfChain;
        if (s < firstFat())
            return s + 1 < firstFat() ? s + 1 : 0;
        if (s < firstDifat())
            return kFatSector;
        if (s < directory())
            return kDifatSector;
        if (s == directory())
            return kEndOfChain;
        return kFreeSector;
    }
};

/// A directory entry of 128 bytes.
void directoryEntry(char* e, const char16_t* name, std::uint8_t type, std::uint32_t child, std::uint32_t start,
                    std::uint32_t size)
{
    std::memset(e, 0, 128);
    std::size_t n = 0;
    for (; name[n]; ++n)
        put16(e + 2 * n, name[n]);
    put16(e + 0x40, static_cast<std::uint16_t>(2 * (n + 1)));
    e[0x42] = static_cast<char>(type);
    e[0x43] = 1; // black
    put32(e + 0x44, kNoEntry);
    put32(e + 0x48, kNoEntry);
    put32(e + 0x4C, child);
    put32(e + 0x74, start);
    put32(e + 0x78, size);
}

/// After the globals: the FAT, the DIFAT and the directory, then the header
/// over the placeholder at the start of the file.
void writeTables(files::CheckedFile& file, FileOut& out, const Layout& l, const char16_t* streamName,
                 std::uint32_t streamSize)
{
    for (std::uint32_t k = 0; k < l.fat; ++k) {
        char* p = out.room(kSector);
        for (std::uint32_t i = 0; i < kIdsPerSector; ++i)
            put32(p + 4 * i, l.next(k * kIdsPerSector + i));
    }
    // The FAT's sectors: the first 109 in the header, the rest in DIFAT
    // sectors of 127 each and a link to the next.
    for (std::uint32_t k = 0; k < l.difat; ++k) {
        char* p = out.room(kSector);
        for (std::uint32_t i = 0; i < kIdsPerSector - 1; ++i) {
            const std::uint64_t f = kHeaderFatIds + std::uint64_t(k) * (kIdsPerSector - 1) + i;
            put32(p + 4 * i, f < l.fat ? l.firstFat() + static_cast<std::uint32_t>(f) : kFreeSector);
        }
        put32(p + kSector - 4, k + 1 < l.difat ? l.firstDifat() + k + 1 : kEndOfChain);
    }
    {
        char* p = out.room(kSector);
        directoryEntry(p, u"Root Entry", 5, 1, kEndOfChain, 0);
        directoryEntry(p + 128, streamName, 2, kNoEntry, l.firstGlobals(), streamSize);
        for (int e = 2; e < 4; ++e) {
            std::memset(p + 128 * e, 0, 128);
            put32(p + 128 * e + 0x44, kNoEntry);
            put32(p + 128 * e + 0x48, kNoEntry);
            put32(p + 128 * e + 0x4C, kNoEntry);
        }
    }
    if (!out.flush())
        return;

    char h[kSector];
    std::memset(h, 0, sizeof h);
    std::memcpy(h, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    put16(h + 0x18, 0x003E); // minor version
    put16(h + 0x1A, 0x0003); // major version: 512-byte sectors
    put16(h + 0x1C, 0xFFFE); // little-endian
    put16(h + 0x1E, 9);      // sector size 2^9
    put16(h + 0x20, 6);      // mini sector size 2^6
    put32(h + 0x2C, l.fat);
    put32(h + 0x30, l.directory());
    put32(h + 0x38, 4096); // streams below this size would be in the mini-stream
    put32(h + 0x3C, kEndOfChain);
    put32(h + 0x44, l.difat > 0 ? l.firstDifat() : kEndOfChain);
    put32(h + 0x48, l.difat);
    for (std::uint32_t i = 0; i < kHeaderFatIds; ++i)
        put32(h + 0x4C + 4 * i, i < l.fat ? l.firstFat() + i : kFreeSector);
    file.overwrite(0, h, kSector);
}

/// The workbook globals up to the sheet list, with a WRITEACCESS record of
/// `fill` body bytes (at least kFillMinimum).
std::string globalsHead(const Biff& biff, const QString& sheetName, std::uint32_t sheetOffset, std::size_t fill)
{
    Bytes out;
    bof(biff, out, 0x0005);
    {
        // An empty user name, then spaces.
        Bytes b;
        if (biff.v8()) {
            b.u16(0);
            b.u8(0);
        } else {
            b.u8(0);
        }
        b.raw(std::string(fill - b.size(), ' '));
        biff.record(out, kWriteAccess, b);
    }
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
    {
        Bytes b;
        b.u32(sheetOffset); // stream offset of the sheet's BOF
        b.u16(0);           // visible worksheet
        biff.shortString(b, cleanSheetName(sheetName, !biff.v8()));
        biff.record(out, kBoundSheet, b);
    }
    return std::move(out.str());
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
    const auto ncols = static_cast<std::uint16_t>(columns.size());
    if (!biff.v8()) {
        for (const jet::ColumnInfo& c : columns) {
            const QString why = biff5Refusal(c.name, QStringLiteral("The column name [%1]").arg(c.name));
            if (!why.isEmpty())
                return fail(why);
        }
    }
    for (const jet::ColumnInfo& c : columns)
        if (jet::hasLoneSurrogate(c.name))
            return fail(halfCharacterRefusal(QStringLiteral("The column name [%1]").arg(c.name)));

    files::CheckedFile file(path);
    if (!file.open())
        return fail(file.error());
    FileOut out(file);
    out.zeros(kSector); // the header's place

    // The sheet, from the first sector after the header. Its row count is
    // written over the DIMENSIONS record once the rows are known.
    Bytes sheetHead;
    bof(biff, sheetHead, 0x0010);
    const std::size_t rowCountAt = kSector + sheetHead.size() + 4 + (biff.v8() ? 4 : 2);
    {
        Bytes b;
        if (biff.v8()) {
            b.u32(0);
            b.u32(0); // rows, written at the end
        } else {
            b.u16(0);
            b.u16(0);
        }
        b.u16(0);
        b.u16(ncols);
        b.u16(0);
        biff.record(sheetHead, kDimensions, b);
    }
    out.bytes(sheetHead.str().data(), sheetHead.size());

    StringTable sst;
    SheetWriter sheet(biff, sst, out);
    const int maxText = xlsMaxTextLength(version, false);
    for (std::uint16_t c = 0; c < ncols; ++c)
        sheet.value(0, c, columns[c].name.left(maxText));

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
        sheet.prepare(values);
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
            if (t && !biff.v8() && firstOutsideCp1252(*t))
                return fail(biff5Refusal(
                    *t, QStringLiteral("The text in record %1, column [%2]").arg(row).arg(columns[c].name)));
            if (t && biff.v8() && jet::hasLoneSurrogate(*t))
                return fail(halfCharacterRefusal(QStringLiteral("The text in record %1, column [%2]").arg(row).arg(columns[c].name)));
            any = sheet.value(row, c, values[c]) || any;
        }
        sheet.endRow();
        // A record of nothing but Nulls still takes its row, so that readers
        // that go by the cells they find do not drop it at the end.
        if (!any && ncols > 0)
            sheet.blank(row, 0);
        ++row;
        if (!out.ok())
            return fail(file.error());
        if (out.written() + sst.bytes() > kMaxStream)
            return fail(QStringLiteral("The list is too large for an %1 file: the workbook would pass 2 GB.")
                            .arg(versionName(version)));
    }
    {
        Bytes tail;
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
        biff.record(tail, kWindow2, b);
        emptyRecord(biff, tail, kEof);
        out.bytes(tail.str().data(), tail.size());
    }
    std::uint64_t sheetSize = out.written() - kSector;

    // The globals fill whole sectors: the WRITEACCESS record takes up what
    // the rest leaves of the last one.
    const std::size_t fillMinimum = biff.v8() ? 112 : 32;
    const std::uint64_t sstSize = biff.v8() ? sst.size() : 0;
    const std::uint64_t unfilled = globalsHead(biff, sheetName, 0, fillMinimum).size() + sstSize + 4;
    const std::size_t fill = fillMinimum + static_cast<std::size_t>((kSector - unfilled % kSector) % kSector);
    const std::uint64_t globalsSize = unfilled + (fill - fillMinimum);
    // Zeros after the sheet's EOF keep the stream out of the mini-stream.
    if (globalsSize + sheetSize < kStreamMinimum)
        sheetSize = kStreamMinimum - globalsSize;
    const std::uint64_t streamSize = globalsSize + sheetSize;
    if (streamSize > kMaxStream)
        return fail(QStringLiteral("The list is too large for an %1 file: the workbook would pass 2 GB.")
                        .arg(versionName(version)));
    const auto sheetSectors = static_cast<std::uint32_t>((sheetSize + kSector - 1) / kSector);
    out.zeros(static_cast<std::size_t>(kSector + std::uint64_t(sheetSectors) * kSector - out.written()));

    const std::string head = globalsHead(biff, sheetName, static_cast<std::uint32_t>(globalsSize), fill);
    out.bytes(head.data(), head.size());
    if (biff.v8())
        sst.write([&](const char* p, std::size_t n) { out.bytes(p, n); });
    {
        Bytes eof;
        emptyRecord(biff, eof, kEof);
        out.bytes(eof.str().data(), eof.size());
    }
    const Layout layout = Layout::of(sheetSectors, static_cast<std::uint32_t>(globalsSize / kSector));
    writeTables(file, out, layout, biff.v8() ? u"Workbook" : u"Book", static_cast<std::uint32_t>(streamSize));

    char rowCount[4];
    put32(rowCount, row);
    if (!out.ok() || !file.overwrite(static_cast<qint64>(rowCountAt), rowCount, biff.v8() ? 4 : 2) || !file.commit())
        return fail(file.error());
    return true;
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
