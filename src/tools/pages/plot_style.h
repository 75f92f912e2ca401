// How the companion's pictures draw a spectrum, in one place so that every
// picture reads the same: the colours, the line widths and dash patterns, and
// where a curve must break.
//
// Colours are the Okabe-Ito palette, which stays distinct under the common
// colour-vision deficiencies. Colour alone never carries the meaning: the
// curves that sit on top of each other differ in luminance, width or dashes,
// so a plot printed in greyscale still tells them apart; the observed
// spectrum is drawn last, on top of both models:
//   observed  black       1.0 solid      (relative luminance 0)
//   model     vermillion  1.8 solid      (relative luminance 0.22)
//   fitted    blue        1.8 dashed     (relative luminance 0.15)
// The legend draws each sample with the curve's own width and dashes.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace linesynth::tools {

namespace okabe_ito {
constexpr std::string_view black = "#000000";
constexpr std::string_view orange = "#e69f00";
constexpr std::string_view sky_blue = "#56b4e9";
constexpr std::string_view bluish_green = "#009e73";
constexpr std::string_view yellow = "#f0e442";
constexpr std::string_view blue = "#0072b2";
constexpr std::string_view vermillion = "#d55e00";
constexpr std::string_view reddish_purple = "#cc79a7";
}  // namespace okabe_ito

struct LineStyle {
    std::string_view colour;
    double width = 1;
    std::string_view dashes;  // an SVG stroke-dasharray; empty: solid
};

constexpr LineStyle observed_line{okabe_ito::black, 1.0, ""};
constexpr LineStyle model_line{okabe_ito::vermillion, 1.8, ""};
constexpr LineStyle fitted_line{okabe_ito::blue, 1.8, "7 4"};
// With a fit, the residuals of the weights file's model: behind the fitted
// ones, light and thin, so that they never hide them.
constexpr LineStyle residual_before_fit_line{"#f0b48c", 0.8, ""};
// The observed rows inside a masked range: shown, but plainly not compared.
constexpr LineStyle masked_rows_line{"#999999", 1.0, ""};
constexpr LineStyle zero_line{"#666666", 0.8, ""};
// The explore page's pinned weights: a second model beside the current one,
// dotted, in a colour of its own.
constexpr LineStyle pinned_line{okabe_ito::reddish_purple, 1.6, "2 2"};

// Fills, light enough that every curve reads on top of them.
constexpr std::string_view mask_fill = "#ebebeb";   // a masked wavelength range
constexpr std::string_view sigma_fill = "#cce7f6";  // the +/-1 sigma band of the rows
constexpr std::string_view grid_colour = "#e6e6e6";
constexpr std::string_view frame_colour = "#333333";

// A component set's thin line: the palette's colours that are not the
// model's or the fitted model's, then again with dashes for sets 6 to 10.
//   set 1 -> bluish green, solid;  set 6 -> bluish green, dashed "4 2"
LineStyle component_line(std::int32_t set);

// One drawn row of a curve: its slot in the tables and its wavelength.
struct DrawnRow {
    std::int32_t index = 0;
    double wavelength = 0;
};

// Whether a curve drawn through rows `before` and `after` (next to each other
// in the drawing) must break between them rather than join them with a
// straight line: when rows were left out between them, or when a masked range
// lies strictly between their wavelengths. A joining line would otherwise run
// across a masked line as if the data went there.
//   rows 10 and 11, no range between             -> joined
//   rows 10 and 14 (11 to 13 masked)             -> broken
//   rows 10 and 11 at 6570.0 and 6570.2, range 6570.05 6570.1 (holds no row)
//                                                -> broken
//   rows 10 and 11 both inside range 6569 6571   -> joined (the masked rows' own curve)
bool curve_breaks(const DrawnRow& before, const DrawnRow& after,
                  const std::vector<std::pair<double, double>>& masks);

}  // namespace linesynth::tools
