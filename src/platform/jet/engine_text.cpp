// The engine's text form (engine_text.h) and its reading back (value.h).
#include "platform/jet/engine_text.h"

#include "platform/jet/value.h"

#include <QStringDecoder>

#include <cstring>

namespace jet {

namespace {

/// UTF-8 to UTF-16 with a U+FEFF at the start kept.
QString decodeKeepingMark(const char* p, qsizetype n)
{
    if (n >= 3 && p[0] == '\xEF' && p[1] == '\xBB' && p[2] == '\xBF') {
        QStringDecoder dec(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                                      | QStringConverter::Flag::ConvertInitialBom);
        return dec.decode(QByteArrayView(p, n));
    }
    return QString::fromUtf8(p, n);
}

/// Whether the bytes at p are half a surrogate pair as writeUtf8 writes it
/// (ED A0..BF 80..BF).
bool surrogateAt(const char* p, const char* end)
{
    return end - p >= 3 && uchar(p[0]) == 0xED && (uchar(p[1]) & 0xE0) == 0xA0 && (uchar(p[2]) & 0xC0) == 0x80;
}

} // namespace

char* writeUtf8(const char16_t* t, qsizetype n, char* out)
{
    auto* o = reinterpret_cast<unsigned char*>(out);
    for (qsizetype k = 0; k < n; ++k) {
        const char16_t u = t[k];
        if (u < 0x80) {
            *o++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *o++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *o++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n && t[k + 1] >= 0xDC00 && t[k + 1] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(t[k + 1]) - 0xDC00);
            ++k;
            *o++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {   // the rest of the plane, and half a pair as its own unit
            *o++ = static_cast<unsigned char>(0xE0 | (u >> 12));
            *o++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *o++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
    }
    return reinterpret_cast<char*>(o);
}

QByteArray utf8OfText(QStringView text)
{
    if (!hasLoneSurrogate(text))
        return text.toUtf8();
    QByteArray out(text.size() * 3, Qt::Uninitialized);
    const char* end = writeUtf8(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), out.data());
    out.truncate(end - out.constData());
    return out;
}

QString textFromUtf8(const char* p, qsizetype n)
{
    if (n <= 0)
        return decodeKeepingMark(p, n);
    const char* const end = p + n;
    const char* at = p;
    // Most texts hold no half pair: one look for the byte that starts one.
    while ((at = static_cast<const char*>(std::memchr(at, 0xED, size_t(end - at)))) && !surrogateAt(at, end))
        ++at;
    if (!at)
        return decodeKeepingMark(p, n);
    QString out;
    out.reserve(n);
    const char* from = p;
    for (; at < end; ++at) {
        if (!surrogateAt(at, end))
            continue;
        out += decodeKeepingMark(from, at - from);
        out += QChar(char16_t(0xD000 | ((uchar(at[1]) & 0x3F) << 6) | (uchar(at[2]) & 0x3F)));
        from = at + 3;
        at += 2;
    }
    out += decodeKeepingMark(from, end - from);
    return out;
}

} // namespace jet
