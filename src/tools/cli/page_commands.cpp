#include "tools/cli/page_commands.h"

#include <array>
#include <filesystem>

#include "inputs/input_files.h"
#include "inputs/spectrum_files.h"
#include "platform/platform.h"
#include "tools/compare/failure_text.h"
#include "tools/fit/weight_fit.h"
#include "tools/pages/markup_text.h"
#include "tools/pages/report_page.h"
#include "tools/pages/svg_plot.h"

namespace linesynth::tools {
namespace {

PlotData plot_data(const Comparison& comparison) {
    const RunParameters& parameters = comparison.data->parameters;
    PlotData plot;
    plot.title.assign(parameters.title_line, sizeof parameters.title_line);
    for (const ComparedRow& row : comparison.rows) {
        plot.wavelength.push_back(static_cast<double>(row.wavelength));
        plot.observed.push_back(static_cast<double>(row.observed));
        plot.model.push_back(row.synthetic);
        plot.residual.push_back(residual(row));
    }
    for (const MaskRange& range : comparison.mask) {
        plot.masks.emplace_back(range.low, range.high);
    }
    return plot;
}

std::string hexadecimal(const std::array<unsigned char, 32>& digest) {
    constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

// The files the comparison read, in the order the run reads them, then the
// mask and sigma files: (name shown, path).
std::vector<std::pair<std::string, std::string>> input_files(const PageOptions& options,
                                                             std::int32_t set_count) {
    const std::string& dir = options.request.dir;
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : input_file_names(set_count)) {
        files.emplace_back(name, dir + name);
    }
    for (const std::string* extra : {&options.request.mask_file, &options.request.sigma_file}) {
        if (!extra->empty()) {
            files.emplace_back(*extra, *extra);
        }
    }
    return files;
}

// The size and digest of each input file, or the report of one unreadable.
std::optional<std::string> digest_files(const PageOptions& options, std::int32_t set_count,
                                        std::vector<ReportFile>& files) {
    for (const auto& [name, path] : input_files(options, set_count)) {
        const auto digest = platform::digest_file(path);
        if (!digest) {
            return "cannot read " + path;
        }
        files.push_back({name, digest->size, hexadecimal(digest->sha256)});
    }
    return std::nullopt;
}

// An output that names one of the inputs would replace it: -o vlt.txt must
// not overwrite the parameter file.
std::optional<std::string> output_is_an_input(const PageOptions& options, std::int32_t set_count) {
    std::error_code ignored;
    for (const auto& entry : input_files(options, set_count)) {
        if (std::filesystem::equivalent(options.output, entry.second, ignored)) {
            return options.output + " is an input file; the output needs a name of its own";
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> write_whole_file(const std::string& path, std::string_view bytes) {
    const std::string fresh = path + ".new";
    const platform::OpenedFile file = platform::create_file(fresh);
    if (!file.handle) {
        return "cannot create " + fresh;
    }
    const bool written = platform::write_at(file.handle, 0, bytes.data(), bytes.size()) ==
                             platform::IoFailure::none &&
                         platform::flush_file(file.handle) == platform::IoFailure::none;
    platform::close(file.handle);
    if (!written) {
        platform::remove_file(fresh);
        return "cannot write " + fresh;
    }
    if (platform::rename_file(fresh, path) != platform::IoFailure::none) {
        platform::remove_file(fresh);
        return "cannot rename " + fresh + " to " + path;
    }
    return std::nullopt;
}

CommandOutput run_plot(const PageOptions& options) {
    Comparison comparison;
    if (auto reason = load_comparison(options.request, comparison)) {
        return refused(*reason);
    }
    if (auto reason = output_is_an_input(options, comparison.data->parameters.set_count)) {
        return refused(*reason);
    }
    if (auto reason = write_whole_file(options.output, plot_svg(plot_data(comparison)))) {
        return refused(*reason);
    }
    return {};
}

CommandOutput run_report(const PageOptions& options) {
    Comparison comparison;
    if (auto reason = load_comparison(options.request, comparison)) {
        return refused(*reason);
    }
    const RunData& data = *comparison.data;
    if (auto reason = output_is_an_input(options, data.parameters.set_count)) {
        return refused(*reason);
    }
    ReportData report;
    report.title.assign(data.parameters.title_line, sizeof data.parameters.title_line);
    report.plot = plot_svg(plot_data(comparison));
    report.statistics = fit_statistics(comparison.rows);
    report.figures = comparison_figures(comparison, report.statistics);
    for (std::int32_t set = 1; set <= data.parameters.set_count && set <= max_component_sets;
         ++set) {
        report.weights.push_back(data.parameters.weight(set));
    }
    if (options.fit) {
        SuggestedFit suggested;
        if (auto reason = suggest_weights(comparison, options.request.dir, FitMode::non_negative,
                                          suggested)) {
            return refused(*reason);
        }
        report.fit = SuggestedWeights{suggested.weights,    suggested.before.chi2,
                                      suggested.chi2_after, suggested.fit.at_bound,
                                      suggested.fit.rank,   suggested.fit.dependent};
    }
    report.calibration = data.calibration;
    report.scales = data.scales;
    report.norm_a = data.store->norm_a;
    report.norm_b = data.store->norm_b;
    report.normalised = observed_is_normalised(*data.store);
    report.max_observed = data.store->max_observed;
    if (auto reason = digest_files(options, data.parameters.set_count, report.files)) {
        return refused(*reason);
    }
    report.version = options.version;
    if (auto reason = write_whole_file(options.output, report_page(report))) {
        return refused(*reason);
    }
    return {};
}

CommandOutput run_export(const PageOptions& options) {
    const std::optional<TableFormat> format = table_format(options.output);
    if (!format) {
        return with_status(refused(options.output + ": the table's name must end in .ecsv or .csv"),
                           2);
    }
    Comparison comparison;
    if (auto reason = load_comparison(options.request, comparison)) {
        return refused(*reason);
    }
    const RunData& data = *comparison.data;
    if (!options.output.empty()) {
        if (auto reason = output_is_an_input(options, data.parameters.set_count)) {
            return refused(*reason);
        }
    }
    // Every comparable row, the masked ones included: the table marks them.
    const std::vector<ComparedRow> rows =
        compared_rows(*data.store, data.scales, data.calibration, comparison.kept->observed_count,
                      {}, comparison.sigma);
    std::vector<ComparedRow> fitted;
    if (options.fit) {
        SuggestedFit suggested;
        if (auto reason = suggest_weights(comparison, options.request.dir, FitMode::non_negative,
                                          suggested)) {
            return refused(*reason);
        }
        if (const auto failure = rebuilt_rows(data, *comparison.kept, suggested.weights,
                                              data.scales, rows, fitted)) {
            return refused("with the fitted weights: " + failure_text(*failure));
        }
    }
    std::vector<ReportFile> files;
    if (auto reason = digest_files(options, data.parameters.set_count, files)) {
        return refused(*reason);
    }
    const std::string text =
        table_text(export_table(comparison, rows, fitted, options.units, files), *format);
    if (options.output.empty()) {
        return {0, text, ""};
    }
    if (auto reason = write_whole_file(options.output, text)) {
        return refused(*reason);
    }
    return {};
}

}  // namespace linesynth::tools
