#include "tools/pages/svg_plot.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>
#include <tuple>

#include "tools/pages/markup_text.h"
#include "tools/pages/plot_style.h"

namespace linesynth::tools {
namespace {

// The frame, in SVG units (one unit is one pixel at the image's own size).
// The panels share the left and right edges; the title and the legend sit
// above them, the wavelength ticks and label below.
constexpr double margin_left = 80;
constexpr double margin_right = 20;
constexpr double margin_bottom = 56;
constexpr double panel_gap = 20;
constexpr double legend_row = 16;

constexpr std::string_view minus_sign = "\xE2\x88\x92";  // U+2212

// Values beyond this are drawn as if they were this, so that differences of
// extreme values stay finite.
constexpr double largest_drawn = 1e300;

// 10^n for 0 <= n; exact up to 10^22, the same correctly rounded products beyond.
double power_of_ten(std::int32_t n) {
    double p = 1;
    for (std::int32_t i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

// value / step, with the step's power of ten applied exactly where it can be.
double in_steps(double value, std::int32_t digit, std::int32_t exponent) {
    if (exponent >= 0) {
        return value / (digit * power_of_ten(exponent));
    }
    return value * power_of_ten(-exponent) / digit;
}

void put_fixed(std::string& out, double value, int decimals) {
    std::array<char, 400> text;
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value + 0.0,
                                            std::chars_format::fixed, decimals);
    if (error == std::errc()) {
        out.append(text.data(), end);
    }
}

// One decimal: see the header.
void put_coordinate(std::string& out, double value) {
    put_fixed(out, value, 1);
}

double clamp_drawn(double value) {
    return std::clamp(value, -largest_drawn, largest_drawn);
}

// The finite range of some values, or nothing when none is finite.
struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    void add(double value) {
        if (std::isfinite(value)) {
            low = std::min(low, clamp_drawn(value));
            high = std::max(high, clamp_drawn(value));
        }
    }
    void add(const std::vector<double>& values) {
        for (const double v : values) {
            add(v);
        }
    }
    // 0 to 1 when nothing finite was added.
    std::pair<double, double> ends() const {
        return low > high ? std::pair<double, double>{0, 1} : std::pair<double, double>{low, high};
    }
};

// A single value, or a range too narrow for any round step, widened by 5 % of
// its size on each side (or by 1 around zero); anything else as it is.
std::pair<double, double> widened(double low, double high) {
    low = clamp_drawn(low);
    high = clamp_drawn(high);
    const double size = std::max(std::abs(low), std::abs(high));
    if (high - low <= size * 1e-9 || high - low < 1e-200) {
        const double centre = low / 2 + high / 2;
        const double pad = std::abs(centre) > 1e-200 ? std::abs(centre) * 0.05 : 1;
        return {centre - pad, centre + pad};
    }
    return {low, high};
}

// Some room beyond the data on a value axis (3 % of the range on each side),
// so that no curve whose values reach an end of the range runs along the
// frame, where it could not be told from the frame or from a clipped curve.
std::pair<double, double> with_room(std::pair<double, double> range) {
    const double room = (clamp_drawn(range.second) - clamp_drawn(range.first)) * 0.03;
    return {range.first - room, range.second + room};
}

// A linear map from an axis onto a stretch of the image.
struct Scale {
    Axis axis;
    double low = 0;  // axis values at the ends
    double high = 1;
    double from = 0;  // image coordinates of the ends
    double to = 1;

    double operator()(double value) const {
        if (std::isnan(value)) {
            return from;
        }
        const double v = std::clamp(value, low, high);
        return from + (v - low) / (high - low) * (to - from);
    }

    // Whether a value lies on the axis; one that does not is clipped at the
    // frame with a mark, never drawn along it as if it were data.
    bool holds(double value) const { return value >= low && value <= high; }

