// The fit drawn as one SVG image: an upper panel with the model (and the
// fitted model, dashed, when a fit ran) and the observed spectrum on top of
// them (with a dot at each row when the rows are sparse), a panel with the
// residuals, the zero line and the +/-1 sigma band of the rows, and, when
// asked, one strip per component set with that set's contribution on an axis
// of its own; all on one wavelength axis, with the masked ranges shaded in
// every panel. With a fit, the residual panel is the fitted model's: its axis
// holds the fitted residuals and the band, and the residuals of the weights
// file's model are drawn thin and light behind them. Lines, colours and where
// a curve breaks follow plot_style.h: every curve breaks at a masked range,
// the masked observed rows are drawn in light grey, and rows beyond the
// compared ones are not drawn. The legend lists only what is drawn (the band
// only when it shows at the axis's scale). The image is an <svg> element
// without an XML declaration, so that the same text is a file of its own and
// a part of the report page.
//
// Same data -> same bytes: coordinates are written with one decimal by
// <charconv> (a tenth of a pixel), and nothing depends on the locale, the
// clock or the order of anything but the rows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace linesynth::tools {

// One component set's contribution to the model, on the observed scale, at
// the compared rows: w(J) * component_J(I) * scale_fwd.
struct PlotComponent {
    std::int32_t set = 0;
    std::vector<double> values;
};

// The columns of the compared rows share one index, in row order.
struct PlotData {
    std::string title;            // the title record as read; trailing blanks are dropped
    bool show_title = true;       // false inside the report, whose heading holds it
    std::string wavelength_unit;  // empty: the axis says "wavelength"
    std::string flux_unit;        // empty: the axis says "flux"
    std::int32_t width = 960;     // pixels
    std::int32_t height = 600;

    std::vector<std::int32_t> index;  // the slot of each compared row
    std::vector<double> wavelength;
    std::vector<double> observed;
    std::vector<double> model;              // the mapped synthetic S(I)
    std::vector<double> residual;           // observed - model
    std::vector<double> sigma;              // empty: no sigma band
    bool residuals_in_sigma = false;        // draw residual / sigma (needs `sigma`)
    std::vector<double> fitted_model;       // empty: no fit drawn
    std::vector<double> fitted_residual;    // observed - fitted model
    std::vector<PlotComponent> components;  // empty: no components panel

    // The observed rows that a masked range left out, up to the last compared row.
    std::vector<std::int32_t> masked_index;
    std::vector<double> masked_wavelength;
    std::vector<double> masked_observed;
    std::vector<std::pair<double, double>> masks;  // (low, high), both ends included
};

// An axis from `first * step` to `(first + intervals) * step`, with
// step = digit * 10^exponent and digit 1, 2 or 5: the smallest such step that
// covers the data in at most the given number of intervals. Labels have
// max(0, -exponent) decimals.
//   round_axis(6537.8, 6587.8, 8) -> 6530 to 6590 by 10 (6 intervals; by 5 it would be 11)
//   round_axis(-0.013, 0.021, 4)  -> -0.02 to 0.04 by 0.02 (by 0.01: 5 intervals)
//   round_axis(0, 1, 5)           -> 0 to 1 by 0.2
//   round_axis(3, 3, 5)           -> widened to 2.85 .. 3.15 first: 2.8 to 3.2 by 0.1
struct Axis {
    double first = 0;  // an integer: the index of the lowest tick
    std::int32_t intervals = 1;
    std::int32_t digit = 1;
    std::int32_t exponent = 0;
};
Axis round_axis(double low, double high, std::int32_t max_intervals);

// The value of tick `index` (0 to intervals), as one correctly rounded
// operation on exact integers: (first + index) * digit times or divided by a
// power of ten.
//   axis -0.02 to 0.04 by 0.02, index 1 -> 0.0 (not -0.0);  index 2 -> 0.02
double tick_value(const Axis& axis, std::int32_t index);

// The label of tick `index`, with the axis's decimals and a true minus sign
// (U+2212), which is as wide as a digit and reads as one in print:
//   axis -0.02 to 0.04 by 0.02, index 0 -> "\xE2\x88\x92" "0.02";  index 1 -> "0.00"
std::string tick_label(const Axis& axis, std::int32_t index);

// The SVG image. A value the panel's axis does not hold (an infinity or NaN
// among them: +inf above, -inf and NaN below) is clipped: its curve runs out
// of the frame towards it, and a small triangle at the frame marks the row,
// so nothing is drawn flat along the frame as if it were data. A masked range
// outside the wavelength axis is not drawn, one inside it is clipped to the
// axis and drawn at least one unit wide.
std::string plot_svg(const PlotData& data);

}  // namespace linesynth::tools
