// The one walk over a workbook stream's records, shared by the structure
// check (xls_check.h) and the reader of cells (xls_biff.h), so that both see
// the same records with the same lengths and the same texts:
// - XlsRecords steps from record to record (a 4-byte header: type and body
//   length). Each record must lie inside the stream, hold no more than a
//   record may, and have the length its kind has: a record of a fixed length
//   (a number, a shared-text cell, a cell format ...) that is one byte longer
//   or shorter means that its length is damaged and that every record after
//   it would be read out of step.
// - XlsTextRun reads a text from a record's body on into the CONTINUE records
//   after it: BIFF8 texts (a flags byte again at the start of each CONTINUE,
//   UTF-16 that must hold together: a lone surrogate is damage) and BIFF5
//   texts (code-page bytes that go on as they are).
// Damage is thrown as XlsDamage with a phrase saying what is wrong.
#pragma once

#include "platform/drivers/xls_biff.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace drivers {

struct XlsDamage {
    QString why;
};

[[noreturn]] void xlsDamaged(const char* why);

namespace xlsrec {

constexpr unsigned kBof = 0x0809, kEof = 0x000A, kContinue = 0x003C, kFilePass = 0x002F, kCodepage = 0x0042,
                   kDateMode = 0x0022, kFormat = 0x041E, kXf = 0x00E0, kBoundSheet = 0x0085, kSst = 0x00FC,
                   kDimensions = 0x0200, kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD, kLabel = 0x0204,
                   kRString = 0x00D6, kLabelSst = 0x00FD, kBoolErr = 0x0205, kFormula = 0x0006, kString = 0x0207,
                   kBlank = 0x0201, kMulBlank = 0x00BE, kFont = 0x0031;

/// The most a record's body holds (BIFF8; BIFF5 writers stay below it).
constexpr qsizetype kMaxRecordBody = 8224;

inline unsigned u8(const QByteArray& s, qsizetype at) { return static_cast<unsigned char>(s.constData()[at]); }
inline unsigned u16(const QByteArray& s, qsizetype at) { return u8(s, at) | u8(s, at + 1) << 8; }
inline std::uint32_t u32(const QByteArray& s, qsizetype at)
{
    return std::uint32_t(u16(s, at)) | std::uint32_t(u16(s, at + 2)) << 16;
}

/// Damage phrases more than one reader of the records gives.
inline constexpr const char* kShorter = "a record of the workbook is shorter than its kind needs";
inline constexpr const char* kLonger = "a record of the workbook is longer than its kind holds";
inline constexpr const char* kClaimsMoreText = "a record of the workbook claims more text than it holds";

struct Record {
    qsizetype at = 0;   ///< of its header in the stream
    unsigned type = 0;
    qsizetype len = 0;
    qsizetype body() const { return at + 4; }
    qsizetype end() const { return at + 4 + len; }
};

inline Record recordAt(const QByteArray& s, qsizetype at)
{
    return Record{at, u16(s, at), qsizetype(u16(s, at + 2))};
}

/// The lengths records of a kind may have: `least` bytes and then any
/// number of `step` bytes more; a step of 0 makes `least` the one length
/// (a fixed-length kind). Kinds the walk does not read: {0, 1}. Cells of a
/// fixed layout (NUMBER, RK, LABELSST, BOOLERR, BLANK), the code page, the
/// day count, the cell formats (XF) and the sheet's area (DIMENSIONS) have
/// one length in each version; a run of cells (MULRK, MULBLANK) a head, a
/// step per cell and a tail; records holding a text (LABEL, STRING, FONT,
/// FORMAT, BOUNDSHEET) or a formula at least their fixed head.
struct KindLength {
    qsizetype least = 0;
    qsizetype step = 1;
};
constexpr KindLength kindLength(unsigned type, bool biff8)
{
    switch (type) {
    case kEof:
        return {0, 0};
    case kCodepage:
    case kDateMode:
        return {2, 0};
    case kBlank:
        return {6, 0};
    case kBoolErr:
        return {8, 0};
    case kRk:
    case kLabelSst:
        return {10, 0};
    case kNumber:
        return {14, 0};
    case kXf:
        return {biff8 ? 20 : 16, 0};
    case kDimensions:
        return {biff8 ? 14 : 10, 0};
    case kMulRk:   // row, first column, (format, value) pairs, last column
        return {12, 6};
    case kMulBlank:   // row, first column, formats, last column
        return {8, 2};
    case kBof:
    case 0x0043:   // XF of the older versions
    case 0x0243:
    case 0x0443:
        return {4, 1};
    case kFormat:
        return {biff8 ? 4 : 3, 1};
    case kBoundSheet:
        return {biff8 ? 8 : 7, 1};
    case kSst:
        return {8, 1};
    case kLabel:
    case kRString:
        return {8, 1};
    case kString:
        return {2, 1};
    case kFont:
        return {15, 1};
    case kFormula:
        return {20, 1};
    case 0x001E:   // FORMAT of the oldest versions
        return {1, 1};
    default:
        return {0, 1};
    }
}

/// kindLength of every type below 0x0900 (the kinds above read as any
/// length), by version: one look-up a record instead of a search.
struct KindLengths {
    struct Entry {
        std::uint16_t least = 0;
        std::uint8_t step = 1;
    };
    static constexpr unsigned kTypes = 0x0900;
    Entry byType[2][kTypes] = {};
    constexpr KindLengths()
    {
        for (unsigned v = 0; v < 2; ++v)
            for (unsigned t = 0; t < kTypes; ++t) {
                const KindLength k = kindLength(t, v == 1);
                byType[v][t] = Entry{std::uint16_t(k.least), std::uint8_t(k.step)};
            }
    }
};
inline constexpr KindLengths kKindLengths{};

/// Refuses a record whose length does not fit its kind.
inline void checkKindLength(const Record& r, bool biff8)
{
    if (r.type >= KindLengths::kTypes)
        return;
    const KindLengths::Entry k = kKindLengths.byType[biff8 ? 1 : 0][r.type];
    if (k.step == 0) {   // most records: cells of a fixed length
        if (r.len != k.least)
            xlsDamaged(r.len < k.least ? kShorter : kLonger);
        return;
    }
    if (r.len < k.least)
        xlsDamaged(kShorter);
    if (k.step > 1 && (r.len - k.least) % k.step != 0)
        xlsDamaged("a record of the workbook has an impossible length");
}

/// Steps through a stream's records from `at`.
class XlsRecords {
public:
    XlsRecords(const QByteArray& s, bool biff8, qsizetype at = 0) : s_(s), biff8_(biff8), at_(at) {}

