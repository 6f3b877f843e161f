// The text reader of xls_records.h.
#include "platform/drivers/xls_records.h"

#include "platform/drivers/read_boundary.h"

#include <algorithm>

namespace drivers {

void xlsDamaged(const char* why) { throw XlsDamage{QString::fromLatin1(why)}; }

namespace xlsrec {

namespace {
constexpr const char* kHalfCharacter = "a text of the workbook holds half of a character (a lone surrogate)";
}

void XlsTextRun::nextPart()
{
    // The current record ends where the next one's header starts.
    if (end_ + 4 > s_.size() || u16(s_, end_) != kContinue)
        xlsDamaged(why_);
    const Record r = recordAt(s_, end_);
    if (r.len == 0)
        xlsDamaged("a text of the workbook goes on in an empty CONTINUE record");
    if (r.end() > s_.size())
        xlsDamaged("a record of the workbook runs past its end");
    at_ = r.body();
    end_ = r.end();
}

void XlsTextRun::skip(qsizetype n)
{
    while (n > 0) {
        nextIfAtEnd();
        const qsizetype here = std::min(n, end_ - at_);
        at_ += here;
        n -= here;
    }
}

void XlsTextRun::unicode(qsizetype chars, XlsChars* out)
{
    if (chars == 0 && at_ == end_)
        return;   // an empty text may leave out its flags byte
    nextIfAtEnd();
    unsigned flags = byteHere();
    const qsizetype runs = flags & 0x08 ? wordHere() : 0;
    const qsizetype ext = flags & 0x04 ? dwordHere() : 0;
    // The count is only a claim: room is made as the characters come.
    bool high = false;   // the last character was the first half of a pair
    while (chars > 0) {
        if (at_ == end_) {
            nextPart();
            flags = byteHere();
        }
        const int width = flags & 0x01 ? 2 : 1;
        const qsizetype here = std::min(chars, (end_ - at_) / width);
        if (here == 0)
            xlsDamaged("a text of the workbook is split inside a character");
        const auto* p = reinterpret_cast<const unsigned char*>(s_.constData() + at_);
        char16_t* to = out ? out->room(std::size_t(here)) : nullptr;
        if (width == 2) {
            // Surrogates (D800 to DFFF) are rare: the characters are taken
            // in one plain pass, and looked at one by one only where the
            // part holds one or a pair is open.
            unsigned any = high ? 1 : 0;
            if (to) {
                for (qsizetype i = 0; i < here; ++i) {
                    const char16_t c = char16_t(p[2 * i] | p[2 * i + 1] << 8);
                    any |= (c & 0xF800) == 0xD800;
                    to[i] = c;
                }
            } else {
                for (qsizetype i = 0; i < here; ++i)
                    any |= (p[2 * i + 1] & 0xF8) == 0xD8;
            }
            for (qsizetype i = 0; any && i < here; ++i) {
                const char16_t c = char16_t(p[2 * i] | p[2 * i + 1] << 8);
                // The high half first, then the low one.
                if ((c & 0xF800) == 0xD800) {
                    if ((c & 0x0400) == 0 ? high : !high)
                        xlsDamaged(kHalfCharacter);
                    high = (c & 0x0400) == 0;
                } else if (high) {
                    xlsDamaged(kHalfCharacter);
                }
            }
        } else {
            if (high)
                xlsDamaged(kHalfCharacter);
            if (to)
                for (qsizetype i = 0; i < here; ++i)
                    to[i] = char16_t(p[i]);
        }
        if (out)
            out->grew(std::size_t(here));
        at_ += here * width;
        chars -= here;
    }
    if (high)
        xlsDamaged(kHalfCharacter);
    skip(runs * 4 + ext);
}

QByteArrayView XlsTextRun::gathered(qsizetype n, QByteArray& spill)
{
    spill.resize(0);
    while (n > 0) {
        nextIfAtEnd();
        const qsizetype here = std::min(n, end_ - at_);
        spill.append(s_.constData() + at_, here);
        at_ += here;
        n -= here;
    }
    return QByteArrayView(spill);
}

qsizetype sharedTexts(const QByteArray& s, const Record& sst, XlsTextPool* pool)
{
    const std::uint32_t unique = u32(s, sst.body() + 4);
    const char* const why = "the workbook's shared texts run past their records";
    XlsTextRun run(s, sst, 8, why);
    if (pool) {
        // Each text takes at least three bytes: a count beyond the records is
        // damage, not a reason to reserve memory. There are no more
        // characters than bytes in the SST and the CONTINUE records after it.
        qsizetype bytes = sst.len;
        for (qsizetype at = sst.end(); at + 4 <= s.size() && u16(s, at) == kContinue; at += 4 + u16(s, at + 2))
            bytes += u16(s, at + 2);
        pool->spans.reserve(std::min<std::size_t>(unique, std::size_t(bytes / 3)));
        pool->chars.reserve(std::size_t(bytes));
    }
    for (std::uint32_t k = 0; k < unique; ++k) {
        if ((k & 4095) == 0)
            stillReading();
        run.nextIfAtEnd();
        if (run.leftHere() < 3)
            xlsDamaged(why);
        const unsigned chars = run.wordHere();
        if (!pool) {
            run.unicode(chars, nullptr);
            continue;
        }
        const std::size_t at = pool->chars.size();
        run.unicode(chars, &pool->chars);
        pool->spans.push_back(XlsTextPool::Span{at, std::uint32_t(pool->chars.size() - at)});
    }
    return run.after();
}

} // namespace xlsrec
} // namespace drivers
