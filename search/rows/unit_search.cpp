#include "search/rows/unit_search.h"

#include "search/cube/formulas.h"
#include "search/cube/solution_order.h"
#include "search/loops/search_windows.h"
#include "search/rows/row_plan.h"
#include "search/solution_hash.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace pandicube {

// How a unit is searched by rows.
//
// Fix e14 and e18, and write e17 = e10 + 3 j (the filter of loop 4). Every
// entry is then an affine function of e10 and j with whole coefficients, and
// with u = e10 + j
//     e_k = a_k + p_k * e10 + s_k * u
// where a_k depends on the unit only and p_k is one of -2 .. 2 (e10 itself:
// p = 1, s = 0; e17: p = -2, s = 3; e14, e18, e55 and e59: p = s = 0). Both
// the coefficients and the constants come from the affine forms of the table.
//
// A cube needs its 62 entries to be pairwise distinct and never each other's
// complement, and none of them 63: their keys |e_k - 63| must be distinct and
// nonzero. For two entries with the same p, "e_k = e_l" reads
// (a_k - a_l) + (s_k - s_l) u = 0, and for two with opposite p,
// "e_k + e_l = 126" reads (a_k + a_l - 126) + (s_k + s_l) u = 0: either holds
// for at most one u, whatever e10 is. So each such pair kills one u for the
// whole unit, and so does an entry with p = 0 that would be 63. About 1,100
// such conditions give, per unit, a bitmap of dead u; it removes most of the
// candidates that lie inside the range windows before a single entry is
// derived for them.
//
// A row is one e10 inside the unit's e10 window. Its five entries of loop 3
// collide with each other or with the unit's entries at one e10 per pair at
// most, so such rows are dead rows of the same bitmaps, and a live row's fixed
// keys need no test. Its e17 window (exact, from the range strips) gives a run
// of u, and the candidates are the u of that run whose bit is clear. Each is
// then tested in full through a table indexed by key that holds, per key, the
// stamp of the candidate (or the row) that last used it: a key whose stamp is
// the current candidate's or the row's is taken. So nothing is ever released,
// and the entries are tested in an order that mixes the p-groups, since the
// pairs inside a group can no longer collide.
//
// Reading a row's bits is most of a row's cost, and most rows are short (at
// U = 1000 a search of the class openers meets rows of 1 to 32 values of u,
// about 1.6 candidates each). Where a row reads each family comes from a
// table of the unit's first S rows, since the row e10Base + m S + j reads
// family (P, S) P m bits past row j's place. A row of at most 57 values of u
// reads each family with one unaligned load from the byte that holds its
// first bit; the families that kill most are read first, and a row they leave
// without a live u reads no more. Longer rows read a word at a time.
// Conditions of one family whose values are the same form in e14 and e18 mark
// one value of t, so the unit marks each only once (about two in five are
// such repeats).
//
// The rows are met in the pair order of e10 (those below 63 ascending and
// those above descending, merged) and each row's cubes in ascending u, which
// the row merges from both ends into the pair order of e17: the cubes come in
// the order of the loops. A count of classes needs of a cube only
// where it lies and its largest value, 63 plus the largest of its keys: it
// gets sightings instead, and no cube is built.

namespace {

using namespace row_plan;

// How many families beyond the unit, e10 and u get bitmaps.
inline constexpr std::size_t kExtraFamilies = 4;
// Above this bound (the upper limit beyond 650) rows are long enough for 20:
// each kills candidates before their keys are tested, and a candidate that
// fails there costs a mispredicted branch.
inline constexpr std::int32_t kWideBound = 650;
inline constexpr std::size_t kWideExtraFamilies = 20;
// The most words the bitmaps of one unit may take (4 MiB).
inline constexpr std::size_t kMaxBitmapWords = std::size_t{1} << 19;

static_assert(TestOrderIsSound<0>() && TestOrderIsSound<kExtraFamilies>() && TestOrderIsSound<kWideExtraFamilies>());

// The slopes of every entry, by number (e0 unused: 0).
template <std::int32_t EntryLine::*Slope>
constexpr std::array<std::int32_t, kEntryCount + 1> AllSlopes()
{
    std::array<std::int32_t, kEntryCount + 1> slopes{};
    for (std::size_t k = 1; k <= kEntryCount; ++k) slopes[k] = kLines[k].*Slope;
    return slopes;
}
constexpr std::array<std::int32_t, kEntryCount + 1> kAllP = AllSlopes<&EntryLine::p>();
constexpr std::array<std::int32_t, kEntryCount + 1> kAllS = AllSlopes<&EntryLine::s>();
template <std::size_t Extra>
constexpr const std::array<std::int32_t, kMovingCount>& kMovingP = kMovingSlopes<Extra, &EntryLine::p>;
template <std::size_t Extra>
constexpr const std::array<std::int32_t, kMovingCount>& kMovingSlope = kMovingSlopes<Extra, &EntryLine::s>;

// The direction of the range strips that bounds e17 alone.
constexpr std::size_t kE17Direction = [] {
    for (std::size_t d = 0; d < kDirectionCount; ++d) {
        if (kDirections[d].a == 0 && kDirections[d].b == 1) return d;
    }
    return kDirectionCount;
}();
static_assert(kE17Direction < kDirectionCount);

// The key of a value: its distance from 63, which it shares with its
// complement.
constexpr std::int64_t Key(std::int64_t v)
{
    return v < kCentreValue ? kCentreValue - v : v - kCentreValue;
}

using UnitConstants = std::array<std::int64_t, kEntryCount + 1>;

// The constants of a unit and their negatives: a_k at k, -a_k at
// kNegated + k, and 0 at 0 and at kNegated.
inline constexpr std::size_t kNegated = kEntryCount + 1;
using SignedConstants = std::array<std::int64_t, 2 * kNegated>;

// A dead condition as it is marked: its value sign * (a_k + other * a_l +
// offset) read as sa[k] + sa[l] + offset from the signed constants.
struct SignedCondition {
    std::uint8_t k = 0;
    std::uint8_t l = 0;
    std::int16_t offset = 0;
};

template <std::size_t Extra>
inline constexpr std::array<SignedCondition, kConditionCount<Extra>> kSignedConditions = [] {
    std::array<SignedCondition, kConditionCount<Extra>> all{};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const DeadCondition& c = kConditions<Extra>[i];
        const auto place = [](int entry, std::int32_t sign) {
            return static_cast<std::uint8_t>(static_cast<std::size_t>(entry) + (sign < 0 ? kNegated : 0));
        };
        all[i] = {place(c.k, c.sign), c.other == 0 ? std::uint8_t{0} : place(c.l, c.sign * c.other),
                  static_cast<std::int16_t>(c.sign * c.offset)};
    }
    return all;
}();
static_assert(2 * kNegated <= 256 && kComplementSum <= 32767);

struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
};

// The dead values of t of one family with S > 0, one bitmap per residue of t
// modulo S, indexed by q = floor(t / S) - qBase; a row e10 reads its u from
// bit floor(P e10 / S) - floor(minimum of P e10 / S) + (u - uBase) of the
// bitmap of the residue P e10 mod S.
struct FamilyBitmap {
    std::uint64_t* words = nullptr; // in the thread's ThreadBitmaps
    std::size_t width = 0;          // words per residue
    std::size_t spare = 0;          // the word after the last residue's
    std::int64_t qBase = 0;
};

// The words of the bitmaps of the unit a thread searches, shared by the
// searchers of every plan: a thread holds the bitmaps of one unit at a time,
// whichever plan searches it.
std::vector<std::uint64_t>& ThreadBitmaps()
{
    thread_local std::vector<std::uint64_t> words;
    return words;
}

// The cube at (e10, u) from the unit's constants.
[[gnu::target_clones("avx2", "default")]] void BuildCube(Entries& e, const std::array<std::int32_t, kEntryCount + 1>& a,
                                                         std::int32_t e10, std::int32_t u)
{
    for (std::size_t i = 0; i <= kEntryCount; ++i) e[i] = a[i] + kAllP[i] * e10 + kAllS[i] * u;
}

// The cube at (e10, u), built in the place it is emplaced into: no entry is
// written twice.
struct CubeAt {
    const std::array<std::int32_t, kEntryCount + 1>& a;
    std::int32_t e10 = 0;
    std::int32_t u = 0;

    operator Entries() const
    {
        Entries e;
        BuildCube(e, a, e10, u);
        return e;
    }
};

// The stamp of the keys a row fixes: above every candidate's, so a key is
// taken for the candidate with stamp `mine` exactly when it holds mine or
// more.
inline constexpr std::uint32_t kFixedStamp = std::numeric_limits<std::uint32_t>::max();

// The table of keys of one thread, shared by the plans: the stamp that last
// took each key |v - 63|.
struct KeyTable {
    std::unique_ptr<std::uint32_t[], FreeDeleter> stamps;
    std::size_t count = 0;
    std::uint32_t stamp = 0;

    // Room for every key below `size`. calloc: the pages of a large table
    // are only mapped once a key on them is used.
    void Ensure(std::size_t size)
    {
        if (size <= count) return;
        auto* table = static_cast<std::uint32_t*>(std::calloc(size, sizeof(std::uint32_t)));
        if (table == nullptr) throw std::bad_alloc();
        stamps.reset(table);
        count = size;
        stamp = 0;
    }

    // Makes sure that `needed` more candidate stamps stay below kFixedStamp;
    // true when that cleared the table.
    bool Reserve(std::size_t needed)
    {
        if (stamp < kFixedStamp - needed - 1) return false;
        std::memset(stamps.get(), 0, count * sizeof(std::uint32_t));
        stamp = 0;
        return true;
    }
};

// The entries fixed by the unit (loops 1 and 2) and by the row (loop 3).
template <int Low, int High>
constexpr auto EntriesOfLevels()
{
    constexpr std::size_t kCount = [] {
        std::size_t n = 0;
        for (const EntryLine& line : kLines) n += line.level >= Low && line.level <= High ? 1 : 0;
        return n;
    }();
    std::array<int, kCount> entries{};
    std::size_t n = 0;
    for (int k = 1; k <= kEntryCount; ++k) {
        const int level = kLines[static_cast<std::size_t>(k)].level;
        if (level >= Low && level <= High) entries[n++] = k;
    }
    return entries;
}
inline constexpr auto kUnitEntries = EntriesOfLevels<1, 2>();
inline constexpr auto kRowEntries = EntriesOfLevels<3, 3>();
static_assert(kUnitEntries.size() + kRowEntries.size() == kFixedCount);

