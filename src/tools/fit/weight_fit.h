// The weights of the component sets that fit the observed spectrum best, and
// the chi-squared the run's own arithmetic gives for a set of weights.
//
// The model is the synthetic spectrum the run builds, at double precision and
// without narrowing between the sets: for a compared row I (compared_rows.h),
//   S(I) = (continuum(I) - flux_2) * scale_fwd + ref_b
//          + sum over J of w(J) * component_J(I) * scale_fwd
// where component_J(I) is set J's difference from the continuum for I up to
// its file's count and 0 above it. S is linear in the weights, so each set is
// one column of a least-squares problem whose rows are divided by sigma(I).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/run_end.h"
#include "stages/compute_stage.h"
#include "tools/compare/compared_rows.h"
#include "tools/fit/fit_design.h"

namespace linesynth::tools {

struct WeightFit {
    std::vector<double> weights;          // w(1) first
    std::vector<std::int32_t> at_bound;   // sets held at 0 (non-negative fits only)
    std::int32_t rank = 0;                // of the design matrix
    std::vector<std::int32_t> dependent;  // sets in a linear dependency, when rank < count
};

// Precondition: 1 <= set_count <= max_component_sets and `rows` not empty.
WeightFit fit_weights(const RunData& data, const KeptColumns& kept,
                      const std::vector<ComparedRow>& rows, FitMode mode);

// The synthetic spectrum the run builds with `weights` (one per set, set 1
// first), rebuilt with the run's own operations on a fresh store: seeded from
// the continuum, then each kept component column added in set order, each
// addition narrowed; then the rows of `like` (same indices and sigmas) with
// their S(I) taken from it. A narrowing that overflows is the run's fault.
std::optional<RunFailure> rebuilt_rows(const RunData& data, const KeptColumns& kept,
                                       const std::vector<float>& weights,
                                       const std::vector<ComparedRow>& like,
                                       std::vector<ComparedRow>& rows);

}  // namespace linesynth::tools
