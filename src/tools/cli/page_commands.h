// The companion's picture subcommands: `plot` writes the fit as an SVG image,
// `report` writes the self-contained HTML page, `explore` the page on which
// the user moves the weights. All three read the data directory
// exactly as `stats` does, refuse what it refuses with the same report and
// status, and write their file whole or not at all (tools/files/whole_files.h).
// Before any work they refuse an output that would replace a file either
// program reads or writes: a file of the data directory (inputs, tables, the
// summary page) or a backup or temporary of one ("NAME.anything"), the mask
// or sigma file, or any of these under another name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/cli/commands.h"
#include "tools/pages/export_table.h"

namespace linesynth::tools {

struct PageOptions {
    ComparisonRequest request;
    std::string output;                // the file to write
    bool fit = false;                  // the fitted model drawn (export: as a column), and on the
                                       // page the suggested weights
    bool free = false;                 // the fit lets weights take any sign, as fit --free
    bool scale = false;                // the fit fits ref_a too, as fit --scale;
                                       // explore: a control for ref_a
    bool components = false;           // each set's contribution in a panel of its own
    bool residuals_in_sigma = false;   // r / sigma instead of r (needs a sigma file)
    std::optional<std::string> title;  // instead of the title record of vlt.txt
    std::string wavelength_unit;       // empty: none (axis labels, table units)
    std::string flux_unit;
    std::int32_t width = 960;  // pixels
    std::int32_t height = 600;
    std::string version;  // of the tool, shown on the page
};

CommandOutput run_plot(const PageOptions& options);
CommandOutput run_report(const PageOptions& options);
CommandOutput run_explore(const PageOptions& options);

// The compared rows of one directory as an ECSV or CSV table (export_table.h):
// to the file named by -o, or as CSV on standard output. An output name that
// ends in neither .ecsv nor .csv is a usage error (status 2).
CommandOutput run_export(const PageOptions& options);

}  // namespace linesynth::tools