// The keys a unit fixes, and 0 (the key of 63), held at kFixedStamp while the
// unit is searched. PrepareUnit has made sure that no two are equal.
class HeldKeys {
public:
    HeldKeys(KeyTable& keys, const UnitConstants& a) : keys_(keys)
    {
        for (std::size_t i = 0; i < kUnitEntries.size(); ++i)
            slots_[i + 1] = static_cast<std::size_t>(Key(a[static_cast<std::size_t>(kUnitEntries[i])]));
        Hold();
    }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;
    ~HeldKeys()
    {
        for (const std::size_t slot : slots_) keys_.stamps[slot] = 0;
    }

    // Again, after the table has been cleared.
    void Hold()
    {
        for (const std::size_t slot : slots_) keys_.stamps[slot] = kFixedStamp;
    }

private:
    KeyTable& keys_;
    std::array<std::size_t, kUnitEntries.size() + 1> slots_{};
};

// A unit whose windows are not empty, ready to be searched by rows.
struct PreparedUnit {
    UnitConstants a{};
    UnitWindows windows;
    std::int64_t uBase = 0;
    std::size_t uWords = 0; // the bits of u from uBase on
};

// A candidate of a row that passed the test: its u and, when asked, the
// largest key of its entries of loop 4.
struct RowCube {
    std::int32_t u = 0;
    std::uint32_t largestKey = 0;
};

// Where the residues of each family from 3 on (beyond the unit, e10 and u)
// begin among those of all of them, and after the last their number.
template <std::size_t Extra>
inline constexpr std::array<std::size_t, kFamilyCount<Extra> + 1> kResidueFirst = [] {
    std::array<std::size_t, kFamilyCount<Extra> + 1> first{};
    for (std::size_t f = 3; f < kFamilyCount<Extra>; ++f)
        first[f + 1] = first[f] + static_cast<std::size_t>(kFamilies<Extra>[f].s);
    return first;
}();

// The scratch tables of one thread for one choice of bitmaps.
template <std::size_t Extra>
class RowSearcher {
public:
    // The words the bitmaps of a unit with uWords words of u take.
    static constexpr std::size_t BitmapWords(std::size_t uWords)
    {
        std::size_t residues = 0;
        for (const Family& f : kFamilies<Extra>) residues += static_cast<std::size_t>(f.s);
        return residues * uWords;
    }

    // Found: Entries for the cubes, CubeSighting for their sightings.
    template <typename Found>
    void Search(const PreparedUnit& unit, KeyTable& keys, const std::function<void(std::vector<Found>&)>& sink);

private:
    template <std::size_t Run>
    void MarkRun(const SignedConstants& sa);
    void MarkDead(const UnitConstants& a, ValueWindow e10);
    template <std::size_t F>
    std::uint64_t RowBit(std::int64_t e10) const;
    template <std::size_t F>
    unsigned RowShift(std::int64_t e10, const std::uint64_t*& words) const;
    template <std::size_t F>
    std::uint64_t ShortRowBits(std::int64_t e10, std::uint64_t uBit) const;
    template <std::size_t From, std::size_t To, std::size_t F>
    std::uint64_t ShortRowBitsIf(std::int64_t e10, std::uint64_t uBit) const;
    template <std::size_t... F>
    std::uint64_t ShortRowLive(std::int64_t e10, std::uint64_t uBit, std::uint64_t row,
                               std::index_sequence<F...>) const;
    template <std::size_t... F>
    bool LiveOfRow(std::int64_t e10, std::int64_t uFrom, std::int64_t uTo, std::index_sequence<F...>);
    template <bool Largest>
    void TestRow(KeyTable& keys, std::int64_t e10);

    std::array<FamilyBitmap, kFamilyCount<Extra>> maps_;
    // Per family F from 3 on and per j below its S (at kResidueFirst[F] +
    // j): the bit of its words at which the row e10Base + j reads the bit
    // of uBase (RowBit).
    std::array<std::int64_t, kResidueFirst<Extra>.back()> rowStarts_{};
    std::vector<std::uint64_t> deadRows_; // bit e10 - e10Base, and a spare word
    std::uint64_t deadRowBits_ = 0;
    std::int64_t e10Base_ = 0;
    std::int64_t uBase_ = 0;
    std::size_t uWords_ = 0;
    bool unitDead_ = false;
    std::array<std::int32_t, kMovingCount> unitBase_{}; // a_k - 63, in test order
    std::vector<RowCube> found_;                        // of one row: the first foundCount_
    std::size_t foundCount_ = 0;
    std::vector<std::uint64_t> live_ = std::vector<std::uint64_t>(1);
    std::int64_t liveU0_ = 0; // the u of bit 0 of live_[0]
    std::size_t liveCount_ = 0;
};

