// A fit as the companion prints it: the report for people on standard error,
// or one JSON object that a survey can use without the text.
//   fit_text: the table of sets (weight in synthesis.txt, fitted weight, its
//             1-sigma error, with realizations their median and 16 and 84 %
//             percentiles), then one labelled line per figure
//   fit_json: {"at_bound":[...],"chi2_after":...,"condition_number":...,...}
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/fit/fit_result.h"

namespace linesynth::tools {

std::string fit_text(const FitResult& result, const FitOptions& options);

nlohmann::json fit_json(const FitResult& result, const FitOptions& options);

}  // namespace linesynth::tools