    /// The record at the cursor, which then moves past it; false when fewer
    /// than 4 bytes are left. A record that runs past the stream, or whose
    /// length does not fit its kind, is damage.
    bool next(Record& r)
    {
        if (at_ + 4 > s_.size())
            return false;
        r = recordAt(s_, at_);
        if (r.len > kMaxRecordBody || r.end() > s_.size())
            xlsDamaged("a record of the workbook runs past its end");
        checkKindLength(r, biff8_);
        at_ = r.end();
        return true;
    }
    qsizetype at() const { return at_; }
    void seek(qsizetype at) { at_ = at; }

private:
    const QByteArray& s_;
    bool biff8_;
    qsizetype at_;
};

/// A place in a record's body that may go on into the CONTINUE records after
/// it: a text too long for its record.
class XlsTextRun {
public:
    /// From `offset` in r's body; a text that runs past its records is damage `why`.
    XlsTextRun(const QByteArray& s, const Record& r, qsizetype offset, const char* why = kClaimsMoreText)
        : s_(s), at_(r.body() + offset), end_(r.end()), why_(why)
    {
        if (at_ > end_)
            xlsDamaged(why_);
    }

    /// Bytes that stay in the current record (a text's count and header).
    unsigned byteHere()
    {
        needHere(1);
        return u8(s_, at_++);
    }
    unsigned wordHere()
    {
        needHere(2);
        const unsigned v = u16(s_, at_);
        at_ += 2;
        return v;
    }
    std::uint32_t dwordHere()
    {
        needHere(4);
        const std::uint32_t v = u32(s_, at_);
        at_ += 4;
        return v;
    }
    /// At the start of the next CONTINUE when the current record is used up.
    void nextIfAtEnd()
    {
        if (at_ == end_)
            nextPart();
    }
    /// Bytes that may cross into the next records.
    void skip(qsizetype n);