// Marks the values of t killed by one run of conditions. The family and the
// divisor of a run are constants, so no division is executed; its conditions
// are read from the plan in a loop, which costs no more than writing each one
// out and compiles in a fraction of the time. A condition reads two of the
// signed constants and an offset (kSignedConditions); a value of t outside the
// bitmap marks the spare word, which nothing reads, instead of branching.
template <std::size_t Extra>
template <std::size_t Run>
void RowSearcher<Extra>::MarkRun(const SignedConstants& sa)
{
    constexpr std::size_t f = kRuns<Extra>[Run].family;
    constexpr std::int64_t g = kRuns<Extra>[Run].divisor;
    constexpr Family family = kFamilies<Extra>[f];
    // The bitmap's place and size, read once: the marks go through a pointer
    // the compiler cannot tell from them.
    const FamilyBitmap map = maps_[f];
    for (std::size_t i = kRuns<Extra>[Run].first; i < kRuns<Extra>[Run + 1].first; ++i) {
        const SignedCondition c = kSignedConditions<Extra>[i];
        const std::int64_t value = sa[c.k] + sa[c.l] + c.offset;
        if constexpr (g != 1) {
            if (value % g != 0) continue;
        }
        const std::int64_t t = -value / g;
        if constexpr (family == kUnitFamily) {
            if (t == 0) unitDead_ = true;
        } else if constexpr (family == kRowFamily) {
            const auto bit = static_cast<std::uint64_t>(t - e10Base_);
            const std::size_t word = bit < deadRowBits_ ? static_cast<std::size_t>(bit >> 6) : deadRows_.size() - 1;
            deadRows_[word] |= std::uint64_t{1} << (bit & 63);
        } else {
            // t - tBase counts from the first residue's first bit: its
            // quotient by S is the bit, its remainder the residue.
            constexpr auto s = static_cast<std::uint64_t>(family.s);
            const auto at = static_cast<std::uint64_t>(t - map.qBase * family.s);
            const std::uint64_t bit = at / s;
            const std::size_t word =
                at < map.width * 64 * s ? static_cast<std::size_t>((at - bit * s) * map.width + (bit >> 6)) : map.spare;
            map.words[word] |= std::uint64_t{1} << (bit & 63);
        }
    }
}

template <std::size_t Extra>
void RowSearcher<Extra>::MarkDead(const UnitConstants& a, ValueWindow e10)
{
    unitDead_ = false;
    e10Base_ = e10.lo;
    const auto rowWords = static_cast<std::size_t>((e10.hi - e10.lo) / 64 + 1);
    deadRows_.assign(rowWords + 1, 0);
    deadRowBits_ = rowWords * 64;
    std::array<std::size_t, kFamilyCount<Extra>> offsets{};
    std::size_t total = 0;
    for (std::size_t f = 0; f < kFamilyCount<Extra>; ++f) {
        const Family family = kFamilies<Extra>[f];
        if (family.s == 0) continue;
        FamilyBitmap& map = maps_[f];
        const std::int64_t low = std::min(family.p * e10.lo, family.p * e10.hi);
        const std::int64_t high = std::max(family.p * e10.lo, family.p * e10.hi);
        const std::int64_t pe10Floor = FloorDiv(low, family.s);
        map.qBase = pe10Floor + uBase_;
        const auto maxShift = static_cast<std::size_t>(FloorDiv(high, family.s) - pe10Floor);
        map.width = uWords_ + maxShift / 64 + 2;
        map.spare = map.width * static_cast<std::size_t>(family.s);
        offsets[f] = total;
        total += map.spare + 1;
        if (f < 3) continue; // u alone is read straight from uBase
        // x = P e10 - S floor(min P e10 / S) counts from a multiple of S at
        // or below the unit's lowest P e10, so its quotient is the row's
        // shift and its remainder the residue it reads. (x is negative only
        // for rows past the window's end.)
        for (std::int64_t j = 0; j < family.s; ++j) {
            const std::int64_t x = family.p * (e10.lo + j) - pe10Floor * family.s;
            const std::int64_t q = FloorDiv(x, family.s);
            rowStarts_[kResidueFirst<Extra>[f] + static_cast<std::size_t>(j)] =
                (x - q * family.s) * static_cast<std::int64_t>(map.width * 64) + q;
        }
    }
    std::vector<std::uint64_t>& words = ThreadBitmaps();
    words.assign(total + 1, 0); // and a word for the loads of short rows at the end
    for (std::size_t f = 0; f < kFamilyCount<Extra>; ++f) maps_[f].words = words.data() + offsets[f];
    SignedConstants sa{};
    for (std::size_t k = 1; k <= kEntryCount; ++k) {
        sa[k] = a[k];
        sa[kNegated + k] = -a[k];
    }
    [&]<std::size_t... Run>(std::index_sequence<Run...>)
    {
        (MarkRun<Run>(sa), ...);
    }
    (std::make_index_sequence<kRunCount<Extra>>{});
}

// The bit of family F's words at which the row e10 reads the bit of uBase:
// the row e10Base + m S + j reads P m bits past row j's place. The quotient
// and remainder by S are shared by the families with the same S.
template <std::size_t Extra>
template <std::size_t F>
std::uint64_t RowSearcher<Extra>::RowBit(std::int64_t e10) const
{
    constexpr Family family = kFamilies<Extra>[F];
    constexpr auto s = static_cast<std::uint64_t>(family.s);
    const auto d = static_cast<std::uint64_t>(e10 - e10Base_);
    const std::uint64_t m = d / s;
    return static_cast<std::uint64_t>(rowStarts_[kResidueFirst<Extra>[F] + (d - m * s)] +
                                      family.p * static_cast<std::int64_t>(m));
}

// Where the row e10 reads family F: the bitmap of its residue from the word
// its u begin in, and the shift of its bits against the bits of u within a
// word.
template <std::size_t Extra>
template <std::size_t F>
unsigned RowSearcher<Extra>::RowShift(std::int64_t e10, const std::uint64_t*& words) const
{
    const std::uint64_t bit = RowBit<F>(e10);
    words = maps_[F].words + static_cast<std::size_t>(bit >> 6);
    return static_cast<unsigned>(bit & 63);
}

