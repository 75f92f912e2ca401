// The fit drawn as one SVG image: an upper panel with the observed spectrum
// and the model over the compared rows, a lower panel with the residuals,
// both on one wavelength axis, and the masked ranges shaded in both. The
// image is an <svg> element without an XML declaration, so that the same text
// is a file of its own and a part of the report page.
//
// Same data -> same bytes: coordinates are written with one decimal by
// <charconv> (the image is 960 by 600 units, so one decimal is a tenth of a
// unit; at 1400 pixels wide that is well under a pixel), and nothing depends on
// the locale, the clock or the order of anything but the rows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace linesynth::tools {

// One compared row per index of the four columns, in row order.
struct PlotData {
    std::string title;  // the title record as read; trailing blanks are dropped
    std::vector<double> wavelength;
    std::vector<double> observed;
    std::vector<double> model;                     // the mapped synthetic S(I)
    std::vector<double> residual;                  // observed - model
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

// The SVG image. Values that are not finite are drawn on the panel's edge
// (+inf at the top, -inf and NaN at the bottom); a masked range outside the
// wavelength axis is not drawn, one inside it is clipped to the axis and drawn
// at least one unit wide.
std::string plot_svg(const PlotData& data);

}  // namespace linesynth::tools
