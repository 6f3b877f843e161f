// The sort in pieces gives what one sort over the whole gives: the same order
// and, when asked to be stable, equal elements in the order they came, on
// sizes below, at and well past the point where it starts to use threads.
#include "common/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

TEST(ParallelSort, StableSortInPiecesMatchesOneStableSort)
{
    // Few distinct sort keys, so nearly every element has equals; the second
    // member records where each came from.
    for (const std::size_t n : {std::size_t(10), std::size_t(16383), std::size_t(16384), std::size_t(100003)}) {
        SCOPED_TRACE(n);
        std::mt19937 random(7);
        std::vector<std::pair<int, int>> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = {int(random() % 97), int(i)};
        const auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
        std::vector<std::pair<int, int>> expected = v;
        std::stable_sort(expected.begin(), expected.end(), byKey);
        common::parallelSort(v, byKey, true, 16384);
        EXPECT_EQ(v, expected);
    }
}

TEST(ParallelSort, UnstableSortInPiecesOrdersEverything)
{
    std::mt19937 random(11);
    std::vector<unsigned> v(300000);
    for (unsigned& x : v)
        x = unsigned(random());
    std::vector<unsigned> expected = v;
    std::sort(expected.begin(), expected.end());
    common::parallelSort(v, std::less<unsigned>());
    EXPECT_EQ(v, expected);
}

TEST(ParallelFor, CoversEveryIndexOnceAndPassesOnAFailure)
{
    std::vector<int> seen(500000, 0);
    common::parallelFor(seen.size(), [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            ++seen[i];
    });
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), std::ptrdiff_t(seen.size()));
    EXPECT_THROW(common::parallelFor(seen.size(),
                                     [&](std::size_t, std::size_t to) {
                                         if (to == seen.size())   // the last piece, one thread or many
                                             throw std::runtime_error("piece failed");
                                     }),
                 std::runtime_error);
}
