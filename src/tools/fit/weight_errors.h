// The 1-sigma errors a fit reports, honest also where the bound 0 is active
// or sets are (nearly) alike, the upper limits of the weights held at 0, the
// well-determined combinations of (nearly) dependent sets, and the covariance
// the errors belong to. Parameters are the design's columns: the weights,
// then the scale a when it is fitted.
//
// A parameter's error is the largest of those that apply:
//   - formal: the covariance over the parameters not held (uncertainty.h);
//   - released: with some weight held at 0, the covariance of the problem
//     with every held weight set free (the free-sign covariance of all
//     parameters), where it exists. The held choice is itself a result of
//     the noise; releasing it gives the spread of the free-sign estimate,
//     and the non-negative fit, the projection of that estimate onto
//     w >= 0, is no farther from a true w >= 0 in the metric of J^T J;
//   - realizations: half the 16 to 84 % range of the refits, when some refit
//     held a different set of weights at 0 than the best fit.
// A set in a linear dependency has no error ("undetermined"): only
// combinations of its group are pinned. A held weight has none either; it
// gets an upper limit instead.
//
// The upper limit of a held weight, at 95 %: with w and s the free-sign
// estimate and its released error, the 95 % quantile of the normal
// distribution N(w, s^2) truncated to w >= 0 (a flat prior on w >= 0):
//   U = w + s * Qc(0.05 * Phi(w / s))
// with Phi the standard normal distribution function and Qc its upper-tail
// quantile. When Phi(w / s) underflows, its tail is exponential and
// U = s * ln(20) / |w / s|.
//   w = 0, s = 1   -> U = 1.9599639845400545 (Qc(0.025)), to 1e-15
//   w = -1, s = 1  -> U = 1.41199 (to 5 digits)
//
// The combination of a group (the dependent sets, or the nearly dependent
// ones) is along the best-determined direction of its columns: the right
// singular vector c of their largest singular value, scaled so that its
// largest coefficient is 1; coefficients all within 1e-3 of 1 are taken as
// exactly 1 (the group's sum). Its value is c . w, its error sqrt(c^T C c),
// with C the released (or formal) covariance, or the pseudo-inverse over the
// determined directions where none exists.
//   columns v, v: coefficients 1, 1 (the sum)
//   columns v, 2v: coefficients 0.5, 1
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/fit/conditioning.h"
#include "tools/fit/fit_design.h"
#include "tools/fit/realizations.h"

namespace linesynth::tools {

// Correlations at least this strong are named by the reports.
inline constexpr double strong_correlation = 0.5;

enum class ErrorMethod {
    none,          // held at 0, or no covariance
    formal,        // the covariance over the parameters not held
    released,      // the covariance with the held weights set free
    realizations,  // the spread of the refits
    undetermined,  // in a linear dependency
};

// "none", "formal", "released", "realizations", "undetermined".
std::string_view error_method_name(ErrorMethod method);

// How the errors were obtained, in words, once for all parameters: the
// methods in use with the sets (and ref_a) of each, or "none". The text
// report and the report page both say it.
std::string error_methods_text(const std::vector<ErrorMethod>& methods,
                               std::optional<ErrorMethod> ref_a_method);

struct Combination {
    std::vector<std::int32_t> sets;  // from 1
    std::vector<double> coefficients;
    double value = 0;
    std::optional<double> error;
};

struct ErrorInputs {
    Eigen::MatrixXd jacobian;    // sigma-weighted, at the fit, per parameter
    Eigen::VectorXd parameters;  // the weights, then a
    Eigen::VectorXd free_sign;   // the same from the free-sign fit; empty without one
    std::vector<bool> held;      // per parameter
    double variance_factor = 1;
    std::vector<Eigen::Index> dependent;  // columns (conditioning.h)
    std::vector<Eigen::Index> nearly_dependent;
    std::int32_t set_count = 0;
    const RealizationSummary* realizations = nullptr;  // may be null
};

struct ParameterErrors {
    std::vector<std::optional<double>> errors;  // per parameter
    std::vector<ErrorMethod> methods;
    std::vector<std::optional<double>> upper_limits;  // per parameter; held weights only
    std::vector<Combination> combinations;
    // The covariance the errors come from, its diagonal replaced by the
    // squared errors and its other entries scaled with them (so that the
    // correlations are those of the analytic covariance); none where a
    // parameter has no error.
    std::vector<std::vector<std::optional<double>>> covariance;
    std::vector<std::vector<std::optional<double>>> correlation;
};

ParameterErrors parameter_errors(const ErrorInputs& inputs);

// The 95 % upper limit above, for an estimate w and its error s > 0.
double upper_limit(double w, double s);

}  // namespace linesynth::tools