    // A curve's coordinate: a value beyond the axis lies beyond the frame (at
    // most one axis length), so that the line runs out of the panel towards
    // it and the panel's clip cuts it there. Infinities and NaN lie there too
    // (+inf above, -inf and NaN below).
    double beyond(double value) const {
        const double span = high - low;
        const double v =
            std::isnan(value) ? low - span : std::clamp(value, low - span, high + span);
        return from + (v - low) / span * (to - from);
    }
};

// A value axis ends on ticks. The wavelength axis ends at the data instead
// (widened as round_axis widens a single value), with the round ticks inside,
// so that the spectrum fills the panel's width.
enum class Ends { ticks, data };

// At most `wanted` intervals, fewer on a short stretch so that the labels
// (12 units high) keep apart, but never fewer than round_axis needs.
std::int32_t intervals_for(double length, std::int32_t wanted) {
    return std::clamp(static_cast<std::int32_t>(std::abs(length) / 28), 3, wanted);
}

Scale make_scale(std::pair<double, double> range, std::int32_t max_intervals, double from,
                 double to, Ends ends) {
    Scale scale;
    scale.axis = round_axis(range.first, range.second, max_intervals);
    scale.low = tick_value(scale.axis, 0);
    scale.high = tick_value(scale.axis, scale.axis.intervals);
    if (ends == Ends::data) {
        std::tie(scale.low, scale.high) = widened(range.first, range.second);
    }
    scale.from = from;
    scale.to = to;
    return scale;
}

// Whether tick `index` lies on the scale (all do when the scale ends on ticks).
bool on_scale(const Scale& scale, std::int32_t index) {
    const double value = tick_value(scale.axis, index);
    return value >= scale.low && value <= scale.high;
}

int label_decimals(const Axis& axis) {
    return axis.exponent < 0 ? -axis.exponent : 0;
}

void put_attribute(std::string& out, std::string_view name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    put_coordinate(out, value);
    out += '"';
}

void put_attribute(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += value;
    out += '"';
}

// The stroke attributes of a line style.
void put_stroke(std::string& out, const LineStyle& style) {
    put_attribute(out, "stroke", style.colour);
    out += " stroke-width=\"";
    put_fixed(out, style.width, 1);
    out += '"';
    if (!style.dashes.empty()) {
        put_attribute(out, "stroke-dasharray", style.dashes);
    }
}

void put_line(std::string& out, double x1, double y1, double x2, double y2,
              const LineStyle& style) {
    out += "<line";
    put_attribute(out, "x1", x1);
    put_attribute(out, "y1", y1);
    put_attribute(out, "x2", x2);
    put_attribute(out, "y2", y2);
    put_stroke(out, style);
    out += "/>\n";
}

void put_rect(std::string& out, double x, double y, double width, double height,
              std::string_view fill, std::string_view extra = {}) {
    out += "<rect";
    out += extra;
    put_attribute(out, "x", x);
    put_attribute(out, "y", y);
    put_attribute(out, "width", width);
    put_attribute(out, "height", height);
    put_attribute(out, "fill", fill);
    out += "/>\n";
}

void put_text(std::string& out, double x, double y, std::string_view anchor, std::string_view text,
              std::string_view extra = {}) {
    out += "<text";
    put_attribute(out, "x", x);
    put_attribute(out, "y", y);
    put_attribute(out, "text-anchor", anchor);
    if (!extra.empty()) {
        out += ' ';
        out += extra;
    }
    out += '>';
    append_escaped(out, text);
    out += "</text>\n";
}

// A label turned to read upwards, centred on the panel's height.
void put_side_label(std::string& out, double top, double bottom, std::string_view text) {
    const double y = (top + bottom) / 2;
    std::string turn = "transform=\"rotate(-90 ";
    put_coordinate(turn, 20);
    turn += ' ';
    put_coordinate(turn, y);
    turn += ")\"";
    put_text(out, 20, y, "middle", text, turn);
}

// "name [unit]", or the name alone without a unit.
std::string with_unit(std::string_view name, std::string_view unit) {
    std::string text(name);
    if (!unit.empty()) {
        text += " [";
        text += unit;
        text += ']';
    }
    return text;
}

// The characters of a UTF-8 text (its bytes that do not continue a sequence).
double characters(std::string_view text) {
    return static_cast<double>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Where a new path segment starts: at the first row and after every break.
std::vector<bool> segment_starts(const std::vector<std::int32_t>& index,
                                 const std::vector<double>& wavelength,
                                 const std::vector<std::pair<double, double>>& masks) {
    const std::size_t rows = std::min(index.size(), wavelength.size());
    std::vector<bool> starts(rows, true);
    for (std::size_t i = 1; i < rows; ++i) {
        starts[i] =
            curve_breaks({index[i - 1], wavelength[i - 1]}, {index[i], wavelength[i]}, masks);
    }
    return starts;
}

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

using Point = std::pair<double, double>;

std::string coordinate_text(double value) {
    std::string text;
    put_coordinate(text, value);
    return text;
}

// Whether point i lies inside a level run: on the level of both neighbours
// and between them in x, so that the line from one to the other covers it.
bool inside_level_run(const std::vector<Point>& points, std::size_t i) {
    if (i == 0 || i + 1 >= points.size()) {
        return false;
    }
    const std::string level = coordinate_text(points[i].second);
    return level == coordinate_text(points[i - 1].second) &&
           level == coordinate_text(points[i + 1].second) &&
           (points[i].first - points[i - 1].first) * (points[i + 1].first - points[i].first) >= 0;
}

// One segment of a path: "M" and its points, the points after the first
// being implicit line-tos; a space before it unless it is the path's first.
void put_segment(std::string& out, const std::vector<Point>& points, bool first_segment,
                 LevelRuns runs) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i != 0 && runs == LevelRuns::ends_only && inside_level_run(points, i)) {
            continue;
        }
        out += i != 0 ? " " : first_segment ? "M" : " M";
        put_coordinate(out, points[i].first);
        out += ',';
        put_coordinate(out, points[i].second);
    }
}

