// The companion's subcommands as functions from their options to what they
// print and their exit status, so that the program's main only parses the
// command line and the tests can run a command without a process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/compare/comparison.h"
#include "tools/fit/fit_result.h"
#include "tools/fit/suggested_fit.h"

namespace linesynth::tools {

struct CommandOptions {
    ComparisonRequest request;
    bool json = false;
    bool free = false;   // fit: any sign for the weights
    bool write = false;  // fit: replace synthesis.txt (and qdqd.txt with --scale)
    bool wait = false;   // fit --write: wait for another writer instead of refusing
    bool scale = false;  // fit: fit ref_a too
    std::int64_t realizations = realizations_as_needed;  // fit: Monte Carlo refits
    std::uint64_t seed = 1;                              // fit: of the realizations
    std::string version;                                 // of the tool, in the JSON
    // fit: called after each realization (done, total); may be empty.
    std::function<void(std::int64_t, std::int64_t)> progress;
};

// The name the program goes by in its reports, help and version.
inline constexpr char program_name[] = "linesynth-tools";

// Exit status 0, or 1 with one line on `err`; with --json a refusal also
// prints {"error": {"message": ..., "file": ..., "record": ...}} on `out`
// (file and record null when the refusal names none).
struct CommandOutput {
    int status = 0;
    std::string out;
    std::string err;
    // Files were replaced (fit --write): a failure to print what was done
    // must not read as "nothing was written" (status 1), see replaced_status.
    bool replaced = false;
};

// The exit status of a command whose files were replaced but whose report to
// standard output could not be written.
inline constexpr int replaced_status = 3;

// A refusal: status 1 and its text on `err` after the program's name, and
// with `json` also the error object on `out`. The one place both are made:
//   {no_rows, "", 0, "no rows"} -> {1, "", "linesynth-tools: no rows\n"}
//   {no_rows, "", 0, "no rows"}, json
//     -> out {"error":{"file":null,"message":"no rows","record":null}}
//   {mask_file, "/m", 4, "/m, line 4: bad"}, json
//     -> out {"error":{"file":"/m","message":"/m, line 4: bad","record":4}}
// Where the run was followed, the object also says how the run itself ends:
//   {no_rows, "", 0, "no rows", RunOutcome::completes}, json
//     -> out {"error":{"file":null,"message":"no rows","record":null,"run":"completes"}}
CommandOutput refused(const Refusal& refusal, bool json = false);

// A refusal of the command's own, with no file:
//   refused("no rows") -> {1, "", "linesynth-tools: no rows\n"}
CommandOutput refused(const std::string& reason);

// `output` with another exit status, e.g. a refusal that is a usage error:
//   with_status(refused("no directory"), 2) -> {2, "", "linesynth-tools: no directory\n"}
inline CommandOutput with_status(CommandOutput output, int status) {
    output.status = status;
    return output;
}

// The objects `stats --json` and `fit --json` print, built once here so that
// every other caller (the Python module) gets the same names and the same
// doubles:
//   stats_document -> {"directory":..., "stats":{"chi2":...,...}, "title":...,...}
//   fit_document   -> the same keys with "stats" before the fit, and "fit"
nlohmann::json stats_document(const Comparison& comparison, const std::string& dir,
                              const std::string& version);
nlohmann::json fit_document(const Comparison& comparison, const FitResult& result,
                            const FitOptions& fit_options, const std::string& dir,
                            const std::string& version);

// The statistics of the run's own synthetic spectrum against the observed one.
CommandOutput run_stats(const CommandOptions& options);

// The weights that minimise chi-squared. Without --json, `out` is the text of
// the new weights file and `err` the report.
CommandOutput run_fit(const CommandOptions& options);

}  // namespace linesynth::tools
