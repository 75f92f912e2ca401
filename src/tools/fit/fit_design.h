// The linear least-squares problem of a weight fit, with or without a fitted
// scale, and its parameters turned back into weights and a scale.
//
// The run maps its synthetic spectrum to the observed scale by
//   S(I) = (continuum(I) - flux_2) * a + ref_b + sum over J of a * w(J) * component_J(I)
// with a = scale_fwd, component_J(I) set J's difference from the continuum
// for I up to its file's count and 0 above it (the synthetic spectrum at
// double precision, without narrowing between the sets).
//   - Weights only: a is the run's scale_fwd and S is linear in the w(J):
//     column J is a * component_J, the target observed - base.
//   - With the scale: S is linear in u(J) = a * w(J) and in a itself:
//     column J is component_J, the last column continuum - flux_2, the
//     target observed - ref_b. Then w(J) = u(J) / a.
// Every row is divided by its sigma.
//   weights only, rows 3, sets 2  -> columns 2 (w(1), w(2))
//   with the scale                -> columns 3 (u(1), u(2), a)
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "stages/compute_stage.h"
#include "tools/compare/compared_rows.h"
#include "tools/fit/least_squares.h"

namespace linesynth::tools {

enum class FitMode {
    non_negative,  // w(J) >= 0
    free,          // any sign
};

struct FitDesign {
    Eigen::MatrixXd columns;  // one row per compared row, divided by its sigma
    Eigen::VectorXd target;
    bool scale = false;      // the last column is the scale a
    double fixed_scale = 0;  // a when it is not fitted: the run's scale_fwd
};

// Precondition: 1 <= set_count <= max_component_sets and `rows` not empty.
FitDesign fit_design(const RunData& data, const KeptColumns& kept,
                     const std::vector<ComparedRow>& rows, bool scale);

// The solution of the design's problem. Non-negative fits hold every
// parameter at >= 0, the scale too: a scale the fit pushes to 0 or below is
// refused by the caller either way (the spectra do not pin the scale).
struct DesignSolution {
    Eigen::VectorXd x;
    std::vector<bool> at_bound;  // per column; all false for a free fit
};

DesignSolution solve_design(const Eigen::MatrixXd& columns, const Eigen::VectorXd& target,
                            FitMode mode);

// The weights and scale that the parameters stand for.
struct ModelParameters {
    std::vector<double> weights;  // w(1) first
    double scale = 0;             // a
};

ModelParameters model_parameters(const FitDesign& design, const Eigen::VectorXd& x);

// The same for a problem reduced by least_squares.h's reduce_problem, whose
// triangle the caller keeps for the conditioning and the covariance.
DesignSolution solve_design(const ReducedProblem& problem, FitMode mode);

// The sigma-weighted Jacobian of S with respect to (w(1), ..., w(n)[, a]) at
// `parameters`, from `columns` (the design's, or its triangle: the map is the
// same linear one): for w(J), a * component_J; for a, (continuum - flux_2) +
// sum of w(J) * component_J.
Eigen::MatrixXd model_jacobian(const FitDesign& design, const Eigen::MatrixXd& columns,
                               const ModelParameters& parameters);

}  // namespace linesynth::tools
