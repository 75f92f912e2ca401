// What the plot draws inside its panels: the masked ranges, the curves (a
// segment for each stretch between breaks), the sigma band, the dots of
// sparse rows, and the marks at the frame where a value leaves the axis.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/pages/markup_writer.h"
#include "tools/pages/plot_geometry.h"
#include "tools/pages/plot_style.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools::plot {

// Where a new path segment starts: at the first row and after every break.
std::vector<bool> segment_starts(const std::vector<std::int32_t>& index,
                                 const std::vector<double>& wavelength,
                                 const std::vector<std::pair<double, double>>& masks);

// The rows of a curve in image coordinates, with where its segments start.
struct Trace {
    const std::vector<double>* xs;
    const std::vector<bool>* starts;
    const Scale* x;
};

// How a curve writes a run of rows that lie on one level (to the tenth of a
// unit that is written) with x running one way: every row, or only the ends,
// which draw the same line in fewer bytes (a component is 0 over most rows,
// a band's edge is flat where sigma is).
enum class LevelRuns { every_row, ends_only };

// One <path> for a curve, a segment for each stretch between breaks, so that
// a masked range is never bridged.
void put_curve(Markup& out, std::string_view name, const LineStyle& style, const Trace& trace,
               const std::vector<double>& ys, const Scale& y,
               LevelRuns runs = LevelRuns::every_row);

// The band from -half to +half around zero, one closed shape per segment.
void put_band(Markup& out, const Trace& trace, const std::vector<double>& half, const Scale& y);

// The shaded ranges of one panel, drawn first so that everything else lies on top.
void put_masks(Markup& out, const PlotData& data, const Scale& x, const Panel& panel);

// A dot at each row when the rows are sparse (4 units apart or more), where
// a line alone would hide how few they are.
void put_sparse_points(Markup& out, const Trace& trace, const std::vector<double>& ys,
                       const Scale& y, double length);

// A small triangle at the frame, its tip on the edge the value lies beyond,
// for each row of a curve that the axis does not hold: the curve itself runs
// out of the panel there and is clipped, so the mark is what shows that a
// value was not drawn. Rows within 6 units of the last mark on the same edge
// share it, so that a long run of such rows reads as a row of marks, not as
// a line along the frame.
void put_clipped_marks(Markup& out, std::string_view colour, const Trace& trace,
                       const std::vector<double>& ys, const Scale& y);

// The curves of a panel are drawn inside its frame only: one that leaves the
// axis runs out of sight at the frame instead of along it. Opens the group
// the caller closes.
void open_clip(Markup& out, std::string_view id, const Scale& x, const Panel& panel);

}  // namespace linesynth::tools::plot