// A row of at most this many values of u reads each family with one load.
inline constexpr std::int64_t kShortRow = 57;
// How many families beyond the unit, e10 and u such a row reads before it
// looks whether any u is left.
inline constexpr std::size_t kEarlyFamilies = 8;

// The 64 bits from byte `byte` of `words` on, in any alignment.
inline std::uint64_t LoadAt(const std::uint64_t* words, std::uint64_t byte)
{
    std::uint64_t bits;
    std::memcpy(&bits, reinterpret_cast<const unsigned char*>(words) + byte, sizeof bits);
    return bits;
}

// The dead bits of family F for the row e10 from its u bit `uBit` on, at
// least kShortRow of them (the rest may hold anything): one load from the
// byte that holds the first, shifted by its place in that byte.
template <std::size_t Extra>
template <std::size_t F>
std::uint64_t RowSearcher<Extra>::ShortRowBits(std::int64_t e10, std::uint64_t uBit) const
{
    const std::uint64_t bit = RowBit<F>(e10) + uBit;
    return LoadAt(maps_[F].words, bit >> 3) >> (bit & 7);
}

// ShortRowBits of family F when From <= F < To, else nothing.
template <std::size_t Extra>
template <std::size_t From, std::size_t To, std::size_t F>
[[gnu::always_inline]] inline std::uint64_t RowSearcher<Extra>::ShortRowBitsIf(std::int64_t e10,
                                                                               std::uint64_t uBit) const
{
    if constexpr (F >= From && F < To) {
        return ShortRowBits<F>(e10, uBit);
    } else {
        return 0;
    }
}

// The live bits of a short row from its u bit `uBit` on, of those set in
// `row`. Kept apart from the reading of longer rows, so that each family is
// read and merged in turn without holding any of the others' places. The
// families that kill most come first: a row they leave without a live bit
// reads no more.
template <std::size_t Extra>
template <std::size_t... F>
[[gnu::noinline]] std::uint64_t RowSearcher<Extra>::ShortRowLive([[maybe_unused]] std::int64_t e10, std::uint64_t uBit,
                                                                 std::uint64_t row, std::index_sequence<F...>) const
{
    constexpr std::size_t kFirst = 3 + std::min<std::size_t>(kEarlyFamilies, sizeof...(F));
    constexpr std::size_t kEnd = 3 + sizeof...(F);
    const std::uint64_t* uDead = maps_[FamilyIndex<Extra>(kUFamily)].words;
    const std::uint64_t uBits = LoadAt(uDead, uBit >> 3) >> (uBit & 7);
    const std::uint64_t live = row & ~(uBits | ... | ShortRowBitsIf<3, kFirst, F + 3>(e10, uBit));
    if constexpr (kFirst == kEnd) {
        return live;
    } else {
        if (live == 0) return 0;
        return live & ~(std::uint64_t{0} | ... | ShortRowBitsIf<kFirst, kEnd, F + 3>(e10, uBit));
    }
}

// 64 bits from bit `off` (below 64) of words[0] on, without a branch.
inline std::uint64_t BitsFrom(const std::uint64_t* words, unsigned off)
{
    return (words[0] >> off) | ((words[1] << 1) << (63 - off));
}

// Collects the row's live u (bits from uFrom on) into live_; false when
// there is none.
template <std::size_t Extra>
template <std::size_t... F>
[[gnu::always_inline]] inline bool RowSearcher<Extra>::LiveOfRow([[maybe_unused]] std::int64_t e10, std::int64_t uFrom,
                                                                 std::int64_t uTo, std::index_sequence<F...>)
{
    const auto firstBit = static_cast<std::uint64_t>(uFrom - uBase_);
    if (uTo - uFrom < kShortRow) {
        live_[0] = ShortRowLive(e10, firstBit, ~std::uint64_t{0} >> (63 - (uTo - uFrom)), std::index_sequence<F...>{});
        liveU0_ = uFrom;
        liveCount_ = 1;
        return live_[0] != 0;
    }
    [[maybe_unused]] std::array<const std::uint64_t*, sizeof...(F)> words{};
    [[maybe_unused]] const std::array<unsigned, sizeof...(F)> offs{RowShift<F + 3>(e10, words[F])...};
    const auto lastBit = static_cast<std::uint64_t>(uTo - uBase_);
    const std::uint64_t first = firstBit >> 6;
    const auto count = static_cast<std::size_t>((lastBit >> 6) - first + 1);
    const std::uint64_t* uDead = maps_[FamilyIndex<Extra>(kUFamily)].words;
    if (live_.size() < count) live_.resize(count);
    std::uint64_t* const live = live_.data();
    for (std::size_t n = 0; n < count; ++n) {
        const std::uint64_t w = first + n;
        live[n] = ~(uDead[w] | ... | BitsFrom(words[F] + w, offs[F]));
    }
    live[0] &= ~std::uint64_t{0} << (firstBit & 63);
    live[count - 1] &= ~std::uint64_t{0} >> (63 - (lastBit & 63));
    std::uint64_t any = 0;
    for (std::size_t n = 0; n < count; ++n) any |= live[n];
    liveU0_ = uBase_ + static_cast<std::int64_t>(first * 64);
    liveCount_ = count;
    return any != 0;
}

