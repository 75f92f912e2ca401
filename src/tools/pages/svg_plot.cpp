#include "tools/pages/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <utility>

#include "tools/pages/markup_text.h"
#include "tools/pages/markup_writer.h"
#include "tools/pages/plot_axes.h"
#include "tools/pages/plot_geometry.h"
#include "tools/pages/plot_legend.h"
#include "tools/pages/plot_marks.h"
#include "tools/pages/plot_style.h"

namespace linesynth::tools {
namespace plot {
namespace {

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

// What the residual panel draws, and the values its axis must hold.
struct Residuals {
    std::vector<double> residual;
    std::vector<double> fitted_residual;
    std::vector<double> band;  // the half-width of the sigma band at each row
    Range range;
    bool band_shows = false;
};

// The residual axis always holds zero, so the zero line can be drawn, and the
// whole band, so that its edge is not mistaken for the data's. With a fit,
// the fitted model's residuals set it: those of the file's weights are drawn
// thin and light, and clipped where they leave it.
Residuals residuals_of(const PlotData& data) {
    Residuals r;
    r.residual = drawn_residuals(data, data.residual);
    r.fitted_residual = drawn_residuals(data, data.fitted_residual);
    r.band = data.sigma;
    if (data.residuals_in_sigma) {
        std::fill(r.band.begin(), r.band.end(), 1.0);
    }
    r.range.add(0);
    r.range.add(data.fitted_model.empty() ? r.residual : r.fitted_residual);
    Range halves;
    for (const double half : r.band) {
        r.range.add(half);
        r.range.add(-half);
        halves.add(half);
    }
    // The band shows when at its widest it spans a hundredth of the values
    // the axis must hold: a pixel or more in any panel drawn.
    const auto [low, high] = r.range.ends();
    r.band_shows = !r.band.empty() && halves.low <= halves.high &&
                   2 * std::abs(halves.high) >= (high - low) / 100;
    return r;
}

// Where everything goes: the image's size, the wavelength axis, the legend,
// the panels and their value axes.
struct Layout {
    double width = 0;
    double height = 0;
    double left = margin_left;
    double right = 0;
    Scale x;
    std::vector<LegendEntry> entries;
    double legend_top = 0;
    bool with_components = false;
    Panel upper_panel;
    Panel lower_panel;
    Panel parts_panel;
    Scale upper;
    Scale lower;

    const Panel& lowest() const { return with_components ? parts_panel : lower_panel; }
};

Scale wavelength_scale(const PlotData& data, double left, double right) {
    Range wavelengths;
    wavelengths.add(data.wavelength);
    wavelengths.add(data.masked_wavelength);
    return make_scale(wavelengths.ends(),
                      std::clamp(static_cast<std::int32_t>((right - left) / 80), 4, 8), left, right,
                      Ends::data);
}

// The panels share the height left below the legend: the spectrum most, the
// residuals less; the components' strips, when drawn, take a third.
void place_panels(Layout& layout, double panels_top) {
    const double gaps = layout.with_components ? 2 * panel_gap : panel_gap;
    const double room = std::max(layout.height - panels_top - margin_bottom - gaps, 60.0);
    const double upper_share = layout.with_components ? 0.46 : 0.7;
    const double lower_share = layout.with_components ? 0.22 : 0.3;
    layout.upper_panel = {panels_top, panels_top + room * upper_share};
    layout.lower_panel = {layout.upper_panel.bottom + panel_gap,
                          layout.upper_panel.bottom + panel_gap + room * lower_share};
    layout.parts_panel = {layout.lower_panel.bottom + panel_gap, panels_top + room + gaps};
}

Layout layout_of(const PlotData& data, const Residuals& residuals) {
    Layout layout;
    layout.width = std::max(data.width, 1);
    layout.height = std::max(data.height, 1);
    layout.right = std::max(layout.width - margin_right, layout.left + 1);
    layout.x = wavelength_scale(data, layout.left, layout.right);
    layout.entries = legend_entries(data, layout.x, residuals.band_shows);
    layout.legend_top = data.show_title ? 34 : 8;
    const std::int32_t legend_count = legend_row_count(layout.entries, layout.right - layout.left);
    layout.with_components = !data.components.empty();
    place_panels(layout, layout.legend_top + legend_row * legend_count + 10);
    Range fluxes;
    fluxes.add(data.observed);
    fluxes.add(data.model);
    fluxes.add(data.fitted_model);
    fluxes.add(data.masked_observed);
    const Panel& upper = layout.upper_panel;
    const Panel& lower = layout.lower_panel;
    layout.upper = make_scale(with_room(fluxes.ends()), intervals_for(upper.bottom - upper.top, 6),
                              upper.bottom, upper.top, Ends::ticks);
    layout.lower =
        make_scale(with_room(residuals.range.ends()), intervals_for(lower.bottom - lower.top, 4),
                   lower.bottom, lower.top, Ends::ticks);
    return layout;
}

// The compared rows and the masked ones as the curves trace them. Its traces
// point at its own vectors, so it is filled in place and never copied.
struct Traces {
    Traces() = default;
    Traces(const Traces&) = delete;
    Traces& operator=(const Traces&) = delete;

