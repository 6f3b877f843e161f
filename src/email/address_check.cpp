// E-mail address checking and the correction search.
//
// checkEmail runs a fixed sequence of rules on the lower-cased address; the
// first rule that fails decides the fault. A valid address is split at its
// dots: on a country code the second-last label is the domain and the labels
// before it the sub-domain; on a generic domain the top-level label itself is
// the domain and everything before it the sub-domain. Country codes are looked
// up before generic domains, so a label in both lists counts as a country.
//
// For a failed address the correction search builds candidates by fixed rules
// for its fault, in a fixed order, and checks each; the first valid one is the
// suggestion. For a bad label or an unknown top-level domain the candidate is
// itself checked with suggestions on, so the search recurses: one level per
// stray character at the end of the address, and each level may try two
// candidates. Plainly that is exponential in the number of stray characters
// (thirty of them are a billion checks), so every candidate checked with
// suggestions on is memoised for the length of one top-level check: each
// distinct candidate is worked out once, and the answer is the same as the
// plain search's because a candidate's outcome depends on nothing but its text.
//
// Cost: a valid address is one lower-casing (no copy when it is already lower
// case), one scan and one or two hash look-ups, plus the output strings. The
// memo is only touched on the recursive paths.
#include "email/address_check.h"

#include "common/codepage.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace email {

