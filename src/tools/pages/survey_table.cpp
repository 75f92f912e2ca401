#include "tools/pages/survey_table.h"

#include <filesystem>

#include "inputs/input_files.h"
#include "inputs/run_parameters.h"
#include "tools/compare/comparison.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/input_digest.h"
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

enum class OptionFile {
    absent,
    regular,
    not_regular,  // a dangling link, FIFO, device or directory
};

std::filesystem::path file_path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// What the directory holds under an option file's name. The kind is asked
// without opening anything: a FIFO opened for reading waits for a writer.
OptionFile option_file(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file_path(path), ignored))) {
        return OptionFile::absent;
    }
    return std::filesystem::is_regular_file(file_path(path), ignored) ? OptionFile::regular
                                                                      : OptionFile::not_regular;
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

void put_figures(RowCells& cells, const Comparison& comparison, const ComparisonFigures& figures) {
    cells.set("title", figures.title);
    cells.set("sets", integer(comparison.data->parameters.set_count));
    cells.set("points", integer(static_cast<std::int64_t>(comparison.rows.size())));
    cells.set("snr", optional_number(figures.snr));
    cells.set("integral", optional_number(figures.integral));
    cells.set("normalised_by", optional_number(figures.normalised_by));
}

// The fit's own columns: each set's weight, error and upper limit, ref_a,
// and the fit's conditioning.
void put_fit(RowCells& cells, const FitResult& result) {
    for (std::size_t slot = 0; slot < result.fitted.size(); ++slot) {
        const std::string name = "w" + std::to_string(slot + 1);
        cells.set(name, number(result.fitted[slot]));
        cells.set(name + "_err", optional_number(result.errors[slot]));
        cells.set(name + "_limit", optional_number(result.upper_limits[slot]));
    }
    if (result.scale) {
        cells.set("ref_a", number(result.scale->ref_a_exact));
        cells.set("ref_a_err", optional_number(result.scale->ref_a_error));
    }
    cells.set("condition_number", number(result.condition_number));
    cells.set("rank", integer(result.rank));
    cells.set("chi2_before", number(result.before.chi2));
}

// How a row ended: "ok" with no message, or the kind of failure and its
// report.
struct RowEnd {
    std::string status;
    std::string message;
};

SurveyRow finished_row(RowCells& cells, const RowEnd& end) {
    cells.set("status", end.status);
    cells.set("message", end.message);
    return {end.status == "ok", cells.take()};
}

// Names the directory's mask and sigma files in the request where they are
// regular files, and says in the row whether each is there; a name that is
// there but is not a regular file ends the row.
std::optional<RowEnd> find_option_files(const SurveyOptions& options, ComparisonRequest& request,
                                        RowCells& cells) {
    const struct {
        const std::string& name;
        std::string& file;
        std::string_view column;
        RefusalKind refusal;
    } option_files[] = {
        {options.mask_name, request.mask_file, "mask", RefusalKind::mask_file},
        {options.sigma_name, request.sigma_file, "sigma", RefusalKind::sigma_file},
    };
    for (const auto& option : option_files) {
        if (option.name.empty()) {
            continue;
        }
        const std::string path = request.dir + option.name;
        const OptionFile kind = option_file(path);
        if (kind == OptionFile::not_regular) {
            return RowEnd{std::string(refusal_name(option.refusal)),
                          path +
                              " is not a regular file (a dangling link, FIFO, device or "
                              "directory); it is not read"};
        }
        option.file = kind == OptionFile::regular ? path : "";
        cells.set(option.column, std::string(boolean_cell(kind == OptionFile::regular)));
    }
    return std::nullopt;
}

// The comparison's figures, with the fitted model's when the survey fits.
RowEnd put_comparison(const SurveyOptions& options, const ComparisonRequest& request,
                      RowCells& cells) {
    Comparison comparison;
    if (auto refusal = load_comparison(request, comparison)) {
        return {std::string(refusal_name(refusal->kind)), refusal->text};
    }
    if (!options.fit) {
        const FitStatistics stats = fit_statistics(comparison.rows);
        const ComparisonFigures figures = comparison_figures(comparison, stats);
        put_figures(cells, comparison, figures);
        put_goodness(cells, stats, figures.goodness);
        return {"ok", ""};
    }
    FitOptions fit_options;
    fit_options.mode = options.free ? FitMode::free : FitMode::non_negative;
    fit_options.scale = options.scale;
    FitResult result;
    if (auto refusal = fit_comparison(comparison, request.dir, fit_options, result)) {
        put_figures(cells, comparison,
                    comparison_figures(comparison, fit_statistics(comparison.rows)));
        return {std::string(refusal_name(refusal->kind)), refusal->text};
    }
    put_figures(cells, comparison, result.figures);
    put_goodness(cells, fit_statistics(result.rows_after), result.after);
    put_fit(cells, result);
    return {"ok", ""};
}