// The rows [first, end) of each segment of a trace, in turn.
template <typename Visit>
void for_each_segment(const Trace& trace, std::size_t rows, Visit visit) {
    std::size_t first = 0;
    while (first < rows) {
        std::size_t end = first + 1;
        while (end < rows && !(*trace.starts)[end]) {
            ++end;
        }
        visit(first, end);
        first = end;
    }
}

// One <path> for a curve, a segment for each stretch between breaks, so that
// a masked range is never bridged.
void put_curve(std::string& out, std::string_view name, const LineStyle& style, const Trace& trace,
               const std::vector<double>& ys, const Scale& y,
               LevelRuns runs = LevelRuns::every_row) {
    const std::size_t rows = std::min({trace.xs->size(), trace.starts->size(), ys.size()});
    if (rows == 0) {
        return;
    }
    out += "<path";
    put_attribute(out, "class", name);
    out += " fill=\"none\"";
    put_stroke(out, style);
    out += " stroke-linejoin=\"round\" d=\"";
    std::vector<Point> points;
    for_each_segment(trace, rows, [&](std::size_t first, std::size_t end) {
        points.clear();
        for (std::size_t i = first; i < end; ++i) {
            points.emplace_back((*trace.x)((*trace.xs)[i]), y.beyond(ys[i]));
        }
        put_segment(out, points, first == 0, runs);
    });
    out += "\"/>\n";
}

// The band from -half to +half around zero, one closed shape per segment.
void put_band(std::string& out, const Trace& trace, const std::vector<double>& half,
              const Scale& y) {
    const std::size_t rows = std::min({trace.xs->size(), trace.starts->size(), half.size()});
    if (rows == 0) {
        return;
    }
    out += "<path class=\"sigma\"";
    put_attribute(out, "fill", sigma_fill);
    out += " d=\"";
    std::vector<Point> points;
    for_each_segment(trace, rows, [&](std::size_t first, std::size_t end) {
        points.clear();
        for (std::size_t i = first; i < end; ++i) {
            points.emplace_back((*trace.x)((*trace.xs)[i]), y.beyond(half[i]));
        }
        for (std::size_t i = end; i-- > first;) {
            points.emplace_back((*trace.x)((*trace.xs)[i]), y.beyond(-half[i]));
        }
        put_segment(out, points, first == 0, LevelRuns::ends_only);
        out += 'Z';
    });
    out += "\"/>\n";
}