// The entries of loop 4 whose keys a candidate holds, in test order, in
// every plan: the rest are looked up only.
inline constexpr std::size_t kHeldKeys =
    std::max({kHeldMovingKeys<0>, kHeldMovingKeys<kExtraFamilies>, kHeldMovingKeys<kWideExtraFamilies>});

// Takes the keys for the candidate with stamp `mine` in order, up to the first
// one taken already; true when every one was free. Written out, so that each
// key costs a load, a test and a store (a load and a test from kHeldKeys on).
template <std::size_t... I>
[[gnu::always_inline]] inline bool TakeKeys(std::uint32_t* table, const std::array<std::uint32_t, kMovingCount>& keys,
                                            std::uint32_t mine, std::index_sequence<I...>)
{
    const auto take = [&](std::uint32_t key, bool hold) {
        if (table[key] >= mine) return false;
        if (hold) table[key] = mine;
        return true;
    };
    return (take(keys[I], I < kHeldKeys) && ...);
}

// Tests the candidates u of the row e10 (the set bits of `live`, bit 0
// standing for u0) in full and writes those that pass to `found` (room for
// every candidate), with Largest the largest of their keys too; returns how
// many passed. The keys of a candidate are computed all at once, which the
// vector units do in a few steps, then taken in test order up to the first one
// taken already; the row's fixed keys hold kFixedStamp.
template <bool Largest>
[[gnu::always_inline]] inline std::size_t
TestCandidatesOf(std::uint32_t* table, const std::int32_t* unitBase, const std::int32_t* p, const std::int32_t* s,
                 std::uint32_t& stamp, const std::uint64_t* live, std::size_t liveCount, std::int64_t u0,
                 std::int64_t e10, RowCube* found)
{
    std::size_t passed = 0;
    const auto rowE10 = static_cast<std::int32_t>(e10);
    std::array<std::int32_t, kMovingCount> base;
    for (std::size_t i = 0; i < kMovingCount; ++i) base[i] = unitBase[i] + p[i] * rowE10;
    for (std::size_t n = 0; n < liveCount; ++n) {
        std::uint64_t bits = live[n];
        const std::int64_t wordBase = u0 + static_cast<std::int64_t>(n * 64);
        while (bits != 0) {
            const auto u = static_cast<std::int32_t>(wordBase + std::countr_zero(bits));
            bits &= bits - 1;
            std::array<std::uint32_t, kMovingCount> keys;
            std::uint32_t largest = 0;
            for (std::size_t i = 0; i < kMovingCount; ++i) {
                const std::int32_t d = base[i] + s[i] * u;
                keys[i] = static_cast<std::uint32_t>(d < 0 ? -d : d);
                if constexpr (Largest) largest = keys[i] > largest ? keys[i] : largest;
            }
            if (!TakeKeys(table, keys, ++stamp, std::make_index_sequence<kMovingCount>{})) continue;
            found[passed++] = {u, largest};
        }
    }
    return passed;
}

// TestCandidatesOf, built for AVX2 too and chosen at load time where the
// processor has it.
#define PANDICUBE_TEST_CANDIDATES(Name, Largest)                                                                       \
    [[gnu::target_clones("avx2", "default")]] std::size_t Name(                                                        \
        std::uint32_t* table, const std::int32_t* unitBase, const std::int32_t* p, const std::int32_t* s,              \
        std::uint32_t& stamp, const std::uint64_t* live, std::size_t liveCount, std::int64_t u0, std::int64_t e10,     \
        RowCube* found)                                                                                                \
    {                                                                                                                  \
        return TestCandidatesOf<Largest>(table, unitBase, p, s, stamp, live, liveCount, u0, e10, found);               \
    }
PANDICUBE_TEST_CANDIDATES(TestCandidates, false)
PANDICUBE_TEST_CANDIDATES(TestCandidatesWithLargest, true)
#undef PANDICUBE_TEST_CANDIDATES

template <std::size_t Extra>
template <bool Largest>
void RowSearcher<Extra>::TestRow(KeyTable& keys, std::int64_t e10)
{
    if (found_.size() < liveCount_ * 64) found_.resize(liveCount_ * 64);
    const auto test = Largest ? TestCandidatesWithLargest : TestCandidates;
    foundCount_ = test(keys.stamps.get(), unitBase_.data(), kMovingP<Extra>.data(), kMovingSlope<Extra>.data(),
                       keys.stamp, live_.data(), liveCount_, liveU0_, e10, found_.data());
}

