// The rows an exported table holds (export_table.h): every comparable row,
// the masked ones included (the table marks them), and with a fit the rows
// the run would give with the suggested weights (kept non-negative, as
// `fit`).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/compare/comparison.h"
#include "tools/compare/refusal.h"

namespace linesynth::tools {

struct ExportRows {
    std::vector<ComparedRow> rows;
    std::vector<ComparedRow> fitted;  // empty without a fit
};

// `dir` is the data directory the fit reads (ending in its separator). A
// fit the run could not complete with its weights refuses as fit.
std::optional<Refusal> export_rows(const Comparison& comparison, const std::string& dir, bool fit,
                                   ExportRows& exported);

}  // namespace linesynth::tools
