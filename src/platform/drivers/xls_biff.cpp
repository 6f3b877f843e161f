// The record reader of xls_biff.h. The records are walked as the structure
// check walks them (xls_records.h: the same lengths, the same texts); the
// globals are read from the first BOF to its EOF, a sheet from the BOF its
// BOUNDSHEET record points at to the EOF that closes it (a chart embedded in
// the sheet has a BOF and EOF of its own, whose records are not the sheet's
// cells). The stream is one that xlsDamage (xls_check.h) has passed: the
// sheets' places are record starts, the shared-text numbers exist.
//
// Texts: BIFF8 stores them as a character count, a flags byte (bit 0: two
// bytes a character, else one byte holding U+0000 to U+00FF; bit 2: an
// extension block; bit 3: formatting runs) and the characters; a text too long
// for its record goes on in the CONTINUE records after it, each part starting
// with a flags byte again. BIFF5 stores a byte count and bytes in the
// workbook's code page, which go on in CONTINUE records as they are (other
// writers store a cell's text longer than a record that way).
//
// A FORMULA record keeps the formula's last result: an IEEE number, or, when
// its top two bytes are FF FF, a text (given by the STRING record that
// follows), a Boolean, an error code or an empty text.
//
// Costs: one pass over the globals on open, one over a sheet's records per
// walk (a walk may stop at a row and go on later); the shared texts are held
// end to end in one buffer, each once however many cells show it. Reading a
// sheet into memory takes 16 bytes a cell.
#include "platform/drivers/xls_biff.h"

#include "common/codepage.h"
#include "platform/drivers/read_boundary.h"
#include "platform/drivers/xls_records.h"
#include "platform/drivers/xls_serials.h"

#include <iconv.h>
#include <sys/mman.h>

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace drivers {
namespace {

using namespace xlsrec;

constexpr unsigned kMostRows = 65536, kMostColumns = 256;

[[noreturn]] void damaged(const char* why) { xlsDamaged(why); }

double f64(const QByteArray& s, qsizetype at)
{
    double d;
    std::memcpy(&d, s.constData() + at, 8);   // the files are little-endian, as are our targets
    return d;
}

// An RK number: a 30-bit integer or the top 30 bits of a double, perhaps / 100.
double rkValue(std::uint32_t rk)
{
    double d;
    if (rk & 2) {
        d = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&d, &bits, 8);
    }
    return (rk & 1) ? d / 100 : d;
}

// Text in a single-byte code page as Unicode. 1252 (the Western code page,
// and what ASCII and the unset code page read as) is converted here; others
// through iconv.
std::optional<QString> fromCodepage(const char* bytes, qsizetype n, int codepage)
{
    if (codepage == 1252 || codepage == 367 || codepage == 0 || codepage == 1200) {
        QString out;
        out.reserve(n);
        for (qsizetype i = 0; i < n; ++i)
            out += codepage::charOfCode(static_cast<unsigned char>(bytes[i]));
        return out;
    }
    QByteArray name;
    if (codepage == 10000 || codepage == 32768)
        name = "MACINTOSH";
    else if (codepage == 65001)
        name = "UTF-8";
    else
        name = "CP" + QByteArray::number(codepage);
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    QByteArray out(n * 4 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = std::size_t(n), outLeft = std::size_t(out.size());
    char* o = out.data();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == std::size_t(-1)) {
            if (errno != EILSEQ && errno != EINVAL) {
                ok = false;
                break;
            }
            // A byte the code page does not define: a replacement character.
            ++in;
            --inLeft;
            if (outLeft < 2) {
                ok = false;
                break;
            }
            *o++ = char(0xFD);
            *o++ = char(0xFF);
            outLeft -= 2;
        }
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    // Copied as it is: fromUtf16 would drop a U+FEFF that starts the text.
    return QString(reinterpret_cast<const QChar*>(out.constData()), (o - out.constData()) / 2);
}

// Formats a sheet shows as dates or times without a FORMAT record of their
// own: 14 to 22 and 45 to 47, and the East Asian 27 to 36 and 50 to 58.
bool builtinDate(unsigned index)
{
    return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) || (index >= 45 && index <= 47)
        || (index >= 50 && index <= 58);
}

} // namespace

