// The near-duplicate pair search behind the review list of probable
// misspellings.
//
// Call order: the caller reads the column's distinct values with their record
// counts (and whether each matches the pattern), calls findNearPairs, and
// writes the rows into the pair table with one prepared insert.
//
// How: the values are merged without regard to case and bucketed by length.
// Two values of length L that differ only at position p are equal once p is
// taken out of both, so for each p the values of length L are bucketed by a
// hash of "the value without position p"; a value one character short of
// another equals the longer one with some position taken out, so each longer
// value probes a table of the shorter values once per position. The hash of
// "the value without p" is moved from p to p + 1 in constant time, so a value
// of length L costs O(L) hashing, not O(L^2). Every hash match is confirmed
// by comparing the text, so a hash collision costs time, never a wrong pair.
// Cost: O(total length of the values) plus O(L) per pair found, plus the
// clearing of one hash table (twice the values of length L) per position.
//
// Hazards: a group of k values that agree everywhere but one position is k
// choose 2 genuine pairs; the output itself is quadratic there. Values longer
// than the pair table's text columns are left out and counted, rather than
// failing the whole search.
#include "duplicates/near_pairs.h"

#include <QHash>
#include <QStringView>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

namespace neardup {
namespace {

struct Entry {
    QString text;   // the spelling that stands for the value
    QString key;    // case-folded: what every comparison uses
    std::int64_t count = 0;
    bool matches = false;
};

constexpr std::uint64_t kBase = 0x9E3779B97F4A7C15ull; // odd, so powers never vanish mod 2^64

using Powers = std::array<std::uint64_t, kMaxValueLength + 2>;

Powers makePowers()
{
    Powers p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * kBase;
    return p;
}

// Polynomial hash of s[from, end): sum of s[i] * B^(end - 1 - i).
std::uint64_t hashRange(QStringView s, qsizetype from)
{
    std::uint64_t h = 0;
    for (qsizetype i = from; i < s.size(); ++i)
        h = h * kBase + s[i].unicode();
    return h;
}

// Given h, the hash (as hashRange counts it) of s with position p taken out,
// returns the hash of s with position p + 1 taken out: moving the gap one
// step right puts s[p] where s[p + 1] was, at weight B^(n - 2 - p).
std::uint64_t moveGap(std::uint64_t h, QStringView s, qsizetype p, const Powers& pw)
{
    const qsizetype n = s.size();
    return h + (std::uint64_t(s[p].unicode()) - std::uint64_t(s[p + 1].unicode())) * pw[n - 2 - p];
}

std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 31;
    x *= 0x7FB5D329728EA185ull;
    x ^= x >> 27;
    x *= 0x81DADEF4BC2DD44Dull;
    x ^= x >> 33;
    return x;
}

// Open-addressing multimap from a full-text hash to entry indexes; built once
// per length for the shorter values of the missing-character search.
class HashIndex {
public:
    explicit HashIndex(const std::vector<std::pair<std::uint64_t, std::uint32_t>>& items)
    {
        std::size_t cap = 16;
        while (cap < items.size() * 2)
            cap <<= 1;
        mask_ = cap - 1;
        slots_.assign(cap, Slot{});
        for (const auto& [h, idx] : items) {
            std::size_t i = mix(h) & mask_;
            while (slots_[i].idx1 != 0)
                i = (i + 1) & mask_;
            slots_[i] = Slot{h, idx + 1};
        }
    }

    template <typename F>
    void forEach(std::uint64_t h, F&& f) const
    {
        for (std::size_t i = mix(h) & mask_; slots_[i].idx1 != 0; i = (i + 1) & mask_) {
            if (slots_[i].hash == h)
                f(slots_[i].idx1 - 1);
        }
    }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t idx1 = 0; // entry index + 1; 0 marks an empty slot
    };
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
};

// Order of the folded text by UTF-16 code unit, the order that decides which
// value of a pair leads. Cheaper than QStringView::compare, which goes through
// the general case-aware path.
bool unitLess(QStringView a, QStringView b)
{
    const std::u16string_view ua(reinterpret_cast<const char16_t*>(a.utf16()), std::size_t(a.size()));
    const std::u16string_view ub(reinterpret_cast<const char16_t*>(b.utf16()), std::size_t(b.size()));
    return ua < ub;
}

// Whether two values of equal length agree everywhere but at position p.
bool sameBut(QStringView a, QStringView b, qsizetype p)
{
    const auto* ua = a.utf16();
    const auto* ub = b.utf16();
    const std::size_t unit = sizeof(*ua);
    return std::memcmp(ua, ub, std::size_t(p) * unit) == 0
           && std::memcmp(ua + p + 1, ub + p + 1, std::size_t(a.size() - p - 1) * unit) == 0;
}

