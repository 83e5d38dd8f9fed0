#pragma once

#include <fstream>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace pandicube {

// An output that appears under its name only when it is whole: it is written
// to "NAME.part" beside it and renamed to NAME by Commit(). An output left
// unfinished (an interrupted or killed run) stays under "NAME.part", the name
// that `resume` takes.
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

    // Opens NAME.part for writing from its start (or, with `append`, at its
    // end); on failure writes the reason to `err` and returns false.
    bool Open(std::ostream& err, const std::string& command, bool append = false);
    std::ostream& Stream() { return stream_; }
    // Closes NAME.part and renames it to NAME; false (with the reason on
    // `err`) when that fails.
    bool Commit(std::ostream& err, const std::string& command);

private:
    std::string path_;
    std::string part_ = PartPath(path_);
    std::ofstream stream_;
};

} // namespace pandicube