    /// A BIFF8 text of `chars` characters, its count read: the flags, the
    /// counts of formatting runs and extension bytes, the characters (a
    /// flags byte again at each CONTINUE), then the runs and the extension,
    /// skipped. The characters are appended to `out` when it is given. A
    /// surrogate without its other half is damage. An empty text at the end
    /// of its record may leave out its flags byte.
    void unicode(qsizetype chars, XlsChars* out);
    /// A BIFF5 text: `n` bytes of the code page, going on in CONTINUE
    /// records as they are. They are seen where they lie when they stay in
    /// one record, else gathered in `spill`; valid while the stream and
    /// `spill` are.
    QByteArrayView bytes(qsizetype n, QByteArray& spill)
    {
        if (n > 0 && n <= end_ - at_) {
            const QByteArrayView here(s_.constData() + at_, n);
            at_ += n;
            return here;
        }
        return gathered(n, spill);
    }

    /// Bytes left in the current record.
    qsizetype leftHere() const { return end_ - at_; }
    /// Whether the run stands at the end of the last record it reached.
    bool atEnd() const { return at_ == end_; }
    /// Where the record after the last one the run has reached begins.
    qsizetype after() const { return end_; }

private:
    void nextPart();
    QByteArrayView gathered(qsizetype n, QByteArray& spill);
    void needHere(qsizetype n) const
    {
        if (end_ - at_ < n)
            xlsDamaged(why_);
    }

    const QByteArray& s_;
    qsizetype at_, end_;
    const char* why_;
};

/// A text a record holds from `offset` of its body: a count of `countBytes`
/// (1 or 2) bytes, then the text (BIFF8: flags and characters, appended to
/// `chars` when given; BIFF5: code-page bytes, seen in `bytes` when given, as
/// XlsTextRun::bytes gives them with `spill`), which may go on in CONTINUE
/// records. With `whole`, the text must end where its last record ends (a
/// cell's own text, a formula's text result): bytes left over mean that the
/// count is damaged. Returns the run, standing after the text.
inline XlsTextRun recordText(const QByteArray& s, const Record& r, qsizetype offset, int countBytes, bool biff8,
                             bool whole, XlsChars* chars = nullptr, QByteArrayView* bytes = nullptr,
                             QByteArray* spill = nullptr)
{
    XlsTextRun t(s, r, offset);
    const qsizetype count = countBytes == 1 ? t.byteHere() : t.wordHere();
    if (biff8) {
        t.unicode(count, chars);
    } else {
        QByteArray none;
        const QByteArrayView seen = t.bytes(count, spill ? *spill : none);
        if (bytes)
            *bytes = seen;
    }
    if (whole && !t.atEnd())
        xlsDamaged(kLonger);
    return t;
}

/// The shared texts of the SST record `sst` and the CONTINUE records after
/// it, appended to `pool` when it is given: a count of texts, then each text
/// (its count and flags in one record, its characters split between records
/// at will). A count the records cannot hold is damage. Returns where the
/// record after the last one the texts reached begins.
qsizetype sharedTexts(const QByteArray& s, const Record& sst, XlsTextPool* pool);

} // namespace xlsrec
} // namespace drivers