// Large buffers are mapped in huge pages where the system gives them: the
// shared texts of a big sheet take megabytes, written once, and a fault per
// small page costs more than the writing.
void XlsCharsFree::operator()(char16_t* p) const
{
    if (bytes)
        ::munmap(p, bytes);
    else
        delete[] p;
}

void XlsChars::regrow(std::size_t n)
{
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    std::unique_ptr<char16_t[], XlsCharsFree> b;
    const std::size_t bytes = (n * sizeof(char16_t) + kHuge - 1) / kHuge * kHuge;
    if (n * sizeof(char16_t) >= 2 * kHuge) {
        void* m = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m != MAP_FAILED) {
            ::madvise(m, bytes, MADV_HUGEPAGE);
            b = std::unique_ptr<char16_t[], XlsCharsFree>(static_cast<char16_t*>(m), XlsCharsFree{bytes});
            n = bytes / sizeof(char16_t);
        }
    }
    if (!b)
        b = std::unique_ptr<char16_t[], XlsCharsFree>(new char16_t[n], XlsCharsFree{});
    if (size_)
        std::copy_n(buf_.get(), size_, b.get());
    buf_ = std::move(b);
    cap_ = n;
}

bool xlsIsDateFormat(const QString& code)
{
    // Quoted text, a character after "\", "_" or "*", and bracketed parts
    // (colours, conditions, locales) show nothing of the value.
    QString s;
    int state = 0;
    for (QChar c : code) {
        if (state == 1) {
            if (c == u'"')
                state = 0;
        } else if (state == 2) {
            state = 0;
        } else if (state == 3) {
            if (c == u']')
                state = 0;
        } else if (c == u'"') {
            state = 1;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            state = 2;
        } else if (c == u'[') {
            state = 3;
        } else if (!QStringLiteral("$-+/(): ").contains(c)) {
            s += c;
        }
    }
    if (s.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 || s == QLatin1String("@")
        || s == QLatin1String("0.00E+00") || s == QLatin1String("##0.0E+0"))
        return false;
    int dates = 0, numbers = 0;
    for (QChar c : s) {
        if (QStringLiteral("ymdhsYMDHS\u5e74\u6708\u65e5").contains(c))
            ++dates;
        else if (c == u'0' || c == u'#' || c == u'?')
            ++numbers;
    }
    return dates > numbers;
}

std::optional<double> xlsEngineSerial(double stored, int dateMode)
{
    if (!std::isfinite(stored))
        return std::nullopt;
    // Days from 30 December 1899, the time of day running forward.
    double days = stored;
    if (dateMode == 1904) {
        days = stored + 1462;
    } else if (stored >= 1 && stored < 60) {
        days = stored + 1;   // before Excel's 29 February 1900, which never was
    } else if (stored >= 60 && stored < 61) {
        days = 61 + (stored - 60);   // that day itself becomes 1 March
    }
    return xlsSerialBefore1900(days);
}

QString XlsBiff::decode(const char* bytes, qsizetype length) const
{
    const std::optional<QString> s = fromCodepage(bytes, length, codepage_);
    if (!s)
        throw XlsDamage{QStringLiteral("its text is in a character set that cannot be read (code page %1)").arg(codepage_)};
    return *s;
}