// The constants and windows of a unit; false when e55 or e59 fails, or when
// the windows leave no candidate.
bool PrepareUnit(std::int32_t lowerLimit, std::int32_t upperLimit, bool classOpenersOnly, OuterUnit unit,
                 PreparedUnit& prepared)
{
    UnitConstants& a = prepared.a;
    const auto constant = [&unit](int k) {
        const AffineForm& f = kAffineForms[static_cast<std::size_t>(k)];
        return (f.constant + f.c14 * unit.e14 + f.c18 * unit.e18) / kAffineDenominator;
    };
    // Loop 2: e55 and e59 inside the limits and free.
    const std::int64_t e55 = constant(55);
    const std::int64_t e59 = constant(59);
    for (const std::int64_t v : {e55, e59}) {
        if (v <= lowerLimit || v >= upperLimit) return false;
    }
    const std::array<std::int64_t, 5> unitKeys = {0, Key(unit.e14), Key(unit.e18), Key(e55), Key(e59)};
    for (std::size_t i = 0; i < unitKeys.size(); ++i) {
        for (std::size_t j = i + 1; j < unitKeys.size(); ++j)
            if (unitKeys[i] == unitKeys[j]) return false;
    }
    prepared.windows = ComputeUnitWindows(unit.e14, unit.e18, lowerLimit, upperLimit, classOpenersOnly);
    const UnitWindows& windows = prepared.windows;
    if (windows.e10.Empty()) return false;
    const std::int64_t e17Low = windows.wLow[kE17Direction];
    const std::int64_t e17High = windows.wHigh[kE17Direction];
    if (e17Low > e17High) return false;
    // u = (e17 + 2 e10) / 3.
    prepared.uBase = FloorDiv(e17Low + 2 * windows.e10.lo, 3);
    const std::int64_t uEnd = CeilDiv(e17High + 2 * windows.e10.hi, 3) + 1;
    prepared.uWords = static_cast<std::size_t>((uEnd - prepared.uBase + 63) / 64);
    // Most units have no window: their constants are worked out only here.
    for (int k = 1; k <= kEntryCount; ++k) a[static_cast<std::size_t>(k)] = constant(k);
    return true;
}

template <std::size_t Extra>
template <typename Found>
void RowSearcher<Extra>::Search(const PreparedUnit& unit, KeyTable& keys,
                                const std::function<void(std::vector<Found>&)>& sink)
{
    constexpr bool kSightings = std::is_same_v<Found, CubeSighting>;
    foundCount_ = 0;
    const UnitConstants& a = unit.a;
    const UnitWindows& windows = unit.windows;
    uBase_ = unit.uBase;
    uWords_ = unit.uWords;
    MarkDead(a, windows.e10);
    if (unitDead_) return;

    for (std::size_t i = 0; i < kMovingCount; ++i)
        unitBase_[i] =
            static_cast<std::int32_t>(a[static_cast<std::size_t>(kTestOrder<Extra>[kFixedCount + i])] - kCentreValue);
    HeldKeys unitKeys(keys, a);
    // The largest key the unit fixes (a sighting's largest value is 63 plus
    // the largest key of its cube).
    std::size_t unitKey = 0;
    for (const int k : kUnitEntries)
        unitKey = std::max(unitKey, static_cast<std::size_t>(Key(a[static_cast<std::size_t>(k)])));
    std::array<std::int32_t, kEntryCount + 1> a32{};
    for (std::size_t i = 1; i <= kEntryCount; ++i) a32[i] = static_cast<std::int32_t>(a[i]);
    // The cubes go to the sink a chunk at a time, and the rows are searched
    // in the order of the loops (e10 in pair order: the rows below 63
    // ascending and those above descending, merged), so that a unit holds
    // the cubes of one row only, whatever its size: at the largest bounds a
    // unit has billions of cubes.
    thread_local std::vector<Found> chunk;
    chunk.clear(); // a unit ended by the sink may have left some
    chunk.reserve(kSinkChunk);
    std::vector<Found> none;
    // Each side's cursor only over the unit's rows on that side.
    std::optional<E17WindowCursor> lowRows;
    std::optional<E17WindowCursor> highRows;
    if (windows.e10.lo < kCentreValue)
        lowRows.emplace(windows, ValueWindow{windows.e10.lo, std::min<std::int64_t>(windows.e10.hi, kCentreValue - 1)},
                        false, RowWindow::kOfU);
    if (windows.e10.hi > kCentreValue)
        highRows.emplace(windows, ValueWindow{std::max<std::int64_t>(windows.e10.lo, kCentreValue + 1), windows.e10.hi},
                         true, RowWindow::kOfU);
    std::int64_t low = windows.e10.lo;
    std::int64_t high = windows.e10.hi;
    for (std::uint32_t rows = 1;; ++rows) {
        if (rows % kRowsPerPoll == 0) sink(none);
        const bool lowLeft = low <= high && low < kCentreValue;
        const bool highLeft = high >= low && high > kCentreValue;
        if (!lowLeft && !highLeft) break;
        const bool takeLow = lowLeft && (!highLeft || low <= kComplementSum - high); // tie: the lower first
        const std::int64_t e10 = takeLow ? low++ : high--;
        const auto rowBit = static_cast<std::uint64_t>(e10 - e10Base_);
        if ((deadRows_[rowBit >> 6] >> (rowBit & 63) & 1) != 0) continue;
        // u = (e17 + 2 e10) / 3 for the e17 of the row's window that keep
        // e17 - e10 a multiple of 3.
        const ValueWindow uWindow = takeLow ? lowRows->At(e10) : highRows->At(e10);
        const std::int64_t uFrom = uWindow.lo;
        const std::int64_t uTo = uWindow.hi; // inclusive
        if (uFrom > uTo) continue;
        assert(uFrom >= uBase_ && uTo < uBase_ + static_cast<std::int64_t>(uWords_ * 64));
        if (!LiveOfRow(e10, uFrom, uTo, std::make_index_sequence<kFamilyCount<Extra> - 3>{})) continue;
        // The keys the row fixes, under the row's stamp; no two collide, nor
        // with the unit's keys: the dead rows hold every such collision.
        if (keys.Reserve(static_cast<std::size_t>(uTo - uFrom + 1))) unitKeys.Hold();
        std::uint32_t* const stamps = keys.stamps.get();
        std::array<std::size_t, kRowEntries.size()> rowSlots{};
        std::size_t rowKey = unitKey; // the largest key the row fixes
        for (std::size_t i = 0; i < kRowEntries.size(); ++i) {
            const auto k = static_cast<std::size_t>(kRowEntries[i]);
            rowSlots[i] = static_cast<std::size_t>(Key(a[k] + kLines[k].p * e10));
            assert(stamps[rowSlots[i]] != kFixedStamp);
            stamps[rowSlots[i]] = kFixedStamp;
            rowKey = std::max(rowKey, rowSlots[i]);
        }
        TestRow<kSightings>(keys, e10);
        for (const std::size_t slot : rowSlots) stamps[slot] = 0;
        if (foundCount_ == 0) continue;
        // The row's cubes by e17 = 3 u - 2 e10 (ascending with u), in pair
        // order.
        const auto rowE10 = static_cast<std::int32_t>(e10);
        VisitInPairOrder(
            0, foundCount_, [&](std::size_t i) { return 3 * std::int64_t{found_[i].u} - 2 * e10; },
            [&](std::size_t i) {
                if constexpr (kSightings) {
                    const auto largestKey =
                        static_cast<std::int32_t>(std::max(rowKey, static_cast<std::size_t>(found_[i].largestKey)));
                    chunk.push_back({rowE10, 3 * found_[i].u - 2 * rowE10, kCentreValue + largestKey});
                } else {
                    chunk.emplace_back(CubeAt{a32, rowE10, found_[i].u});
                }
                if (chunk.size() == kSinkChunk) {
                    // The sink may have taken the chunk and left another.
                    sink(chunk);
                    chunk.clear();
                    chunk.reserve(kSinkChunk);
                }
            });
        foundCount_ = 0;
    }
    if (!chunk.empty()) sink(chunk);
}

} // namespace

