#include "tools/cli/page_commands.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <limits>

#include "base/checked_math.h"
#include "inputs/input_files.h"
#include "inputs/spectrum_files.h"
#include "tools/cli/output_names.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/failure_text.h"
#include "tools/compare/input_digest.h"
#include "tools/files/digest.h"
#include "tools/files/whole_files.h"
#include "tools/fit/fit_result.h"
#include "tools/fit/row_shift.h"
#include "tools/fit/weight_fit.h"
#include "tools/fit/weights_file.h"
#include "tools/pages/explore_page.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/report_page.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools {
namespace {

// What both pictures show: the comparison and, with --fit, the suggested
// weights and the rows the run would give with them.
struct Drawn {
    Comparison comparison;
    std::optional<FitResult> fit;
};

std::string title_of(const PageOptions& options, const RunParameters& parameters) {
    return options.title ? *options.title
                         : std::string(parameters.title_line, sizeof parameters.title_line);
}

// The last row that can be compared, masked or not.
std::int32_t last_row(const Comparison& comparison) {
    return comparable_count(comparison.kept->observed_count, comparison.data->store->point_count);
}

// Set J's contribution to the model at the compared rows, on the observed
// scale: w(J) * component_J(I) * scale_fwd, with component_J(I) as its file
// left it up to the file's count and 0 above (the model of fit_design.h), and
// scale_fwd that of the fitted map when a fit ran.
PlotComponent contribution(const Drawn& drawn, std::int32_t set, float weight) {
    const KeptColumns& kept = *drawn.comparison.kept;
    const auto slot = static_cast<std::size_t>(set - 1);
    const ReportScales& scales =
        drawn.fit ? drawn.fit->scales_after : drawn.comparison.data->scales;
    const double scale = widen(weight) * widen(scales.scale_fwd);
    PlotComponent component{set, {}};
    for (const ComparedRow& row : drawn.comparison.rows) {
        const double value = row.index <= kept.component_counts[slot]
                                 ? static_cast<double>(kept.components[slot][row.index])
                                 : 0.0;
        component.values.push_back(value * scale);
    }
    return component;
}

PlotData plot_data(const PageOptions& options, const Drawn& drawn) {
    const Comparison& comparison = drawn.comparison;
    const RunData& data = *comparison.data;
    PlotData plot;
    plot.title = title_of(options, data.parameters);
    plot.wavelength_unit = options.wavelength_unit;
    plot.flux_unit = options.flux_unit;
    plot.width = options.width;
    plot.height = options.height;
    plot.residuals_in_sigma = options.residuals_in_sigma;
    for (const ComparedRow& row : comparison.rows) {
        plot.index.push_back(row.index);
        plot.wavelength.push_back(static_cast<double>(row.wavelength));
        plot.observed.push_back(static_cast<double>(row.observed));
        plot.model.push_back(row.synthetic);
        plot.residual.push_back(residual(row));
        if (!comparison.sigma.empty()) {
            plot.sigma.push_back(row.sigma);
        }
    }
    if (drawn.fit) {
        for (const ComparedRow& row : drawn.fit->rows_after) {
            plot.fitted_model.push_back(row.synthetic);
            plot.fitted_residual.push_back(residual(row));
        }
    }
    if (options.components) {
        const std::int32_t sets = std::min(data.parameters.set_count, max_component_sets);
        for (std::int32_t set = 1; set <= sets; ++set) {
            const float weight = drawn.fit ? drawn.fit->weights[static_cast<std::size_t>(set - 1)]
                                           : data.parameters.weight(set);
            plot.components.push_back(contribution(drawn, set, weight));
        }
    }
    const SpectrumStore& store = *data.store;
    const MaskIndex lookup = mask_index(comparison.mask);
    for (std::int32_t index = 1; index <= last_row(comparison); ++index) {
        if (masked(lookup, store.wavelengths[index])) {
            plot.masked_index.push_back(index);
            plot.masked_wavelength.push_back(static_cast<double>(store.wavelengths[index]));
            plot.masked_observed.push_back(static_cast<double>(store.observed[index]));
        }
    }
    for (const MaskRange& range : comparison.mask) {
        plot.masks.emplace_back(widen(range.low), widen(range.high));
    }
    return plot;
}

// Each masked range with the rows it held among those that could be compared.
std::vector<ReportMask> report_masks(const Comparison& comparison) {
    // The rows' wavelengths sorted once: each range is then two searches.
    std::vector<float> wavelengths;
    for (std::int32_t index = 1; index <= last_row(comparison); ++index) {
        const float wavelength = comparison.data->store->wavelengths[index];
        if (!std::isnan(wavelength)) {
            wavelengths.push_back(wavelength);
        }
    }
    std::sort(wavelengths.begin(), wavelengths.end());
    std::vector<ReportMask> masks;
    masks.reserve(comparison.mask.size());
    for (const MaskRange& range : comparison.mask) {
        masks.push_back({widen(range.low), widen(range.high),
                         static_cast<std::int32_t>(count_in_range(wavelengths, range))});
    }
    return masks;
}

// The files the comparison read, in the order the run reads them: (name
// shown, path). The mask and sigma files follow in the report from the bytes
// the comparison read.
std::vector<std::pair<std::string, std::string>> input_files(const std::string& dir,
                                                             std::int32_t set_count) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : input_file_names(set_count)) {
        files.emplace_back(name, dir + name);
    }
    return files;
}

