// Line reading and encoding choice for delimited text files. The reader keeps
// one block of bytes and hands out one decoded line at a time, so a file of a
// million rows is never held whole. A read error ends the lines early and is
// kept for the caller, never swallowed as an end of file.
#include "exchange/text_lines.h"

#include <QFile>
#include <QIODevice>
#include <QStringDecoder>

#include <cstring>

namespace exchange {
namespace {

constexpr qsizetype kBlockSize = 256 * 1024;

// Windows-1252 for 0x80..0x9F; the five undefined codes map to themselves, as
// the Windows conversion does. Everything else is the same as Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Streaming UTF-8 check: rejects overlong forms, surrogates and code points
// above U+10FFFF. A sequence may be split between two blocks.
class Utf8Check {
public:
    bool feed(const unsigned char* p, qsizetype n)
    {
        qsizetype i = 0;
        while (i < n) {
            if (need_ == 0) {
                // Fast path over plain ASCII, eight bytes at a time.
                while (i + 8 <= n) {
                    quint64 w;
                    std::memcpy(&w, p + i, 8);
                    if (w & 0x8080808080808080ULL)
                        break;
                    i += 8;
                }
                if (i >= n)
                    break;
                const unsigned char c = p[i++];
                if (c < 0x80)
                    continue;
                if (c >= 0xC2 && c <= 0xDF) {
                    need_ = 1; lo_ = 0x80; hi_ = 0xBF;
                } else if (c >= 0xE0 && c <= 0xEF) {
                    need_ = 2;
                    lo_ = c == 0xE0 ? 0xA0 : 0x80;
                    hi_ = c == 0xED ? 0x9F : 0xBF;
                } else if (c >= 0xF0 && c <= 0xF4) {
                    need_ = 3;
                    lo_ = c == 0xF0 ? 0x90 : 0x80;
                    hi_ = c == 0xF4 ? 0x8F : 0xBF;
                } else {
                    return false;
                }
            } else {
                const unsigned char c = p[i++];
                if (c < lo_ || c > hi_)
                    return false;
                lo_ = 0x80;
                hi_ = 0xBF;
                --need_;
            }
        }
        return true;
    }
    bool complete() const { return need_ == 0; }

private:
    int need_ = 0;
    unsigned char lo_ = 0x80, hi_ = 0xBF;
};

std::optional<TextEncoding> wideEncoding(const QByteArray& head)
{
    if (head.startsWith(QByteArray("\xFF\xFE\x00\x00", 4)))
        return TextEncoding::Utf32LE;
    if (head.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)))
        return TextEncoding::Utf32BE;
    if (head.startsWith("\xFF\xFE"))
        return TextEncoding::Utf16LE;
    if (head.startsWith("\xFE\xFF"))
        return TextEncoding::Utf16BE;
    return std::nullopt;
}

QStringConverter::Encoding converterFor(TextEncoding e)
{
    switch (e) {
    case TextEncoding::Utf16LE: return QStringConverter::Utf16LE;
    case TextEncoding::Utf16BE: return QStringConverter::Utf16BE;
    case TextEncoding::Utf32LE: return QStringConverter::Utf32LE;
    case TextEncoding::Utf32BE: return QStringConverter::Utf32BE;
    default: return QStringConverter::Utf8;
    }
}

bool isWide(TextEncoding e) { return e != TextEncoding::Utf8 && e != TextEncoding::Windows1252; }

// Bytes per UTF-16 unit of decoded text, for the progress measure.
int bytesPerUnit(TextEncoding e) { return e == TextEncoding::Utf32LE || e == TextEncoding::Utf32BE ? 4 : 2; }

const char16_t kLineEnds[] = u"\r\n";

// The line end that took `length` characters, starting with LF or with CR.
QStringView lineEndOf(bool startsWithLf, qsizetype length)
{
    return startsWithLf ? QStringView(kLineEnds + 1, 1) : QStringView(kLineEnds, length);
}

} // namespace

TextEncoding detectTextEncoding(QIODevice& device)
{
    Utf8Check check;
    QByteArray block(kBlockSize, Qt::Uninitialized);
    if (const auto wide = wideEncoding(device.peek(4)))
        return *wide;
    for (;;) {
        const qint64 got = device.read(block.data(), block.size());
        if (got <= 0)
            break;
        if (!check.feed(reinterpret_cast<const unsigned char*>(block.constData()), got))
            return TextEncoding::Windows1252;
    }
    return check.complete() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

std::optional<TextEncoding> detectTextEncoding(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return detectTextEncoding(file);
}

QStringView trimSpaces(QStringView text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    return text.sliced(b, e - b);
}

TextLineReader::TextLineReader(QIODevice& device, TextEncoding encoding)
    : device_(device), encoding_(encoding)
{
    if (isWide(encoding))
        wideDecoder_ = QStringDecoder(converterFor(encoding));   // drops the file's own mark
}

// Moves the unread bytes to the front and appends the next block. False when
// nothing more could be read (end of file or error).
bool TextLineReader::fill()
{
    if (eof_)
        return false;
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.constData() + pos_, static_cast<size_t>(end_ - pos_));
        end_ -= pos_;
        pos_ = 0;
    }
    if (buf_.size() - end_ < kBlockSize)
        buf_.resize(end_ + kBlockSize);
    const qint64 got = readBlock(buf_.data() + end_, buf_.size() - end_);
    end_ += got;
    return got > 0;
}

qint64 TextLineReader::readBlock(char* into, qint64 room)
{
    const qint64 got = device_.read(into, room);
    if (got < 0)
        error_ = device_.errorString();
    if (got <= 0) {
        eof_ = true;
        return 0;
    }
    return got;
}

