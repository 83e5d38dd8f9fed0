#include "search/run_search.h"

#include "search/cube_symmetry.h"
#include "search/formulas.h"
#include "search/search_windows.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <utility>

namespace pandicube {

namespace {

constexpr bool InLimits(std::int32_t v, std::int32_t lowerLimit, std::int32_t upperLimit)
{
    return lowerLimit < v && v < upperLimit;
}

constexpr bool E14PassesFilters(std::int32_t e14)
{
    return e14 % 3 == 0 && e14 != kCentreValue;
}

constexpr bool E18PassesFilters(std::int32_t e14, std::int32_t e18)
{
    return (e14 + e18) % 3 == 0 && (e14 - e18) % 9 == 0;
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

// The numerator of step I over its divisor, unrolled at compile time.
template <std::size_t I>
inline std::int32_t EvaluateStep(const Entries& e)
{
    static constexpr FormulaStep step = kFormulaTable[I];
    std::int32_t n = step.constant;
    for (const FormulaTerm& t : step.terms) {
        if (t.coeff != 0) n += t.coeff * e[static_cast<std::size_t>(t.entry)];
    }
    if constexpr (step.divisor != 1) n /= step.divisor;
    return n;
}

// The value of step I from the formula table itself.
template <std::size_t I>
struct TableValue {
    const Entries& e;
    std::int32_t operator()() const { return EvaluateStep<I>(e); }
};

// Loops 3 and 4 read each entry as an affine function of the free entries
// (kAffineForms, derived from the table). With e14 and e18 fixed, and e17 =
// e10 + 3 j (the filter of loop 4), every derived entry is
//     atZero + e10Slope * e10 + jSlope * j
// with integer atZero (the entry at e10 = e17 = 0) and integer slopes, so the
// search evaluates it without a division: the same values as the formulas.
constexpr std::int64_t StepE10Slope(std::size_t i)
{
    const AffineForm& f = kAffineForms[static_cast<std::size_t>(kFormulaTable[i].entry)];
    return (f.c10 + f.c17) / kAffineDenominator;
}

constexpr std::int64_t StepJSlope(std::size_t i)
{
    return kAffineForms[static_cast<std::size_t>(kFormulaTable[i].entry)].c17 / 3;
}

constexpr bool SlopesAreWhole()
{
    for (std::size_t i = kLevel3Steps.first; i < kFormulaTable.size(); ++i) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(kFormulaTable[i].entry)];
        if ((f.c10 + f.c17) % kAffineDenominator != 0 || f.c17 % 3 != 0) return false;
    }
    return true;
}
static_assert(SlopesAreWhole(), "every entry of loops 3 and 4 must have whole slopes in e10 and j");

// Per step, the entry's value at e10 = e17 = 0 for the current e14 and e18;
// later, per e10, its value at j = 0.
using StepValues = std::array<std::int64_t, kFormulaTable.size()>;

StepValues ValuesAtZero(std::int32_t e14, std::int32_t e18)
{
    StepValues v{};
    for (std::size_t i = kLevel3Steps.first; i < kFormulaTable.size(); ++i) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(kFormulaTable[i].entry)];
        v[i] = (f.constant + f.c14 * e14 + f.c18 * e18) / kAffineDenominator;
    }
    return v;
}

template <std::size_t I>
struct E10Value {
    const StepValues& atZero;
    std::int64_t e10;
    std::int32_t operator()() const { return static_cast<std::int32_t>(atZero[I] + StepE10Slope(I) * e10); }
};

template <std::size_t I>
struct JValue {
    const StepValues& atJZero;
    std::int64_t j;
    std::int32_t operator()() const { return static_cast<std::int32_t>(atJZero[I] + StepJSlope(I) * j); }
};

// The pool's flags and the limits, held in locals while one level derives
// its entries (the pool's own accessors reload the index base after every
// store). It works on the pool's own flags, so the pool sees every take and
// release.
class StepContext {
public:
    explicit StepContext(SearchState& state)
        : s(state), flags_(state.pool.Data()), low_(state.pool.Low()), lowerLimit_(state.lowerLimit),
          upperLimit_(state.upperLimit)
    {
    }