bool XlsBiff::open(QByteArray stream, QString* why)
{
    s_ = std::move(stream);
    names_.clear();
    offsets_.clear();
    shared_.reset();
    sstAt_ = -1;
    dateXf_.clear();
    encrypted_ = false;
    try {
        if (s_.size() < 8 || u16(s_, 0) != kBof || recordAt(s_, 0).len < 4)
            damaged("its workbook stream does not begin with a BOF record of Excel 5.0 or later");
        const unsigned bofVersion = u16(s_, 4);
        if (bofVersion == 0x0600)
            version_ = 8;
        else if (bofVersion == 0x0500)
            version_ = 5;
        else
            damaged("its workbook stream is of an Excel version this reader does not know");
        const bool v8 = version_ == 8;

        QHash<unsigned, bool> formatIsDate;
        std::vector<unsigned> xfFormats;
        std::vector<QByteArray> rawNames;   // BIFF5 names, decoded once the code page is known
        XlsRecords walk(s_, v8, recordAt(s_, 0).end());
        XlsChars chars;
        QByteArrayView bytes;
        QByteArray spill;
        // A text of the globals as Unicode (BIFF8) or as the code page's bytes (BIFF5).
        auto text = [&](const Record& r, qsizetype offset, int countBytes) {
            chars.clear();
            bytes = QByteArrayView();
            recordText(s_, r, offset, countBytes, v8, false, &chars, &bytes, &spill);
            return QString(reinterpret_cast<const QChar*>(chars.data()), qsizetype(chars.size()));
        };
        for (Record r; walk.next(r) && r.type != kEof;) {
            const qsizetype b = r.body();
            switch (r.type) {
            case kFilePass:
                encrypted_ = true;
                if (why)
                    *why = QString();
                return true;
            case kCodepage:
                codepage_ = int(u16(s_, b));
                break;
            case kDateMode:
                dateMode_ = u16(s_, b) == 1 ? 1904 : 1900;
                break;
            case kFormat: {
                const unsigned index = u16(s_, b);
                const QString code = text(r, 2, v8 ? 2 : 1);
                formatIsDate[index] = xlsIsDateFormat(v8 ? code : decode(bytes.constData(), bytes.size()));
                break;
            }
            case kXf:
                xfFormats.push_back(u16(s_, b + 2));
                break;
            case kBoundSheet: {
                const std::uint32_t offset = u32(s_, b);
                const unsigned kind = u8(s_, b + 5);
                if (kind != 0)   // a chart, macro sheet or module holds no list
                    break;
                names_ << text(r, 6, 1);
                if (!v8)
                    rawNames.push_back(bytes.toByteArray());
                offsets_.push_back(offset);
                break;
            }
            case kSst:
                // Read with the first sheet: a list of the sheets needs none of it.
                sstAt_ = r.at;
                break;
            default:
                break;
            }
        }
        for (std::size_t k = 0; k < rawNames.size(); ++k)
            names_[qsizetype(k)] = decode(rawNames[k].constData(), rawNames[k].size());
        if (names_.isEmpty())
            damaged("the workbook's sheet list cannot be read");
        dateXf_.reserve(xfFormats.size());
        for (unsigned f : xfFormats) {
            const auto it = formatIsDate.constFind(f);
            dateXf_.push_back(it != formatIsDate.constEnd() ? *it : builtinDate(f));
        }
    } catch (const XlsDamage& d) {
        names_.clear();
        offsets_.clear();
        if (why)
            *why = d.why;
        return false;
    }
    return true;
}

void XlsBiff::readShared() const
{
    if (shared_)
        return;
    auto pool = std::make_shared<XlsTextPool>();
    if (sstAt_ >= 0)
        xlsrec::sharedTexts(s_, recordAt(s_, sstAt_), pool.get());
    shared_ = std::move(pool);
}

std::shared_ptr<const XlsTextPool> XlsBiff::sharedTexts() const
{
    readShared();
    return shared_;
}

bool XlsBiff::startSheet(int index, XlsSheetWalk& w, QString* why) const
{
    w = XlsSheetWalk();
    if (index < 0 || std::size_t(index) >= offsets_.size()) {
        if (why)
            *why = QStringLiteral("the workbook has no sheet number %1").arg(index + 1);
        return false;
    }
    try {
        readShared();
        const qsizetype start = qsizetype(offsets_[std::size_t(index)]);   // a BOF's place, checked on open
        if (start + 4 > s_.size() || u16(s_, start) != kBof)
            damaged("a sheet's place in the workbook does not hold a sheet");
        w.next = start;
    } catch (const XlsDamage& d) {
        if (why)
            *why = d.why;
        return false;
    }
    return true;
}

namespace {

bool isCellRecord(unsigned type)
{
    switch (type) {
    case kNumber:
    case kRk:
    case kMulRk:
    case kLabel:
    case kRString:
    case kLabelSst:
    case kBoolErr:
    case kFormula:
    case kBlank:
    case kMulBlank:
        return true;
    default:
        return false;
    }
}

} // namespace

