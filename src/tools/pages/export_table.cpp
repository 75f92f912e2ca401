#include "tools/pages/export_table.h"

#include "inputs/spectrum_files.h"
#include "tools/compare/number_text.h"
#include "tools/pages/markup_text.h"

namespace linesynth::tools {
namespace {

MetaEntry number_entry(std::string key, double value) {
    return {std::move(key), shortest_text(value), true, {}};
}

MetaEntry integer_entry(std::string key, std::int64_t value) {
    return {std::move(key), std::to_string(value), true, {}};
}

MetaEntry calibration_entry(const CalibrationSet& c, const ReportScales& scales) {
    return {"calibration",
            "",
            false,
            {
                integer_entry("px_1", c.px_1),
                integer_entry("px_2", c.px_2),
                number_entry("wl_1", static_cast<double>(c.wl_1)),
                number_entry("wl_2", static_cast<double>(c.wl_2)),
                number_entry("flux_1", static_cast<double>(c.flux_1)),
                number_entry("flux_2", static_cast<double>(c.flux_2)),
                integer_entry("level_1", c.level_1),
                integer_entry("level_2", c.level_2),
                number_entry("ref_a", static_cast<double>(scales.ref_a)),
                number_entry("ref_b", static_cast<double>(scales.ref_b)),
            }};
}

MetaEntry normalisation_entry(const SpectrumStore& store) {
    MetaEntry entry{"normalisation", "", false, {}};
    entry.entries.push_back(integer_entry("norm_a", store.norm_a));
    entry.entries.push_back(integer_entry("norm_b", store.norm_b));
    if (observed_is_normalised(store)) {
        entry.entries.push_back(
            number_entry("divided_by", static_cast<double>(store.max_observed)));
    }
    return entry;
}

}  // namespace

Table export_table(const Comparison& comparison, const std::vector<ComparedRow>& rows,
                   const std::vector<ComparedRow>& fitted, const ExportUnits& units,
                   const std::vector<ReportFile>& files) {
    using enum ColumnType;
    const RunData& data = *comparison.data;
    Table table;
    table.columns = {
        {"wavelength", float64, units.wavelength, "wavelength of the row"},
        {"observed", float64, units.flux, "observed flux, as compared"},
        {"model", float64, units.flux, "the run's synthetic spectrum S"},
        {"residual", float64, units.flux, "observed - model"},
        {"sigma", float64, units.flux, "uncertainty of the row (1 without a sigma file)"},
        {"masked", boolean, "", "a mask range holds the row"},
    };
    if (!fitted.empty()) {
        table.columns.push_back(
            {"fitted_model", float64, units.flux, "the synthetic spectrum with fitted weights"});
    }
    const RunParameters& parameters = data.parameters;
    table.meta.push_back({"title",
                          std::string(without_trailing_blanks(std::string_view(
                              parameters.title_line, sizeof parameters.title_line))),
                          false,
                          {}});
    table.meta.push_back(calibration_entry(data.calibration, data.scales));
    table.meta.push_back(normalisation_entry(*data.store));
    MetaEntry inputs{"inputs", "", false, {}};
    for (const ReportFile& file : files) {
        inputs.entries.push_back({file.name,
                                  "",
                                  false,
                                  {integer_entry("bytes", static_cast<std::int64_t>(file.size)),
                                   MetaEntry{"sha256", file.sha256, false, {}}}});
    }
    table.meta.push_back(std::move(inputs));

    const MaskIndex lookup = mask_index(comparison.mask);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ComparedRow& row = rows[i];
        std::vector<std::string> cells = {
            shortest_text(static_cast<double>(row.wavelength)),
            shortest_text(static_cast<double>(row.observed)),
            shortest_text(row.synthetic),
            shortest_text(residual(row)),
            shortest_text(row.sigma),
            std::string(boolean_cell(masked(lookup, row.wavelength))),
        };
        if (!fitted.empty()) {
            cells.push_back(shortest_text(fitted[i].synthetic));
        }
        table.rows.push_back(std::move(cells));
    }
    return table;
}

}  // namespace linesynth::tools