std::optional<Refusal> write_output(const std::string& path, std::string_view bytes) {
    if (const platform::FileOutcome outcome = platform::replace_file(path, bytes)) {
        return Refusal{RefusalKind::output, {}, 0, platform::fault_text(outcome)};
    }
    return std::nullopt;
}

// Refuses an output that would replace a file either program uses (before
// any work), loads the comparison, and runs the fit when asked.
std::optional<Refusal> load_drawn(const PageOptions& options, Drawn& drawn) {
    if (auto refusal = refused_output(options.output, options.request.dir,
                                      {options.request.mask_file, options.request.sigma_file})) {
        return refusal;
    }
    Comparison& comparison = drawn.comparison;
    if (auto refusal = load_comparison(options.request, comparison)) {
        return refusal;
    }
    if (options.fit) {
        FitOptions fit;
        fit.mode = options.free ? FitMode::free : FitMode::non_negative;
        fit.scale = options.scale;
        if (auto refusal =
                fit_comparison(comparison, options.request.dir, fit, drawn.fit.emplace())) {
            return refusal;
        }
    }
    return std::nullopt;
}

// The rows beyond the page's last (n) that the run still synthesises (up to
// the longest of the continuum's and the sets' counts) and integrates and
// writes to its tables (up to its point count), for the faults the page must
// foresee there.
void add_rows_beyond(const Comparison& comparison, std::int32_t n, ExploreData& page) {
    const RunData& data = *comparison.data;
    const SpectrumStore& store = *data.store;
    const KeptColumns& kept = *comparison.kept;
    std::int32_t built = std::max(kept.continuum_count, store.point_count);
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        built = std::max(built, kept.component_counts[static_cast<std::size_t>(set - 1)]);
    }
    built = std::min(built, max_points);
    page.integral_rows = std::min(store.point_count, max_points);
    for (std::int32_t index = n + 1; index <= built; ++index) {
        if (index <= page.integral_rows) {
            page.tail_wavelength.push_back(store.wavelengths[index]);
            page.tail_observed.push_back(store.observed[index]);
        }
        page.tail_continuum.push_back(index <= kept.continuum_count ? store.continuum[index]
                                                                    : 0.0F);
    }
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        const auto slot = static_cast<std::size_t>(set - 1);
        std::vector<float>& column = page.tail_components.emplace_back();
        for (std::int32_t index = n + 1; index <= std::min(kept.component_counts[slot], max_points);
             ++index) {
            column.push_back(kept.components[slot][index]);
        }
    }
}

