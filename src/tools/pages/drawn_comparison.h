// What a page is drawn from: a directory's comparison and, when asked, the
// fit that suggests its weights, with the few facts about them that every
// page's data needs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "inputs/run_parameters.h"
#include "tools/compare/comparison.h"
#include "tools/fit/fit_result.h"

namespace linesynth::tools {

struct DrawnComparison {
    Comparison comparison;
    std::optional<FitResult> fit;  // with the page's --fit
};

// The last row that can be compared, masked or not.
std::int32_t last_comparable_row(const Comparison& comparison);

// The heading: the one asked for, else the title record of vlt.txt as read.
std::string page_title(const std::optional<std::string>& title, const RunParameters& parameters);

}  // namespace linesynth::tools