// One bucket of the per-position table: the gap hash and the last value
// (index + 1; 0 marks an empty slot) of its chain.
struct Slot {
    std::uint64_t hash = 0;
    std::uint32_t head = 0;
};

bool inRange(qint64 len, qint64 lo, qint64 hi) { return len >= lo && len <= hi; }

class Search {
public:
    Search(const std::vector<ValueCount>& values, const SearchOptions& o)
        : opt_(o), pw_(makePowers())
    {
        merge(values);
    }

    SearchResult run()
    {
        SearchResult r;
        r.tooLong = tooLong_;
        for (qint64 len = std::max(opt_.minLength, 0); len <= opt_.maxLength; ++len) {
            if (opt_.onLength)
                opt_.onLength(int(len));
            if (len > kMaxValueLength)
                continue;
            if (opt_.type == SearchType::OneCharDifferent)
                substitutions(int(len));
            else if (len >= 1)
                omissions(int(len));
        }
        fill(r);
        return r;
    }

private:
    bool missing() const { return opt_.type == SearchType::OneCharMissing; }

    // Merges spellings that differ only in case and keeps, per length, the
    // values the lengths searched can reach.
    void merge(const std::vector<ValueCount>& values)
    {
        const qint64 lo = qint64(opt_.minLength) - (missing() ? 1 : 0);
        const qint64 hi = opt_.maxLength;
        if (lo > hi)
            return;
        QHash<QString, std::uint32_t> seen;
        std::vector<Entry> tooLong;
        QHash<QString, std::uint32_t> seenLong;
        for (const ValueCount& v : values) {
            const qint64 len = v.text.size();
            if (!inRange(len, lo, hi))
                continue;
            QString key = v.text.toCaseFolded();
            const bool isLong = len > kMaxValueLength;
            auto& index = isLong ? seenLong : seen;
            auto& list = isLong ? tooLong : entries_;
            const auto it = index.constFind(key);
            if (it != index.cend()) {
                Entry& e = list[*it];
                e.count += v.count;
                e.matches = e.matches || v.matchesFilter;
                continue;
            }
            index.insert(key, std::uint32_t(list.size()));
            list.push_back(Entry{v.text, std::move(key), v.count, v.matchesFilter});
        }
        // A long value counts only where the search would have read it: as a
        // value of a searched length (for a missing character only when it
        // matches), or as the shorter partner of a searched length.
        for (const Entry& e : tooLong) {
            const qint64 len = e.key.size();
            const bool asLonger = inRange(len, opt_.minLength, opt_.maxLength) && (!missing() || e.matches);
            const bool asShorter = missing() && inRange(len + 1, opt_.minLength, opt_.maxLength);
            if (asLonger || asShorter)
                ++tooLong_;
        }
        for (std::uint32_t i = 0; i < entries_.size(); ++i)
            byLength_[entries_[i].key.size()].push_back(i);
    }

    // Both values of equal length: the pair is listed once, led by the value
    // that matches the pattern, or by the greater when both match.
    void addSubstitution(std::uint32_t a, std::uint32_t b)
    {
        const Entry& ea = entries_[a];
        const Entry& eb = entries_[b];
        if (!ea.matches && !eb.matches)
            return;
        if (ea.matches && eb.matches) {
            if (unitLess(ea.key, eb.key))
                std::swap(a, b);
        } else if (!ea.matches) {
            std::swap(a, b);
        }
        pairs_.emplace_back(a, b);
    }

