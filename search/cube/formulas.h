#pragma once

#include "search/cells.h"

#include <array>
#include <cstdint>

namespace pandicube {

// One term of a numerator: coefficient times an entry.
struct FormulaTerm {
    int entry = 0;
    std::int32_t coeff = 0;
};

// One step of the derived-entry table: the entry it fills, its numerator
// (constant plus up to four terms), its divisor (1 for none) and the loop level
// inside which it is evaluated (2: e18, 3: e10, 4: e17).
struct FormulaStep {
    int entry = 0;
    std::int32_t constant = 0;
    std::array<FormulaTerm, 4> terms{};
    std::int32_t divisor = 1;
    int level = 0;
};

namespace formula_detail {

// A step that reads the free entries only.
constexpr FormulaStep Free(int entry, std::int32_t constant, std::int32_t c10, std::int32_t c14, std::int32_t c17,
                           std::int32_t c18, std::int32_t divisor, int level)
{
    return {entry, constant, {{{10, c10}, {14, c14}, {17, c17}, {18, c18}}}, divisor, level};
}

// 315 minus four entries: completes a row or a column.
constexpr FormulaStep Completion(int entry, int a, int b, int c, int d)
{
    return {entry, 315, {{{a, -1}, {b, -1}, {c, -1}, {d, -1}}}, 1, 4};
}

} // namespace formula_detail

// The 58 derived entries in the order in which the search evaluates them.
// clang-format off
inline constexpr std::array<FormulaStep, 58> kFormulaTable = [] {
    using formula_detail::Free;
    using formula_detail::Completion;
    return std::array<FormulaStep, 58>{{
        //    entry constant  e10   e14   e17   e18  div level
        Free(55,    189,      0,    1,    0,   -1,  3, 2),  // 1
        Free(59,    567,      0,   -1,    0,    1,  9, 2),  // 2
        Free( 1,    945,     -6,   -4,    0,   -2,  3, 3),  // 3
        Free(22,      0,      3,    1,    0,   -1,  3, 3),  // 4
        Free(45,   -378,      6,    4,    0,   -1,  3, 3),  // 5
        Free(49,   -378,      6,    1,    0,    2,  3, 3),  // 6
        Free( 2,  -2835,     21,    2,   12,   13,  3, 4),  // 7
        Free( 3,   1890,    -12,   -2,   -6,   -7,  3, 4),  // 8
        Free( 4,  -1890,     15,    4,    6,    8,  3, 4),  // 9
        Completion( 5,  1,  2,  3,  4),                     // 10
        Free( 6,  -2835,     21,    4,   12,   11,  3, 4),  // 11
        Free( 7,    315,     -2,    1,   -2,   -1,  1, 4),  // 12
        Free( 8,    945,     -6,   -1,   -3,   -4,  1, 4),  // 13
        Completion( 9,  6,  7,  8, 10),                     // 14
        Free(11,    630,     -4,   -1,   -2,   -2,  1, 4),  // 15
        Free(12,    945,     -6,   -2,   -3,   -3,  1, 4),  // 16
        Free(13,  -1575,     12,    2,    6,    6,  1, 4),  // 17
        Completion(15, 11, 12, 13, 14),                     // 18
        Free(16,  -1890,     15,    5,    6,    7,  3, 4),  // 19
        Free(19,   4725,    -30,   -5,  -18,  -19,  3, 4),  // 20
        Completion(20, 16, 17, 18, 19),                     // 21
        Completion(21,  1,  6, 11, 16),                     // 22
        Completion(23,  3,  8, 13, 18),                     // 23
        Completion(24,  4,  9, 14, 19),                     // 24
        Completion(25,  5, 10, 15, 20),                     // 25
        Free(26,  -1323,      9,    2,    6,    7,  3, 4),  // 26
        Free(27,   -441,      4,    2,    1,    1,  1, 4),  // 27
        Free(28,   4347,    -30,   -5,  -15,  -16,  3, 4),  // 28
        Free(29,  -2268,     18,   -1,   12,   10,  3, 4),  // 29
        Completion(30, 26, 27, 28, 29),                     // 30
        Free(31,   -441,      4,    1,    1,    2,  1, 4),  // 31
        Free(32,  16821,   -111,  -22,  -60,  -65,  9, 4),  // 32
        Free(33,  -1134,     12,    2,    6,    7,  9, 4),  // 33
        Free(34,   6426,    -45,   -4,  -18,  -26,  9, 4),  // 34
        Completion(35, 31, 32, 33, 34),                     // 35
        Free(36,   1449,    -10,   -2,   -5,   -5,  1, 4),  // 36
        Free(37,   -378,      4,    1,    2,    2,  3, 4),  // 37
        Free(38,  -6363,     48,    8,   24,   24,  3, 4),  // 38
        Free(39,    -63,      2,    0,    1,    1,  3, 4),  // 39
        Completion(40, 36, 37, 38, 39),                     // 40
        Free(41,   -756,      6,    0,    4,    3,  1, 4),  // 41
        Free(42,   6426,    -45,  -17,  -18,  -13,  9, 4),  // 42
        Free(43,   -189,      6,    1,    3,    2,  9, 4),  // 43
        Completion(44, 41, 42, 43, 45),                     // 44
        Completion(46, 26, 31, 36, 41),                     // 45
        Completion(47, 27, 32, 37, 42),                     // 46
        Completion(48, 28, 33, 38, 43),                     // 47
        Completion(50, 30, 35, 40, 45),                     // 48
        Free(51,   1134,     -6,   -2,   -3,   -4,  3, 4),  // 49
        Free(52,   2079,    -12,   -5,   -6,   -7,  3, 4),  // 50
        Free(53,  -1701,     12,    2,    6,   10,  3, 4),  // 51
        Completion(54, 51, 52, 53, 55),                     // 52
        Free(56,    693,     -4,   -1,   -2,   -3,  1, 4),  // 53
        Free(57,   -378,      6,    2,    3,    4,  9, 4),  // 54
        Free(58,  -6993,     48,    8,   24,   40,  9, 4),  // 55
        Completion(60, 56, 57, 58, 59),                     // 56
        Free(61,   -567,      4,    2,    2,    2,  1, 4),  // 57
        Free(62,  -2331,     16,    8,    8,    8,  3, 4),  // 58
    }};
}();
// clang-format on

static_assert(kFormulaTable.size() == 58);

// The steps of one loop level are contiguous in the table: [first, end).
struct LevelRange {
    std::size_t first;
    std::size_t end;
};

constexpr LevelRange StepsOfLevel(int level)
{
    std::size_t first = kFormulaTable.size();
    std::size_t end = 0;
    for (std::size_t i = 0; i < kFormulaTable.size(); ++i) {
        if (kFormulaTable[i].level == level) {
            if (first == kFormulaTable.size()) first = i;
            end = i + 1;
        }
    }
    return {first, end};
}

inline constexpr LevelRange kLevel2Steps = StepsOfLevel(2);
inline constexpr LevelRange kLevel3Steps = StepsOfLevel(3);
inline constexpr LevelRange kLevel4Steps = StepsOfLevel(4);
static_assert(kLevel2Steps.first == 0 && kLevel2Steps.end == 2);
static_assert(kLevel3Steps.first == 2 && kLevel3Steps.end == 6);
static_assert(kLevel4Steps.first == 6 && kLevel4Steps.end == 58);

// Each derived entry as an affine function of the free entries over the common
// denominator 9: 9 * e_k = constant + c10*e10 + c14*e14 + c17*e17 + c18*e18.
// Derived from the table by substituting the earlier steps into each
// completion, so it can never disagree with it.
struct AffineForm {
    std::int64_t constant = 0;
    std::int64_t c10 = 0;
    std::int64_t c14 = 0;
    std::int64_t c17 = 0;
    std::int64_t c18 = 0;
};
inline constexpr std::int64_t kAffineDenominator = 9;

// Affine forms of all 62 entries, indexed by entry (0 unused).
inline constexpr std::array<AffineForm, 63> kAffineForms = [] {
    std::array<AffineForm, 63> forms{};
    forms[10].c10 = kAffineDenominator;
    forms[14].c14 = kAffineDenominator;
    forms[17].c17 = kAffineDenominator;
    forms[18].c18 = kAffineDenominator;
    for (const FormulaStep& step : kFormulaTable) {
        // Steps with a divisor read the free entries only, whose forms are
        // multiples of the denominator, so every quotient here is exact.
        AffineForm f{};
        f.constant = step.constant * kAffineDenominator / step.divisor;
        for (const FormulaTerm& t : step.terms) {
            const AffineForm& in = forms[static_cast<std::size_t>(t.entry)];
            f.constant += t.coeff * in.constant / step.divisor;
            f.c10 += t.coeff * in.c10 / step.divisor;
            f.c14 += t.coeff * in.c14 / step.divisor;
            f.c17 += t.coeff * in.c17 / step.divisor;
            f.c18 += t.coeff * in.c18 / step.divisor;
        }
        forms[static_cast<std::size_t>(step.entry)] = f;
    }
    return forms;
}();

// The filters of loops 1, 2 and 4: e14 a multiple of 3 other than the
// centre's value, e14 + e18 a multiple of 3 and e14 - e18 one of 9, and
// e10 - e17 a multiple of 3 (loop 3 has none). Every cube passes them (its
// entries are whole numbers): they only spare the loops the values whose
// derived entries would not be whole.
constexpr bool E14PassesFilters(std::int32_t e14)
{
    return e14 % 3 == 0 && e14 != kCentreValue;
}

// In 64 bits, so that any 32-bit values read from a file are safe.
constexpr bool E18PassesFilters(std::int64_t e14, std::int64_t e18)
{
    return (e14 + e18) % 3 == 0 && (e14 - e18) % 9 == 0;
}

constexpr bool E17PassesFilter(std::int64_t e10, std::int64_t e17)
{
    return (e10 - e17) % 3 == 0;
}

} // namespace pandicube
