#include "cli/verify_command.h"

#include "cli/cube_reader.h"
#include "search/cube_check.h"
#include "search/input_rules.h"

#include <array>
#include <fstream>
#include <iostream>

namespace pandicube {

namespace {

// At most this many details per broken rule, and problems per input.
constexpr std::size_t kDetailsPerRule = 8;
constexpr std::size_t kProblemsShown = 20;

class VerifySink : public CubeSink {
public:
    VerifySink(std::ostream& out, std::ostream& err, std::optional<std::int32_t> bound)
        : out_(out), err_(err), bound_(bound)
    {
    }

    void OnCube(const CubeRecord& cube) override
    {
        ++checked_;
        const CubeCheck check = CheckCube(cube.cells, bound_);
        if (check.Valid()) {
            ++valid_;
            return;
        }
        ++invalid_;
        out_ << "solution " << cube.number << " (line " << cube.line << "): invalid\n";
        std::array<std::size_t, 4> perRule{};
        for (const RuleFailure& failure : check.failures) {
            std::size_t& n = perRule[static_cast<std::size_t>(failure.rule)];
            if (n++ < kDetailsPerRule) out_ << "  " << CubeRuleName(failure.rule) << ": " << failure.detail << '\n';
        }
        for (std::size_t rule = 0; rule < perRule.size(); ++rule) {
            if (perRule[rule] > kDetailsPerRule) {
                out_ << "  " << CubeRuleName(static_cast<CubeRule>(rule)) << ": and " << perRule[rule] - kDetailsPerRule
                     << " more\n";
            }
        }
    }

    void OnClosing(const ClosingRecord&) override {}

    void OnProblem(std::size_t line, const std::string& message) override
    {
        if (problems_++ < kProblemsShown) err_ << "pandicube-search: verify: line " << line << ": " << message << '\n';
    }

    std::size_t checked_ = 0;
    std::size_t valid_ = 0;
    std::size_t invalid_ = 0;
    std::size_t problems_ = 0;

private:
    std::ostream& out_;
    std::ostream& err_;
    std::optional<std::int32_t> bound_;
};

} // namespace

std::istream* OpenInput(const std::string& file, const CliEnvironment& env, std::unique_ptr<std::istream>& owned,
                        std::ostream& err, const char* command)
{
    if (file == "-") return env.in != nullptr ? env.in : &std::cin;
    auto stream = std::make_unique<std::ifstream>(file, std::ios::binary);
    if (!stream->is_open()) {
        err << "pandicube-search: " << command << ": cannot open " << file << '\n';
        return nullptr;
    }
    owned = std::move(stream);
    return owned.get();
}

int RunVerifyCommand(const VerifyOptions& opt, const CliEnvironment& env, std::ostream& out, std::ostream& err)
{
    std::optional<std::int32_t> bound;
    if (opt.bound) {
        const InputCheck check = CheckUpperBound(*opt.bound);
        if (!check.Ok()) {
            err << "pandicube-search: --bound: " << InputErrorMessage(check.error) << '\n';
            return kExitRefused;
        }
        bound = check.value;
    }
    std::unique_ptr<std::istream> owned;
    std::istream* in = OpenInput(opt.file, env, owned, err, "verify");
    if (in == nullptr) return kExitRefused;

    VerifySink sink(out, err, bound);
    const ReadSummary summary = ReadCubes(*in, sink);
    if (sink.problems_ > kProblemsShown) {
        err << "pandicube-search: verify: " << sink.problems_ - kProblemsShown << " more problems not shown\n";
    }
    out << sink.checked_ << " cubes checked, " << sink.valid_ << " valid, " << sink.invalid_ << " invalid\n";
    out.flush();
    if (!summary.format && sink.problems_ == 0) {
        err << "pandicube-search: verify: the input holds no output of pandicube-search\n";
        return kExitRefused;
    }
    if (sink.problems_ > 0) {
        err << "pandicube-search: verify: the input is malformed (" << sink.problems_
            << (sink.problems_ == 1 ? " problem" : " problems") << ")\n";
        return kExitRefused;
    }
    return sink.invalid_ == 0 ? kExitOk : kExitFailed;
}

} // namespace pandicube
