// The companion's picture subcommands: `plot` writes the fit as an SVG image,
// `report` writes the self-contained HTML page. Both read the data directory
// exactly as `stats` does, refuse what it refuses with the same report and
// status, and write their file whole or not at all (platform/whole_files.h).
// Before any work they refuse an output that would replace a file either
// program reads or writes: a file of the data directory (inputs, tables, the
// summary page) or a backup or temporary of one ("NAME.anything"), the mask
// or sigma file, or any of these under another name.
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

}  // namespace linesynth::tools
