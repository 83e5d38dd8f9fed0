#include "cli/commands/search_again.h"

#include "cli/commands/search_command.h"
#include "cli/usage.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>

namespace pandicube {

namespace {

constexpr std::size_t kLineShown = 100;

std::string Shown(const std::string& line)
{
    return line.size() <= kLineShown ? line : line.substr(0, kLineShown) + "...";
}

// Takes what a run writes and compares it with a file as it comes; at the
// first byte that differs it refuses the write, so that the run stops.
class ComparingBuffer : public std::streambuf {
public:
    explicit ComparingBuffer(std::istream& file) : file_(file) {}

    bool Differs() const { return differs_; }
    std::uint64_t Bytes() const { return bytes_; }
    std::size_t Line() const { return line_; }
    const std::string& Written() const { return written_; }
    const std::string& Found() const { return found_; }

    // After the run: the file must end where the run ended.
    bool FileEnds() { return file_.peek() == std::char_traits<char>::eof(); }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        if (differs_) return 0;
        chunk_.resize(static_cast<std::size_t>(n));
        file_.read(chunk_.data(), n);
        const std::streamsize got = file_.gcount();
        for (std::streamsize i = 0; i < n; ++i) {
            if (i >= got || chunk_[static_cast<std::size_t>(i)] != s[i]) {
                Mismatch(s, static_cast<std::size_t>(i), static_cast<std::size_t>(n));
                return i;
            }
            ++bytes_;
            if (s[i] == '\n') {
                ++line_;
                current_.clear();
            } else {
                current_ += s[i];
            }
        }
        return n;
    }

private:
    // The line where the bytes part: the run's (from the rest of what it
    // wrote) and the file's (read on to its end).
    void Mismatch(const char* s, std::size_t at, std::size_t n)
    {
        differs_ = true;
        written_ = current_;
        for (std::size_t i = at; i < n && s[i] != '\n'; ++i) written_ += s[i];
        found_ = current_;
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(bytes_));
        std::string rest;
        std::getline(file_, rest);
        found_ += rest;
    }

    std::istream& file_;
    std::string chunk_;
    std::string current_; // the bytes of the line written so far
    std::string written_;
    std::string found_;
    std::uint64_t bytes_ = 0;
    std::size_t line_ = 1;
    bool differs_ = false;
};

// The search options that repeat the run of the identity.
SearchOptions OptionsOf(const RunIdentity& id, unsigned threads)
{
    SearchOptions opt;
    opt.bound = std::to_string(id.setup.upperBound);
    opt.reduce = id.setup.reduceBound;
    if (id.setup.start) {
        opt.start = std::to_string(id.setup.start->e10) + ',' + std::to_string(id.setup.start->e14) + ',' +
                    std::to_string(id.setup.start->e17) + ',' + std::to_string(id.setup.start->e18);
    }
    opt.format = id.format;
    opt.cube = id.cube;
    opt.classes = id.classes;
    opt.countOnly = id.countOnly;
    opt.census = id.census;
    opt.quiet = true;
    opt.threads = std::to_string(threads);
    if (id.slice) opt.slice = std::to_string(id.slice->index) + '/' + std::to_string(id.slice->count);
    return opt;
}

// A census in text as the run writes it now, also one of an earlier build
// of this version, which wrote "1 classes" where the run writes "1 class": a
// copy in memory (a census has one row per bound).
std::unique_ptr<std::istream> CanonicalCensusText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::make_unique<std::ifstream>(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    constexpr std::string_view kEarlier = "cubes, 1 classes";
    for (std::size_t at = 0; (at = text.find(kEarlier, at)) != std::string::npos;) {
        const std::size_t end = at + kEarlier.size();
        if (end == text.size() || text[end] == ';' || text[end] == '\n') text.erase(end - 2, 2);
        at = end - 2;
    }
    return std::make_unique<std::stringstream>(std::move(text));
}

} // namespace

int SearchAgain(const std::string& path, const RunIdentity& identity, unsigned threads, const CliEnvironment& env,
                std::ostream& out, std::ostream& err)
{
    const std::string where = "verify: " + path + ": ";
    if (identity.version != ProgramVersion()) {
        Say(err) << where << "made by pandicube-search " << identity.version
                 << ", whose bytes only that version writes; "
                 << "this is " << ProgramVersion() << '\n';
        return kExitRefused;
    }
    std::unique_ptr<std::istream> file = identity.census && identity.format == OutputFormat::Text
                                             ? CanonicalCensusText(path)
                                             : std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*file) {
        Say(err) << where << "cannot open it again to compare\n";
        return kExitRefused;
    }
    ComparingBuffer compare(*file);
    std::ostream run(&compare);
    std::ostringstream runErr; // a refused write is the first difference, said below
    const int status = RunSearchCommand(OptionsOf(identity, threads), env, run, runErr);
    // The record of an interruption differs from the file: the signal comes first.
    const int signal = env.interruption ? env.interruption() : 0;
    if (signal != 0 || status > kExitSignalBase) {
        Say(err) << where << "the search was interrupted by a signal after " << compare.Bytes() << " bytes\n";
        return signal != 0 ? kExitSignalBase + signal : status;
    }
    if (!compare.Differs() && status != kExitOk) {
        Say(err) << where << "the search failed: " << runErr.str();
        return status;
    }
    if (!compare.Differs() && !compare.FileEnds()) {
        Say(err) << where << "line " << compare.Line() << " follows the last line the run writes\n";
        return kExitRefused;
    }
    if (compare.Differs()) {
        Say(err) << where << "line " << compare.Line() << " is not what the run writes there: the run writes \""
                 << Shown(compare.Written()) << "\", the file holds \"" << Shown(compare.Found()) << "\"\n";
        return kExitRefused;
    }
    out << path << ": searched again: the run writes exactly these " << compare.Bytes() << " bytes\n";
    return kExitOk;
}

} // namespace pandicube
