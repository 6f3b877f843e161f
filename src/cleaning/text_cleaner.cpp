// The Text Cleaner's per-value steps. A run over a column calls cleanValue once
// per selected row, so these are written for a million calls: no regular
// expressions, no temporary strings.
//
// Every step is a rule that maps one code point to itself, to a replacement of
// the same UTF-16 length, or to nothing. One driver runs a rule over a string:
// it first scans until the rule would change something, and only then detaches
// the string and compacts it in place (the write position never passes the read
// position, so one buffer serves both). An unchanged value therefore costs no
// allocation, and a value changed by several steps costs one, made by the first
// step that changes it.
//
// Code points, not UTF-16 units, are what the rules see: a letter outside the
// Basic Multilingual Plane is a letter, and a repeated emoji is one repeated
// character. An unpaired surrogate is passed to the rule as the unit itself.
#include "cleaning/text_cleaner.h"

namespace cleaning {
namespace {

constexpr char32_t kDrop = 0xFFFFFFFFu; // never a code point

struct CodePoint {
    char32_t cp;
    qsizetype len; // UTF-16 units: 1 or 2
};

inline CodePoint decodeAt(const char16_t* p, qsizetype i, qsizetype n)
{
    const char16_t u = p[i];
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]))
        return {QChar::surrogateToUcs4(u, p[i + 1]), 2};
    return {u, 1};
}

inline bool isAsciiDigit(char32_t c) { return c >= u'0' && c <= u'9'; }

inline bool isAsciiLetter(char32_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Letters of every script. Lm counts too, so a modifier-letter apostrophe
// (U+02BC) in a name is a letter, as its category says.
inline bool isLetter(char32_t c)
{
    return c < 0x80 ? isAsciiLetter(c) : QChar::isLetter(c);
}

inline bool isMark(char32_t c) { return c >= 0x300 && QChar::isMark(c); }

// A rule returns its input to keep it, kDrop to drop it, or a BMP replacement
// for a BMP input. Rules may carry state from one code point to the next.
template <class Rule>
void applyRule(QString& s, Rule rule)
{
    const qsizetype n = s.size();
    const char16_t* src = reinterpret_cast<const char16_t*>(s.constData());

    qsizetype i = 0;
    CodePoint c{0, 0};
    char32_t out = 0;
    for (; i < n; i += c.len) {
        c = decodeAt(src, i, n);
        out = rule(c.cp);
        if (out != c.cp)
            break;
    }
    if (i >= n)
        return;

    char16_t* d = reinterpret_cast<char16_t*>(s.data()); // detaches if shared
    qsizetype w = i;
    for (;;) {
        if (out == c.cp) {
            d[w++] = d[i];
            if (c.len == 2)
                d[w++] = d[i + 1];
        } else if (out != kDrop) {
            Q_ASSERT(c.len == 1 && out <= 0xFFFF);
            d[w++] = static_cast<char16_t>(out);
        }
        i += c.len;
        if (i >= n)
            break;
        c = decodeAt(d, i, n);
        out = rule(c.cp);
    }
    s.truncate(w);
}

struct NonPrintRule {
    char32_t operator()(char32_t c) const { return c < 0x20 || c == 0x7F ? kDrop : c; }
};

// A character repeats when it equals the one before it in the input; letters,
// their marks and digits never collapse ("Väänänen", "Mississippi", "1000").
struct RepeatRule {
    char32_t prev = kDrop;
    char32_t operator()(char32_t c)
    {
        const bool dup = c == prev && !isAsciiDigit(c) && !isLetter(c) && !isMark(c);
        prev = c;
        return dup ? kDrop : c;
    }
};

struct Conv1Rule {
    char32_t operator()(char32_t c) const
    {
        if (c == u'0')
            return u'o';
        if (c == u'1')
            return u'l';
        return c;
    }
};

struct Conv2Rule {
    char32_t operator()(char32_t c) const
    {
        switch (c) {
        case u'O': case u'o':
            return u'0';
        case u'L': case u'l': case u'I': case u'i':
            return u'1';
        default:
            return c;
        }
    }
};

// A combining mark belongs to the character before it: it stays when that
// character stayed, so "Jose" + U+0301 and Devanagari vowel signs survive, and
// goes with a dropped one.
struct NonDigitAlphaRule {
    bool baseKept = false;
    char32_t operator()(char32_t c)
    {
        if (isMark(c))
            return baseKept ? c : kDrop;
        baseKept = isAsciiDigit(c) || isLetter(c);
        return baseKept ? c : kDrop;
    }
};

struct DigitsRule {
    char32_t operator()(char32_t c) const { return isAsciiDigit(c) ? kDrop : c; }
};

inline bool isThree(char32_t c) { return c == u'\'' || c == u',' || c == u'.'; }
inline bool isSpace(char32_t c) { return c == 0x20 || c == 0xA0; }

struct NonDigitExcept3Rule {
    char32_t operator()(char32_t c) const
    {
        return isAsciiDigit(c) || isThree(c) || isSpace(c) ? c : kDrop;
    }
};

struct Remov3Rule {
    char32_t operator()(char32_t c) const { return isThree(c) ? kDrop : c; }
};

struct SpaceRule {
    char32_t operator()(char32_t c) const { return isSpace(c) ? kDrop : c; }
};

// A cleaned value is written back as text: an input that was text must not
// come back as a null string, which a binding would store as Null.
inline void keepNonNull(QString& out, const QString& in)
{
    if (out.isNull() && !in.isNull())
        out = QStringLiteral("");
}

template <class Rule>
QString runOne(const QString& s)
{
    QString out = s;
    applyRule(out, Rule{});
    keepNonNull(out, s);
    return out;
}

} // namespace

