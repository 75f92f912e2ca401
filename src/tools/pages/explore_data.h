// The explore page's data (explore_page.h's ExploreData), shaped from a
// drawn comparison: rows 1 to the last comparable row, whether compared or
// masked, the columns the synthesis starts from, the rows beyond that the run
// still synthesises and integrates, the calibration and the scale, and with a
// fit the suggested weights (and ref_a with a scale fit). Whether the page
// has a control for ref_a, and the version, are the caller's to fill.
#pragma once

#include "tools/pages/drawn_comparison.h"
#include "tools/pages/explore_page.h"

namespace linesynth::tools {

ExploreData explore_data(const DrawnComparison& drawn);

}  // namespace linesynth::tools