    // For each position p, the values of this length are bucketed by the hash
    // of "the value without p" in a table of chain heads (rebuilt per position),
    // and each value is confirmed against the earlier values of its chain.
    // The folded keys are copied into one contiguous block first, so the
    // per-position passes read memory in order rather than chasing strings.
    void substitutions(int len)
    {
        const std::vector<std::uint32_t>& ids = byLength_[len];
        const std::size_t n = ids.size();
        if (n < 2)
            return;
        std::vector<char16_t> text(n * std::size_t(len));
        for (std::size_t i = 0; i < n; ++i) {
            const QString& k = entries_[ids[i]].key;
            std::copy_n(reinterpret_cast<const char16_t*>(k.utf16()), len, text.begin() + std::ptrdiff_t(i * len));
        }
        auto at = [&](std::size_t i) { return QStringView(text.data() + i * std::size_t(len), len); };
        std::vector<std::uint64_t> gapHash(n);
        for (std::size_t i = 0; i < n; ++i)
            gapHash[i] = hashRange(at(i), 1);

        int bits = 4;
        while ((std::size_t(1) << bits) < n * 2)
            ++bits;
        const std::size_t mask = (std::size_t(1) << bits) - 1;
        std::vector<Slot> buckets(mask + 1);
        std::vector<std::uint32_t> next(n);   // earlier value of the same chain, + 1; 0 ends it
        for (int p = 0; p < len; ++p) {
            std::fill(buckets.begin(), buckets.end(), Slot{});
            const bool more = p + 1 < len;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint64_t h = gapHash[i];
                std::size_t s = (h * 0x9E3779B97F4A7C15ull) >> (64 - bits);
                while (buckets[s].head != 0 && buckets[s].hash != h)
                    s = (s + 1) & mask;
                Slot& slot = buckets[s];
                if (slot.head == 0) {
                    slot.hash = h;
                    next[i] = 0;
                } else {
                    const QStringView ki = at(i);
                    for (std::uint32_t j = slot.head; j != 0; j = next[j - 1]) {
                        const QStringView kj = at(j - 1);
                        if (sameBut(ki, kj, p))
                            addSubstitution(ids[j - 1], ids[i]);
                    }
                    next[i] = slot.head;
                }
                slot.head = std::uint32_t(i + 1);
                if (more)
                    gapHash[i] = moveGap(h, at(i), p, pw_);
            }
        }
    }

    void omissions(int len)
    {
        const std::vector<std::uint32_t>& shorter = byLength_[len - 1];
        const std::vector<std::uint32_t>& longer = byLength_[len];
        if (shorter.empty() || longer.empty())
            return;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> items;
        items.reserve(shorter.size());
        for (std::uint32_t s : shorter)
            items.emplace_back(hashRange(entries_[s].key, 0), s);
        const HashIndex index(items);
        for (std::uint32_t l : longer) {
            if (!entries_[l].matches)
                continue;
            const QStringView k = entries_[l].key;
            std::uint64_t h = hashRange(k, 1);
            for (int p = 0; p < len; ++p) {
                // Taking out either of two equal neighbours leaves the same
                // text: probe once per run so a pair is listed once.
                if (p == 0 || k[p] != k[p - 1]) {
                    index.forEach(h, [&](std::uint32_t s) {
                        const QStringView ks = entries_[s].key;
                        if (k.left(p) == ks.left(p) && k.mid(p + 1) == ks.mid(p))
                            pairs_.emplace_back(l, s);
                    });
                }
                if (p + 1 < len)
                    h = moveGap(h, k, p, pw_);
            }
        }
    }

    // Orders the pairs by their values without regard to case. The values
    // that take part are ranked once, so the pair sort compares integers.
    void fill(SearchResult& r)
    {
        if (pairs_.empty())
            return;
        std::vector<std::uint32_t> rank(entries_.size(), 0);
        std::vector<std::uint32_t> order;
        for (const auto& [a, b] : pairs_) {
            for (std::uint32_t i : {a, b}) {
                if (rank[i] == 0) {
                    rank[i] = 1;
                    order.push_back(i);
                }
            }
        }
        std::sort(order.begin(), order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return unitLess(entries_[a].key, entries_[b].key); });
        for (std::uint32_t i = 0; i < order.size(); ++i)
            rank[order[i]] = i;
        std::vector<std::uint64_t> ranked;
        ranked.reserve(pairs_.size());
        for (const auto& [a, b] : pairs_)
            ranked.push_back(std::uint64_t(rank[a]) << 32 | rank[b]);
        std::sort(ranked.begin(), ranked.end());
        r.pairs.reserve(ranked.size());
        std::vector<bool> partner(order.size(), false);
        for (std::uint64_t x : ranked) {
            const Entry& a = entries_[order[x >> 32]];
            const Entry& b = entries_[order[x & 0xFFFFFFFFu]];
            r.pairs.push_back(PairRow{a.text, a.count, b.text, b.count});
            partner[x & 0xFFFFFFFFu] = true;
        }
        for (std::uint32_t i = 0; i < order.size(); ++i) {
            if (partner[i])
                r.counts.push_back(CountRow{entries_[order[i]].text, entries_[order[i]].count});
        }
    }

    const SearchOptions& opt_;
    const Powers pw_;
    std::vector<Entry> entries_;
    std::array<std::vector<std::uint32_t>, kMaxValueLength + 1> byLength_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs_;
    std::int64_t tooLong_ = 0;
};

} // namespace

SearchResult findNearPairs(const std::vector<ValueCount>& values, const SearchOptions& options)
{
    return Search(values, options).run();
}

} // namespace neardup
