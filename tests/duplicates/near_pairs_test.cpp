#include "duplicates/near_pairs.h"

#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <tuple>

using namespace neardup;

namespace {

using Row = std::tuple<std::string, std::int64_t, std::string, std::int64_t>;

std::vector<Row> rowsOf(const SearchResult& r)
{
    std::vector<Row> out;
    for (const PairRow& p : r.pairs)
        out.emplace_back(p.column1.toStdString(), p.count1, p.column2.toStdString(), p.count2);
    return out;
}

ValueCount v(const char* text, std::int64_t count = 1, bool matches = true)
{
    return ValueCount{QString::fromUtf8(text), count, matches};
}

SearchOptions opts(SearchType t, int minLen, int maxLen)
{
    SearchOptions o;
    o.type = t;
    o.minLength = minLen;
    o.maxLength = maxLen;
    return o;
}

constexpr SearchType kDiff = SearchType::OneCharDifferent;
constexpr SearchType kMiss = SearchType::OneCharMissing;

} // namespace

TEST(NearPairs, SmallCases)
{
    struct Case {
        const char* name;
        std::vector<ValueCount> values;
        SearchOptions options;
        std::vector<Row> expected;
    };
    const Case cases[] = {
        {"substitution led by the greater value",
         {v("Smith", 3), v("Smyth", 1)}, opts(kDiff, 5, 5), {{"Smyth", 1, "Smith", 3}}},
        {"case-only spellings are one value, counts added, first spelling kept",
         {v("Smith", 2), v("SMITH", 1), v("smyth", 4)}, opts(kDiff, 1, 9), {{"smyth", 4, "Smith", 3}}},
        {"case-only difference alone is no pair",
         {v("Smith"), v("SMITH"), v("SmIth")}, opts(kDiff, 5, 5), {}},
        {"orientation ignores case",
         {v("SMITH"), v("smyth")}, opts(kDiff, 5, 5), {{"smyth", 1, "SMITH", 1}}},
        {"both match the pattern: same orientation as without",
         {v("Smith", 1, true), v("Smyth", 1, true)}, opts(kDiff, 5, 5), {{"Smyth", 1, "Smith", 1}}},
        {"only the greater matches",
         {v("Smith", 1, false), v("Smyth", 1, true)}, opts(kDiff, 5, 5), {{"Smyth", 1, "Smith", 1}}},
        {"only the smaller matches: it leads",
         {v("Smith", 1, true), v("Smyth", 1, false)}, opts(kDiff, 5, 5), {{"Smith", 1, "Smyth", 1}}},
        {"neither matches",
         {v("Smith", 1, false), v("Smyth", 1, false)}, opts(kDiff, 5, 5), {}},
        {"two positions differ, or a swap, is no pair",
         {v("Smith"), v("Smoto"), v("Smiht")}, opts(kDiff, 5, 5), {}},
        {"lengths outside the range are not searched",
         {v("Smith"), v("Smyth"), v("Jon"), v("Jan")}, opts(kDiff, 4, 9), {{"Smyth", 1, "Smith", 1}}},
        {"minimum above maximum searches nothing",
         {v("Smith"), v("Smyth")}, opts(kDiff, 6, 5), {}},
        {"different lengths are no substitution",
         {v("Smith"), v("Smiths")}, opts(kDiff, 1, 9), {}},
        {"first and last positions, single characters",
         {v("xab"), v("yab"), v("abx"), v("aby"), v("a"), v("B")},
         opts(kDiff, 1, 3), {{"aby", 1, "abx", 1}, {"B", 1, "a", 1}, {"yab", 1, "xab", 1}}},
        {"values sharing all but one position pair each with each",
         {v("bat"), v("cat"), v("hat"), v("hit")}, opts(kDiff, 3, 3),
         {{"cat", 1, "bat", 1}, {"hat", 1, "bat", 1}, {"hat", 1, "cat", 1}, {"hit", 1, "hat", 1}}},
        {"missing: a doubled letter is one pair",
         {v("Smiith", 2), v("Smith", 5)}, opts(kMiss, 6, 6), {{"Smiith", 2, "Smith", 5}}},
        {"missing: the last letter doubled, or one added",
         {v("Smithh"), v("Smitha"), v("Smith")}, opts(kMiss, 6, 6),
         {{"Smitha", 1, "Smith", 1}, {"Smithh", 1, "Smith", 1}}},
        {"missing: one longer value pairs with several shorter ones",
         {v("abca"), v("bca"), v("aca"), v("abc"), v("acb")}, opts(kMiss, 4, 4),
         {{"abca", 1, "abc", 1}, {"abca", 1, "aca", 1}, {"abca", 1, "bca", 1}}},
        {"missing: compared without case",
         {v("SMIITH"), v("smith")}, opts(kMiss, 6, 6), {{"SMIITH", 1, "smith", 1}}},
        {"missing: the shorter value's length may lie below the minimum",
         {v("Smith"), v("Smit")}, opts(kMiss, 5, 5), {{"Smith", 1, "Smit", 1}}},
        {"missing: the longer value's length must be searched",
         {v("Smith"), v("Smit")}, opts(kMiss, 4, 4), {}},
        {"missing: the pattern applies to the longer value only",
         {v("Smiith", 1, false), v("Smith", 1, true), v("Smyth", 1, false), v("Smytth", 1, true)},
         opts(kMiss, 1, 9), {{"Smytth", 1, "Smyth", 1}}},
        {"missing: an empty value is one short of a single character",
         {v("a", 2), v("", 3)}, opts(kMiss, 1, 1), {{"a", 2, "", 3}}},
        {"missing: a swap is no pair",
         {v("Smiht"), v("Smth")}, opts(kMiss, 5, 5), {}},
        {"no values",
         {}, opts(kMiss, 0, 10), {}},
    };
    for (const Case& c : cases) {
        const SearchResult r = findNearPairs(c.values, c.options);
        EXPECT_EQ(rowsOf(r), c.expected) << c.name;
        EXPECT_EQ(r.tooLong, 0) << c.name;
    }
}

