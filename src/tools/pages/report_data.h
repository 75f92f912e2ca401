// The report's data (report_page.h's ReportData), shaped from a drawn
// comparison: the statistics and figures of the weights file's model, the
// shift of the observed rows, the masks with the rows each held, the weights,
// with a fit what it found, and the calibration, scale and normalisation.
// The title, the sigma file's name, the plot, the input files and the
// version are the caller's to fill.
#pragma once

#include "tools/pages/drawn_comparison.h"
#include "tools/pages/report_page.h"

namespace linesynth::tools {

// `bounded`: the fit kept the weights non-negative (not --free).
ReportData report_data(const DrawnComparison& drawn, bool bounded);

}  // namespace linesynth::tools
