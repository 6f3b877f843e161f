// Proper case of list values with the prefix and exception lists.
//
// Letter case is compared through a fold of each UTF-16 unit (surrogates are
// left as they are), so a folded text is exactly as long as the text and
// positions found in it are positions in the text.
//
// The exceptions are applied one entry after the other, each searching the
// text the earlier ones left for its whole-word occurrences. A replacement puts the entry, which folds to
// what it replaces, over the occurrence, so the folded text never changes
// along the way: each entry's occurrences can be found in the fold of the
// original text and its stored spelling painted over them, later entries over
// earlier ones. That gives the same result with one fold per value, and lets
// a value skip every entry whose first two letters it does not contain: with
// a thousand exceptions a short value looks at a handful of them, not all.
#include "cleaning/proper_case.h"

#include <QChar>
#include <QHash>

#include <algorithm>
#include <vector>

namespace cleaning {
namespace {

constexpr int kListSize = 1000;

bool isSeparator(QChar c)
{
    switch (c.unicode()) {
    case u' ': case u'&': case u'"': case u',': case u'.': case u':': case u';': case u'_':
    case u'*': case u'+': case u'-': case u'/': case u'\\': case u'^': case u'<': case u'>':
    case u'=': case u'~': case u'(': case u')': case u'[': case u']': case u'{': case u'}':
        return true;
    default:
        return false;
    }
}

// The blanks after which properWord starts a new capital.
bool isWordBreak(QChar c)
{
    switch (c.unicode()) {
    case 0: case u'\t': case u'\n': case 0x0B: case 0x0C: case u'\r': case u' ':
        return true;
    default:
        return false;
    }
}

char16_t fold(QChar c)
{
    return c.isSurrogate() ? c.unicode() : QChar::toCaseFolded(c.unicode());
}

QString foldText(QStringView s)
{
    QString out(s.size(), Qt::Uninitialized);
    QChar* o = out.data();
    for (qsizetype i = 0; i < s.size(); ++i)
        o[i] = QChar(fold(s[i]));
    return out;
}

quint32 pairKey(char16_t a, char16_t b) { return (quint32(a) << 16) | b; }

// A letter or digit (a combining mark counts with the letter it sits on):
// what an exception may not have on a side where it ends in one.
bool isWordChar(char32_t cp) { return QChar::isLetterOrNumber(cp) || QChar::isMark(cp); }

// The code point that ends just before s[i] (a surrogate pair counts as one).
char32_t codePointBefore(QStringView s, qsizetype i)
{
    const QChar c = s[i - 1];
    if (c.isLowSurrogate() && i >= 2 && s[i - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(s[i - 2], c);
    return c.unicode();
}

// The code point that starts at s[i].
char32_t codePointAt(QStringView s, qsizetype i)
{
    const QChar c = s[i];
    if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, s[i + 1]);
    return c.unicode();
}

// Upper or lower case of the code point at s[i] (a surrogate pair counts as
// one), written to out; returns the units consumed. Simple mappings only, so
// the length stays.
qsizetype mapCase(QStringView s, qsizetype i, bool upper, QChar* out)
{
    const QChar c = s[i];
    if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
        const char32_t cp = QChar::surrogateToUcs4(c, s[i + 1]);
        const char32_t m = upper ? QChar::toUpper(cp) : QChar::toLower(cp);
        if (QChar::requiresSurrogates(m)) {
            out[0] = QChar(QChar::highSurrogate(m));
            out[1] = QChar(QChar::lowSurrogate(m));
        } else {
            out[0] = c;
            out[1] = s[i + 1];
        }
        return 2;
    }
    if (c.isSurrogate()) {
        out[0] = c;
        return 1;
    }
    out[0] = upper ? c.toUpper() : c.toLower();
    return 1;
}

} // namespace

QString properWord(QStringView word)
{
    QString out(word.size(), Qt::Uninitialized);
    QChar* o = out.data();
    bool start = true;
    for (qsizetype i = 0; i < word.size();) {
        const QChar c = word[i];
        const qsizetype n = mapCase(word, i, start, o + i);
        start = isWordBreak(c);
        i += n;
    }
    return out;
}

struct ProperCase::Data {
    // Prefixes up to the first empty one, with their folds, bucketed by the
    // fold of the first unit; a bucket keeps list order, and any prefix that
    // matches a word shares its first unit, so the first match in the bucket
    // is the first match of the list.
    std::vector<QString> prefixes;
    std::vector<QString> prefixFolds;
    QHash<char16_t, std::vector<int>> prefixByFirst;