TEST(NearPairs, CountRowsAreThePartnersOfEveryPair)
{
    // The count table ends up holding the second value of each pair, once.
    const SearchResult r = findNearPairs(
        {v("bat", 2), v("cat", 3), v("hat", 4), v("CAT", 1), v("dog", 9)}, opts(kDiff, 3, 3));
    std::vector<std::pair<std::string, std::int64_t>> counts;
    for (const CountRow& c : r.counts)
        counts.emplace_back(c.column1.toStdString(), c.count1);
    const std::vector<std::pair<std::string, std::int64_t>> expected = {{"bat", 2}, {"cat", 4}};
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(r.pairs.size(), 3u);
}

TEST(NearPairs, OverlongValuesAreLeftOutAndCounted)
{
    const QString long256 = QString(255, QLatin1Char('a')) + QLatin1Char('b');
    const QString long256c = QString(255, QLatin1Char('a')) + QLatin1Char('c');
    const QString long255 = QString(255, QLatin1Char('a'));
    struct Case {
        const char* name;
        std::vector<ValueCount> values;
        SearchOptions options;
        std::int64_t tooLong;
        std::size_t pairs;
    };
    const Case cases[] = {
        {"two overlong values one apart, a short pair still found",
         {{long256, 1, true}, {long256c, 1, true}, {long256.toUpper(), 1, true}, v("ab"), v("ac")},
         opts(kDiff, 2, 300), 2, 1},
        {"a 255-character value still takes part",
         {{long255, 1, true}, {long255.left(254) + QLatin1Char('b'), 1, true}}, opts(kDiff, 1, 255), 0, 1},
        {"overlong values outside the searched lengths are not counted",
         {{long256, 1, true}, v("ab"), v("ac")}, opts(kDiff, 2, 255), 0, 1},
        {"missing: an overlong shorter partner is counted",
         {{long256, 1, false}}, opts(kMiss, 257, 257), 1, 0},
        {"missing: an overlong longer value is counted only when it matches",
         {{long256, 1, false}, {long256c, 1, true}}, opts(kMiss, 256, 256), 1, 0},
        {"missing: a 255-character value pairs with its shorter partner",
         {{long255, 1, true}, {long255.left(254), 1, true}, {long256, 1, true}}, opts(kMiss, 255, 256), 1, 1},
    };
    for (const Case& c : cases) {
        const SearchResult r = findNearPairs(c.values, c.options);
        EXPECT_EQ(r.tooLong, c.tooLong) << c.name;
        EXPECT_EQ(r.pairs.size(), c.pairs) << c.name;
    }
}

TEST(NearPairs, ReportsEachSearchedLength)
{
    std::vector<int> seen;
    SearchOptions o = opts(kMiss, 3, 6);
    o.onLength = [&](int len) { seen.push_back(len); };
    findNearPairs({v("abc")}, o);
    EXPECT_EQ(seen, (std::vector<int>{3, 4, 5, 6}));
}