// Whether a masked range reaches the wavelength axis (and so is drawn).
bool on_axis(const std::pair<double, double>& range, const Scale& x) {
    return !(range.second < x.low || range.first > x.high);
}

struct Panel {
    double top = 0;
    double bottom = 0;
};

// The shaded ranges of one panel, drawn first so that everything else lies on top.
void put_masks(std::string& out, const PlotData& data, const Scale& x, const Panel& panel) {
    for (const auto& range : data.masks) {
        if (!on_axis(range, x)) {
            continue;
        }
        double left = x(range.first);
        double right = x(range.second);
        if (right - left < 1) {
            const double middle = (left + right) / 2;
            left = middle - 0.5;
            right = middle + 0.5;
        }
        put_rect(out, left, panel.top, right - left, panel.bottom - panel.top, mask_fill,
                 " class=\"mask\"");
    }
}

constexpr LineStyle grid_line{grid_colour, 1.0, ""};
constexpr LineStyle tick_line{frame_colour, 1.0, ""};

// Grid lines at the wavelength ticks, and the value ticks with labels and grid lines.
void put_grid(std::string& out, const Scale& x, const Scale& y, const Panel& panel) {
    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (!on_scale(x, i)) {
            continue;
        }
        const double at = x(tick_value(x.axis, i));
        put_line(out, at, panel.top, at, panel.bottom, grid_line);
    }
    for (std::int32_t i = 0; i <= y.axis.intervals; ++i) {
        const double at = y(tick_value(y.axis, i));
        put_line(out, x.from, at, x.to, at, grid_line);
        put_line(out, x.from - 5, at, x.from, at, tick_line);
        put_text(out, x.from - 8, at + 4, "end", tick_label(y.axis, i));
    }
}

// The panel's rectangle, left open for the caller's own attributes.
void open_panel_rect(std::string& out, const Scale& x, const Panel& panel) {
    out += "<rect";
    put_attribute(out, "x", x.from);
    put_attribute(out, "y", panel.top);
    put_attribute(out, "width", x.to - x.from);
    put_attribute(out, "height", panel.bottom - panel.top);
}

// The frame goes on top of the curves, which may run along the panel's edge.
void put_frame(std::string& out, const Scale& x, const Panel& panel) {
    open_panel_rect(out, x, panel);
    out += " fill=\"none\"";
    put_attribute(out, "stroke", frame_colour);
    out += "/>\n";
}

struct LegendEntry {
    std::string_view label;
    LineStyle line;
    std::string_view fill;  // set: a band sample instead of a line
};

// Only what is drawn: the band only when it shows at the residual axis's
// scale (`band_shows`).
std::vector<LegendEntry> legend_entries(const PlotData& data, const Scale& x, bool band_shows) {
    std::vector<LegendEntry> entries = {{"observed", observed_line, {}}, {"model", model_line, {}}};
    if (!data.fitted_model.empty()) {
        entries.push_back({"fitted model", fitted_line, {}});
    }
    if (!data.masked_wavelength.empty()) {
        entries.push_back({"masked rows", masked_rows_line, {}});
    }
    if (std::any_of(data.masks.begin(), data.masks.end(),
                    [&](const auto& range) { return on_axis(range, x); })) {
        entries.push_back({"masked range", {}, mask_fill});
    }
    if (band_shows) {
        entries.push_back(
            {"\xC2\xB1"
             "1 sigma",
             {},
             sigma_fill});  // U+00B1
    }
    return entries;
}

// A sample 24 units long, then the label at about 7 units a letter, then a gap.
double entry_width(const LegendEntry& entry) {
    return 24 + 6 + 7 * characters(entry.label) + 16;
}

