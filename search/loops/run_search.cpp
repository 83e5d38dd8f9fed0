#include "search/loops/run_search.h"

#include "search/cube/cube_symmetry.h"
#include "search/cube/formulas.h"
#include "search/loops/search_windows.h"
#include "search/solution_hash.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <span>

namespace pandicube {

namespace {

constexpr bool InLimits(std::int32_t v, std::int32_t lowerLimit, std::int32_t upperLimit)
{
    return lowerLimit < v && v < upperLimit;
}

// Only the units that may hold a cube opening its class, when the search
// lists nothing else.
inline bool UnitWanted(const SearchState& s, std::int32_t e14, std::int32_t e18)
{
    return s.classOpenersOnly == 0 || UnitMayOpenClasses(e14, e18);
}

// A free entry's value is held to the current limits like a derived one, so
// that no entry ever lies on or outside an exclusive limit and every pool
// access stays inside the pool.
inline bool FreeValueAvailable(const SearchState& s, std::int32_t v)
{
    return InLimits(v, s.lowerLimit, s.upperLimit) && s.pool.IsAvailable(v);
}

// The entry that each step of the table fills.
constexpr std::array<std::size_t, kFormulaTable.size()> kStepEntry = [] {
    std::array<std::size_t, kFormulaTable.size()> entries{};
    for (std::size_t i = 0; i < kFormulaTable.size(); ++i)
        entries[i] = static_cast<std::size_t>(kFormulaTable[i].entry);
    return entries;
}();

// One number per step of the table: a value of its entry, or a slope.
using StepValues = std::array<std::int64_t, kFormulaTable.size()>;

// Every entry is an affine function of the free entries (kAffineForms, derived
// from the table). With e14 and e18 fixed, and e17 = e10 + 3 j (the filter of
// loop 4), every derived entry is
//     atZero + kE10Slope * e10 + kJSlope * j
// with whole atZero (the entry at e10 = e17 = 0) and whole slopes, so the
// search evaluates it without a division: the same values as the formulas.
// The entries of loop 2 read neither e10 nor e17: atZero is their value.
constexpr StepValues kE10Slope = [] {
    StepValues slopes{};
    for (std::size_t i = 0; i < kFormulaTable.size(); ++i) {
        const AffineForm& f = kAffineForms[kStepEntry[i]];
        slopes[i] = (f.c10 + f.c17) / kAffineDenominator;
    }
    return slopes;
}();

constexpr StepValues kJSlope = [] {
    StepValues slopes{};
    for (std::size_t i = 0; i < kFormulaTable.size(); ++i) slopes[i] = kAffineForms[kStepEntry[i]].c17 / 3;
    return slopes;
}();

constexpr bool SlopesAreWhole()
{
    for (std::size_t i = 0; i < kFormulaTable.size(); ++i) {
        const AffineForm& f = kAffineForms[kStepEntry[i]];
        if ((f.c10 + f.c17) % kAffineDenominator != 0 || f.c17 % 3 != 0) return false;
        if (i < kLevel2Steps.end && (f.c10 != 0 || f.c17 != 0)) return false;
    }
    return true;
}
static_assert(SlopesAreWhole(), "every derived entry must have whole slopes in e10 and j, and loop 2 none");

// Every entry's value at e10 = e17 = 0 for the unit (e14, e18).
StepValues ValuesAtZero(std::int32_t e14, std::int32_t e18)
{
    StepValues v{};
    for (std::size_t i = 0; i < kFormulaTable.size(); ++i) {
        const AffineForm& f = kAffineForms[kStepEntry[i]];
        v[i] = (f.constant + f.c14 * e14 + f.c18 * e18) / kAffineDenominator;
    }
    return v;
}

// The level at which the loops unwind after a reduction to the bound b: the
// outermost loop whose own entries touch b or 126 - b.
std::int32_t UnwindLevelFor(const SearchState& s, std::int32_t b)
{
    const auto touches = [&](int entry) {
        const std::int32_t v = s.e[static_cast<std::size_t>(entry)];
        return v == b || v == Complement(b);
    };
    if (touches(14)) return 3;
    if (touches(18) || touches(55) || touches(59)) return 2;
    if (touches(10) || touches(1) || touches(22) || touches(45) || touches(49)) return 1;
    return 0;
}

// The unwind level that leaves all four loops: the reporter stopped the run.
constexpr std::int32_t kStopLevel = 4;
// Values of e10, and of e17 within one e10, tried between two polls of the
// reporter inside a unit: at most a few milliseconds of the search apart.
constexpr std::uint32_t kE10sPerPoll = 64;
constexpr std::uint32_t kE17sPerPoll = 4096;

class Search {
public:
    Search(SearchState& state, SearchReporter& reporter) : s_(state), reporter_(reporter) {}