namespace {

// The pairs by comparing every two values, following the search as the
// table statements state it: per position, join the filtered values with
// all values of the partner length; for equal lengths, of two mirrored rows
// keep the one led by the greater value.
std::set<Row> bruteForce(const std::vector<ValueCount>& input, const SearchOptions& o)
{
    struct Val {
        QString text, key;
        std::int64_t count;
        bool matches;
    };
    std::vector<Val> vals;
    for (const ValueCount& in : input) {
        const QString key = in.text.toLower(); // the generated text is ASCII
        auto it = std::find_if(vals.begin(), vals.end(), [&](const Val& x) { return x.key == key; });
        if (it == vals.end()) {
            vals.push_back(Val{in.text, key, in.count, in.matchesFilter});
        } else {
            it->count += in.count;
            it->matches = it->matches || in.matchesFilter;
        }
    }
    std::set<std::pair<int, int>> found;
    const auto n = int(vals.size());
    for (int a = 0; a < n; ++a) {
        const qsizetype len = vals[a].key.size();
        if (!vals[a].matches || len < o.minLength || len > o.maxLength)
            continue;
        for (int b = 0; b < n; ++b) {
            const QString& ka = vals[a].key;
            const QString& kb = vals[b].key;
            if (o.type == SearchType::OneCharDifferent && kb.size() == len) {
                int diffs = 0;
                for (qsizetype i = 0; i < len; ++i)
                    diffs += ka[i] != kb[i];
                if (diffs == 1)
                    found.insert({a, b});
            } else if (o.type == SearchType::OneCharMissing && kb.size() == len - 1) {
                for (qsizetype p = 0; p < len; ++p) {
                    if (QString(ka).remove(p, 1) == kb)
                        found.insert({a, b});
                }
            }
        }
    }
    std::set<Row> rows;
    for (const auto& [a, b] : found) {
        if (o.type == SearchType::OneCharDifferent && found.count({b, a}) && vals[a].key < vals[b].key)
            continue;
        rows.emplace(vals[a].text.toStdString(), vals[a].count, vals[b].text.toStdString(), vals[b].count);
    }
    return rows;
}

std::vector<ValueCount> generated(unsigned seed, int n)
{
    // A small alphabet and short lengths so that many values are one apart;
    // every tenth value comes again in another case as a separate input.
    std::mt19937 rng(seed);
    const char alphabet[] = "abcdAB";
    std::uniform_int_distribution<int> length(0, 7), letter(0, 5), count(1, 9), coin(0, 9);
    std::vector<ValueCount> out;
    QSet<QString> exact;
    while (int(out.size()) < n) {
        QString s;
        for (int i = length(rng); i > 0; --i)
            s += QLatin1Char(alphabet[letter(rng)]);
        if (exact.contains(s))
            continue;
        exact.insert(s);
        out.push_back(ValueCount{s, count(rng), coin(rng) < 4});
        if (coin(rng) == 0) {
            const QString recased = s.toUpper() == s ? s.toLower() : s.toUpper();
            if (!exact.contains(recased)) {
                exact.insert(recased);
                out.push_back(ValueCount{recased, count(rng), coin(rng) < 4});
            }
        }
    }
    return out;
}

} // namespace

TEST(NearPairs, MatchesComparingEveryTwoValues)
{
    const std::vector<ValueCount> values = generated(20240611u, 3000);
    std::vector<ValueCount> unfiltered = values;
    for (ValueCount& x : unfiltered)
        x.matchesFilter = true;

    struct Case {
        const char* name;
        const std::vector<ValueCount>* values;
        SearchOptions options;
    };
    const Case cases[] = {
        {"difference, all lengths", &unfiltered, opts(kDiff, 0, 7)},
        {"difference, with pattern", &values, opts(kDiff, 0, 7)},
        {"difference, part of the lengths", &values, opts(kDiff, 3, 4)},
        {"missing, all lengths", &unfiltered, opts(kMiss, 0, 8)},
        {"missing, with pattern", &values, opts(kMiss, 1, 7)},
        {"missing, part of the lengths", &values, opts(kMiss, 4, 5)},
    };
    for (const Case& c : cases) {
        const SearchResult r = findNearPairs(*c.values, c.options);
        const std::vector<Row> got = rowsOf(r);
        const std::set<Row> expected = bruteForce(*c.values, c.options);
        EXPECT_GT(expected.size(), 100u) << c.name; // the data really holds pairs
        EXPECT_EQ(std::set<Row>(got.begin(), got.end()), expected) << c.name;
        EXPECT_EQ(got.size(), expected.size()) << c.name << ": a pair listed twice";
    }
}