bool XlsBiff::walkSheet(XlsSheetWalk& w, unsigned lastRow, const XlsCellSink& sink, QString* why) const
{
    if (w.ended)
        return true;
    XlsChars own;     // a text of the cell's own record
    QByteArray raw;   // the same in the code page's bytes, gathered from CONTINUE records (BIFF5)
    try {
        const bool v8 = version_ == 8;
        auto send = [&](unsigned row, unsigned col, const XlsCell& c, QStringView text = {}) {
            if (w.haveArea ? (row >= w.areaRows || col >= w.areaColumns) : (row >= kMostRows || col >= kMostColumns))
                damaged("a cell lies outside the area its sheet declares");
            w.sawCell = true;
            sink(row, col, c, text);
        };
        auto isDate = [&](unsigned xf) { return xf < dateXf_.size() && dateXf_[xf]; };
        auto number = [&](unsigned row, unsigned col, unsigned xf, double v) {
            XlsCell c;
            if (std::isfinite(v)) {
                // A date the engine cannot hold (outside the years 100 to
                // 9999) keeps its number.
                const std::optional<double> serial = isDate(xf) ? xlsEngineSerial(v, dateMode_) : std::nullopt;
                c.kind = serial ? XlsCell::Kind::Date : XlsCell::Kind::Number;
                c.number = serial ? *serial : v;
            }
            send(row, col, c);
        };
        // A text of the record's own; an empty text holds no value.
        auto text = [&](unsigned row, unsigned col) {
            XlsCell c;
            if (!own.empty()) {
                c.kind = XlsCell::Kind::Text;
                c.ownText = true;
            }
            send(row, col, c, QStringView(own.data(), qsizetype(own.size())));
        };
        // The text of a LABEL, RSTRING or STRING record, the cell's own.
        auto ownText = [&](const Record& r, qsizetype offset, bool whole) {
            own.clear();
            if (v8)
                return recordText(s_, r, offset, 2, true, whole, &own);
            QByteArrayView bytes;
            XlsTextRun t = recordText(s_, r, offset, 2, false, whole, nullptr, &bytes, &raw);
            const QString decoded = decode(bytes.data(), bytes.size());
            own.append(reinterpret_cast<const char16_t*>(decoded.utf16()), std::size_t(decoded.size()));
            return t;
        };

        XlsRecords walk(s_, v8, w.next);
        Record r;
        for (qsizetype count = 0; walk.next(r); ++count) {
            if ((count & 4095) == 0)
                stillReading();
            if (w.depth == 1 && isCellRecord(r.type) && u16(s_, r.body()) > lastRow)
                return true;   // the first of a later row: read it next time
            w.next = walk.at();
            const qsizetype b = r.body();
            if (r.type == kBof) {
                ++w.depth;
                continue;
            }
            if (r.type == kEof) {
                if (--w.depth == 0) {
                    w.ended = true;
                    return true;
                }
                continue;
            }
            if (w.depth != 1)
                continue;   // a chart inside the sheet
            own.clear();
            switch (r.type) {
            case kDimensions: {
                const std::uint32_t rows = v8 ? u32(s_, b + 4) : u16(s_, b + 2);
                const unsigned cols = u16(s_, b + (v8 ? 10 : 6));
                if (rows > kMostRows || cols > kMostColumns)
                    damaged("a sheet claims more rows or columns than a workbook can have");
                if (w.sawCell)
                    w.areaAfterCells = true;
                w.haveArea = true;
                w.areaRows = rows;
                w.areaColumns = cols;
                break;
            }
            case kNumber:
                number(u16(s_, b), u16(s_, b + 2), u16(s_, b + 4), f64(s_, b + 6));
                break;
            case kRk:
                number(u16(s_, b), u16(s_, b + 2), u16(s_, b + 4), rkValue(u32(s_, b + 6)));
                break;
            case kMulRk: {
                const unsigned row = u16(s_, b), firstCol = u16(s_, b + 2);
                const qsizetype cells = (r.len - 6) / 6;
                for (qsizetype k = 0; k < cells; ++k)
                    number(row, firstCol + unsigned(k), u16(s_, b + 4 + 6 * k), rkValue(u32(s_, b + 6 + 6 * k)));
                break;
            }
            case kLabel:
            case kRString:
                ownText(r, 6, r.type == kLabel);   // RSTRING: its formatting runs follow
                text(u16(s_, b), u16(s_, b + 2));
                break;
            case kLabelSst: {
                const std::uint32_t k = u32(s_, b + 6);
                if (k >= shared_->count())
                    damaged("a cell refers to a shared text the workbook does not have");
                XlsCell c;
                if (shared_->spans[k].size != 0) {
                    c.kind = XlsCell::Kind::Text;
                    c.text = std::int32_t(k);
                }
                send(u16(s_, b), u16(s_, b + 2), c);
                break;
            }
            case kBoolErr: {
                XlsCell c;
                if (u8(s_, b + 7) == 0) {
                    c.kind = XlsCell::Kind::Boolean;
                    c.number = u8(s_, b + 6) ? 1 : 0;
                } else {
                    c.kind = XlsCell::Kind::Error;
                }
                send(u16(s_, b), u16(s_, b + 2), c);
                break;
            }
            case kFormula: {
                const unsigned row = u16(s_, b), col = u16(s_, b + 2), xf = u16(s_, b + 4);
                if (u16(s_, b + 12) != 0xFFFF) {
                    number(row, col, xf, f64(s_, b + 6));
                    break;
                }
                switch (u8(s_, b + 6)) {
                case 0: {   // text: the STRING record that follows
                    XlsRecords ahead(s_, v8, walk.at());
                    Record str;
                    for (;;) {
                        if (!ahead.next(str))
                            damaged("a formula's text result is missing");
                        if (str.type == kString)
                            break;
                        // Only a shared or array formula's own records may come between.
                        if (str.type != 0x04BC && str.type != 0x0221 && str.type != 0x0236 && str.type != kContinue)
                            damaged("a formula's text result is missing");
                    }
                    w.next = ownText(str, 0, true).after();
                    walk.seek(w.next);
                    text(row, col);
                    break;
                }
                case 1: {   // a Boolean
                    XlsCell c;
                    c.kind = XlsCell::Kind::Boolean;
                    c.number = u8(s_, b + 8) ? 1 : 0;
                    send(row, col, c);
                    break;
                }
                case 2:   // an error value
                    send(row, col, XlsCell{XlsCell::Kind::FormulaError, false, -1, 0});
                    break;
                default:   // an empty text
                    send(row, col, XlsCell());
                    break;
                }
                break;
            }
            case kBlank:
            case kMulBlank:
                break;   // formatting only, inside the area or not
            default:
                break;
            }
        }
        damaged("a sheet of the workbook ends inside its records (it has no EOF record)");
    } catch (const XlsDamage& d) {
        if (why)
            *why = d.why;
        return false;
    }
}

