#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pandicube {

// The cube's fixed numbers: 125 cells in reading order, the centre cell 63
// holding 63, cell 126 - k holding 126 minus the value of cell k, and every
// one of the 157 magic lines summing to 315.
inline constexpr int kEntryCount = 62;
inline constexpr int kCellCount = 125;
inline constexpr int kCentreCell = 63;
inline constexpr std::int32_t kCentreValue = 63;
inline constexpr std::int32_t kComplementSum = 126;
inline constexpr std::int32_t kMagicSum = 315;

// The four free entries of the search.
inline constexpr int kE10 = 10;
inline constexpr int kE14 = 14;
inline constexpr int kE17 = 17;
inline constexpr int kE18 = 18;

// Largest upper bound the tool accepts: above it the numerators of the
// derived-entry formulas leave the signed 32-bit range (258 * (U + 1) + 16821).
inline constexpr std::int32_t kMaxUpperBound = 8323513;

constexpr std::int32_t Complement(std::int32_t v)
{
    return kComplementSum - v;
}

// Entries e1..e62 (index 0 unused).
using Entries = std::array<std::int32_t, kEntryCount + 1>;

// All 125 cells (index 0 unused) of the cube that the entries determine.
using Cells = std::array<std::int32_t, kCellCount + 1>;

constexpr Cells CellsFromEntries(const Entries& e)
{
    Cells c{};
    for (int k = 1; k <= kEntryCount; ++k) {
        c[static_cast<std::size_t>(k)] = e[static_cast<std::size_t>(k)];
        c[static_cast<std::size_t>(kComplementSum - k)] = Complement(e[static_cast<std::size_t>(k)]);
    }
    c[kCentreCell] = kCentreValue;
    return c;
}

// The largest of a cube's 125 values, from its 62 entries (cell 126 - k
// holds 126 - e_k, the centre 63): its own bound, the smallest bound whose run
// lists it. The largest entry or the complement of the smallest, one loop
// each, so that the compiler can take them a vector at a time.
constexpr std::int32_t LargestValue(const Entries& e)
{
    std::int32_t most = kCentreValue;
    std::int32_t least = kCentreValue;
    for (std::size_t k = 1; k <= kEntryCount; ++k) most = e[k] > most ? e[k] : most;
    for (std::size_t k = 1; k <= kEntryCount; ++k) least = e[k] < least ? e[k] : least;
    return most > kComplementSum - least ? most : kComplementSum - least;
}

// The largest of all 125 cells as given (read from a file, they need not
// keep the complement rule).
constexpr std::int32_t LargestValue(const Cells& c)
{
    std::int32_t most = c[1];
    for (std::size_t k = 2; k <= kCellCount; ++k) most = c[k] > most ? c[k] : most;
    return most;
}

// Entries e1..e62 of a cube: its cells 1 to 62.
constexpr Entries EntriesFromCells(const Cells& c)
{
    Entries e{};
    for (int k = 1; k <= kEntryCount; ++k) e[static_cast<std::size_t>(k)] = c[static_cast<std::size_t>(k)];
    return e;
}

} // namespace pandicube
