// The chi-squared the run's own arithmetic gives for a set of weights: the
// compared rows as the run would make them with those weights. (The model
// that is fitted is fit_design.h's.)
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/run_end.h"
#include "stages/compute_stage.h"
#include "tools/compare/compared_rows.h"

namespace linesynth::tools {

// The synthetic spectrum the run builds with `weights` (one per set, set 1
// first), rebuilt by resynthesize (spectrum/spectrum_store.h) from the kept
// component columns on a fresh store; then the rows of `like` (same indices
// and sigmas) with their S(I) taken from it through the map of `scales`
// (the run's, or one with a fitted ref_a). A narrowing that overflows is the
// run's fault, and so is every fault of the run's report stage rehearsed on
// the rebuilt spectrum (its tables and integral, stages/report_stage.h).
std::optional<RunFailure> rebuilt_rows(const RunData& data, const KeptColumns& kept,
                                       const std::vector<float>& weights,
                                       const ReportScales& scales,
                                       const std::vector<ComparedRow>& like,
                                       std::vector<ComparedRow>& rows);

}  // namespace linesynth::tools
