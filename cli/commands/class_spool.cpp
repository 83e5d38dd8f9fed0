#include "cli/commands/class_spool.h"

#include "search/cube/cube_classes.h"
#include "search/cube/cube_symmetry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <queue>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include <xxhash.h>

namespace pandicube {

namespace {

auto KeyOf(const ClassSpool::Member& m)
{
    return std::tie(m.keyHigh, m.keyLow, m.place);
}

bool Put(std::FILE* file, const void* data, std::size_t bytes)
{
    return std::fwrite(data, 1, bytes, file) == bytes;
}

bool Get(std::FILE* file, void* data, std::size_t bytes)
{
    return std::fread(data, 1, bytes, file) == bytes;
}

// A file without a name in the temporary folder (TMPDIR, else /tmp): it
// goes with the process, also a killed one.
std::FILE* TemporaryFile()
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    std::string pattern = ((ec ? std::filesystem::path("/tmp") : folder) / "pandicube-classes-XXXXXX").string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    ::unlink(pattern.c_str());
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr) ::close(fd);
    return file;
}

} // namespace

ClassSpool::ClassSpool(std::size_t budgetBytes) : budget_(budgetBytes) {}

ClassSpool::~ClassSpool() = default;

bool ClassSpool::Fail(const char* what)
{
    if (failure_.empty()) failure_ = std::string(what) + ": " + (errno != 0 ? std::strerror(errno) : "unknown error");
    return false;
}

bool ClassSpool::Add(const Cells& cube, std::int64_t solutionNumber)
{
    // The budget is taken at once: a vector that grows would hold twice it.
    if (members_.capacity() == 0) members_.reserve(std::max<std::size_t>(budget_ / sizeof(Member), 1));
    const Cells form = StandardForm(cube);
    const XXH128_hash_t key = XXH3_128bits(form.data(), sizeof(form));
    members_.push_back({key.high64, key.low64, places_++, solutionNumber, ClassSizeInRun(cube)});
    if (members_.size() == members_.capacity()) return SpillMembers();
    return true;
}

// Writes the members kept, sorted, as a run of their own.
bool ClassSpool::SpillMembers()
{
    std::sort(members_.begin(), members_.end(), [](const Member& a, const Member& b) { return KeyOf(a) < KeyOf(b); });
    errno = 0;
    File file(TemporaryFile(), &std::fclose);
    if (!file) return Fail("cannot make a temporary file");
    if (!members_.empty() && !Put(file.get(), members_.data(), members_.size() * sizeof(Member)))
        return Fail("cannot write a temporary file");
    if (std::fflush(file.get()) != 0) return Fail("cannot write a temporary file");
    memberRuns_.push_back(std::move(file));
    members_.clear();
    return true;
}

// Writes the classes kept, in the order of their first cubes, as a run.
bool ClassSpool::SpillGroups()
{
    std::sort(groups_.begin(), groups_.end(),
              [](const Group& a, const Group& b) { return a.firstPlace < b.firstPlace; });
    errno = 0;
    File file(TemporaryFile(), &std::fclose);
    if (!file) return Fail("cannot make a temporary file");
    for (const Group& g : groups_) {
        const std::uint64_t count = g.members.members.size();
        if (!Put(file.get(), &g.firstPlace, sizeof g.firstPlace) ||
            !Put(file.get(), &g.members.firstSolution, sizeof g.members.firstSolution) ||
            !Put(file.get(), &g.members.sizeInRun, sizeof g.members.sizeInRun) ||
            !Put(file.get(), &count, sizeof count) ||
            !Put(file.get(), g.members.members.data(), count * sizeof(std::int64_t)))
            return Fail("cannot write a temporary file");
    }
    if (std::fflush(file.get()) != 0) return Fail("cannot write a temporary file");
    groupRuns_.push_back(std::move(file));
    groups_.clear();
    groupBytes_ = 0;
    return true;
}

bool ClassSpool::ForEachClass(const std::function<void(const Class&)>& take)
{
    return GroupMembers() && TakeGroups(take);
}

namespace {

// The members in the order of their classes' keys, then of the listing:
// sorted in memory, or merged from the sorted runs on files.
class MembersInKeyOrder {
public:
    MembersInKeyOrder(std::vector<ClassSpool::Member>& members, std::vector<std::FILE*> runs)
        : members_(members), runs_(std::move(runs)), heads_(runs_.size()), heap_(Later{&heads_})
    {
        if (runs_.empty())
            std::sort(members_.begin(), members_.end(),
                      [](const ClassSpool::Member& a, const ClassSpool::Member& b) { return KeyOf(a) < KeyOf(b); });
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            std::rewind(runs_[i]);
            if (Get(runs_[i], &heads_[i], sizeof(ClassSpool::Member))) heap_.push(i);
        }
    }