// The legend's rows from the right edge leftwards, wrapped when the image is
// too narrow for one row: the row of each entry, and the count of rows.
std::pair<std::vector<std::int32_t>, std::int32_t> legend_rows(
    const std::vector<LegendEntry>& entries, double room) {
    std::vector<std::int32_t> rows;
    std::int32_t row = 0;
    double used = 0;
    for (const LegendEntry& entry : entries) {
        if (used > 0 && used + entry_width(entry) > room) {
            ++row;
            used = 0;
        }
        used += entry_width(entry);
        rows.push_back(row);
    }
    return {rows, row + 1};
}

void put_legend(std::string& out, const std::vector<LegendEntry>& entries, double right,
                double room, double top) {
    const auto [rows, count] = legend_rows(entries, room);
    out += "<g class=\"legend\">\n";
    for (std::int32_t row = 0; row < count; ++row) {
        double x = right;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (rows[i] == row) {
                x -= entry_width(entries[i]);
            }
        }
        const double y = top + legend_row * row + legend_row / 2;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (rows[i] != row) {
                continue;
            }
            const LegendEntry& entry = entries[i];
            if (!entry.fill.empty()) {
                put_rect(out, x, y - 5, 24, 10, entry.fill);
            } else {
                put_line(out, x, y, x + 24, y, entry.line);
            }
            put_text(out, x + 30, y + 4, "start", entry.label);
            x += entry_width(entry);
        }
    }
    out += "</g>\n";
}

// r / sigma row by row, or r itself.
std::vector<double> drawn_residuals(const PlotData& data, const std::vector<double>& residual) {
    if (!data.residuals_in_sigma || data.sigma.empty()) {
        return residual;
    }
    std::vector<double> scaled(residual.size());
    for (std::size_t i = 0; i < residual.size() && i < data.sigma.size(); ++i) {
        scaled[i] = residual[i] / data.sigma[i];
    }
    return scaled;
}

// A dot at each row when the rows are sparse (4 units apart or more), where
// a line alone would hide how few they are.
void put_sparse_points(std::string& out, const Trace& trace, const std::vector<double>& ys,
                       const Scale& y, double length) {
    const std::size_t rows = std::min(trace.xs->size(), ys.size());
    if (rows == 0 || static_cast<double>(rows) * 4 > length) {
        return;
    }
    out += "<g class=\"observed-points\"";
    put_attribute(out, "fill", observed_line.colour);
    out += ">\n";
    for (std::size_t i = 0; i < rows; ++i) {
        if (y.holds(ys[i])) {
            out += "<circle";
            put_attribute(out, "cx", (*trace.x)((*trace.xs)[i]));
            put_attribute(out, "cy", y(ys[i]));
            out += " r=\"1.8\"/>\n";
        }
    }
    out += "</g>\n";
}

// A small triangle at the frame, its tip on the edge the value lies beyond,
// for each row of a curve that the axis does not hold: the curve itself runs
// out of the panel there and is clipped, so the mark is what shows that a
// value was not drawn. Rows within 6 units of the last mark on the same edge
// share it, so that a long run of such rows reads as a row of marks, not as
// a line along the frame.
void put_clipped_marks(std::string& out, std::string_view colour, const Trace& trace,
                       const std::vector<double>& ys, const Scale& y) {
    const std::size_t rows = std::min(trace.xs->size(), ys.size());
    std::string marks;
    double last_above = -1e9;
    double last_below = -1e9;
    for (std::size_t i = 0; i < rows; ++i) {
        if (y.holds(ys[i])) {
            continue;
        }
        const bool above = ys[i] > y.high;
        double& last = above ? last_above : last_below;
        const double at = (*trace.x)((*trace.xs)[i]);
        if (std::abs(at - last) < 6) {
            continue;
        }
        last = at;
        marks += marks.empty() ? "M" : " M";
        put_coordinate(marks, at);
        marks += ',';
        put_coordinate(marks, above ? y.to : y.from);
        marks += above ? " l-3,5 h6 Z" : " l-3,-5 h6 Z";
    }
    if (marks.empty()) {
        return;
    }
    out += "<path class=\"clipped\"";
    put_attribute(out, "fill", colour);
    out += " d=\"";
    out += marks;
    out += "\"/>\n";
}

