#include "tools/pages/survey_table.h"

#include <filesystem>

#include "platform/platform.h"
#include "tools/compare/comparison.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/number_text.h"
#include "tools/fit/suggested_fit.h"
#include "tools/pages/markup_text.h"

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

void put_statistics(RowCells& cells, const FitStatistics& stats) {
    cells.set("chi2", number(stats.chi2));
    cells.set("rms", number(stats.rms));
    if (stats.adev_percent) {
        cells.set("adev_percent", number(*stats.adev_percent));
    }
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
            {"dof", int64, "", "degrees of freedom"},
            {"chi2_reduced", float64, "", "chi2 / dof"},
            {"p_value", float64, "", "probability of a chi2 at least this large"},
            {"rms", float64, "", "root mean square residual of " + model},
            {"adev_percent", float64, "%", "mean absolute deviation in percent of observed"},
            {"snr", float64, "", "signal to noise ratio of the observed spectrum"},
            {"integral", float64, "", "the run's integral"},
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
    if (auto reason = load_comparison(request, comparison)) {
        return finish(refusal_name(comparison.refusal), *reason);
    }
    const RunData& data = *comparison.data;
    const RunParameters& parameters = data.parameters;
    cells.set("title", std::string(without_trailing_blanks(
                           std::string_view(parameters.title_line, sizeof parameters.title_line))));
    cells.set("sets", integer(parameters.set_count));
    cells.set("points", integer(static_cast<std::int64_t>(comparison.rows.size())));
    // The observed file's rule (inputs/spectrum_files.h): flags 2 4 normalise.
    if (data.store->norm_a == 2 && data.store->norm_b == 4) {
        cells.set("normalised_by", number(static_cast<double>(data.store->max_observed)));
    }
    if (!options.fit) {
        put_statistics(cells, fit_statistics(comparison.rows));
        return finish("ok", "");
    }
    SuggestedFit suggested;
    if (auto reason =
            suggest_weights(comparison, request.dir,
                            options.free ? FitMode::free : FitMode::non_negative, suggested)) {
        return finish("fit", *reason);
    }
    for (std::size_t slot = 0; slot < suggested.fit.weights.size(); ++slot) {
        cells.set("w" + std::to_string(slot + 1), number(suggested.fit.weights[slot]));
    }
    cells.set("rank", integer(suggested.fit.rank));
    cells.set("chi2_before", number(suggested.before.chi2));
    std::vector<ComparedRow> fitted;
    if (rebuilt_rows(data, *comparison.kept, suggested.weights, comparison.rows, fitted)) {
        return finish("fit", "the fitted weights fault the run's arithmetic");
    }
    put_statistics(cells, fit_statistics(fitted));
    return finish("ok", "");
}

}  // namespace linesynth::tools
