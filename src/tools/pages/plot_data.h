// The columns the plot draws (svg_plot.h's PlotData), shaped from a drawn
// comparison: the compared rows, with a fit the rows the run would give with
// the suggested weights, each set's contribution when asked, and the rows the
// masks left out. The picture's own settings (title, units, size, residuals
// in sigma) are the caller's to fill.
#pragma once

#include "tools/pages/drawn_comparison.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools {

PlotData plot_data(const DrawnComparison& drawn, bool components);

}  // namespace linesynth::tools
