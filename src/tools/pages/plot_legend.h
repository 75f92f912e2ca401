// The plot's legend: one entry for each thing drawn, in rows from the right
// edge leftwards above the panels, wrapped when the image is too narrow.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/pages/markup_writer.h"
#include "tools/pages/plot_geometry.h"
#include "tools/pages/plot_style.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools::plot {

struct LegendEntry {
    std::string_view label;
    LineStyle line;
    std::string_view fill;  // set: a band sample instead of a line
};

// Only what is drawn: the band only when it shows at the residual axis's
// scale (`band_shows`).
std::vector<LegendEntry> legend_entries(const PlotData& data, const Scale& x, bool band_shows);

// The count of rows the legend takes in `room` units of width.
std::int32_t legend_row_count(const std::vector<LegendEntry>& entries, double room);

// The legend with its right edge at `right`, its first row at `top`.
void put_legend(Markup& out, const std::vector<LegendEntry>& entries, double right, double room,
                double top);

}  // namespace linesynth::tools::plot
