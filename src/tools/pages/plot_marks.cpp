#include "tools/pages/plot_marks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

namespace linesynth::tools::plot {
namespace {

using Point = std::pair<double, double>;

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

// One segment of a path's data: "M" and its points, the points after the
// first being implicit line-tos; a space before it unless it is the path's first.
void put_segment(std::string& path, const std::vector<Point>& points, bool first_segment,
                 LevelRuns runs) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i != 0 && runs == LevelRuns::ends_only && inside_level_run(points, i)) {
            continue;
        }
        path += i != 0 ? " " : first_segment ? "M" : " M";
        path += coordinate_text(points[i].first);
        path += ',';
        path += coordinate_text(points[i].second);
    }
}

// The path of a trace over its first `values` rows (fewer when the trace
// has fewer), one subpath per segment; `add_points(first, end, points)` puts
// the points of the rows [first, end). A closed path ends each subpath with
// "Z". Empty when there is no row.
template <typename AddPoints>
std::string trace_path(const Trace& trace, std::size_t values, LevelRuns runs, bool closed,
                       AddPoints add_points) {
    const std::size_t rows = std::min({trace.xs->size(), trace.starts->size(), values});
    std::string path;
    std::vector<Point> points;
    std::size_t first = 0;
    while (first < rows) {
        std::size_t end = first + 1;
        while (end < rows && !(*trace.starts)[end]) {
            ++end;
        }
        points.clear();
        add_points(first, end, points);
        put_segment(path, points, first == 0, runs);
        if (closed) {
            path += 'Z';
        }
        first = end;
    }
    return path;
}

}  // namespace

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

void put_curve(Markup& out, std::string_view name, const LineStyle& style, const Trace& trace,
               const std::vector<double>& ys, const Scale& y, LevelRuns runs) {
    const std::string path =
        trace_path(trace, ys.size(), runs, false,
                   [&](std::size_t first, std::size_t end, std::vector<Point>& points) {
                       for (std::size_t i = first; i < end; ++i) {
                           points.emplace_back((*trace.x)((*trace.xs)[i]), y.beyond(ys[i]));
                       }
                   });
    if (path.empty()) {
        return;
    }
    out.start("path")
        .attribute({"class", name})
        .attribute({"fill", "none"})
        .attribute({"stroke", style.colour})
        .attribute({"stroke-width", coordinate_text(style.width)});
    if (!style.dashes.empty()) {
        out.attribute({"stroke-dasharray", style.dashes});
    }
    out.attribute({"stroke-linejoin", "round"}).attribute({"d", path}).end_empty().line();
}

void put_band(Markup& out, const Trace& trace, const std::vector<double>& half, const Scale& y) {
    const std::string path =
        trace_path(trace, half.size(), LevelRuns::ends_only, true,
                   [&](std::size_t first, std::size_t end, std::vector<Point>& points) {
                       for (std::size_t i = first; i < end; ++i) {
                           points.emplace_back((*trace.x)((*trace.xs)[i]), y.beyond(half[i]));
                       }
                       for (std::size_t i = end; i-- > first;) {
                           points.emplace_back((*trace.x)((*trace.xs)[i]), y.beyond(-half[i]));
                       }
                   });
    if (path.empty()) {
        return;
    }
    out.empty("path", {{"class", "sigma"}, {"fill", sigma_fill}, {"d", path}}).line();
}

void put_masks(Markup& out, const PlotData& data, const Scale& x, const Panel& panel) {
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
                 {{"class", "mask"}});
    }
}

void put_sparse_points(Markup& out, const Trace& trace, const std::vector<double>& ys,
                       const Scale& y, double length) {
    const std::size_t rows = std::min(trace.xs->size(), ys.size());
    if (rows == 0 || static_cast<double>(rows) * 4 > length) {
        return;
    }
    out.open("g", {{"class", "observed-points"}, {"fill", observed_line.colour}}).line();
    for (std::size_t i = 0; i < rows; ++i) {
        if (y.holds(ys[i])) {
            out.empty("circle", {{"cx", coordinate_text((*trace.x)((*trace.xs)[i]))},
                                 {"cy", coordinate_text(y(ys[i]))},
                                 {"r", "1.8"}})
                .line();
        }
    }
    out.close("g").line();
}

void put_clipped_marks(Markup& out, std::string_view colour, const Trace& trace,
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
        marks += coordinate_text(at);
        marks += ',';
        marks += coordinate_text(above ? y.to : y.from);
        marks += above ? " l-3,5 h6 Z" : " l-3,-5 h6 Z";
    }
    if (!marks.empty()) {
        out.empty("path", {{"class", "clipped"}, {"fill", colour}, {"d", marks}}).line();
    }
}

void open_clip(Markup& out, std::string_view id, const Scale& x, const Panel& panel) {
    out.open("clipPath", {{"id", id}});
    start_panel_rect(out, x, panel);
    out.end_empty().close("clipPath").line();
    out.open("g", {{"clip-path", "url(#" + std::string(id) + ")"}}).line();
}

}  // namespace linesynth::tools::plot