// The curves of a panel are drawn inside its frame only: one that leaves the
// axis runs out of sight at the frame instead of along it.
void put_clip(std::string& out, std::string_view id, const Scale& x, const Panel& panel) {
    out += "<clipPath";
    put_attribute(out, "id", id);
    out += '>';
    open_panel_rect(out, x, panel);
    out += "/></clipPath>\n<g clip-path=\"url(#";
    out += id;
    out += ")\">\n";
}

// Grid lines at the wavelength ticks only (a strip has no value ticks).
void put_wavelength_grid(std::string& out, const Scale& x, const Panel& panel) {
    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (on_scale(x, i)) {
            const double at = x(tick_value(x.axis, i));
            put_line(out, at, panel.top, at, panel.bottom, grid_line);
        }
    }
}

// One strip per component set, each on its own axis from round_axis in at
// most two intervals (so that a weak set is as readable as a strong one),
// labelled "set N" in the left margin, which no other strip's label reaches,
// and with its axis's ends written inside at the right. The set's curve is
// in its own colour; the label says which it is, so colour does not have to.
void put_component_strips(std::string& out, const PlotData& data, const Trace& rows, const Scale& x,
                          const Panel& panel) {
    const double height = (panel.bottom - panel.top) / static_cast<double>(data.components.size());
    const double font = std::clamp(std::floor(height) - 1, 6.0, 11.0);
    for (std::size_t k = 0; k < data.components.size(); ++k) {
        const PlotComponent& component = data.components[k];
        const LineStyle style = component_line(component.set);
        const double top = panel.top + height * static_cast<double>(k);
        const Panel strip{top, top + height};
        Range range;
        range.add(0);
        range.add(component.values);
        const Scale y = make_scale(range.ends(), 2, strip.bottom - std::min(4.0, height / 6),
                                   strip.top + std::min(4.0, height / 6), Ends::ticks);
        put_masks(out, data, x, strip);
        put_wavelength_grid(out, x, strip);
        put_line(out, x.from, y(0), x.to, y(0), zero_line);
        put_curve(out, "component", style, rows, component.values, y, LevelRuns::ends_only);
        put_frame(out, x, strip);
        std::string size = "class=\"component-label\" font-size=\"";
        put_fixed(size, font, 0);
        size += "\" fill=\"";
        size += style.colour == okabe_ito::yellow ? frame_colour : style.colour;
        size += '"';
        put_text(out, x.from - 8, (strip.top + strip.bottom) / 2 + font / 3, "end",
                 "set " + std::to_string(component.set), size);
        if (height >= 11) {
            put_text(out, x.to - 3, strip.top + std::min(font, 9.0) + 1, "end",
                     tick_label(y.axis, 0) + " to " + tick_label(y.axis, y.axis.intervals),
                     "class=\"strip-axis\" font-size=\"9\" fill=\"#666666\"");
        }
    }
}

}  // namespace

Axis round_axis(double low, double high, std::int32_t max_intervals) {
    std::tie(low, high) = widened(low, high);
    const double raw = (high - low) / max_intervals;
    // One power of ten below the estimate, then upwards in 1-2-5 steps: the
    // estimate only needs to be low, not exact.
    const auto start = static_cast<std::int32_t>(std::floor(std::log10(raw))) - 1;
    constexpr std::int32_t digits[] = {1, 2, 5};
    Axis axis;
    for (std::int32_t exponent = start; exponent <= start + 4; ++exponent) {
        for (const std::int32_t digit : digits) {
            // A tolerance of a billionth of a step keeps a value that lies on a
            // tick but was rounded just past it from opening a new interval.
            const double first = std::floor(in_steps(low, digit, exponent) + 1e-9);
            const double last = std::ceil(in_steps(high, digit, exponent) - 1e-9);
            if (last - first <= max_intervals) {
                axis.first = first;
                axis.intervals = std::max<std::int32_t>(1, static_cast<std::int32_t>(last - first));
                axis.digit = digit;
                axis.exponent = exponent;
                return axis;
            }
        }
    }
    return axis;  // not reached for max_intervals >= 3
}

