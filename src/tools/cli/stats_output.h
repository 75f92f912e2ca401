// The fit statistics as the companion prints them: one labelled line each for
// people, or a JSON object whose numbers read back as the same doubles.
//   stats_text: "compared rows:              400\n" ... one line per figure,
//               the value in column 29, every real its shortest exact text
//   stats_json: {"adev_percent":2.95...,"chi2":...,"points":400,...}
//               (keys in alphabetical order; no rows with a nonzero observed
//               value -> "adev_percent":null)
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/compare/fit_statistics.h"

namespace linesynth::tools {

// "label:" padded with blanks to 28 columns (at least one), the value, LF.
std::string labelled_line(const std::string& label, const std::string& value);

std::string stats_text(const FitStatistics& stats);

nlohmann::json stats_json(const FitStatistics& stats);

}  // namespace linesynth::tools