    void Loop1();
    // Loop 2, steps 2 to 6, for an e18 that has passed its candidate test.
    void SearchBelowE18();

private:
    void Loop2();
    void Loop3(const StepValues& atZero);
    void Loop4(UnitWindows& windows, const StepValues& atZero);
    template <LevelRange Steps>
    bool DeriveSteps(const StepValues& base, const StepValues& slope, std::int64_t x);
    void ReleaseSteps(std::size_t first, std::size_t end);
    void RefreshWindows(UnitWindows& windows) const;
    void SolutionSteps();
    void ReduceBound();
    bool StopIfAsked();
    // Polls the reporter after every `Every` values that `tried` counts (a
    // counter of the loop, kept in a register).
    template <std::uint32_t Every>
    void PollStop(std::uint32_t& tried)
    {
        static_assert((Every & (Every - 1)) == 0);
        if ((++tried & (Every - 1)) != 0) return;
        reporter_.PollStop();
        StopIfAsked();
    }

    SearchState& s_;
    SearchReporter& reporter_;
};

// Derives the entries of one loop level in table order, step i worth
// base[i] + slope[i] * x. Each value meets the range test and then the
// availability test; when both pass it is taken and stored into its entry. On
// the first failure the level's values taken so far are released, latest
// first, and the result is false.
// The level is a template argument so that the bounds of the loop are
// constants: the compiler then unrolls it and reads the tables at compile
// time. With the bounds as arguments a whole run at U = 500 took 1.70 s of CPU
// time instead of 1.60 s (medians of 12 interleaved runs).
template <LevelRange Steps>
bool Search::DeriveSteps(const StepValues& base, const StepValues& slope, std::int64_t x)
{
    const std::int32_t lowerLimit = s_.lowerLimit;
    const std::int32_t upperLimit = s_.upperLimit;
#pragma GCC unroll 64
    for (std::size_t i = Steps.first; i < Steps.end; ++i) {
        const auto v = static_cast<std::int32_t>(base[i] + slope[i] * x);
        s_.candidate = v;
        if (!InLimits(v, lowerLimit, upperLimit) || !s_.pool.IsAvailable(v)) {
            ReleaseSteps(Steps.first, i);
            return false;
        }
        s_.pool.Take(v);
        s_.e[kStepEntry[i]] = v;
    }
    return true;
}

// Releases the entries of the steps [first, end), latest first.
void Search::ReleaseSteps(std::size_t first, std::size_t end)
{
    for (std::size_t i = end; i > first; --i) s_.pool.Release(s_.e[kStepEntry[i - 1]]);
}

void Search::Loop1()
{
    std::int32_t& e14 = s_.e[14];
    // Step 1. First value: the start value on the first descent.
    e14 = s_.fullRange == 0 ? s_.startE14 : s_.lowerLimit + 1;
    for (;;) {
        s_.candidate = e14;
        // Step 2-3. Only multiples of 3 inside the limits; 63 is the centre's.
        if (E14PassesFilters(e14) && InLimits(e14, s_.lowerLimit, s_.upperLimit)) {
            s_.pool.Take(e14);
            Loop2();              // Step 4.
            s_.pool.Release(e14); // Step 5.
            if (s_.unwindLevel > 3) return;
            s_.unwindLevel = 0;
        }
        // Step 6. The complement of every cube with e14 above 63 is enumerated.
        if (e14 >= 62) return;
        ++e14;
    }
}

void Search::Loop2()
{
    const std::int32_t e14 = s_.e[14];
    std::int32_t& e18 = s_.e[18];
    e18 = s_.fullRange == 0 ? s_.startE18 : s_.lowerLimit + 1;
    for (;;) {
        s_.candidate = e18;
        // Step 1. Filters, then limits and availability.
        if (E18PassesFilters(e14, e18) && FreeValueAvailable(s_, e18) && UnitWanted(s_, e14, e18)) SearchBelowE18();
        // Step 7. Loop end.
        if (s_.unwindLevel > 2) return;
        s_.unwindLevel = 0;
        if (!NextInPairOrder(e18)) return;
    }
}

void Search::SearchBelowE18()
{
    const std::int32_t e18 = s_.e[18];
    // Step 2.
    s_.pool.Take(e18);
    reporter_.ReportProgress({s_.e[kE14], e18, s_.solutionCount});
    if (StopIfAsked()) {
        s_.pool.Release(e18);
        return;
    }
    // Step 3-6. Derive e55 and e59, open loop 3, release in reverse.
    const StepValues atZero = ValuesAtZero(s_.e[kE14], e18);
    if (DeriveSteps<kLevel2Steps>(atZero, kE10Slope, 0)) {
        Loop3(atZero);
        ReleaseSteps(kLevel2Steps.first, kLevel2Steps.end);
    }
    s_.pool.Release(e18);
}

// The windows follow the limits: a bound reduction narrows them.
void Search::RefreshWindows(UnitWindows& windows) const
{
    if (windows.upperLimit != s_.upperLimit || windows.lowerLimit != s_.lowerLimit)
        windows = ComputeUnitWindows(s_.e[14], s_.e[18], s_.lowerLimit, s_.upperLimit, s_.classOpenersOnly != 0);
}

// Loops 3 and 4 try only values inside the windows of the range tests: every
// value skipped would have failed a filter or a range test, which changes
// nothing but `candidate` (with classOpenersOnly, or given a cube that does
// not open its class). While fullRange is 0 loop 3 tries every value,
// since opening loop 4 is what sets fullRange to 1.
void Search::Loop3(const StepValues& atZero)
{
    std::int32_t& e10 = s_.e[10];
    UnitWindows windows =
        ComputeUnitWindows(s_.e[14], s_.e[18], s_.lowerLimit, s_.upperLimit, s_.classOpenersOnly != 0);
    e10 = s_.fullRange == 0 ? s_.startE10 : s_.lowerLimit + 1;
    if (s_.fullRange == 1 && !SkipInPairOrder(e10, windows.e10, 1, 0)) return;
    std::uint32_t tried = 0;
    for (;;) {
        s_.candidate = e10;
        // Step 1. Availability only (and the limits).
        if (FreeValueAvailable(s_, e10)) {
            s_.pool.Take(e10); // Step 2.
            // Step 3. Derive e1, e22, e45 and e49.
            if (DeriveSteps<kLevel3Steps>(atZero, kE10Slope, e10)) {
                // Step 4. e17 opens at its start value once, then full range.
                s_.e[17] = s_.fullRange == 0 ? s_.startE17 : s_.lowerLimit + 1;
                s_.fullRange = 1;
                Loop4(windows, atZero);
                ReleaseSteps(kLevel3Steps.first, kLevel3Steps.end); // Step 5.
            }
            s_.pool.Release(e10);
        }
        // Step 6. Loop end; now and then the reporter may stop the run.
        PollStop<kE10sPerPoll>(tried);
        if (s_.unwindLevel > 1) return;
        s_.unwindLevel = 0;
        if (!NextInPairOrder(e10)) return;
        if (s_.fullRange == 1) {
            RefreshWindows(windows);
            if (!SkipInPairOrder(e10, windows.e10, 1, 0)) return;
        }
    }
}

// Loop 4 opens with fullRange already 1, so it skips from its first value on.
void Search::Loop4(UnitWindows& windows, const StepValues& atZero)
{
    const std::int32_t e10 = s_.e[10];
    // The entries of loop 4 at e17 = e10 (j = 0).
    StepValues atJZero;
    for (std::size_t i = kLevel4Steps.first; i < kLevel4Steps.end; ++i) atJZero[i] = atZero[i] + kE10Slope[i] * e10;
    const std::int32_t residue = ((e10 % 3) + 3) % 3;
    std::int32_t& e17 = s_.e[17];
    ValueWindow e17Window = E17Window(windows, e10);
    if (!SkipInPairOrder(e17, e17Window, 3, residue)) return;
    std::uint32_t tried = 0;
    for (;;) {
        s_.candidate = e17;
        // Step 1. Filter, then limits and availability.
        if (E17PassesFilter(e10, e17) && FreeValueAvailable(s_, e17)) {
            s_.pool.Take(e17); // Step 2.
            // Step 3. Derive the other 52 entries in ascending number.
            if (DeriveSteps<kLevel4Steps>(atJZero, kJSlope, (e17 - e10) / 3)) {
                SolutionSteps();                                    // Step 4.
                ReleaseSteps(kLevel4Steps.first, kLevel4Steps.end); // Step 5.
            }
            s_.pool.Release(e17);
        }
        // Step 6. Loop end; now and then the reporter may stop the run.
        PollStop<kE17sPerPoll>(tried);
        if (s_.unwindLevel > 0) return;
        if (!NextInPairOrder(e17)) return;
        if (windows.upperLimit != s_.upperLimit) {
            RefreshWindows(windows);
            e17Window = E17Window(windows, e10);
        }
        if (!SkipInPairOrder(e17, e17Window, 3, residue)) return;
    }
}

void Search::SolutionSteps()
{
    if (s_.reduceBound) ReduceBound();
    ++s_.solutionCount;
    reporter_.ReportSolution({s_.e, s_.solutionCount, s_.bestBound, SolutionHash(s_.e)});
    StopIfAsked();
}

// When the reporter has asked the run to stop, every loop unwinds.
bool Search::StopIfAsked()
{
    if (!reporter_.StopRequested()) return false;
    s_.unwindLevel = kStopLevel;
    return true;
}

void Search::ReduceBound()
{
    // Step 1. Scan for the largest value in use.
    s_.largestUsed = s_.lowerLimit + 1;
    for (s_.loopIndex = 64; s_.loopIndex <= s_.bestBound; ++s_.loopIndex) {
        if (s_.pool.IsInUse(s_.loopIndex) && s_.loopIndex > s_.largestUsed) s_.largestUsed = s_.loopIndex;
    }
    // Step 2. The bound only ever falls.
    if (s_.largestUsed < s_.bestBound) s_.bestBound = s_.largestUsed;
    // Step 3-4. Unwind the loops whose entries lie on the new limits.
    const std::int32_t b = s_.bestBound;
    s_.unwindLevel = UnwindLevelFor(s_, b);
    s_.upperLimit = b;
    s_.lowerLimit = Complement(b);
    assert(s_.lowerLimit + s_.upperLimit == kComplementSum);
}

} // namespace

void RunSearch(SearchState& state, SearchReporter& reporter)
{
    Search(state, reporter).Loop1();
}

void RunOuterUnitByValues(SearchState& state, SearchReporter& reporter, OuterUnit unit)
{
    assert(state.fullRange == 1);
    state.e[14] = unit.e14;
    state.e[18] = unit.e18;
    state.pool.Take(unit.e14);
    Search(state, reporter).SearchBelowE18();
    state.pool.Release(unit.e14);
    state.unwindLevel = 0;
}

} // namespace pandicube
