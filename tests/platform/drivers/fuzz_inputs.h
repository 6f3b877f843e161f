// Mutated inputs for the bounded fuzz runs: seed files written by our own
// writers (the .xls writer and the Jet fixture writer) and a deterministic
// mutator, so that every run feeds the readers the same damaged files.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <random>
#include <vector>

namespace fuzz {

/// The fixed seed of every run; a failure names the case number to replay.
inline constexpr std::uint32_t kSeed = 0x13c0ffee;

/// Damages a copy of `seed`: one to four of bit flips, bytes or 16/32-bit
/// words set to values readers trip over (0, -1, sign bits, the size), a block
/// copied over another, a block removed, or the file cut short.
QByteArray mutate(const QByteArray& seed, std::mt19937& rng);

/// Seed workbooks: BIFF5 and BIFF8, with text long enough to need CONTINUE
/// records, numbers, dates and empty cells, on one or two sheets.
std::vector<QByteArray> xlsSeeds(const QString& folder);

/// Seed databases: Jet 3 and Jet 4, with every column kind the reader takes,
/// Nulls, a system table, and (Jet 4) a memo on long-value pages.
std::vector<QByteArray> mdbSeeds(const QString& folder);

} // namespace fuzz