void FindUnitCubes(Limits limits, bool classOpenersOnly, OuterUnit unit, std::vector<Entries>& cubes)
{
    cubes.clear();
    StreamUnitCubes(limits, classOpenersOnly, unit,
                    [&cubes](std::vector<Entries>& some) { cubes.insert(cubes.end(), some.begin(), some.end()); });
}

namespace {

template <typename Found>
void StreamUnit(Limits limits, bool classOpenersOnly, OuterUnit unit,
                const std::function<void(std::vector<Found>&)>& sink)
{
    const std::int32_t lowerLimit = limits.lower;
    const std::int32_t upperLimit = limits.upper;
    thread_local PreparedUnit prepared;
    if (!PrepareUnit(lowerLimit, upperLimit, classOpenersOnly, unit, prepared)) return;
    // Every entry lies strictly inside the limits, so its key stays below the
    // larger distance of a limit from 63.
    thread_local KeyTable keys;
    keys.Ensure(static_cast<std::size_t>(
        std::max(std::int64_t{upperLimit} - kCentreValue, kCentreValue - std::int64_t{lowerLimit})));
    // Long rows pay for more bitmaps: the costs of a bitmap come per row and
    // per unit, its gains per candidate. The bitmaps of a unit are held to a
    // few megabytes, whatever the bound.
    thread_local RowSearcher<kWideExtraFamilies> wide;
    thread_local RowSearcher<kExtraFamilies> narrow;
    thread_local RowSearcher<0> plain;
    if (upperLimit > kWideBound && wide.BitmapWords(prepared.uWords) <= kMaxBitmapWords) {
        wide.Search(prepared, keys, sink);
    } else if (narrow.BitmapWords(prepared.uWords) <= kMaxBitmapWords) {
        narrow.Search(prepared, keys, sink);
    } else {
        plain.Search(prepared, keys, sink);
    }
}

} // namespace

void StreamUnitCubes(Limits limits, bool classOpenersOnly, OuterUnit unit, const UnitCubeSink& sink)
{
    StreamUnit(limits, classOpenersOnly, unit, sink);
}

void StreamUnitSightings(Limits limits, bool classOpenersOnly, OuterUnit unit, const UnitSightingSink& sink)
{
    StreamUnit(limits, classOpenersOnly, unit, sink);
}

void SetUnitPart(UnitSolutions& part, OuterUnit unit, std::vector<Entries>& taken, bool hash)
{
    part.e14 = unit.e14;
    part.e18 = unit.e18;
    part.sightings.clear();
    part.cubes.swap(taken);
    const std::vector<Entries>& cubes = part.cubes;
    if (!hash) {
        part.hashes.assign(cubes.size(), 0);
        part.hashSum = 0;
        return;
    }
    part.hashes.resize(cubes.size());
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < cubes.size(); ++i) {
        part.hashes[i] = SolutionHash(cubes[i]);
        sum += part.hashes[i];
    }
    part.hashSum = sum;
}

void SetUnitPart(UnitSolutions& part, OuterUnit unit, std::vector<CubeSighting>& taken, bool /*hash*/)
{
    part.e14 = unit.e14;
    part.e18 = unit.e18;
    part.cubes.clear();
    part.hashes.clear();
    part.hashSum = 0;
    part.sightings.swap(taken);
}

} // namespace pandicube
