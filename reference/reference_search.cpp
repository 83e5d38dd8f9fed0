#include "reference/reference_search.h"

#include "search/solution_hash.h"

#include <array>
#include <cstdint>

namespace pandicube {

namespace {

bool InLimits(const SearchState& s, std::int32_t v)
{
    return s.lowerLimit < v && v < s.upperLimit;
}

// Pair order: from v <= 62 to its complement, from v >= 65 one step closer
// to 63; ends after 63 or 64.
bool NextPair(std::int32_t& v)
{
    if (v <= 62) {
        v = 126 - v;
        return true;
    }
    if (v >= 65) {
        v = 127 - v;
        return true;
    }
    return false;
}

// The values one loop level has taken, to be released latest first.
struct Taken {
    std::array<std::int32_t, 52> values{};
    std::size_t count = 0;
};

// Range test, then availability test; on success take the value and store it.
bool Derive(SearchState& s, Taken& taken, std::size_t entry, std::int32_t v)
{
    s.candidate = v;
    if (!InLimits(s, v)) return false;
    if (!s.pool.IsAvailable(v)) return false;
    s.pool.Take(v);
    s.e[entry] = v;
    taken.values[taken.count] = v;
    ++taken.count;
    return true;
}

void ReleaseAll(SearchState& s, Taken& taken)
{
    while (taken.count > 0) {
        --taken.count;
        s.pool.Release(taken.values[taken.count]);
    }
}

// The formulas of the derived entries, one by one in the order of evaluation.
// Each argument is computed only after the previous Derive has stored its
// entry, so the completions read the entries just derived.
// clang-format off
bool DeriveLoop2(SearchState& s, Taken& taken)
{
    const Entries& e = s.e;
    return Derive(s, taken, 55, (189 + e[14] - e[18]) / 3) &&  // step 1, loop 2
           Derive(s, taken, 59, (567 - e[14] + e[18]) / 9);  // step 2, loop 2
}

bool DeriveLoop3(SearchState& s, Taken& taken)
{
    const Entries& e = s.e;
    return Derive(s, taken, 1, (945 - 6*e[10] - 4*e[14] - 2*e[18]) / 3) &&  // step 3, loop 3
           Derive(s, taken, 22, (3*e[10] + e[14] - e[18]) / 3) &&  // step 4, loop 3
           Derive(s, taken, 45, (6*e[10] + 4*e[14] - e[18] - 378) / 3) &&  // step 5, loop 3
           Derive(s, taken, 49, (6*e[10] + e[14] + 2*e[18] - 378) / 3);  // step 6, loop 3
}

bool DeriveLoop4(SearchState& s, Taken& taken)
{
    const Entries& e = s.e;
    return Derive(s, taken, 2, (21*e[10] + 2*e[14] + 12*e[17] + 13*e[18] - 2835) / 3) &&  // step 7, loop 4
           Derive(s, taken, 3, (1890 - 12*e[10] - 2*e[14] - 6*e[17] - 7*e[18]) / 3) &&  // step 8, loop 4
           Derive(s, taken, 4, (15*e[10] + 4*e[14] + 6*e[17] + 8*e[18] - 1890) / 3) &&  // step 9, loop 4
           Derive(s, taken, 5, 315 - e[1] - e[2] - e[3] - e[4]) &&  // step 10, loop 4
           Derive(s, taken, 6, (21*e[10] + 4*e[14] + 12*e[17] + 11*e[18] - 2835) / 3) &&  // step 11, loop 4
           Derive(s, taken, 7, 315 - 2*e[10] + e[14] - 2*e[17] - e[18]) &&  // step 12, loop 4
           Derive(s, taken, 8, 945 - 6*e[10] - e[14] - 3*e[17] - 4*e[18]) &&  // step 13, loop 4
           Derive(s, taken, 9, 315 - e[6] - e[7] - e[8] - e[10]) &&  // step 14, loop 4
           Derive(s, taken, 11, 630 - 4*e[10] - e[14] - 2*e[17] - 2*e[18]) &&  // step 15, loop 4
           Derive(s, taken, 12, 945 - 6*e[10] - 2*e[14] - 3*e[17] - 3*e[18]) &&  // step 16, loop 4
           Derive(s, taken, 13, 12*e[10] + 2*e[14] + 6*e[17] + 6*e[18] - 1575) &&  // step 17, loop 4
           Derive(s, taken, 15, 315 - e[11] - e[12] - e[13] - e[14]) &&  // step 18, loop 4
           Derive(s, taken, 16, (15*e[10] + 5*e[14] + 6*e[17] + 7*e[18] - 1890) / 3) &&  // step 19, loop 4
           Derive(s, taken, 19, (4725 - 30*e[10] - 5*e[14] - 18*e[17] - 19*e[18]) / 3) &&  // step 20, loop 4
           Derive(s, taken, 20, 315 - e[16] - e[17] - e[18] - e[19]) &&  // step 21, loop 4
           Derive(s, taken, 21, 315 - e[1] - e[6] - e[11] - e[16]) &&  // step 22, loop 4
           Derive(s, taken, 23, 315 - e[3] - e[8] - e[13] - e[18]) &&  // step 23, loop 4
           Derive(s, taken, 24, 315 - e[4] - e[9] - e[14] - e[19]) &&  // step 24, loop 4
           Derive(s, taken, 25, 315 - e[5] - e[10] - e[15] - e[20]) &&  // step 25, loop 4
           Derive(s, taken, 26, (9*e[10] + 2*e[14] + 6*e[17] + 7*e[18] - 1323) / 3) &&  // step 26, loop 4
           Derive(s, taken, 27, 4*e[10] + 2*e[14] + e[17] + e[18] - 441) &&  // step 27, loop 4
           Derive(s, taken, 28, (4347 - 30*e[10] - 5*e[14] - 15*e[17] - 16*e[18]) / 3) &&  // step 28, loop 4
           Derive(s, taken, 29, (18*e[10] - e[14] + 12*e[17] + 10*e[18] - 2268) / 3) &&  // step 29, loop 4
           Derive(s, taken, 30, 315 - e[26] - e[27] - e[28] - e[29]) &&  // step 30, loop 4
           Derive(s, taken, 31, 4*e[10] + e[14] + e[17] + 2*e[18] - 441) &&  // step 31, loop 4
           Derive(s, taken, 32, (16821 - 111*e[10] - 22*e[14] - 60*e[17] - 65*e[18]) / 9) &&  // step 32, loop 4
           Derive(s, taken, 33, (12*e[10] + 2*e[14] + 6*e[17] + 7*e[18] - 1134) / 9) &&  // step 33, loop 4
           Derive(s, taken, 34, (6426 - 45*e[10] - 4*e[14] - 18*e[17] - 26*e[18]) / 9) &&  // step 34, loop 4
           Derive(s, taken, 35, 315 - e[31] - e[32] - e[33] - e[34]) &&  // step 35, loop 4
           Derive(s, taken, 36, 1449 - 10*e[10] - 2*e[14] - 5*e[17] - 5*e[18]) &&  // step 36, loop 4
           Derive(s, taken, 37, (4*e[10] + e[14] + 2*e[17] + 2*e[18] - 378) / 3) &&  // step 37, loop 4
           Derive(s, taken, 38, (48*e[10] + 8*e[14] + 24*e[17] + 24*e[18] - 6363) / 3) &&  // step 38, loop 4
           Derive(s, taken, 39, (2*e[10] + e[17] + e[18] - 63) / 3) &&  // step 39, loop 4
           Derive(s, taken, 40, 315 - e[36] - e[37] - e[38] - e[39]) &&  // step 40, loop 4
           Derive(s, taken, 41, 6*e[10] + 4*e[17] + 3*e[18] - 756) &&  // step 41, loop 4
           Derive(s, taken, 42, (6426 - 45*e[10] - 17*e[14] - 18*e[17] - 13*e[18]) / 9) &&  // step 42, loop 4
           Derive(s, taken, 43, (6*e[10] + e[14] + 3*e[17] + 2*e[18] - 189) / 9) &&  // step 43, loop 4
           Derive(s, taken, 44, 315 - e[41] - e[42] - e[43] - e[45]) &&  // step 44, loop 4
           Derive(s, taken, 46, 315 - e[26] - e[31] - e[36] - e[41]) &&  // step 45, loop 4
           Derive(s, taken, 47, 315 - e[27] - e[32] - e[37] - e[42]) &&  // step 46, loop 4
           Derive(s, taken, 48, 315 - e[28] - e[33] - e[38] - e[43]) &&  // step 47, loop 4
           Derive(s, taken, 50, 315 - e[30] - e[35] - e[40] - e[45]) &&  // step 48, loop 4
           Derive(s, taken, 51, (1134 - 6*e[10] - 2*e[14] - 3*e[17] - 4*e[18]) / 3) &&  // step 49, loop 4
           Derive(s, taken, 52, (2079 - 12*e[10] - 5*e[14] - 6*e[17] - 7*e[18]) / 3) &&  // step 50, loop 4
           Derive(s, taken, 53, (12*e[10] + 2*e[14] + 6*e[17] + 10*e[18] - 1701) / 3) &&  // step 51, loop 4
           Derive(s, taken, 54, 315 - e[51] - e[52] - e[53] - e[55]) &&  // step 52, loop 4
           Derive(s, taken, 56, 693 - 4*e[10] - e[14] - 2*e[17] - 3*e[18]) &&  // step 53, loop 4
           Derive(s, taken, 57, (6*e[10] + 2*e[14] + 3*e[17] + 4*e[18] - 378) / 9) &&  // step 54, loop 4
           Derive(s, taken, 58, (48*e[10] + 8*e[14] + 24*e[17] + 40*e[18] - 6993) / 9) &&  // step 55, loop 4
           Derive(s, taken, 60, 315 - e[56] - e[57] - e[58] - e[59]) &&  // step 56, loop 4
           Derive(s, taken, 61, 4*e[10] + 2*e[14] + 2*e[17] + 2*e[18] - 567) &&  // step 57, loop 4
           Derive(s, taken, 62, (16*e[10] + 8*e[14] + 8*e[17] + 8*e[18] - 2331) / 3);  // step 58, loop 4
}
// clang-format on

bool Touches(const SearchState& s, std::size_t entry, std::int32_t b)
{
    return s.e[entry] == b || s.e[entry] == 126 - b;
}

void ReduceBound(SearchState& s)
{
    s.largestUsed = s.lowerLimit + 1;
    for (s.loopIndex = 64; s.loopIndex <= s.bestBound; ++s.loopIndex) {
        if (s.pool.IsInUse(s.loopIndex) && s.loopIndex > s.largestUsed) s.largestUsed = s.loopIndex;
    }
    if (s.largestUsed < s.bestBound) s.bestBound = s.largestUsed;
    const std::int32_t b = s.bestBound;
    if (Touches(s, 14, b)) {
        s.unwindLevel = 3;
    } else if (Touches(s, 18, b) || Touches(s, 55, b) || Touches(s, 59, b)) {
        s.unwindLevel = 2;
    } else if (Touches(s, 10, b) || Touches(s, 1, b) || Touches(s, 22, b) || Touches(s, 45, b) || Touches(s, 49, b)) {
        s.unwindLevel = 1;
    } else {
        s.unwindLevel = 0;
    }
    s.upperLimit = b;
    s.lowerLimit = 126 - b;
}

void SolutionSteps(SearchState& s, SearchReporter& reporter)
{
    if (s.reduceBound) ReduceBound(s);
    ++s.solutionCount;
    reporter.ReportSolution({s.e, s.solutionCount, s.bestBound, SolutionHash(s.e)});
}

void Loop4(SearchState& s, SearchReporter& reporter)
{
    Entries& e = s.e;
    for (;;) {
        s.candidate = e[17];
        if ((e[10] - e[17]) % 3 == 0 && InLimits(s, e[17]) && s.pool.IsAvailable(e[17])) {
            s.pool.Take(e[17]);
            Taken taken;
            if (DeriveLoop4(s, taken)) SolutionSteps(s, reporter);
            ReleaseAll(s, taken);
            s.pool.Release(e[17]);
        }
        if (s.unwindLevel > 0) return;
        if (!NextPair(e[17])) return;
    }
}

void Loop3(SearchState& s, SearchReporter& reporter)
{
    Entries& e = s.e;
    e[10] = s.fullRange == 0 ? s.startE10 : s.lowerLimit + 1;
    for (;;) {
        s.candidate = e[10];
        if (InLimits(s, e[10]) && s.pool.IsAvailable(e[10])) {
            s.pool.Take(e[10]);
            Taken taken;
            if (DeriveLoop3(s, taken)) {
                e[17] = s.fullRange == 0 ? s.startE17 : s.lowerLimit + 1;
                s.fullRange = 1;
                Loop4(s, reporter);
            }
            ReleaseAll(s, taken);
            s.pool.Release(e[10]);
        }
        if (s.unwindLevel > 1) return;
        s.unwindLevel = 0;
        if (!NextPair(e[10])) return;
    }
}

void Loop2(SearchState& s, SearchReporter& reporter)
{
    Entries& e = s.e;
    e[18] = s.fullRange == 0 ? s.startE18 : s.lowerLimit + 1;
    for (;;) {
        s.candidate = e[18];
        if ((e[14] + e[18]) % 3 == 0 && (e[14] - e[18]) % 9 == 0 && InLimits(s, e[18]) && s.pool.IsAvailable(e[18])) {
            s.pool.Take(e[18]);
            reporter.ReportProgress({e[14], e[18], s.solutionCount});
            Taken taken;
            if (DeriveLoop2(s, taken)) Loop3(s, reporter);
            ReleaseAll(s, taken);
            s.pool.Release(e[18]);
        }
        if (s.unwindLevel > 2) return;
        s.unwindLevel = 0;
        if (!NextPair(e[18])) return;
    }
}

} // namespace

void RunReferenceSearch(SearchState& s, SearchReporter& reporter)
{
    Entries& e = s.e;
    e[14] = s.fullRange == 0 ? s.startE14 : s.lowerLimit + 1;
    for (;;) {
        s.candidate = e[14];
        // 63 belongs to the centre; e14 is taken without an availability test.
        if (e[14] % 3 == 0 && e[14] != 63 && InLimits(s, e[14])) {
            s.pool.Take(e[14]);
            Loop2(s, reporter);
            s.pool.Release(e[14]);
            s.unwindLevel = 0;
        }
        if (e[14] >= 62) return;
        ++e[14];
    }
}

} // namespace pandicube