// The columns every survey has, from the directory to normalised_by.
std::vector<TableColumn> comparison_columns(const SurveyOptions& options) {
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
    return columns;
}

// With --fit: each set's weight, error and upper limit, ref_a with --scale,
// and the fit's conditioning.
std::vector<TableColumn> fit_columns(const SurveyOptions& options) {
    using enum ColumnType;
    std::vector<TableColumn> columns;
    for (std::int32_t set = 1; set <= weight_columns; ++set) {
        columns.push_back({"w" + std::to_string(set), float64, "",
                           "fitted weight of set " + std::to_string(set)});
    }
    for (std::int32_t set = 1; set <= weight_columns; ++set) {
        columns.push_back({"w" + std::to_string(set) + "_err", float64, "",
                           "1-sigma error of w" + std::to_string(set)});
    }
    // A held weight has no error but an upper limit, in a column of its own
    // so that every column keeps one type (a reader shows it as "< 0.031").
    for (std::int32_t set = 1; set <= weight_columns; ++set) {
        columns.push_back({"w" + std::to_string(set) + "_limit", float64, "",
                           "95 % upper limit of w" + std::to_string(set) + " when held at 0"});
    }
    if (options.scale) {
        columns.push_back({"ref_a", float64, "", "fitted ref_a of the scale file"});
        columns.push_back({"ref_a_err", float64, "", "1-sigma error of ref_a"});
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

}  // namespace

std::vector<TableColumn> survey_columns(const SurveyOptions& options) {
    std::vector<TableColumn> columns = comparison_columns(options);
    if (options.fit) {
        const std::vector<TableColumn> fitted = fit_columns(options);
        columns.insert(columns.end(), fitted.begin(), fitted.end());
    }
    columns.push_back({"input_sha256", ColumnType::string, "",
                       "SHA-256 of the directory's files that decide the row"});
    return columns;
}

std::string survey_input_digest(const std::string& dir, const SurveyOptions& options) {
    std::vector<std::string> names = input_file_names(max_component_sets);
    for (const std::string* name : {&options.mask_name, &options.sigma_name}) {
        if (!name->empty()) {
            names.push_back(*name);
        }
    }
    return files_digest(platform::directory_path(dir), names);
}

SurveyRow failed_survey_row(const std::string& dir, const SurveyOptions& options,
                            std::string_view status, const std::string& message) {
    const std::vector<TableColumn> columns = survey_columns(options);
    RowCells cells(columns);
    cells.set("directory", dir);
    cells.set("status", std::string(status));
    cells.set("message", message);
    return {false, cells.take()};
}

std::uintmax_t survey_option_bytes(const std::string& dir, const SurveyOptions& options) {
    std::uintmax_t bytes = 0;
    for (const std::string* name : {&options.mask_name, &options.sigma_name}) {
        const std::string path = platform::directory_path(dir) + *name;
        std::error_code failed;
        if (!name->empty() && option_file(path) == OptionFile::regular) {
            const std::uintmax_t size = std::filesystem::file_size(file_path(path), failed);
            bytes += failed ? 0 : size;
        }
    }
    return bytes;
}

SurveyRow survey_row(const std::string& dir, const SurveyOptions& options,
                     const std::string& digest) {
    const std::vector<TableColumn> columns = survey_columns(options);
    RowCells cells(columns);
    cells.set("directory", dir);
    cells.set("input_sha256", digest);
    ComparisonRequest request;
    request.dir = platform::directory_path(dir);
    if (auto end = find_option_files(options, request, cells)) {
        return finished_row(cells, *end);
    }
    return finished_row(cells, put_comparison(options, request, cells));
}

}  // namespace linesynth::tools
