#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace pandicube {

struct CliEnvironment;

// A buffered byte stream into a file descriptor.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    bool Drain();

    int fd_;
    std::array<char, 8192> buffer_{}; // as a file stream's, so a killed run loses as little
};

// A file this process owns while it writes it: it holds an exclusive lock
// (flock) on it, so that a second run or resume of the same output is
// refused at once instead of writing into it too.
class OwnedFile {
public:
    OwnedFile() = default;
    ~OwnedFile();
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;

    // Takes `path`: with `create`, a fresh or emptied file, created without
    // following a link; without, an existing output to continue. On failure
    // writes one line to `err` ("pandicube-search: " + `command` + ...) and
    // returns its exit status: 2 when the file is refused (not a regular
    // file, owned by another process), 3 when it cannot be written; 0 when
    // the file is taken.
    int Take(const std::string& path, bool create, std::ostream& err, const std::string& command);
    // The file's stream from its end.
    std::ostream& Stream() { return stream_; }
    // Shortens the file to `size` bytes; false (errno set) on failure.
    bool Shorten(std::uint64_t size);
    // Flushes the stream; false (errno set) when that fails.
    bool Flush();
    // Flushes the stream and the file's bytes to the disk (fsync); false
    // (errno set) when that fails.
    bool SyncToDisk();
    // Writes what is still buffered and gives up the file and its lock.
    void Close();
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
    std::unique_ptr<DescriptorBuffer> buffer_;
    std::ostream stream_{nullptr};
};

// An output that appears under its name only when it is whole: it is written
// to "NAME.part" beside it and renamed to NAME by Commit(). An output left
// unfinished (an interrupted or killed run) stays under "NAME.part", the name
// that `resume` takes. The process owns NAME.part from Open() until the
// rename is done.
class OutputFile {
public:
    static constexpr const char* kPartSuffix = ".part";

    explicit OutputFile(std::string path) : path_(std::move(path)) {}

    static std::string PartPath(const std::string& path) { return path + kPartSuffix; }
    // NAME for a path "NAME.part"; nullopt for any other path.
    static std::optional<std::string> WholePath(const std::string& path)
    {
        const std::string_view suffix = kPartSuffix;
        if (path.size() <= suffix.size() || !path.ends_with(suffix)) return std::nullopt;
        return path.substr(0, path.size() - suffix.size());
    }
    const std::string& PartPath() const { return part_; }

    // Refuses a name that cannot become a whole output, before anything is
    // searched or written: an empty name, "-", a directory, a link or
    // anything else but a regular file at NAME or at NAME.part, a name whose
    // NAME.part the folder cannot hold. Returns 0, or 2 after one line on
    // `err`.
    static int CheckName(const std::string& path, std::ostream& err, const std::string& command);
    // Checks the name, then creates and owns NAME.part, empty; on failure
    // writes the reason to `err` and returns its exit status (2 or 3).
    int Open(std::ostream& err, const std::string& command);
    std::ostream& Stream() { return file_.Stream(); }
    // Flushes NAME.part to the disk, renames it to NAME and flushes the
    // folder, so that after a power cut NAME is either whole or absent;
    // false (with the reason on `err`) when that fails.
    bool Commit(std::ostream& err, const std::string& command);
    // Gives up an output that cannot be whole and removes NAME.part.
    void Discard();

private:
    std::string path_;
    std::string part_ = PartPath(path_);
    OwnedFile file_;
};

// Renames `from` to `to` after flushing `fd` (open on `from`) to the disk,
// then flushes their folder; false (errno set) when a step fails.
bool RenameDurably(int fd, const std::string& from, const std::string& to);

// Writes `bytes` into a new file at `path`, whole or not at all: through a
// temporary file beside it, flushed to the disk and renamed. Never writes
// through a link. The reason of a failure, or nothing.
std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes);

// Whether two names reach the same file (the same device and inode), or are
// the same name.
bool SameFile(const std::string& a, const std::string& b);

// Opens `file` ("-": the environment's standard input); on failure writes
// the reason to `err` and returns null.
std::istream* OpenInput(const std::string& file, const CliEnvironment& env, std::unique_ptr<std::istream>& owned,
                        std::ostream& err, const char* command);

} // namespace pandicube