bool XlsBiff::readSheet(int index, XlsSheetCells& out, QString* why) const
{
    out = XlsSheetCells();
    XlsSheetWalk w;
    if (!startSheet(index, w, why))
        return false;
    out.shared = shared_;
    unsigned lastRow = 0;        // the row the last cell was in
    std::size_t lastWidth = 0;   // the width of the row before it
    unsigned rowsSeen = 0;       // past the last row a cell is in
    const bool ok = walkSheet(w, ~0u, [&](unsigned row, unsigned col, const XlsCell& cell, QStringView text) {
        if (!w.haveArea)
            rowsSeen = std::max(rowsSeen, row + 1);
        if (out.cells.size() <= row) {
            if (w.haveArea && out.cells.capacity() < w.areaRows)
                out.cells.reserve(w.areaRows);
            out.cells.resize(row + 1);
        }
        auto& line = out.cells[row];
        if (row != lastRow) {
            lastWidth = lastRow < out.cells.size() ? out.cells[lastRow].size() : 0;
            lastRow = row;
        }
        if (line.size() <= col) {
            // Rows are mostly alike: room for the row before's width at
            // once (no more than that row holds, so a damaged file cannot
            // make it more than twice the cells).
            if (line.capacity() <= col)
                line.reserve(std::max<std::size_t>(lastWidth, col + 1));
            line.resize(col + 1);
        }
        XlsCell& c = line[col];
        c = cell;
        if (cell.ownText)
            c.text = out.own.add(text);
    }, why);
    if (!ok) {
        out = XlsSheetCells();
        return false;
    }
    // The declared area if the sheet has one (cells before it included), or
    // as far as its cells reach.
    out.rows = w.haveArea ? w.areaRows : rowsSeen;
    unsigned usedColumns = 0;   // up to the last that holds a value
    for (unsigned row = 0; row < out.cells.size(); ++row) {
        const auto& line = out.cells[row];
        for (unsigned col = unsigned(line.size()); col > usedColumns; --col)
            if (line[col - 1].kind != XlsCell::Kind::Empty) {
                usedColumns = col;
                break;
            }
    }
    out.columns = usedColumns;
    return true;
}

} // namespace drivers