// Rows 1 to the last comparable row, whether compared or masked, and the
// columns the synthesis starts from.
ExploreData explore_data(const Comparison& comparison) {
    const RunData& data = *comparison.data;
    const SpectrumStore& store = *data.store;
    const KeptColumns& kept = *comparison.kept;
    const std::int32_t n = last_row(comparison);
    ExploreData page;
    page.title.assign(data.parameters.title_line, sizeof data.parameters.title_line);
    std::size_t next = 0;  // the next compared row
    for (std::int32_t index = 1; index <= n; ++index) {
        page.wavelength.push_back(store.wavelengths[index]);
        page.observed.push_back(store.observed[index]);
        page.continuum.push_back(store.continuum[index]);
        if (!comparison.sigma.empty()) {
            page.sigma.push_back(comparison.sigma[static_cast<std::size_t>(index - 1)]);
        }
        if (next < comparison.rows.size() && comparison.rows[next].index == index) {
            ++next;
        } else {
            page.masked.push_back(index);
        }
    }
    for (const MaskRange& range : comparison.mask) {
        page.masks.emplace_back(range.low, range.high);
    }
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        const auto slot = static_cast<std::size_t>(set - 1);
        std::vector<float>& column = page.components.emplace_back();
        const std::int32_t count = std::min(kept.component_counts[slot], n);
        for (std::int32_t index = 1; index <= count; ++index) {
            column.push_back(kept.components[slot][index]);
        }
        page.weights.push_back(data.parameters.weight(set));
    }
    add_rows_beyond(comparison, n, page);
    page.flux_1 = data.calibration.flux_1;
    page.level_1 = data.calibration.level_1;
    page.level_2 = data.calibration.level_2;
    page.flux_2 = data.calibration.flux_2;
    page.ref_a = data.scales.ref_a;
    page.ref_b = data.scales.ref_b;
    return page;
}

// The size and digest of each file the comparison read, in the order the run
// reads them, then the mask and sigma files as they were read.
std::optional<Refusal> digest_files(const PageOptions& options, const Comparison& comparison,
                                    std::vector<ReportFile>& files) {
    std::vector<std::pair<std::string, std::string>> listed;  // (name shown, bytes)
    for (const auto& [name, path] :
         input_files(options.request.dir, comparison.data->parameters.set_count)) {
        std::string bytes;
        if (const platform::FileOutcome outcome =
                platform::read_whole_file(path, std::numeric_limits<std::size_t>::max(), bytes)) {
            return Refusal{RefusalKind::input_file, {}, 0, platform::fault_text(outcome)};
        }
        listed.emplace_back(name, std::move(bytes));
    }
    if (!options.request.mask_file.empty()) {
        listed.emplace_back(options.request.mask_file, comparison.mask_bytes);
    }
    if (!options.request.sigma_file.empty()) {
        listed.emplace_back(options.request.sigma_file, comparison.sigma_bytes);
    }
    for (const auto& [name, bytes] : listed) {
        const auto digest = platform::digest_bytes(bytes);
        if (!digest) {
            return Refusal{RefusalKind::input_file, {}, 0, "cannot compute the digest of " + name};
        }
        files.push_back({name, digest->size, hexadecimal(digest->sha256)});
    }
    return std::nullopt;
}

}  // namespace

CommandOutput run_plot(const PageOptions& options) {
    Drawn drawn;
    if (auto refusal = load_drawn(options, drawn)) {
        return refused(*refusal);
    }
    if (auto refusal = write_output(options.output, plot_svg(plot_data(options, drawn)))) {
        return refused(*refusal);
    }
    return {};
}