    bool Next(ClassSpool::Member& m)
    {
        if (runs_.empty()) {
            if (inMemory_ == members_.size()) return false;
            m = members_[inMemory_++];
            return true;
        }
        if (heap_.empty()) return false;
        const std::size_t i = heap_.top();
        heap_.pop();
        m = heads_[i];
        if (Get(runs_[i], &heads_[i], sizeof(ClassSpool::Member))) heap_.push(i);
        return true;
    }

private:
    struct Later {
        const std::vector<ClassSpool::Member>* heads;
        bool operator()(std::size_t a, std::size_t b) const { return KeyOf((*heads)[b]) < KeyOf((*heads)[a]); }
    };

    std::vector<ClassSpool::Member>& members_;
    std::vector<std::FILE*> runs_;
    std::vector<ClassSpool::Member> heads_;
    std::priority_queue<std::size_t, std::vector<std::size_t>, Later> heap_;
    std::size_t inMemory_ = 0;
};

} // namespace

bool ClassSpool::GroupMembers()
{
    // Step 1. The members in the order of their classes' keys, then of the
    // listing: from memory, or merged from the runs.
    if (!memberRuns_.empty()) {
        if (!members_.empty() && !SpillMembers()) return false;
        members_ = {};
    }
    std::vector<std::FILE*> runs;
    for (const File& run : memberRuns_) runs.push_back(run.get());
    MembersInKeyOrder order(members_, std::move(runs));

    // Step 2. The classes, each from its members; kept, or written in runs.
    // A class takes its record, and its members on the heap (with the
    // allocator's own bytes).
    constexpr std::size_t kGroupBytes = sizeof(Group) + 32;
    groups_.reserve(std::max<std::size_t>(budget_ / kGroupBytes, 1));
    Group group;
    bool open = false;
    Member previous;
    for (Member m; order.Next(m);) {
        if (open && (m.keyHigh != previous.keyHigh || m.keyLow != previous.keyLow)) {
            groupBytes_ += kGroupBytes + group.members.members.size() * sizeof(std::int64_t);
            groups_.push_back(std::move(group));
            group = {};
            open = false;
            if ((groupBytes_ >= budget_ || groups_.size() == groups_.capacity()) && !SpillGroups()) return false;
        }
        if (!open) {
            group.firstPlace = m.place;
            group.members.firstSolution = m.solution;
            group.members.sizeInRun = m.sizeInRun;
            open = true;
        }
        group.members.members.push_back(m.solution);
        previous = m;
    }
    if (open) groups_.push_back(std::move(group));
    for (const File& run : memberRuns_) {
        if (std::ferror(run.get()) != 0) return Fail("cannot read a temporary file");
    }
    members_ = {};
    memberRuns_.clear();
    return true;
}

bool ClassSpool::ReadGroup(std::FILE* file, Group& g)
{
    std::uint64_t count = 0;
    if (!Get(file, &g.firstPlace, sizeof g.firstPlace) ||
        !Get(file, &g.members.firstSolution, sizeof g.members.firstSolution) ||
        !Get(file, &g.members.sizeInRun, sizeof g.members.sizeInRun) || !Get(file, &count, sizeof count))
        return false;
    g.members.members.resize(count);
    return Get(file, g.members.members.data(), count * sizeof(std::int64_t));
}

bool ClassSpool::TakeGroups(const std::function<void(const Class&)>& take)
{
    // Step 3. The classes in the order of their first cubes.
    if (groupRuns_.empty()) {
        std::sort(groups_.begin(), groups_.end(),
                  [](const Group& a, const Group& b) { return a.firstPlace < b.firstPlace; });
        for (const Group& g : groups_) take(g.members);
        return true;
    }
    if (!groups_.empty() && !SpillGroups()) return false;
    std::vector<Group> firsts(groupRuns_.size());
    const auto laterGroup = [&](std::size_t a, std::size_t b) { return firsts[b].firstPlace < firsts[a].firstPlace; };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(laterGroup)> groupHeap(laterGroup);
    for (std::size_t i = 0; i < groupRuns_.size(); ++i) {
        std::rewind(groupRuns_[i].get());
        if (ReadGroup(groupRuns_[i].get(), firsts[i])) groupHeap.push(i);
    }
    while (!groupHeap.empty()) {
        const std::size_t i = groupHeap.top();
        groupHeap.pop();
        take(firsts[i].members);
        if (ReadGroup(groupRuns_[i].get(), firsts[i])) groupHeap.push(i);
    }
    for (const File& run : groupRuns_) {
        if (std::ferror(run.get()) != 0) return Fail("cannot read a temporary file");
    }
    groupRuns_.clear();
    return true;
}

} // namespace pandicube