    bool PassesTests(std::int32_t v) const
    {
        return InLimits(v, lowerLimit_, upperLimit_) && flags_[v - low_] == 1 && flags_[Complement(v) - low_] == 1;
    }
    void Take(std::int32_t v) { flags_[v - low_] = 0; }
    void Release(std::int32_t v)
    {
        flags_[v - low_] = 1;
        flags_[Complement(v) - low_] = 1;
    }

    SearchState& s;

private:
    std::int32_t* flags_;
    std::int64_t low_;
    std::int32_t lowerLimit_;
    std::int32_t upperLimit_;
};

// Puts the value v of step I through the range test and then the
// availability test; when both pass, takes it and stores it into its entry.
template <std::size_t I>
inline bool AdmitStepValue(StepContext& c, std::int32_t v)
{
    c.s.candidate = v;
    if (!c.PassesTests(v)) return false;
    c.Take(v);
    c.s.e[static_cast<std::size_t>(kFormulaTable[I].entry)] = v;
    return true;
}

template <std::size_t First, template <std::size_t> class Value, class... Args, std::size_t... I>
inline bool DeriveStepsImpl(SearchState& s, std::index_sequence<I...>, const Args&... args)
{
    StepContext c(s);
    std::array<std::int32_t, sizeof...(I)> taken;
    std::size_t count = 0;
    const auto admit = [&](std::int32_t v, auto step) {
        if (!AdmitStepValue<decltype(step)::value>(c, v)) return false;
        taken[count++] = v;
        return true;
    };
    const bool ok = (admit(Value<First + I>{args...}(), std::integral_constant<std::size_t, First + I>{}) && ...);
    if (!ok) {
        while (count > 0) c.Release(taken[--count]);
    }
    return ok;
}

// Derives the steps of one loop level in table order, each value given by
// Value<step>{args...}(). On the first failure it releases what it took,
// latest first, and returns false.
template <LevelRange R, template <std::size_t> class Value, class... Args>
inline bool DeriveLevel(SearchState& s, const Args&... args)
{
    return DeriveStepsImpl<R.first, Value>(s, std::make_index_sequence<R.end - R.first>{}, args...);
}

