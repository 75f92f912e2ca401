// The plot's axes: the grid of each panel, the value ticks and their labels
// in the left margin, the wavelength ticks under the lowest panel, and the
// axes' names. The rounding of an axis (round_axis, tick_value, tick_label)
// is declared with the plot in svg_plot.h.
#pragma once

#include <string_view>

#include "tools/pages/markup_writer.h"
#include "tools/pages/plot_geometry.h"

namespace linesynth::tools::plot {

// Grid lines at the wavelength ticks only (a strip has no value ticks).
void put_wavelength_grid(Markup& out, const Scale& x, const Panel& panel);

// Grid lines at the wavelength ticks, and the value ticks with labels and grid lines.
void put_grid(Markup& out, const Scale& x, const Scale& y, const Panel& panel);

// The wavelength ticks and their labels under the panel whose bottom is `bottom`.
void put_wavelength_ticks(Markup& out, const Scale& x, double bottom);

// A label turned to read upwards, centred on the panel's height.
void put_side_label(Markup& out, const Panel& panel, std::string_view text);

// "name [unit]", or the name alone without a unit.
std::string with_unit(std::string_view name, std::string_view unit);

}  // namespace linesynth::tools::plot