    std::vector<bool> starts;
    std::vector<bool> masked_starts;
    Trace rows;
    Trace masked_rows;
};

void trace_rows(Traces& traces, const PlotData& data, const Scale& x) {
    traces.starts = segment_starts(data.index, data.wavelength, data.masks);
    traces.masked_starts = segment_starts(data.masked_index, data.masked_wavelength, data.masks);
    traces.rows = {&data.wavelength, &traces.starts, &x};
    traces.masked_rows = {&data.masked_wavelength, &traces.masked_starts, &x};
}

// The <svg> element's start, a white ground, the title and the legend.
void put_heading(Markup& out, const PlotData& data, const Layout& layout) {
    const std::string_view title = without_trailing_blanks(data.title);
    out.open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                     {"width", coordinate_text(layout.width)},
                     {"height", coordinate_text(layout.height)},
                     {"viewBox", "0 0 " + coordinate_text(layout.width) + ' ' +
                                     coordinate_text(layout.height)},
                     {"font-family", "sans-serif"},
                     {"font-size", "12"},
                     {"fill", "#222222"}})
        .line();
    if (data.show_title) {
        out.element("title", title).line();
    }
    put_rect(out, 0, 0, layout.width, layout.height, "#ffffff");
    if (data.show_title) {
        put_text(out, layout.width / 2, 24, "middle", title,
                 {{"class", "title"}, {"font-size", "16"}});
    }
    put_legend(out, layout.entries, layout.right, layout.right - layout.left, layout.legend_top);
}

// The spectra. The observed spectrum goes on top of the models, which would hide it.
void put_upper_panel(Markup& out, const PlotData& data, const Layout& layout, const Traces& t) {
    const Scale& y = layout.upper;
    const Panel& panel = layout.upper_panel;
    out.open("g", {{"class", "panel upper"}}).line();
    put_masks(out, data, layout.x, panel);
    put_grid(out, layout.x, y, panel);
    open_clip(out, "clip-upper", layout.x, panel);
    put_curve(out, "masked", masked_rows_line, t.masked_rows, data.masked_observed, y);
    put_curve(out, "model", model_line, t.rows, data.model, y);
    put_curve(out, "fitted", fitted_line, t.rows, data.fitted_model, y);
    put_curve(out, "observed", observed_line, t.rows, data.observed, y);
    put_sparse_points(out, t.rows, data.observed, y, layout.right - layout.left);
    out.close("g").line();
    put_clipped_marks(out, masked_rows_line.colour, t.masked_rows, data.masked_observed, y);
    put_clipped_marks(out, model_line.colour, t.rows, data.model, y);
    put_clipped_marks(out, fitted_line.colour, t.rows, data.fitted_model, y);
    put_clipped_marks(out, observed_line.colour, t.rows, data.observed, y);
    put_frame(out, layout.x, panel);
    out.close("g").line();
}

// The residuals around the zero line, over the band.
void put_lower_panel(Markup& out, const PlotData& data, const Layout& layout, const Traces& t,
                     const Residuals& r) {
    const Scale& y = layout.lower;
    const Panel& panel = layout.lower_panel;
    const LineStyle& residual_line =
        data.fitted_model.empty() ? model_line : residual_before_fit_line;
    out.open("g", {{"class", "panel lower"}}).line();
    put_masks(out, data, layout.x, panel);
    put_grid(out, layout.x, y, panel);
    open_clip(out, "clip-lower", layout.x, panel);
    put_band(out, t.rows, r.band, y);
    put_line(out, layout.left, y(0), layout.right, y(0), zero_line);
    put_curve(out, "residual", residual_line, t.rows, r.residual, y);
    put_curve(out, "fitted-residual", fitted_line, t.rows, r.fitted_residual, y);
    out.close("g").line();
    put_clipped_marks(out, residual_line.colour, t.rows, r.residual, y);
    put_clipped_marks(out, fitted_line.colour, t.rows, r.fitted_residual, y);
    put_frame(out, layout.x, panel);
    out.close("g").line();
}

// One component set's strip, on its own axis from round_axis in at most two
// intervals (so that a weak set is as readable as a strong one), labelled
// "set N" in the left margin, which no other strip's label reaches, and with
// its axis's ends written inside at the right. The set's curve is in its own
// colour; the label says which it is, so colour does not have to.
void put_component_strip(Markup& out, const PlotData& data, const Layout& layout, const Trace& rows,
                         std::size_t k) {
    const Scale& x = layout.x;
    const PlotComponent& component = data.components[k];
    const Panel& panel = layout.parts_panel;
    const double height = (panel.bottom - panel.top) / static_cast<double>(data.components.size());
    const double top = panel.top + height * static_cast<double>(k);
    const Panel strip{top, top + height};
    const double font = std::clamp(std::floor(height) - 1, 6.0, 11.0);
    const LineStyle style = component_line(component.set);
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
    put_text(out, x.from - 8, (strip.top + strip.bottom) / 2 + font / 3, "end",
             "set " + std::to_string(component.set),
             {{"class", "component-label"},
              {"font-size", fixed_text(font, 0)},
              {"fill", style.colour == okabe_ito::yellow ? frame_colour : style.colour}});
    if (height >= 11) {
        put_text(out, x.to - 3, strip.top + std::min(font, 9.0) + 1, "end",
                 tick_label(y.axis, 0) + " to " + tick_label(y.axis, y.axis.intervals),
                 {{"class", "strip-axis"}, {"font-size", "9"}, {"fill", "#666666"}});
    }
}

// One strip per component set, sharing the panel's height.
void put_components_panel(Markup& out, const PlotData& data, const Layout& layout,
                          const Traces& t) {
    out.open("g", {{"class", "panel components"}}).line();
    for (std::size_t k = 0; k < data.components.size(); ++k) {
        put_component_strip(out, data, layout, t.rows, k);
    }
    out.close("g").line();
}

// The wavelength ticks under the lowest panel, and the name of each axis.
void put_axis_names(Markup& out, const PlotData& data, const Layout& layout) {
    const double bottom = layout.lowest().bottom;
    put_wavelength_ticks(out, layout.x, bottom);
    put_text(out, (layout.left + layout.right) / 2, bottom + 44, "middle",
             with_unit("wavelength", data.wavelength_unit));
    put_side_label(out, layout.upper_panel, with_unit("flux", data.flux_unit));
    put_side_label(out, layout.lower_panel,
                   data.residuals_in_sigma && !data.sigma.empty()
                       ? std::string("residual / sigma")
                       : with_unit("residual", data.flux_unit));
    if (layout.with_components) {
        put_side_label(out, layout.parts_panel, "components");
    }
}

}  // namespace
}  // namespace plot

std::string plot_svg(const PlotData& data) {
    const plot::Residuals residuals = plot::residuals_of(data);
    const plot::Layout layout = plot::layout_of(data, residuals);
    plot::Traces traces;
    plot::trace_rows(traces, data, layout.x);
    Markup out;
    out.written.reserve(8192 + 16 * (data.wavelength.size() * (6 + data.components.size()) +
                                     data.masked_wavelength.size()));
    plot::put_heading(out, data, layout);
    plot::put_upper_panel(out, data, layout, traces);
    plot::put_lower_panel(out, data, layout, traces, residuals);
    if (layout.with_components) {
        plot::put_components_panel(out, data, layout, traces);
    }
    plot::put_axis_names(out, data, layout);
    out.close("svg").line();
    return std::move(out.written);
}

}  // namespace linesynth::tools