void TextLineReader::dropNuls(QString& line)
{
    if (!line.contains(QChar(0)))
        return;
    const qsizetype before = line.size();
    line.remove(QChar(0));
    nuls_ += before - line.size();
}

void TextLineReader::decode(const char* bytes, qsizetype size, QString& line)
{
    if (encoding_ == TextEncoding::Utf8) {
        // Stateless: each line is a complete run of bytes. An initial U+FEFF of a
        // line is kept; only the file's own mark was dropped.
        QStringDecoder dec(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        line.resize(dec.requiredSpace(size));
        QChar* out = dec.appendToBuffer(line.data(), QByteArrayView(bytes, size));
        line.resize(out - line.constData());
        if (std::memchr(bytes, 0, static_cast<size_t>(size)))
            dropNuls(line);
        return;
    }
    line.resize(size);
    char16_t* out = reinterpret_cast<char16_t*>(line.data());
    qsizetype o = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        out[o] = (c >= 0x80 && c < 0xA0) ? kCp1252High[c - 0x80] : char16_t(c);
        o += c != 0;
    }
    if (o < size) {
        nuls_ += size - o;
        line.resize(o);
    }
}

// Every line handed out passes here: counts it, and drops the extra
// byte-order marks at the very start of the file.
void TextLineReader::finishLine(QString& line)
{
    if (++lines_ == 1) {
        qsizetype marks = 0;
        while (marks < line.size() && line[marks] == QChar(0xFEFF))
            ++marks;
        line.remove(0, marks);
    }
}

// The decoded text of a UTF-16 or UTF-32 file grows by one block's worth.
bool TextLineReader::fillWide()
{
    if (eof_)
        return false;
    if (widePos_ > 0) {
        wide_.remove(0, widePos_);
        widePos_ = 0;
    }
    if (buf_.size() < kBlockSize)
        buf_.resize(kBlockSize);
    const qint64 got = readBlock(buf_.data(), buf_.size());
    if (got == 0)
        return false;
    bytesRead_ += got;
    wide_ += wideDecoder_.decode(QByteArrayView(buf_.constData(), got));
    return true;
}

bool TextLineReader::readWideLine(QString& line)
{
    qsizetype scan = widePos_;
    for (;;) {
        const qsizetype end = wide_.size();
        qsizetype i = scan;
        while (i < end && wide_[i] != u'\n' && wide_[i] != u'\r')
            ++i;
        if (i == end) {
            const qsizetype offset = end - widePos_;
            if (fillWide()) {
                scan = widePos_ + offset;
                continue;
            }
            // The fill may have moved the text to the front.
            if (hasError() || widePos_ == wide_.size())
                return false;
            i = wide_.size();
        } else if (wide_[i] == u'\r' && i + 1 == end && !eof_) {
            // The CR is the text's last unit: read on for its LF first.
            const qsizetype offset = i - widePos_;
            if (!fillWide() && hasError())
                return false;
            scan = widePos_ + offset;
            continue;
        }
        qsizetype after = i;
        lineEnd_ = QStringView();
        if (i < wide_.size()) {
            after = i + 1;
            if (wide_[i] == u'\r' && after < wide_.size() && wide_[after] == u'\n')
                ++after;
            lineEnd_ = lineEndOf(wide_[i] == u'\n', after - i);
        }
        line = QStringView(wide_).sliced(widePos_, i - widePos_).toString();
        dropNuls(line);
        consumed_ += (after - widePos_) * bytesPerUnit(encoding_);
        widePos_ = after;
        // The mark, and what the estimate per unit misses, are settled at the end.
        consumed_ = (eof_ && widePos_ == wide_.size()) ? bytesRead_ : std::min(consumed_, bytesRead_);
        finishLine(line);
        return true;
    }
}

bool TextLineReader::readLine(QString& line)
{
    if (isWide(encoding_))
        return readWideLine(line);
    if (!started_) {
        started_ = true;
        while (end_ < 3 && fill()) {
        }
        if (end_ >= 3 && std::memcmp(buf_.constData(), "\xEF\xBB\xBF", 3) == 0) {
            pos_ = 3;
            consumed_ = 3;
        }
    }
    qsizetype scan = pos_;
    for (;;) {
        const char* data = buf_.constData();
        qsizetype i = scan;
        while (i < end_ && data[i] != '\n' && data[i] != '\r')
            ++i;
        if (i < end_) {
            qsizetype after = i + 1;
            if (data[i] == '\r') {
                if (after == end_ && !eof_) {
                    // The CR is the block's last byte: look at the next block
                    // for its LF before deciding where the line ends.
                    const qsizetype offset = i - pos_;
                    fill();
                    if (hasError())
                        return false;
                    scan = pos_ + offset;
                    continue;
                }
                if (after < end_ && buf_.constData()[after] == '\n')
                    ++after;
            }
            lineEnd_ = lineEndOf(data[i] == '\n', after - i);
            decode(buf_.constData() + pos_, i - pos_, line);
            consumed_ += after - pos_;
            pos_ = after;
            finishLine(line);
            return true;
        }
        const qsizetype offset = end_ - pos_;
        if (!fill()) {
            if (hasError())
                return false; // no half line is handed out as if it were whole
            if (pos_ < end_) {
                lineEnd_ = QStringView();
                decode(buf_.constData() + pos_, end_ - pos_, line);
                consumed_ += end_ - pos_;
                pos_ = end_;
                finishLine(line);
                return true;
            }
            return false;
        }
        scan = pos_ + offset;
    }
}

} // namespace exchange