QString Remov_Non_Print(const QString& s) { return runOne<NonPrintRule>(s); }
QString Remov_Repeat(const QString& s) { return runOne<RepeatRule>(s); }
QString Conv_1(const QString& s) { return runOne<Conv1Rule>(s); }
QString Remov_NonDigitAlpha(const QString& s) { return runOne<NonDigitAlphaRule>(s); }
QString Remov_Digits(const QString& s) { return runOne<DigitsRule>(s); }
QString Conv_2(const QString& s) { return runOne<Conv2Rule>(s); }
QString Remov_NonDigitExcept3(const QString& s) { return runOne<NonDigitExcept3Rule>(s); }
QString Remov_3(const QString& s) { return runOne<Remov3Rule>(s); }
QString Remov_Space(const QString& s) { return runOne<SpaceRule>(s); }

QString trimSpaces(const QString& s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && s.at(a) == u' ')
        ++a;
    while (b > a && s.at(b - 1) == u' ')
        --b;
    if (a == 0 && b == s.size())
        return s;
    QString out = s.sliced(a, b - a);
    keepNonNull(out, s);
    return out;
}

bool CleanSteps::any() const
{
    return trim || removNonPrint || removRepeat || conv1 || removNonDigitAlpha || removDigits
        || conv2 || removNonDigitExcept3 || remov3 || removSpace;
}

QString cleanValue(const QString& s, const CleanSteps& steps)
{
    QString out = steps.trim ? trimSpaces(s) : s;
    if (steps.removNonPrint)
        applyRule(out, NonPrintRule{});
    if (steps.removRepeat)
        applyRule(out, RepeatRule{});
    if (steps.conv1)
        applyRule(out, Conv1Rule{});
    if (steps.removNonDigitAlpha)
        applyRule(out, NonDigitAlphaRule{});
    if (steps.removDigits)
        applyRule(out, DigitsRule{});
    if (steps.conv2)
        applyRule(out, Conv2Rule{});
    if (steps.removNonDigitExcept3)
        applyRule(out, NonDigitExcept3Rule{});
    if (steps.remov3)
        applyRule(out, Remov3Rule{});
    if (steps.removSpace)
        applyRule(out, SpaceRule{});
    keepNonNull(out, s);
    return out;
}

QString cleanCondition(const QString& column, const QString& likePattern, bool allValues)
{
    if (allValues)
        return QStringLiteral(" WHERE [") + column + QStringLiteral("] IS NOT NULL");
    QString pattern = likePattern;
    pattern.replace(u'"', QStringLiteral("\"\""));
    return QStringLiteral(" WHERE [") + column + QStringLiteral("] LIKE \"") + pattern
        + QStringLiteral("\"");
}

} // namespace cleaning
