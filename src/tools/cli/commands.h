// The companion's subcommands as functions from their options to what they
// print and their exit status, so that the program's main only parses the
// command line and the tests can run a command without a process.
#pragma once

#include <string>

#include "tools/compare/comparison.h"
#include "tools/fit/suggested_fit.h"

namespace linesynth::tools {

struct CommandOptions {
    ComparisonRequest request;
    bool json = false;
    bool free = false;   // fit: any sign for the weights
    bool write = false;  // fit: replace synthesis.txt
    bool wait = false;   // fit --write: wait for another writer instead of refusing
};

// The name the program goes by in its reports, help and version.
inline constexpr char program_name[] = "linesynth-tools";

// Exit status 0, or 1 with one line on `err` and nothing on `out`.
struct CommandOutput {
    int status = 0;
    std::string out;
    std::string err;
};

// A refusal: status 1 and the reason on `err` after the program's name:
//   refused("no rows") -> {1, "", "linesynth-tools: no rows\n"}
CommandOutput refused(const std::string& reason);

// The statistics of the run's own synthetic spectrum against the observed one.
CommandOutput run_stats(const CommandOptions& options);

// The weights that minimise chi-squared. Without --json, `out` is the text of
// the new weights file and `err` the report.
CommandOutput run_fit(const CommandOptions& options);

}  // namespace linesynth::tools
