// The companion's picture subcommands: `plot` writes the fit as an SVG image,
// `report` writes the self-contained HTML page, `explore` the page on which
// the user moves the weights. Both read the data directory
// exactly as `stats` does, refuse what it refuses with the same report and
// status, and write their file whole or not at all.
#pragma once

#include <string>

#include "tools/cli/commands.h"

namespace linesynth::tools {

struct PageOptions {
    ComparisonRequest request;
    std::string output;   // the file to write
    bool fit = false;     // report, explore: the suggested weights beside those of synthesis.txt
    bool scale = false;   // explore: a control for ref_a of the scale file
    std::string version;  // of the tool, shown on the page
};

CommandOutput run_plot(const PageOptions& options);
CommandOutput run_report(const PageOptions& options);
CommandOutput run_explore(const PageOptions& options);

// Puts `bytes` in the place of `path`: written whole to "<path>.new" and
// flushed, then renamed over `path`. When a step fails, `path` is as it was,
// the new file is removed, and the result names the failing step:
//   "cannot write /out/report.html.new"
std::optional<std::string> write_whole_file(const std::string& path, std::string_view bytes);

}  // namespace linesynth::tools
