#include "tools/pages/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>

#include "tools/pages/plot_style.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools {
namespace {

constexpr std::string_view minus_sign = "\xE2\x88\x92";  // U+2212

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

int label_decimals(const Axis& axis) {
    return axis.exponent < 0 ? -axis.exponent : 0;
}

}  // namespace

Axis round_axis(double low, double high, std::int32_t max_intervals) {
    std::tie(low, high) = plot::widened(low, high);
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
    std::string label = plot::fixed_text(tick_value(axis, index), label_decimals(axis));
    if (!label.empty() && label.front() == '-') {
        label.replace(0, 1, minus_sign);
    }
    return label;
}

namespace plot {
namespace {

constexpr LineStyle grid_line{grid_colour, 1.0, ""};
constexpr LineStyle tick_line{frame_colour, 1.0, ""};

}  // namespace

void put_wavelength_grid(Markup& out, const Scale& x, const Panel& panel) {
    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (on_scale(x, i)) {
            const double at = x(tick_value(x.axis, i));
            put_line(out, at, panel.top, at, panel.bottom, grid_line);
        }
    }
}

void put_grid(Markup& out, const Scale& x, const Scale& y, const Panel& panel) {
    put_wavelength_grid(out, x, panel);
    for (std::int32_t i = 0; i <= y.axis.intervals; ++i) {
        const double at = y(tick_value(y.axis, i));
        put_line(out, x.from, at, x.to, at, grid_line);
        put_line(out, x.from - 5, at, x.from, at, tick_line);
        put_text(out, x.from - 8, at + 4, "end", tick_label(y.axis, i));
    }
}

void put_wavelength_ticks(Markup& out, const Scale& x, double bottom) {
    for (std::int32_t i = 0; i <= x.axis.intervals; ++i) {
        if (!on_scale(x, i)) {
            continue;
        }
        const double at = x(tick_value(x.axis, i));
        put_line(out, at, bottom, at, bottom + 5, tick_line);
        put_text(out, at, bottom + 18, "middle", tick_label(x.axis, i));
    }
}

void put_side_label(Markup& out, const Panel& panel, std::string_view text) {
    const double y = (panel.top + panel.bottom) / 2;
    const std::string turn = "rotate(-90 " + coordinate_text(20) + ' ' + coordinate_text(y) + ')';
    put_text(out, 20, y, "middle", text, {{"transform", turn}});
}

std::string with_unit(std::string_view name, std::string_view unit) {
    std::string text(name);
    if (!unit.empty()) {
        text += " [";
        text += unit;
        text += ']';
    }
    return text;
}

}  // namespace plot
}  // namespace linesynth::tools
