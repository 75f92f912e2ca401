// The companion's picture subcommands: `plot` writes the fit as an SVG image,
// `report` writes the self-contained HTML page. Both read the data directory
// exactly as `stats` does, refuse what it refuses with the same report and
// status, and write their file whole or not at all.
#pragma once

#include <string>

#include "tools/cli/commands.h"
#include "tools/pages/export_table.h"

namespace linesynth::tools {

struct PageOptions {
    ComparisonRequest request;
    std::string output;   // the file to write
    bool fit = false;     // report: the suggested weights beside those of synthesis.txt;
                          // export: the fitted model as a column
    std::string version;  // of the tool, shown on the page
    ExportUnits units;    // export: the units of the columns, where given
};

CommandOutput run_plot(const PageOptions& options);
CommandOutput run_report(const PageOptions& options);

// The compared rows of one directory as an ECSV or CSV table (export_table.h):
// to the file named by -o, or as CSV on standard output. An output name that
// ends in neither .ecsv nor .csv is a usage error (status 2).
CommandOutput run_export(const PageOptions& options);

// Puts `bytes` in the place of `path`: written whole to "<path>.new" and
// flushed, then renamed over `path`. When a step fails, `path` is as it was,
// the new file is removed, and the result names the failing step:
//   "cannot write /out/report.html.new"
std::optional<std::string> write_whole_file(const std::string& path, std::string_view bytes);

}  // namespace linesynth::tools
