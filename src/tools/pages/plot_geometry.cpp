#include "tools/pages/plot_geometry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>
#include <tuple>

namespace linesynth::tools::plot {

double clamp_drawn(double value) {
    return std::clamp(value, -largest_drawn, largest_drawn);
}

void Range::add(double value) {
    if (std::isfinite(value)) {
        low = std::min(low, clamp_drawn(value));
        high = std::max(high, clamp_drawn(value));
    }
}

void Range::add(const std::vector<double>& values) {
    for (const double v : values) {
        add(v);
    }
}

std::pair<double, double> Range::ends() const {
    return low > high ? std::pair<double, double>{0, 1} : std::pair<double, double>{low, high};
}

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

std::pair<double, double> with_room(std::pair<double, double> range) {
    const double room = (clamp_drawn(range.second) - clamp_drawn(range.first)) * 0.03;
    return {range.first - room, range.second + room};
}

double Scale::operator()(double value) const {
    if (std::isnan(value)) {
        return from;
    }
    const double v = std::clamp(value, low, high);
    return from + (v - low) / (high - low) * (to - from);
}

double Scale::beyond(double value) const {
    const double span = high - low;
    const double v = std::isnan(value) ? low - span : std::clamp(value, low - span, high + span);
    return from + (v - low) / span * (to - from);
}

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

bool on_scale(const Scale& scale, std::int32_t index) {
    const double value = tick_value(scale.axis, index);
    return value >= scale.low && value <= scale.high;
}

bool on_axis(const std::pair<double, double>& range, const Scale& x) {
    return !(range.second < x.low || range.first > x.high);
}

std::string fixed_text(double value, int decimals) {
    std::array<char, 400> text;
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value + 0.0,
                                            std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text.data(), end) : std::string();
}

std::string coordinate_text(double value) {
    return fixed_text(value, 1);
}

void put_line(Markup& out, double x1, double y1, double x2, double y2, const LineStyle& style) {
    out.start("line")
        .attribute({"x1", coordinate_text(x1)})
        .attribute({"y1", coordinate_text(y1)})
        .attribute({"x2", coordinate_text(x2)})
        .attribute({"y2", coordinate_text(y2)})
        .attribute({"stroke", style.colour})
        .attribute({"stroke-width", coordinate_text(style.width)});
    if (!style.dashes.empty()) {
        out.attribute({"stroke-dasharray", style.dashes});
    }
    out.end_empty().line();
}

void put_rect(Markup& out, double x, double y, double width, double height, std::string_view fill,
              Attributes leading) {
    out.start("rect");
    for (const Attribute& attribute : leading) {
        out.attribute(attribute);
    }
    out.attribute({"x", coordinate_text(x)})
        .attribute({"y", coordinate_text(y)})
        .attribute({"width", coordinate_text(width)})
        .attribute({"height", coordinate_text(height)})
        .attribute({"fill", fill})
        .end_empty()
        .line();
}

void put_text(Markup& out, double x, double y, std::string_view anchor, std::string_view text,
              Attributes more) {
    out.start("text")
        .attribute({"x", coordinate_text(x)})
        .attribute({"y", coordinate_text(y)})
        .attribute({"text-anchor", anchor});
    for (const Attribute& attribute : more) {
        out.attribute(attribute);
    }
    out.end_start().text(text).close("text").line();
}

void start_panel_rect(Markup& out, const Scale& x, const Panel& panel) {
    out.start("rect")
        .attribute({"x", coordinate_text(x.from)})
        .attribute({"y", coordinate_text(panel.top)})
        .attribute({"width", coordinate_text(x.to - x.from)})
        .attribute({"height", coordinate_text(panel.bottom - panel.top)});
}

void put_frame(Markup& out, const Scale& x, const Panel& panel) {
    start_panel_rect(out, x, panel);
    out.attribute({"fill", "none"}).attribute({"stroke", frame_colour}).end_empty().line();
}

}  // namespace linesynth::tools::plot
