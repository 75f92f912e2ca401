#include "tools/cli/page_commands.h"

#include "tools/cli/output_names.h"
#include "tools/files/whole_files.h"
#include "tools/fit/fit_result.h"
#include "tools/pages/explore_data.h"
#include "tools/pages/export_rows.h"
#include "tools/pages/page_files.h"
#include "tools/pages/plot_data.h"
#include "tools/pages/report_data.h"

namespace linesynth::tools {
namespace {

std::optional<Refusal> write_output(const std::string& path, std::string_view bytes) {
    if (const platform::FileOutcome outcome = platform::replace_file(path, bytes)) {
        return Refusal{RefusalKind::output, {}, 0, platform::fault_text(outcome)};
    }
    return std::nullopt;
}

// Refuses an output that would replace a file either program uses (before
// any work), loads the comparison, and runs the fit when asked.
std::optional<Refusal> load_drawn(const PageOptions& options, DrawnComparison& drawn) {
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

// The plot's columns with the picture's settings of the command line.
PlotData drawn_plot(const PageOptions& options, const DrawnComparison& drawn) {
    PlotData plot = plot_data(drawn, options.components);
    plot.title = page_title(options.title, drawn.comparison.data->parameters);
    plot.wavelength_unit = options.wavelength_unit;
    plot.flux_unit = options.flux_unit;
    plot.width = options.width;
    plot.height = options.height;
    plot.residuals_in_sigma = options.residuals_in_sigma;
    return plot;
}

}  // namespace

CommandOutput run_plot(const PageOptions& options) {
    DrawnComparison drawn;
    if (auto refusal = load_drawn(options, drawn)) {
        return refused(*refusal);
    }
    if (auto refusal = write_output(options.output, plot_svg(drawn_plot(options, drawn)))) {
        return refused(*refusal);
    }
    return {};
}

CommandOutput run_report(const PageOptions& options) {
    DrawnComparison drawn;
    if (auto refusal = load_drawn(options, drawn)) {
        return refused(*refusal);
    }
    ReportData report = report_data(drawn, !options.free);
    report.title = page_title(options.title, drawn.comparison.data->parameters);
    report.sigma_file = options.request.sigma_file;
    PlotData plot = drawn_plot(options, drawn);
    plot.show_title = false;
    report.plot = plot_svg(plot);
    if (auto refusal = digest_page_files(options.request, drawn.comparison, report.files)) {
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
    DrawnComparison drawn;
    if (auto refusal = load_drawn(options, drawn)) {
        return refused(*refusal);
    }
    ExploreData page = explore_data(drawn);
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
    ExportRows exported;
    if (auto refusal = export_rows(comparison, options.request.dir, options.fit, exported)) {
        return refused(*refusal);
    }
    std::vector<ReportFile> files;
    if (auto refusal = digest_page_files(options.request, comparison, files)) {
        return refused(*refusal);
    }
    const std::string text =
        table_text(export_table(comparison, exported.rows, exported.fitted,
                                {options.wavelength_unit, options.flux_unit}, files),
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
