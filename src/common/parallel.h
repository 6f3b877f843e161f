// Work spread over a few threads for the bulk steps of a run: a loop cut into
// pieces, and a sort done in pieces and merged.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace common {

/// Runs work(from, to) over [0, n) in up to eight pieces at once, one thread
/// each, when n is large enough to pay for the threads; the first failure is
/// rethrown once all have ended.
template <class F>
void parallelFor(std::size_t n, F&& work)
{
    constexpr std::size_t kMinPiece = 65536;
    const std::size_t pieces =
        std::clamp<std::size_t>(std::min<std::size_t>(std::thread::hardware_concurrency(), 8), 1, n / kMinPiece + 1);
    if (pieces <= 1) {
        work(std::size_t(0), n);
        return;
    }
    std::vector<std::exception_ptr> failed(pieces);
    std::vector<std::thread> threads;
    threads.reserve(pieces - 1);
    const auto piece = [&](std::size_t k) {
        try {
            work(n * k / pieces, n * (k + 1) / pieces);
        } catch (...) {
            failed[k] = std::current_exception();
        }
    };
    for (std::size_t k = 1; k < pieces; ++k)
        threads.emplace_back(piece, k);
    piece(0);
    for (std::thread& t : threads)
        t.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
}

/// Sorts v in eight pieces on several threads, then merges the pieces
/// pairwise, once v holds at least minParallel elements (below that, on one
/// thread). stable keeps equal elements in their order: the pieces are sorted
/// stably, and each merge puts the earlier piece's elements first.
template <class T, class Less>
void parallelSort(std::vector<T>& v, Less less, bool stable = false, std::size_t minParallel = 2 * 65536)
{
    constexpr std::size_t kPieces = 8;
    constexpr std::size_t kUnit = 65536;   // parallelFor's smallest piece: one sort or merge each
    const std::size_t n = v.size();
    auto sortRange = [&](auto from, auto to) {
        if (stable)
            std::stable_sort(from, to, less);
        else
            std::sort(from, to, less);
    };
    if (n < std::max<std::size_t>(minParallel, 2 * kPieces)) {
        sortRange(v.begin(), v.end());
        return;
    }
    std::size_t bounds[kPieces + 1];
    for (std::size_t k = 0; k <= kPieces; ++k)
        bounds[k] = n * k / kPieces;
    parallelFor(kPieces * kUnit, [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from / kUnit; k < to / kUnit; ++k)
            sortRange(v.begin() + bounds[k], v.begin() + bounds[k + 1]);
    });
    for (std::size_t width = 1; width < kPieces; width *= 2) {
        const std::size_t merges = kPieces / (2 * width);
        parallelFor(merges * kUnit, [&](std::size_t from, std::size_t to) {
            for (std::size_t m = from / kUnit; m < to / kUnit; ++m) {
                const std::size_t lo = 2 * width * m;
                std::inplace_merge(v.begin() + bounds[lo], v.begin() + bounds[lo + width],
                                   v.begin() + bounds[lo + 2 * width], less);
            }
        });
    }
}

} // namespace common
