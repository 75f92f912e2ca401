#include "tools/cli/stats_output.h"

#include <algorithm>

#include "tools/compare/number_text.h"

namespace linesynth::tools {

// nlohmann-json writes a double as the shortest text that reads back as the
// same double; values that JSON cannot hold (infinities) become null.
nlohmann::json stats_json(const FitStatistics& stats) {
    nlohmann::json json;
    json["points"] = stats.points;
    json["mean"] = stats.mean;
    json["rms"] = stats.rms;
    json["mean_abs"] = stats.mean_abs;
    json["max_abs"] = stats.max_abs;
    json["max_abs_wavelength"] = static_cast<double>(stats.max_abs_wavelength);
    json["chi2"] = stats.chi2;
    json["chi2_per_point"] = stats.chi2_per_point;
    json["adev_percent"] =
        stats.adev_percent ? nlohmann::json(*stats.adev_percent) : nlohmann::json(nullptr);
    return json;
}

std::string labelled_line(const std::string& label, const std::string& value) {
    std::string text = label + ":";
    text.resize(std::max<std::size_t>(text.size() + 1, 28), ' ');
    return text + value + "\n";
}

std::string stats_text(const FitStatistics& stats) {
    return labelled_line("compared rows", std::to_string(stats.points)) +
           labelled_line("mean residual", shortest_text(stats.mean)) +
           labelled_line("rms residual", shortest_text(stats.rms)) +
           labelled_line("mean absolute residual", shortest_text(stats.mean_abs)) +
           labelled_line("largest absolute residual", shortest_text(stats.max_abs) +
                                                          " at wavelength " +
                                                          shortest_text(stats.max_abs_wavelength)) +
           labelled_line("chi-squared", shortest_text(stats.chi2)) +
           labelled_line("chi-squared per row", shortest_text(stats.chi2_per_point)) +
           labelled_line("mean absolute deviation",
                         stats.adev_percent ? shortest_text(*stats.adev_percent) + " %"
                                            : std::string("none (every observed value is 0)"));
}

}  // namespace linesynth::tools
