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

namespace linesynth::tools {
namespace {

// The image's frame, in SVG units. The two panels share the left and right
// edges; the lower one is shorter because residuals need less detail.
constexpr double image_width = 960;
constexpr double image_height = 600;
constexpr double panel_left = 80;
constexpr double panel_right = 940;
constexpr double upper_top = 60;
constexpr double upper_bottom = 380;
constexpr double lower_top = 400;
constexpr double lower_bottom = 540;

constexpr std::string_view observed_colour = "#1f77b4";
constexpr std::string_view model_colour = "#d62728";
constexpr std::string_view residual_colour = "#2ca02c";
constexpr std::string_view mask_colour = "#fde7b0";

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

// The finite range of the columns, or 0 to 1 when none of their values is finite.
std::pair<double, double> finite_range(std::initializer_list<const std::vector<double>*> columns) {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    for (const std::vector<double>* column : columns) {
        for (const double v : *column) {
            if (std::isfinite(v)) {
                low = std::min(low, clamp_drawn(v));
                high = std::max(high, clamp_drawn(v));
            }
        }
    }
    if (low > high) {
        return {0, 1};
    }
    return {low, high};
}

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
};

// A value axis ends on ticks. The wavelength axis ends at the data instead
// (widened as round_axis widens a single value), with the round ticks inside,
// so that the spectrum fills the panel's width.
enum class Ends { ticks, data };

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

void put_line(std::string& out, double x1, double y1, double x2, double y2,
              std::string_view style) {
    out += "<line";
    put_attribute(out, "x1", x1);
    put_attribute(out, "y1", y1);
    put_attribute(out, "x2", x2);
    put_attribute(out, "y2", y2);
    out += ' ';
    out += style;
    out += "/>\n";
}

void put_text(std::string& out, double x, double y, std::string_view anchor, std::string_view text,
              std::string_view extra = {}) {
    out += "<text";
    put_attribute(out, "x", x);
    put_attribute(out, "y", y);
    out += " text-anchor=\"";
    out += anchor;
    out += '"';
    if (!extra.empty()) {
        out += ' ';
        out += extra;
    }
    out += '>';
    append_escaped(out, text);
    out += "</text>\n";
}

void put_tick_label(std::string& out, double x, double y, std::string_view anchor, const Axis& axis,
                    std::int32_t index) {
    std::string label;
    put_fixed(label, tick_value(axis, index), label_decimals(axis));
    put_text(out, x, y, anchor, label);
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

// The shaded ranges of one panel, drawn first so that everything else lies on top.
void put_masks(std::string& out, const PlotData& data, const Scale& x, double top, double bottom) {
    for (const auto& [low, high] : data.masks) {
        if (high < x.low || low > x.high) {
            continue;
        }
        double left = x(low);
        double right = x(high);
        if (right - left < 1) {
            const double middle = (left + right) / 2;
            left = middle - 0.5;
            right = middle + 0.5;
        }
        out += "<rect class=\"mask\"";
        put_attribute(out, "x", left);
        put_attribute(out, "y", top);
        put_attribute(out, "width", right - left);
        put_attribute(out, "height", bottom - top);
        out += " fill=\"";
        out += mask_colour;
        out += "\"/>\n";
    }
}

// Grid lines at the wavelength ticks, the frame, and the value ticks with labels.
void put_panel_frame(std::string& out, const Scale& x, const Scale& y, double top, double bottom) {
    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (!on_scale(x, i)) {
            continue;
        }
        const double at = x(tick_value(x.axis, i));
        put_line(out, at, top, at, bottom, "stroke=\"#e0e0e0\"");
    }
    for (std::int32_t i = 0; i <= y.axis.intervals; ++i) {
        const double at = y(tick_value(y.axis, i));
        put_line(out, panel_left, at, panel_right, at, "stroke=\"#e0e0e0\"");
        put_line(out, panel_left - 5, at, panel_left, at, "stroke=\"#333333\"");
        put_tick_label(out, panel_left - 8, at + 4, "end", y.axis, i);
    }
    out += "<rect";
    put_attribute(out, "x", panel_left);
    put_attribute(out, "y", top);
    put_attribute(out, "width", panel_right - panel_left);
    put_attribute(out, "height", bottom - top);
    out += " fill=\"none\" stroke=\"#333333\"/>\n";
}

void put_series(std::string& out, std::string_view name, std::string_view colour,
                const std::vector<double>& xs, const std::vector<double>& ys, const Scale& x,
                const Scale& y) {
    out += "<polyline class=\"";
    out += name;
    out += "\" fill=\"none\" stroke=\"";
    out += colour;
    out += "\" stroke-width=\"1.5\" stroke-linejoin=\"round\" points=\"";
    const std::size_t rows = std::min(xs.size(), ys.size());
    for (std::size_t i = 0; i < rows; ++i) {
        if (i != 0) {
            out += ' ';
        }
        put_coordinate(out, x(xs[i]));
        out += ',';
        put_coordinate(out, y(ys[i]));
    }
    out += "\"/>\n";
}

void put_legend(std::string& out, bool masked) {
    struct Entry {
        std::string_view label;
        std::string_view colour;
        bool band;
    };
    const Entry entries[] = {{"observed", observed_colour, false},
                             {"model", model_colour, false},
                             {"residual", residual_colour, false},
                             {"masked", mask_colour, true}};
    const std::size_t count = masked ? 4 : 3;
    // A sample 24 units long, then the label at about 7 units a letter, then a gap.
    const auto width = [](const Entry& entry) {
        return 24 + 6 + 7 * static_cast<double>(entry.label.size()) + 20;
    };
    double x = panel_right;
    for (std::size_t i = 0; i < count; ++i) {
        x -= width(entries[i]);
    }
    out += "<g class=\"legend\">\n";
    for (std::size_t i = 0; i < count; ++i) {
        const Entry& entry = entries[i];
        if (entry.band) {
            out += "<rect";
            put_attribute(out, "x", x);
            put_attribute(out, "y", 40);
            put_attribute(out, "width", 24);
            put_attribute(out, "height", 10);
            out += " fill=\"";
            out += entry.colour;
            out += "\"/>\n";
        } else {
            std::string style = "stroke=\"";
            style += entry.colour;
            style += "\" stroke-width=\"2\"";
            put_line(out, x, 45, x + 24, 45, style);
        }
        put_text(out, x + 30, 49, "start", entry.label);
        x += width(entry);
    }
    out += "</g>\n";
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

std::string plot_svg(const PlotData& data) {
    const Scale x =
        make_scale(finite_range({&data.wavelength}), 8, panel_left, panel_right, Ends::data);
    const Scale upper = make_scale(finite_range({&data.observed, &data.model}), 6, upper_bottom,
                                   upper_top, Ends::ticks);
    // The residual axis always holds zero, so the zero line can be drawn.
    std::pair<double, double> residuals = finite_range({&data.residual});
    residuals.first = std::min(residuals.first, 0.0);
    residuals.second = std::max(residuals.second, 0.0);
    const Scale lower = make_scale(residuals, 4, lower_bottom, lower_top, Ends::ticks);

    const std::string_view title = without_trailing_blanks(data.title);
    std::string out;
    out.reserve(4096 + 40 * data.wavelength.size());
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\"";
    put_attribute(out, "width", image_width);
    put_attribute(out, "height", image_height);
    out +=
        " viewBox=\"0 0 960 600\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#222222\">\n";
    out += "<title>";
    append_escaped(out, title);
    out += "</title>\n";
    out += "<rect width=\"960\" height=\"600\" fill=\"#ffffff\"/>\n";
    put_text(out, image_width / 2, 24, "middle", title, "class=\"title\" font-size=\"16\"");
    put_legend(out, !data.masks.empty());

    out += "<g class=\"panel upper\">\n";
    put_masks(out, data, x, upper_top, upper_bottom);
    put_panel_frame(out, x, upper, upper_top, upper_bottom);
    put_series(out, "observed", observed_colour, data.wavelength, data.observed, x, upper);
    put_series(out, "model", model_colour, data.wavelength, data.model, x, upper);
    out += "</g>\n";

    out += "<g class=\"panel lower\">\n";
    put_masks(out, data, x, lower_top, lower_bottom);
    put_panel_frame(out, x, lower, lower_top, lower_bottom);
    put_line(out, panel_left, lower(0), panel_right, lower(0),
             "stroke=\"#888888\" stroke-dasharray=\"4 3\"");
    put_series(out, "residual", residual_colour, data.wavelength, data.residual, x, lower);
    out += "</g>\n";

    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (!on_scale(x, i)) {
            continue;
        }
        const double at = x(tick_value(x.axis, i));
        put_line(out, at, lower_bottom, at, lower_bottom + 5, "stroke=\"#333333\"");
        put_tick_label(out, at, lower_bottom + 18, "middle", x.axis, i);
    }
    put_text(out, (panel_left + panel_right) / 2, lower_bottom + 46, "middle", "wavelength");
    put_side_label(out, upper_top, upper_bottom, "flux");
    put_side_label(out, lower_top, lower_bottom, "residual");
    out += "</svg>\n";
    return out;
}

}  // namespace linesynth::tools
