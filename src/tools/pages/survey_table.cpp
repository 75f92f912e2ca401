#include "tools/pages/survey_table.h"

#include <filesystem>

#include "tools/compare/comparison.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/number_text.h"
#include "tools/files/whole_files.h"
#include "tools/fit/fit_result.h"

namespace linesynth::tools {
namespace {

constexpr std::int32_t weight_columns = max_component_sets;

// The cells of one row by column name, so that the order of the columns is
// written once, in survey_columns.
class RowCells {
public:
    explicit RowCells(const std::vector<TableColumn>& columns) : columns_(columns) {
        cells_.resize(columns.size());
    }
    void set(std::string_view name, std::string text) {
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (columns_[i].name == name) {
                cells_[i] = std::move(text);
                return;
            }
        }
    }
    std::vector<std::string> take() { return std::move(cells_); }

private:
    const std::vector<TableColumn>& columns_;
    std::vector<std::string> cells_;
};

std::string integer(std::int64_t value) {
    return std::to_string(value);
}

std::string number(double value) {
    return shortest_text(value);
}

// The file `name` in `dir` when the directory holds one; else nothing.
std::string present_file(const std::string& dir, const std::string& name) {
    if (name.empty()) {
        return "";
    }
    std::error_code ignored;
    const std::string path = dir + name;
    return std::filesystem::is_regular_file(path, ignored) ? path : "";
}

template <typename Real>
std::string optional_number(const std::optional<Real>& value) {
    return value ? number(static_cast<double>(*value)) : "";
}

void put_goodness(RowCells& cells, const FitStatistics& stats, const Goodness& goodness) {
    cells.set("chi2", number(stats.chi2));
    cells.set("dof", integer(goodness.dof));
    cells.set("chi2_reduced", optional_number(goodness.chi2_reduced));
    cells.set("p_value", optional_number(goodness.p_value));
    cells.set("rms", number(stats.rms));
    cells.set("adev_percent", optional_number(stats.adev_percent));
}

}  // namespace

std::vector<TableColumn> survey_columns(const SurveyOptions& options) {
    using enum ColumnType;
    std::vector<TableColumn> columns = {
        {"directory", string, "", "the data directory as given"},
        {"status", string, "", "ok, or the kind of failure"},
        {"message", string, "", "what failed; empty when ok"},
        {"title", string, "", "the title record of vlt.txt"},
        {"sets", int64, "", "component sets in synthesis.txt"},
        {"points", int64, "", "compared rows"},
    };
    if (!options.mask_name.empty()) {
        columns.push_back({"mask", boolean, "", "the directory holds " + options.mask_name});
    }
    if (!options.sigma_name.empty()) {
        columns.push_back({"sigma", boolean, "", "the directory holds " + options.sigma_name});
    }
    const std::string model = options.fit ? "the fitted model" : "the run's model";
    columns.insert(
        columns.end(),
        {
            {"chi2", float64, "", "chi-squared of " + model},
            {"dof", int64, "", "compared rows less the parameters the fit moves"},
            {"chi2_reduced", float64, "", "chi2 / dof"},
            {"p_value", float64, "",
             "probability of a chi2 at least this large (only with sigmas)"},
            {"rms", float64, "", "root mean square residual of " + model},
            {"adev_percent", float64, "%", "mean absolute deviation in percent of observed"},
            {"snr", float64, "", "signal-to-noise ratio of the observed spectrum (DER_SNR)"},
            {"integral", float64, "", "the integral the run appends to the summary page"},
            {"normalised_by", float64, "", "maximum the observed fluxes were divided by"},
        });
    if (!options.fit) {
        return columns;
    }
    for (std::int32_t set = 1; set <= weight_columns; ++set) {
        columns.push_back({"w" + std::to_string(set), float64, "",
                           "fitted weight of set " + std::to_string(set)});
    }
    for (std::int32_t set = 1; set <= weight_columns; ++set) {
        columns.push_back({"w" + std::to_string(set) + "_err", float64, "",
                           "formal error of w" + std::to_string(set)});
    }
    if (options.scale) {
        columns.push_back({"ref_a", float64, "", "fitted ref_a of the scale file"});
        columns.push_back({"ref_a_err", float64, "", "formal error of ref_a"});
    }
    columns.insert(
        columns.end(),
        {
            {"condition_number", float64, "", "condition number of the fit"},
            {"rank", int64, "", "rank of the fit"},
            {"chi2_before", float64, "", "chi-squared with the weights of synthesis.txt"},
        });
    return columns;
}

SurveyRow survey_row(const std::string& dir, const SurveyOptions& options) {
    const std::vector<TableColumn> columns = survey_columns(options);
    RowCells cells(columns);
    SurveyRow row;
    cells.set("directory", dir);
    const auto finish = [&](std::string_view status, const std::string& message) {
        row.ok = status == "ok";
        cells.set("status", std::string(status));
        cells.set("message", message);
        row.cells = cells.take();
        return row;
    };

    ComparisonRequest request;
    request.dir = platform::directory_path(dir);
    request.mask_file = present_file(request.dir, options.mask_name);
    request.sigma_file = present_file(request.dir, options.sigma_name);
    if (!options.mask_name.empty()) {
        cells.set("mask", std::string(boolean_cell(!request.mask_file.empty())));
    }
    if (!options.sigma_name.empty()) {
        cells.set("sigma", std::string(boolean_cell(!request.sigma_file.empty())));
    }
    Comparison comparison;
    if (auto refusal = load_comparison(request, comparison)) {
        return finish(refusal_name(refusal->kind), refusal->text);
    }
    const auto put_figures = [&](const ComparisonFigures& figures) {
        cells.set("title", figures.title);
        cells.set("sets", integer(comparison.data->parameters.set_count));
        cells.set("points", integer(static_cast<std::int64_t>(comparison.rows.size())));
        cells.set("snr", optional_number(figures.snr));
        cells.set("integral", optional_number(figures.integral));
        cells.set("normalised_by", optional_number(figures.normalised_by));
    };
    if (!options.fit) {
        const FitStatistics stats = fit_statistics(comparison.rows);
        const ComparisonFigures figures = comparison_figures(comparison, stats);
        put_figures(figures);
        put_goodness(cells, stats, figures.goodness);
        return finish("ok", "");
    }
    FitOptions fit_options;
    fit_options.mode = options.free ? FitMode::free : FitMode::non_negative;
    fit_options.scale = options.scale;
    FitResult result;
    if (auto refusal = fit_comparison(comparison, request.dir, fit_options, result)) {
        put_figures(comparison_figures(comparison, fit_statistics(comparison.rows)));
        return finish(refusal_name(refusal->kind), refusal->text);
    }
    put_figures(result.figures);
    put_goodness(cells, fit_statistics(result.rows_after), result.after);
    for (std::size_t slot = 0; slot < result.fitted.size(); ++slot) {
        const std::string name = "w" + std::to_string(slot + 1);
        cells.set(name, number(result.fitted[slot]));
        cells.set(name + "_err", optional_number(result.errors[slot]));
    }
    if (result.scale) {
        cells.set("ref_a", number(result.scale->ref_a_exact));
        cells.set("ref_a_err", optional_number(result.scale->ref_a_error));
    }
    cells.set("condition_number", number(result.condition_number));
    cells.set("rank", integer(result.rank));
    cells.set("chi2_before", number(result.before.chi2));
    return finish("ok", "");
}

}  // namespace linesynth::tools