namespace {

// Nesting deeper than this (an address ending in hundreds of stray characters)
// gives up that branch of the search, as an exhausted call stack would. The
// character budget does the same for a long cell (a note picked as the e-mail
// column): every level holds a copy of the candidate, so depth times length is
// the memory the search takes. Real addresses stay far below both.
constexpr int kMaxNesting = 400;
constexpr qsizetype kSearchBudget = qsizetype(1) << 20; // characters checked with suggestions on

// Account beginnings taken for a missing "@", in the order they are tried.
constexpr std::array<QStringView, 8> kRoleNames = {
    u"info", u"admin", u"helpdesk", u"it", u"mail", u"support", u"administrator", u"webmaster",
};

// Characters that become a dot when a domain label is cleaned up.
constexpr QStringView kDotLike = u" ;:',<>?/\u00A3$%^&*";

constexpr QChar kAt = u'@';
constexpr QChar kDot = u'.';

qsizetype partSize(QStringView v)
{
    return v.size();
}

qsizetype partSize(QChar)
{
    return 1;
}

// Joins texts and characters into one string with a single allocation.
template <typename... Parts>
QString cat(const Parts&... parts)
{
    QString s;
    s.reserve((qsizetype(0) + ... + partSize(parts)));
    (s.append(parts), ...);
    return s;
}

bool isLowerAlnum(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

bool isLabelChar(QChar c)
{
    return isLowerAlnum(c) || c == u'-';
}

// Each ".." becomes "." in one pass from the left, so "..." becomes "..".
QString collapseDoubleDots(const QString& d)
{
    if (!d.contains(QStringView(u"..")))
        return d;
    QString out;
    out.reserve(d.size());
    for (qsizetype i = 0; i < d.size(); ++i) {
        out.append(d[i]);
        if (d[i] == kDot && i + 1 < d.size() && d[i + 1] == kDot)
            ++i;
    }
    return out;
}

bool hasSearchRules(Fault f)
{
    switch (f) {
    case Fault::NoAt:
    case Fault::WideAccountChar:
    case Fault::NoDotInDomain:
    case Fault::BadLabel:
    case Fault::UnknownTopLevel:
        return true;
    default:
        return false;
    }
}

// The rules without the search. work is the lower-cased address; from the
// account check on it is rebuilt as account without blanks, "@", domain part,
// and that is the text the correction search starts from.
struct Analysis {
    Fault fault = Fault::None;
    QString work;
    qsizetype at = -1;            // the "@" in work, once there is exactly one
    bool onCountry = false;       // valid: the last label is a country code
    qsizetype lastDot = -1;       // in work
    qsizetype secondLastDot = -1; // in work; -1 with only two labels
};

Analysis analyse(const QString& address, const DomainLists& lists)
{
    Analysis r;
    r.work = address.toLower();
    const qsizetype at = r.work.indexOf(u'@');
    if (at < 0) {
        r.fault = Fault::NoAt;
        return r;
    }
    if (r.work.indexOf(u'@', at + 1) >= 0) {
        r.fault = Fault::NotOneAt;
        return r;
    }

    bool wide = false;
    qsizetype blanks = 0;
    for (qsizetype i = 0; i < at; ++i) {
        const QChar c = r.work[i];
        if (codepage::codeOf(c) < 0)   // no single-byte code: "above 255"
            wide = true;
        else if (c == u' ')
            ++blanks;
    }
    r.at = at;
    if (blanks > 0) {
        QString rebuilt;
        rebuilt.reserve(r.work.size() - blanks);
        for (qsizetype i = 0; i < at; ++i) {
            if (r.work[i] != u' ')
                rebuilt.append(r.work[i]);
        }
        r.at = rebuilt.size();
        rebuilt.append(QStringView(r.work).mid(at));
        r.work = std::move(rebuilt);
    }
    if (r.at == 0) {
        r.fault = Fault::EmptyAccount;
        return r;
    }
    if (wide) {
        r.fault = Fault::WideAccountChar;
        return r;
    }

    const QStringView w(r.work);
    const qsizetype domainStart = r.at + 1;
    if (w.indexOf(u'.', domainStart) < 0) {
        r.fault = Fault::NoDotInDomain;
        return r;
    }
    qsizetype labelStart = domainStart;
    for (qsizetype i = domainStart; i <= w.size(); ++i) {
        if (i < w.size() && w[i] != u'.') {
            if (!isLabelChar(w[i])) {
                r.fault = Fault::BadLabel;
                return r;
            }
            continue;
        }
        if (i - labelStart < 2) {
            r.fault = Fault::BadLabel;
            return r;
        }
        if (i < w.size()) {
            r.secondLastDot = r.lastDot;
            r.lastDot = i;
        }
        labelStart = i + 1;
    }

    const QStringView last = w.mid(r.lastDot + 1);
    if (lists.isCountry(last))
        r.onCountry = true;
    else if (!lists.isGeneric(last))
        r.fault = Fault::UnknownTopLevel;
    return r;
}

struct Outcome {
    bool valid = false;
    std::optional<QString> suggestion;
};

class Search {
public:
    Search(const DomainLists& lists, QStringView specials, SearchProbe* probe)
        : lists_(lists), specials_(specials), probe_(probe)
    {
    }

    /// Marks a text as being searched, so that a candidate leading back to it
    /// ends there instead of going round.
    void enter(const QString& work)
    {
        if (memoising())
            memo_.insert(work, Outcome{});
    }

    std::optional<QString> suggest(const QString& work, Fault fault)
    {
        switch (fault) {
        case Fault::NoAt:
            return noAt(work);
        case Fault::WideAccountChar:
            return wideAccount(work);
        case Fault::NoDotInDomain:
            return noDot(work);
        case Fault::BadLabel:
            return badLabel(work);
        case Fault::UnknownTopLevel:
            return unknownTop(work);
        default:
            return std::nullopt;
        }
    }

private:
    bool memoising() const { return !probe_ || probe_->memoise; }

    void counted()
    {
        if (probe_)
            ++probe_->candidatesChecked;
    }

    // A candidate checked with suggestions off.
    bool valid(const QString& candidate)
    {
        counted();
        return analyse(candidate, lists_).fault == Fault::None;
    }

    // A candidate checked with suggestions on: valid, or the suggestion its
    // own search found.
    Outcome check(const QString& candidate)
    {
        if (memoising()) {
            const auto it = memo_.constFind(candidate);
            if (it != memo_.constEnd())
                return *it; // a text still being searched counts as no help
            memo_.insert(candidate, Outcome{});
        }
        counted();
        spent_ += candidate.size();
        Outcome out;
        const Analysis a = analyse(candidate, lists_);
        if (a.fault == Fault::None) {
            out.valid = true;
        } else if (hasSearchRules(a.fault) && depth_ < kMaxNesting && spent_ <= kSearchBudget) {
            ++depth_;
            out.suggestion = suggest(a.work, a.fault);
            --depth_;
        }
        if (memoising())
            memo_[candidate] = out;
        return out;
    }

    // Valid gives the candidate; otherwise whatever its own search suggested.
    std::optional<QString> checkOrPass(QString candidate)
    {
        Outcome o = check(candidate);
        if (o.valid)
            return candidate;
        return std::move(o.suggestion);
    }

    std::optional<QString> noAt(const QString& work)
    {
        for (QStringView role : kRoleNames) {
            if (work.startsWith(role)) {
                QString candidate = cat(role, kAt, QStringView(work).mid(role.size()));
                if (valid(candidate))
                    return candidate;
            }
        }
        const qsizetype firstDot = work.indexOf(u'.');
        if (firstDot < 0)
            return std::nullopt;
        const QStringView firstSegment = QStringView(work).left(firstDot);
        for (QChar c : specials_) {
            const qsizetype p = firstSegment.lastIndexOf(c);
            if (p < 0)
                continue;
            QString candidate = work;
            candidate[p] = u'@';
            if (valid(candidate))
                return candidate;
        }
        return std::nullopt;
    }

    std::optional<QString> wideAccount(const QString& work)
    {
        const qsizetype at = work.indexOf(u'@');
        QString candidate;
        candidate.reserve(work.size());
        for (qsizetype i = 0; i < at; ++i) {
            if (codepage::codeOf(work[i]) >= 0)
                candidate.append(work[i]);
        }
        candidate.append(QStringView(work).mid(at));
        if (valid(candidate))
            return candidate;
        return std::nullopt;
    }

    // Tries each listed generic domain that the domain part ends with, in list
    // order, as the missing top-level label. Only the endings up to the
    // longest listed domain are looked up, so this is not a walk of the list.
    std::optional<QString> noDot(const QString& work)
    {
        const qsizetype at = work.indexOf(u'@');
        const QStringView account = QStringView(work).left(at);
        const QStringView d = QStringView(work).mid(at + 1);
        const qsizetype longest = std::min<qsizetype>(lists_.longestGeneric(), d.size() - 2);
        std::vector<std::pair<int, qsizetype>> endings; // (list rank, length)
        for (qsizetype len = 1; len <= longest; ++len) {
            const int rank = lists_.genericRank(d.right(len));
            if (rank >= 0)
                endings.emplace_back(rank, len);
        }
        std::sort(endings.begin(), endings.end());
        for (const auto& [rank, len] : endings) {
            const QChar before = d[d.size() - len - 1];
            // A letter or digit before the ending gets a dot inserted; any
            // other character is taken as a mistyped dot.
            const qsizetype stem = isLowerAlnum(before) ? d.size() - len : d.size() - len - 1;
            QString candidate = cat(account, kAt, d.left(stem), kDot, d.right(len));
            if (valid(candidate))
                return candidate;
        }
        return std::nullopt;
    }

    std::optional<QString> badLabel(const QString& work)
    {
        const qsizetype at = work.indexOf(u'@');
        QString account = work.left(at);
        QString d = work.mid(at + 1);

        // A stray closing character: drop it, and its opener at the front.
        if (!d.isEmpty() && !isLabelChar(d.back())) {
            if (!account.isEmpty()) {
                const QChar last = d.back();
                QChar opener = last;
                if (last == u')')
                    opener = u'(';
                else if (last == u'}')
                    opener = u'{';
                else if (last == u']')
                    opener = u'[';
                else if (last == u'>')
                    opener = u'<';
                if (account.front() == opener)
                    account.remove(0, 1);
            }
            d.chop(1);
        }
        QString candidate = cat(account, kAt, d);
        if (candidate != work) {
            Outcome o = check(candidate);
            if (o.valid)
                return candidate;
            if (o.suggestion)
                return o.suggestion;
        }

        // Mistyped dots and hyphens.
        for (QChar& c : d) {
            if (c == u'_')
                c = u'-';
            else if (kDotLike.contains(c))
                c = u'.';
        }
        d = collapseDoubleDots(d);
        if (!d.isEmpty() && !isLabelChar(d.front()))
            d.remove(0, 1);
        candidate = cat(account, kAt, d);
        if (candidate == work)
            return std::nullopt;
        return checkOrPass(std::move(candidate));
    }

    // Near misses of "com": ".co", ".co" and one more character, ".com" and
    // one more character.
    std::optional<QString> unknownTop(const QString& work)
    {
        const qsizetype n = work.size();
        const QStringView w(work);
        std::optional<QString> candidate;
        if (w.endsWith(u".co"))
            candidate = cat(w, QChar(u'm'));
        if (n >= 4 && w.mid(n - 4, 3) == QStringView(u".co"))
            candidate = cat(w.left(n - 1), QChar(u'm'));
        if (n >= 5 && w.mid(n - 5, 4) == QStringView(u".com"))
            candidate = work.left(n - 1);
        if (!candidate || *candidate == work)
            return std::nullopt;
        return checkOrPass(std::move(*candidate));
    }

    const DomainLists& lists_;
    QStringView specials_;
    SearchProbe* probe_;
    QHash<QString, Outcome> memo_;
    int depth_ = 0;
    qsizetype spent_ = 0;
};

} // namespace

QString defaultSpecialChars()
{
    QString s;
    for (char16_t c = 33; c <= 126; ++c) {
        if ((c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || c >= 123)
            s.append(QChar(c));
    }
    return s;
}

QString specialCharsFromCodes(std::span<const int> ansiCodes)
{
    QString s;
    s.reserve(static_cast<qsizetype>(ansiCodes.size()));
    for (int code : ansiCodes) {
        if (code < 1 || code > 255)
            continue;
        s.append(codepage::charOfCode(code));
    }
    return s;
}

QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b] == u' ')
        ++b;
    while (e > b && s[e - 1] == u' ')
        --e;
    return s.mid(b, e - b);
}

