#include "tools/pages/plot_legend.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace linesynth::tools::plot {
namespace {

// The characters of a UTF-8 text (its bytes that do not continue a sequence).
double characters(std::string_view text) {
    return static_cast<double>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
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

// One row of the legend, its entries ending at `right`.
void put_legend_row(Markup& out, const std::vector<LegendEntry>& entries,
                    const std::vector<std::int32_t>& rows, std::int32_t row, double right,
                    double y) {
    double x = right;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (rows[i] == row) {
            x -= entry_width(entries[i]);
        }
    }
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

}  // namespace

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

std::int32_t legend_row_count(const std::vector<LegendEntry>& entries, double room) {
    return legend_rows(entries, room).second;
}

void put_legend(Markup& out, const std::vector<LegendEntry>& entries, double right, double room,
                double top) {
    const auto [rows, count] = legend_rows(entries, room);
    out.open("g", {{"class", "legend"}}).line();
    for (std::int32_t row = 0; row < count; ++row) {
        put_legend_row(out, entries, rows, row, right, top + legend_row * row + legend_row / 2);
    }
    out.close("g").line();
}

}  // namespace linesynth::tools::plot