// Releases the entries of one level, latest first.
template <LevelRange R>
inline void ReleaseLevel(SearchState& s)
{
    StepContext c(s);
    for (std::size_t i = R.end; i > R.first; --i) c.Release(s.e[static_cast<std::size_t>(kFormulaTable[i - 1].entry)]);
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

class Search {
public:
    Search(SearchState& state, SearchHost& host) : s_(state), host_(host) {}

    void Loop1();
    // Loop 2, steps 2 to 6, for an e18 that has passed its candidate test.
    void SearchBelowE18();

private:
    void Loop2();
    void Loop3();
    void Loop4(UnitWindows& windows, const StepValues& atZero);
    void RefreshWindows(UnitWindows& windows) const;
    void SolutionSteps();
    void ReduceBound();

    SearchState& s_;
    SearchHost& host_;
};

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
    host_.ShowProgress(s_);
    host_.ProcessEvents();
    // Step 3-6. Derive e55 and e59, open loop 3, release in reverse.
    if (DeriveLevel<kLevel2Steps, TableValue>(s_, s_.e)) {
        Loop3();
        ReleaseLevel<kLevel2Steps>(s_);
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
void Search::Loop3()
{
    std::int32_t& e10 = s_.e[10];
    UnitWindows windows =
        ComputeUnitWindows(s_.e[14], s_.e[18], s_.lowerLimit, s_.upperLimit, s_.classOpenersOnly != 0);
    const StepValues atZero = ValuesAtZero(s_.e[14], s_.e[18]);
    e10 = s_.fullRange == 0 ? s_.startE10 : s_.lowerLimit + 1;
    if (s_.fullRange == 1 && !SkipInPairOrder(e10, windows.e10, 1, 0)) return;
    for (;;) {
        s_.candidate = e10;
        // Step 1. Availability only (and the limits).
        if (FreeValueAvailable(s_, e10)) {
            s_.pool.Take(e10); // Step 2.
            // Step 3. Derive e1, e22, e45 and e49.
            if (DeriveLevel<kLevel3Steps, E10Value>(s_, atZero, std::int64_t{e10})) {
                // Step 4. e17 opens at its start value once, then full range.
                s_.e[17] = s_.fullRange == 0 ? s_.startE17 : s_.lowerLimit + 1;
                s_.fullRange = 1;
                Loop4(windows, atZero);
                ReleaseLevel<kLevel3Steps>(s_); // Step 5.
            }
            s_.pool.Release(e10);
        }
        // Step 6. Loop end.
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
    for (std::size_t i = kLevel4Steps.first; i < kLevel4Steps.end; ++i) atJZero[i] = atZero[i] + StepE10Slope(i) * e10;
    const std::int32_t residue = ((e10 % 3) + 3) % 3;
    std::int32_t& e17 = s_.e[17];
    ValueWindow e17Window = E17Window(windows, e10);
    if (!SkipInPairOrder(e17, e17Window, 3, residue)) return;
    for (;;) {
        s_.candidate = e17;
        // Step 1. Filter, then limits and availability.
        if ((e10 - e17) % 3 == 0 && FreeValueAvailable(s_, e17)) {
            s_.pool.Take(e17); // Step 2.
            // Step 3. Derive the other 52 entries in ascending number.
            if (DeriveLevel<kLevel4Steps, JValue>(s_, atJZero, std::int64_t{(e17 - e10) / 3})) {
                SolutionSteps();                // Step 4.
                ReleaseLevel<kLevel4Steps>(s_); // Step 5.
            }
            s_.pool.Release(e17);
        }
        // Step 6. Loop end.
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
    if (host_.ReduceBoundRequested()) ReduceBound();
    ++s_.solutionCount;
    host_.StampEndTime();
    host_.ReportSolution(s_);
    host_.ProcessEvents();
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

void RunSearch(SearchState& state, SearchHost& host)
{
    Search(state, host).Loop1();
}

std::vector<OuterUnit> ListOuterUnits(const SearchState& state)
{
    assert(state.fullRange == 1);
    SearchState s = state;
    std::vector<OuterUnit> units;
    for (std::int32_t e14 = s.lowerLimit + 1; e14 <= 62; ++e14) {
        if (!E14PassesFilters(e14) || !InLimits(e14, s.lowerLimit, s.upperLimit)) continue;
        s.pool.Take(e14);
        std::int32_t e18 = s.lowerLimit + 1;
        do {
            if (E18PassesFilters(e14, e18) && FreeValueAvailable(s, e18) && UnitWanted(s, e14, e18))
                units.push_back({e14, e18});
        } while (NextInPairOrder(e18));
        s.pool.Release(e14);
    }
    return units;
}

void RunOuterUnit(SearchState& state, SearchHost& host, OuterUnit unit)
{
    assert(state.fullRange == 1);
    state.e[14] = unit.e14;
    state.e[18] = unit.e18;
    state.pool.Take(unit.e14);
    Search(state, host).SearchBelowE18();
    state.pool.Release(unit.e14);
    state.unwindLevel = 0;
}

void PrepareSearchState(SearchState& state, std::int32_t upperBound, const StartValues* start)
{
    assert(upperBound >= 1 && upperBound <= kMaxUpperBound);
    state.e.fill(0);
    state.unwindLevel = 0;
    state.fullRange = 1;
    if (start != nullptr) {
        state.startE10 = start->e10;
        state.startE14 = start->e14;
        state.startE17 = start->e17;
        state.startE18 = start->e18;
        state.fullRange = 0;
    }
    state.upperLimit = upperBound + 1;
    state.lowerLimit = kComplementSum - state.upperLimit;
    state.pool.Reset(state.lowerLimit, state.upperLimit);
    state.bestBound = state.upperLimit;
}

} // namespace pandicube