EmailCheck checkEmail(const QString& address, const DomainLists& domains,
                      QStringView specialChars, bool suggest, SearchProbe* probe)
{
    EmailCheck r;
    Analysis a = analyse(address, domains);
    r.fault = a.fault;

    if (a.fault == Fault::None) {
        const QStringView w(a.work);
        const qsizetype domainStart = a.at + 1;
        r.isValid = true;
        r.account = a.work.left(a.at);
        if (a.onCountry) {
            r.country = w.mid(a.lastDot + 1).toString();
            const qsizetype domainFrom = a.secondLastDot < 0 ? domainStart : a.secondLastDot + 1;
            r.domain = w.mid(domainFrom, a.lastDot - domainFrom).toString();
            r.subDomain = a.secondLastDot < 0
                ? QString()
                : w.mid(domainStart, a.secondLastDot - domainStart).toString();
        } else {
            r.country = QString();
            r.domain = w.mid(a.lastDot + 1).toString();
            r.subDomain = w.mid(domainStart, a.lastDot - domainStart).toString();
        }
        return r;
    }

    if (a.fault == Fault::EmptyAccount)
        r.account = QString();
    else if (a.fault != Fault::NoAt && a.fault != Fault::NotOneAt)
        r.account = a.work.left(a.at);

    if (suggest && hasSearchRules(a.fault)) {
        Search search(domains, specialChars, probe);
        if (a.fault == Fault::BadLabel || a.fault == Fault::UnknownTopLevel)
            search.enter(a.work);
        r.suggestion = search.suggest(a.work, a.fault);
    }
    return r;
}

} // namespace email