CommandOutput run_report(const PageOptions& options) {
    Drawn drawn;
    if (auto refusal = load_drawn(options, drawn)) {
        return refused(*refusal);
    }
    const Comparison& comparison = drawn.comparison;
    const RunData& data = *comparison.data;
    ReportData report;
    report.title = title_of(options, data.parameters);
    report.sigma_file = options.request.sigma_file;
    PlotData plot = plot_data(options, drawn);
    plot.show_title = false;
    report.plot = plot_svg(plot);
    report.statistics = fit_statistics(comparison.rows);
    report.figures = comparison_figures(comparison, report.statistics);
    // The fit measured the same shift on the same comparison.
    report.shift =
        drawn.fit ? drawn.fit->shift : row_shift(comparison, report.figures.sigma_from_file);
    report.masks = report_masks(comparison);
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        report.weights.push_back(data.parameters.weight(set));
    }
    if (drawn.fit) {
        const FitResult& fit = *drawn.fit;
        ReportFit& shown = report.fit.emplace();
        shown.weights = fit.weights;
        shown.errors = fit.errors;
        shown.error_methods = fit.error_methods;
        shown.upper_limits = fit.upper_limits;
        shown.at_bound = fit.at_bound;
        shown.combinations = fit.combinations;
        shown.correlation = fit.correlation;
        shown.bounded = !options.free;
        shown.errors_scaled = fit.errors_scaled;
        if (fit.scale) {
            shown.ref_a = fit.scale->ref_a;
            shown.ref_a_error = fit.scale->ref_a_error;
            shown.ref_a_error_method = fit.scale->ref_a_error_method;
        }
        shown.chi2_after = fit.chi2_after;
        shown.after = fit.after;
        shown.rank = fit.rank;
        shown.parameter_count = fit.parameter_count;
        shown.condition_number = fit.condition_number;
        shown.dependent = fit.dependent;
        shown.nearly_dependent = fit.nearly_dependent;
        shown.scale_dependent = fit.scale_dependent;
    }
    report.calibration = data.calibration;
    report.scales = data.scales;
    report.norm_a = data.store->norm_a;
    report.norm_b = data.store->norm_b;
    report.normalised = observed_is_normalised(*data.store);
    report.max_observed = data.store->max_observed;
    if (auto refusal = digest_files(options, comparison, report.files)) {
        return refused(*refusal);
    }
    report.version = options.version;
    if (auto refusal = write_output(options.output, report_page(report))) {
        return refused(*refusal);
    }
    return {};
}

// The page's fit is that of `fit` (with --scale, `fit --scale`): load_drawn
// runs it with the weights kept non-negative, as explore has no --free.
CommandOutput run_explore(const PageOptions& options) {
    Drawn drawn;
    if (auto refusal = load_drawn(options, drawn)) {
        return refused(*refusal);
    }
    ExploreData page = explore_data(drawn.comparison);
    if (drawn.fit) {
        page.fitted = drawn.fit->weights;
        if (drawn.fit->scale) {
            page.fitted_ref_a = drawn.fit->scale->ref_a;
        }
    }
    page.scale = options.scale;
    page.version = options.version;
    if (auto refusal = write_output(options.output, explore_page(page))) {
        return refused(*refusal);
    }
    return {};
}

CommandOutput run_export(const PageOptions& options) {
    const std::optional<TableFormat> format = table_format(options.output);
    if (!format) {
        return with_status(refused(options.output + ": the table's name must end in .ecsv or .csv"),
                           2);
    }
    if (!options.output.empty()) {
        if (auto refusal =
                refused_output(options.output, options.request.dir,
                               {options.request.mask_file, options.request.sigma_file})) {
            return refused(*refusal);
        }
    }
    Comparison comparison;
    if (auto refusal = load_comparison(options.request, comparison)) {
        return refused(*refusal);
    }
    const RunData& data = *comparison.data;
    // Every comparable row, the masked ones included: the table marks them.
    const std::vector<ComparedRow> rows =
        compared_rows(*data.store, data.scales, data.calibration, comparison.kept->observed_count,
                      {}, comparison.sigma);
    std::vector<ComparedRow> fitted;
    if (options.fit) {
        SuggestedFit suggested;
        if (auto refusal = suggest_weights(comparison, options.request.dir, FitMode::non_negative,
                                           suggested)) {
            return refused(*refusal);
        }
        if (const auto failure = rebuilt_rows(data, *comparison.kept, suggested.weights,
                                              data.scales, rows, fitted)) {
            return refused(Refusal{
                RefusalKind::fit, {}, 0, "with the fitted weights: " + failure_text(*failure)});
        }
    }
    std::vector<ReportFile> files;
    if (auto refusal = digest_files(options, comparison, files)) {
        return refused(*refusal);
    }
    const std::string text = table_text(
        export_table(comparison, rows, fitted, {options.wavelength_unit, options.flux_unit}, files),
        *format);
    if (options.output.empty()) {
        return {0, text, ""};
    }
    if (auto refusal = write_output(options.output, text)) {
        return refused(*refusal);
    }
    return {};
}

}  // namespace linesynth::tools
