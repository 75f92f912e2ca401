// What the plot's stages (plot_axes, plot_marks, plot_legend, svg_plot)
// share: the frame's measures, the maps from values onto the image, and the
// few SVG shapes every stage draws, written through the one markup writer.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/pages/markup_writer.h"
#include "tools/pages/plot_style.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools::plot {

// The frame, in SVG units (one unit is one pixel at the image's own size).
// The panels share the left and right edges; the title and the legend sit
// above them, the wavelength ticks and label below.
constexpr double margin_left = 80;
constexpr double margin_right = 20;
constexpr double margin_bottom = 56;
constexpr double panel_gap = 20;
constexpr double legend_row = 16;

// Values beyond this are drawn as if they were this, so that differences of
// extreme values stay finite.
constexpr double largest_drawn = 1e300;

double clamp_drawn(double value);

// The finite range of some values, or nothing when none is finite.
struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    void add(double value);
    void add(const std::vector<double>& values);
    // 0 to 1 when nothing finite was added.
    std::pair<double, double> ends() const;
};

// A single value, or a range too narrow for any round step, widened by 5 % of
// its size on each side (or by 1 around zero); anything else as it is.
std::pair<double, double> widened(double low, double high);

// Some room beyond the data on a value axis (3 % of the range on each side),
// so that no curve whose values reach an end of the range runs along the
// frame, where it could not be told from the frame or from a clipped curve.
std::pair<double, double> with_room(std::pair<double, double> range);

// A linear map from an axis onto a stretch of the image.
struct Scale {
    Axis axis;
    double low = 0;  // axis values at the ends
    double high = 1;
    double from = 0;  // image coordinates of the ends
    double to = 1;

    double operator()(double value) const;

    // Whether a value lies on the axis; one that does not is clipped at the
    // frame with a mark, never drawn along it as if it were data.
    bool holds(double value) const { return value >= low && value <= high; }

    // A curve's coordinate: a value beyond the axis lies beyond the frame (at
    // most one axis length), so that the line runs out of the panel towards
    // it and the panel's clip cuts it there. Infinities and NaN lie there too
    // (+inf above, -inf and NaN below).
    double beyond(double value) const;
};

// A value axis ends on ticks. The wavelength axis ends at the data instead
// (widened as round_axis widens a single value), with the round ticks inside,
// so that the spectrum fills the panel's width.
enum class Ends { ticks, data };

// At most `wanted` intervals, fewer on a short stretch so that the labels
// (12 units high) keep apart, but never fewer than round_axis needs.
std::int32_t intervals_for(double length, std::int32_t wanted);

Scale make_scale(std::pair<double, double> range, std::int32_t max_intervals, double from,
                 double to, Ends ends);

// Whether tick `index` lies on the scale (all do when the scale ends on ticks).
bool on_scale(const Scale& scale, std::int32_t index);

// Whether a masked range reaches the wavelength axis (and so is drawn).
bool on_axis(const std::pair<double, double>& range, const Scale& x);

struct Panel {
    double top = 0;
    double bottom = 0;
};

// `value` with `decimals` decimals (-0 as 0), for an SVG attribute.
std::string fixed_text(double value, int decimals);

// One decimal: a tenth of a pixel (svg_plot.h).
std::string coordinate_text(double value);

void put_line(Markup& out, double x1, double y1, double x2, double y2, const LineStyle& style);

void put_rect(Markup& out, double x, double y, double width, double height, std::string_view fill,
              Attributes leading = {});

void put_text(Markup& out, double x, double y, std::string_view anchor, std::string_view text,
              Attributes more = {});

// The panel's rectangle, left open for the caller's own attributes.
void start_panel_rect(Markup& out, const Scale& x, const Panel& panel);

// The frame goes on top of the curves, which may run along the panel's edge.
void put_frame(Markup& out, const Scale& x, const Panel& panel);

}  // namespace linesynth::tools::plot