double tick_value(const Axis& axis, std::int32_t index) {
    const double units = (axis.first + index) * axis.digit;
    const double value = axis.exponent >= 0 ? units * power_of_ten(axis.exponent)
                                            : units / power_of_ten(-axis.exponent);
    return value + 0.0;
}

std::string tick_label(const Axis& axis, std::int32_t index) {
    std::string label;
    put_fixed(label, tick_value(axis, index), label_decimals(axis));
    if (!label.empty() && label.front() == '-') {
        label.replace(0, 1, minus_sign);
    }
    return label;
}

std::string plot_svg(const PlotData& data) {
    const double width = std::max(data.width, 1);
    const double height = std::max(data.height, 1);
    const double left = margin_left;
    const double right = std::max(width - margin_right, left + 1);
    const std::string_view title = without_trailing_blanks(data.title);
    Range wavelengths;
    wavelengths.add(data.wavelength);
    wavelengths.add(data.masked_wavelength);
    const Scale x = make_scale(wavelengths.ends(),
                               std::clamp(static_cast<std::int32_t>((right - left) / 80), 4, 8),
                               left, right, Ends::data);

    // The residual axis always holds zero, so the zero line can be drawn,
    // and the whole band, so that its edge is not mistaken for the data's.
    // With a fit, the fitted model's residuals set it: those of the file's
    // weights are drawn thin and light, and clipped where they leave it.
    const std::vector<double> residual = drawn_residuals(data, data.residual);
    const std::vector<double> fitted_residual = drawn_residuals(data, data.fitted_residual);
    const bool fitted = !data.fitted_model.empty();
    std::vector<double> band = data.sigma;
    if (data.residuals_in_sigma) {
        std::fill(band.begin(), band.end(), 1.0);
    }
    Range residuals;
    residuals.add(0);
    residuals.add(fitted ? fitted_residual : residual);
    Range halves;
    for (const double half : band) {
        residuals.add(half);
        residuals.add(-half);
        halves.add(half);
    }
    // The band shows when at its widest it spans a hundredth of the values
    // the axis must hold: a pixel or more in any panel drawn.
    const auto [residual_low, residual_high] = residuals.ends();
    const bool band_shows = !band.empty() && halves.low <= halves.high &&
                            2 * std::abs(halves.high) >= (residual_high - residual_low) / 100;

    const std::vector<LegendEntry> entries = legend_entries(data, x, band_shows);
    const std::int32_t legend_count = legend_rows(entries, right - left).second;
    const double legend_top = data.show_title ? 34 : 8;
    const double panels_top = legend_top + legend_row * legend_count + 10;

    // The panels share the height left: the spectrum most, the residuals
    // less; the components' strips, when drawn, take a third.
    const bool with_components = !data.components.empty();
    const double gaps = with_components ? 2 * panel_gap : panel_gap;
    const double room = std::max(height - panels_top - margin_bottom - gaps, 60.0);
    const double upper_share = with_components ? 0.46 : 0.7;
    const double lower_share = with_components ? 0.22 : 0.3;
    const Panel upper_panel{panels_top, panels_top + room * upper_share};
    const Panel lower_panel{upper_panel.bottom + panel_gap,
                            upper_panel.bottom + panel_gap + room * lower_share};
    const Panel parts_panel{lower_panel.bottom + panel_gap, panels_top + room + gaps};
    const Panel& lowest = with_components ? parts_panel : lower_panel;

    Range fluxes;
    fluxes.add(data.observed);
    fluxes.add(data.model);
    fluxes.add(data.fitted_model);
    fluxes.add(data.masked_observed);
    const Scale upper =
        make_scale(with_room(fluxes.ends()), intervals_for(upper_panel.bottom - upper_panel.top, 6),
                   upper_panel.bottom, upper_panel.top, Ends::ticks);
    const Scale lower = make_scale(with_room(residuals.ends()),
                                   intervals_for(lower_panel.bottom - lower_panel.top, 4),
                                   lower_panel.bottom, lower_panel.top, Ends::ticks);

    const std::vector<bool> starts = segment_starts(data.index, data.wavelength, data.masks);
    const std::vector<bool> masked_starts =
        segment_starts(data.masked_index, data.masked_wavelength, data.masks);
    const Trace rows{&data.wavelength, &starts, &x};
    const Trace masked_rows{&data.masked_wavelength, &masked_starts, &x};

    std::string out;
    out.reserve(8192 + 16 * (data.wavelength.size() * (6 + data.components.size()) +
                             data.masked_wavelength.size()));
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\"";
    put_attribute(out, "width", width);
    put_attribute(out, "height", height);
    out += " viewBox=\"0 0 ";
    put_coordinate(out, width);
    out += ' ';
    put_coordinate(out, height);
    out += "\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#222222\">\n";
    if (data.show_title) {
        out += "<title>";
        append_escaped(out, title);
        out += "</title>\n";
    }
    put_rect(out, 0, 0, width, height, "#ffffff");
    if (data.show_title) {
        put_text(out, width / 2, 24, "middle", title, "class=\"title\" font-size=\"16\"");
    }
    put_legend(out, entries, right, right - left, legend_top);

    // The observed spectrum goes on top of the models, which would hide it.
    out += "<g class=\"panel upper\">\n";
    put_masks(out, data, x, upper_panel);
    put_grid(out, x, upper, upper_panel);
    put_clip(out, "clip-upper", x, upper_panel);
    put_curve(out, "masked", masked_rows_line, masked_rows, data.masked_observed, upper);
    put_curve(out, "model", model_line, rows, data.model, upper);
    put_curve(out, "fitted", fitted_line, rows, data.fitted_model, upper);
    put_curve(out, "observed", observed_line, rows, data.observed, upper);
    put_sparse_points(out, rows, data.observed, upper, right - left);
    out += "</g>\n";
    put_clipped_marks(out, masked_rows_line.colour, masked_rows, data.masked_observed, upper);
    put_clipped_marks(out, model_line.colour, rows, data.model, upper);
    put_clipped_marks(out, fitted_line.colour, rows, data.fitted_model, upper);
    put_clipped_marks(out, observed_line.colour, rows, data.observed, upper);
    put_frame(out, x, upper_panel);
    out += "</g>\n";

    const LineStyle& residual_line = fitted ? residual_before_fit_line : model_line;
    out += "<g class=\"panel lower\">\n";
    put_masks(out, data, x, lower_panel);
    put_grid(out, x, lower, lower_panel);
    put_clip(out, "clip-lower", x, lower_panel);
    put_band(out, rows, band, lower);
    put_line(out, left, lower(0), right, lower(0), zero_line);
    put_curve(out, "residual", residual_line, rows, residual, lower);
    put_curve(out, "fitted-residual", fitted_line, rows, fitted_residual, lower);
    out += "</g>\n";
    put_clipped_marks(out, residual_line.colour, rows, residual, lower);
    put_clipped_marks(out, fitted_line.colour, rows, fitted_residual, lower);
    put_frame(out, x, lower_panel);
    out += "</g>\n";

    if (with_components) {
        out += "<g class=\"panel components\">\n";
        put_component_strips(out, data, rows, x, parts_panel);
        out += "</g>\n";
    }

    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (!on_scale(x, i)) {
            continue;
        }
        const double at = x(tick_value(x.axis, i));
        put_line(out, at, lowest.bottom, at, lowest.bottom + 5, tick_line);
        put_text(out, at, lowest.bottom + 18, "middle", tick_label(x.axis, i));
    }
    put_text(out, (left + right) / 2, lowest.bottom + 44, "middle",
             with_unit("wavelength", data.wavelength_unit));
    put_side_label(out, upper_panel.top, upper_panel.bottom, with_unit("flux", data.flux_unit));
    put_side_label(out, lower_panel.top, lower_panel.bottom,
                   data.residuals_in_sigma && !data.sigma.empty()
                       ? std::string("residual / sigma")
                       : with_unit("residual", data.flux_unit));
    if (with_components) {
        put_side_label(out, parts_panel.top, parts_panel.bottom, "components");
    }
    out += "</svg>\n";
    return out;
}

}  // namespace linesynth::tools
