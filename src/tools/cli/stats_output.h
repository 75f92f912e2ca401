// The fit statistics as the companion prints them: one labelled line each for
// people, or a JSON object whose numbers read back as the same doubles.
//   stats_text: "compared rows:              400\n" ... one line per figure,
//               the value in column 29, every real its shortest exact text
//   stats_json: {"adev_percent":2.95...,"chi2":...,"points":400,...}
//               (keys in alphabetical order; no rows with a nonzero observed
//               value -> "adev_percent":null)
// Without a sigma file chi-squared is a plain sum of squared residuals, and
// the text says so: "sum of squared residuals (sigma 1 for every row):".
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "tools/compare/comparison.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"
#include "tools/fit/row_shift.h"

namespace linesynth::tools {

// "label:" padded with blanks to 28 columns (at least one), the value, LF.
std::string labelled_line(const std::string& label, const std::string& value);

// The shortest exact text, or `none` when there is no value.
std::string optional_text(const std::optional<double>& value, const std::string& none);

std::string stats_text(const FitStatistics& stats, const ComparisonFigures& figures);

nlohmann::json stats_json(const FitStatistics& stats, const ComparisonFigures& figures);

// The shift between the observed rows and the model (row_shift.h), which
// both commands report: one labelled line, and a warning line when it is
// significant; as JSON {"value":...,"error":...,"significant":...} or null.
std::string shift_text(const RowShift& shift);
nlohmann::json shift_json(const std::optional<RowShift>& shift);

// The keys both commands share about what was compared: directory, title,
// sigma ("file" or "unit"), mask ([[low, high], ...]), normalised_by,
// integral, weights_in and version.
void put_comparison_json(nlohmann::json& json, const Comparison& comparison,
                         const ComparisonFigures& figures, const std::string& dir,
                         const std::string& version);

}  // namespace linesynth::tools