    // Non-empty exceptions in list order, with their folds. One-unit entries
    // are found by that unit, longer ones by their first two units.
    std::vector<QString> exceptions;
    std::vector<QString> exceptionFolds;
    // Whether the entry starts (ends) with a letter or digit, so that an
    // occurrence needs a boundary in the text before (after) it.
    std::vector<char> needsStart;
    std::vector<char> needsEnd;
    QHash<char16_t, std::vector<int>> singles;
    QHash<quint32, std::vector<int>> byPair;
};

ProperCase::ProperCase(const QStringList& prefixes, const QStringList& exceptions) : d_(std::make_unique<Data>())
{
    for (const QString& p : prefixes) {
        if (p.isEmpty())
            break;
        const int at = int(d_->prefixes.size());
        d_->prefixes.push_back(p);
        d_->prefixFolds.push_back(foldText(p));
        d_->prefixByFirst[d_->prefixFolds.back()[0].unicode()].push_back(at);
    }
    for (const QString& e : exceptions) {
        if (e.isEmpty())
            continue;
        const int at = int(d_->exceptions.size());
        d_->exceptions.push_back(e);
        d_->exceptionFolds.push_back(foldText(e));
        d_->needsStart.push_back(isWordChar(codePointAt(e, 0)));
        d_->needsEnd.push_back(isWordChar(codePointBefore(e, e.size())));
        const QString& f = d_->exceptionFolds.back();
        if (f.size() == 1)
            d_->singles[f[0].unicode()].push_back(at);
        else
            d_->byPair[pairKey(f[0].unicode(), f[1].unicode())].push_back(at);
    }
}

ProperCase ProperCase::fromArrays(const std::array<QString, 1001>& prefixes,
                                  const std::array<QString, 1001>& exceptions)
{
    QStringList p;
    QStringList e;
    for (int i = 1; i <= kListSize; ++i) {
        p << prefixes[size_t(i)];
        e << exceptions[size_t(i)];
    }
    return ProperCase(p, e);
}

ProperCase::~ProperCase() = default;
ProperCase::ProperCase(ProperCase&&) noexcept = default;
ProperCase& ProperCase::operator=(ProperCase&&) noexcept = default;

QString ProperCase::word(QStringView w) const
{
    if (w.isEmpty())
        return QString();
    const auto bucket = d_->prefixByFirst.constFind(fold(w[0]));
    if (bucket != d_->prefixByFirst.cend()) {
        for (int at : *bucket) {
            const QString& pf = d_->prefixFolds[size_t(at)];
            if (pf.size() > w.size())
                continue;
            bool same = true;
            for (qsizetype i = 0; same && i < pf.size(); ++i)
                same = fold(w[i]) == pf[i].unicode();
            if (same)
                return d_->prefixes[size_t(at)] + properWord(w.mid(pf.size()));
        }
    }
    return properWord(w);
}

QString ProperCase::applyExceptions(const QString& text) const
{
    if (d_->exceptions.empty() || text.isEmpty())
        return text;
    const QString folded = foldText(text);
    std::vector<int> candidates;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        const char16_t a = folded[i].unicode();
        if (auto s = d_->singles.constFind(a); s != d_->singles.cend())
            candidates.insert(candidates.end(), s->begin(), s->end());
        if (i + 1 < folded.size())
            if (auto p = d_->byPair.constFind(pairKey(a, folded[i + 1].unicode())); p != d_->byPair.cend())
                candidates.insert(candidates.end(), p->begin(), p->end());
    }
    if (candidates.empty())
        return text;
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

    // The boundaries are read in the text as it came: a replacement only
    // changes letter case, never what is a letter.
    QString out = text;
    const QStringView hay(folded);
    const QStringView in(text);
    for (int at : candidates) {
        const QString& needle = d_->exceptionFolds[size_t(at)];
        const QString& stored = d_->exceptions[size_t(at)];
        const bool start = d_->needsStart[size_t(at)];
        const bool end = d_->needsEnd[size_t(at)];
        for (qsizetype from = hay.indexOf(needle); from >= 0;) {
            const qsizetype past = from + needle.size();
            if ((start && from > 0 && isWordChar(codePointBefore(in, from)))
                || (end && past < in.size() && isWordChar(codePointAt(in, past)))) {
                from = hay.indexOf(needle, from + 1);   // inside a word: a later start may still be whole
                continue;
            }
            std::copy(stored.cbegin(), stored.cend(), out.begin() + from);
            from = hay.indexOf(needle, past);
        }
    }
    return out;
}

QString ProperCase::convert(const QString& value) const
{
    QString result;
    result.reserve(value.size());
    const QStringView v(value);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= v.size(); ++i) {
        if (i < v.size() && !isSeparator(v[i]))
            continue;
        if (i > start)
            result += word(v.mid(start, i - start));
        if (i < v.size())
            result += v[i];
        start = i + 1;
    }
    return applyExceptions(result);
}

} // namespace cleaning
