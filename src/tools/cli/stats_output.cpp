#include "tools/cli/stats_output.h"

#include <algorithm>

#include "textio/real_text.h"
#include "tools/compare/number_text.h"

namespace linesynth::tools {
namespace {

// A 32-bit real as the run writes it (its summary page holds the integral
// so), where the shortest exact text would differ in the last digits.
std::string run_text(float value) {
    char text[real_text_room];
    return std::string(text, format_real(value, text));
}

nlohmann::json optional_json(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

}  // namespace

// nlohmann-json writes a double as the shortest text that reads back as the
// same double; values that JSON cannot hold (infinities) become null.
nlohmann::json stats_json(const FitStatistics& stats, const ComparisonFigures& figures) {
    nlohmann::json json;
    json["points"] = stats.points;
    json["mean"] = stats.mean;
    json["rms"] = stats.rms;
    json["mean_abs"] = stats.mean_abs;
    json["max_abs"] = stats.max_abs;
    json["max_abs_wavelength"] = static_cast<double>(stats.max_abs_wavelength);
    json["chi2"] = stats.chi2;
    json["chi2_per_point"] = stats.chi2_per_point;
    json["adev_percent"] = optional_json(stats.adev_percent);
    json["dof"] = figures.goodness.dof;
    json["chi2_reduced"] = optional_json(figures.goodness.chi2_reduced);
    json["p_value"] = optional_json(figures.goodness.p_value);
    json["snr"] = optional_json(figures.snr);
    return json;
}

void put_comparison_json(nlohmann::json& json, const Comparison& comparison,
                         const ComparisonFigures& figures, const std::string& dir,
                         const std::string& version) {
    json["directory"] = dir;
    json["title"] = figures.title;
    json["sigma"] = figures.sigma_from_file ? "file" : "unit";
    json["mask"] = nlohmann::json::array();
    for (const MaskRange& range : comparison.mask) {
        json["mask"].push_back({range.low, range.high});
    }
    json["normalised_by"] = figures.normalised_by
                                ? nlohmann::json(static_cast<double>(*figures.normalised_by))
                                : nlohmann::json(nullptr);
    json["integral"] = figures.integral ? nlohmann::json(static_cast<double>(*figures.integral))
                                        : nlohmann::json(nullptr);
    json["weights_in"] = nlohmann::json::array();
    for (const float weight : figures.weights_in) {
        json["weights_in"].push_back(static_cast<double>(weight));
    }
    json["version"] = version;
}

std::string labelled_line(const std::string& label, const std::string& value) {
    std::string text = label + ":";
    text.resize(std::max<std::size_t>(text.size() + 1, 28), ' ');
    return text + value + "\n";
}

std::string optional_text(const std::optional<double>& value, const std::string& none) {
    return value ? shortest_text(*value) : none;
}

std::string stats_text(const FitStatistics& stats, const ComparisonFigures& figures) {
    const Goodness& goodness = figures.goodness;
    std::string text =
        labelled_line("compared rows", std::to_string(stats.points)) +
        labelled_line("mean residual", shortest_text(stats.mean)) +
        labelled_line("rms residual", shortest_text(stats.rms)) +
        labelled_line("mean absolute residual", shortest_text(stats.mean_abs)) +
        labelled_line("largest absolute residual", shortest_text(stats.max_abs) +
                                                       " at wavelength " +
                                                       shortest_text(stats.max_abs_wavelength)) +
        labelled_line(figures.sigma_from_file ? "chi-squared"
                                              : "sum of squared residuals (sigma 1 for every row)",
                      shortest_text(stats.chi2)) +
        labelled_line("chi-squared per row", shortest_text(stats.chi2_per_point)) +
        labelled_line("degrees of freedom",
                      std::to_string(goodness.dof) + " (compared rows - component sets)") +
        labelled_line("reduced chi-squared",
                      optional_text(goodness.chi2_reduced, "none (no degree of freedom)"));
    if (figures.sigma_from_file) {
        text += labelled_line("p-value", optional_text(goodness.p_value, "none") +
                                             " (probability of a chi-squared at least this large)");
    }
    text += labelled_line("mean absolute deviation",
                          stats.adev_percent ? shortest_text(*stats.adev_percent) + " %"
                                             : std::string("none (every observed value is 0)"));
    text += labelled_line("signal-to-noise (DER_SNR)",
                          optional_text(figures.snr, "none (fewer than 5 rows or no noise)"));
    text += labelled_line("normalised by", figures.normalised_by
                                               ? shortest_text(*figures.normalised_by) +
                                                     " (the largest observed flux)"
                                               : std::string("none"));
    text += labelled_line("integral", figures.integral ? run_text(*figures.integral)
                                                       : std::string("none (beyond 32-bit range)"));
    return text;
}

std::string shift_text(const RowShift& shift) {
    std::string text = labelled_line("shift", shortest_text(shift.value) + " rows (error " +
                                                  shortest_text(shift.error) +
                                                  "; observed rows against the model)");
    if (shift.significant) {
        text += shift_warning() + "\n";
    }
    return text;
}

nlohmann::json shift_json(const std::optional<RowShift>& shift) {
    if (!shift) {
        return nullptr;
    }
    return {{"value", shift->value}, {"error", shift->error}, {"significant", shift->significant}};
}

}  // namespace linesynth::tools
