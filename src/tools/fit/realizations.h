// Monte Carlo realizations of a fit: the best-fit model plus noise, refitted
// N times, and the spread of each parameter over the refits.
//
// In the sigma-weighted units of the design, realization k fits
//   target_k(i) = fitted(i) + noise * e_k(i)
// with e_k(i) standard normal deviates, and `noise` 1 when every row's sigma
// comes from a file, else the scatter of the residuals, sqrt(chi2 / dof).
// The refits never touch the tall design: with A = Q R (Q with orthonormal
// columns), |A x - target_k| differs from |R x - (R x_fit + Q^T e_k)| by a
// constant, and Q^T e_k is again a vector of independent standard normal
// deviates. So each realization draws one deviate per parameter (plus one for
// the zero row of the reduced problem), in order, realization after
// realization, from one generator, and solves a problem of at most eleven
// rows, a non-negative one starting from the best fit's set of held weights
// (most refits keep that set, on which the solution is a linear map of the
// target worked out once).
//
// The generator and the deviates have fixed definitions, so that one seed
// gives the same bytes on every platform and library:
//   - std::mt19937_64 seeded with the seed (the standard fixes its output);
//   - a uniform in [0, 1): the top 53 bits of one output times 2^-53;
//   - a normal deviate: Marsaglia's polar method on two such uniforms, each
//     mapped to 2u - 1, with natural_log below; both deviates of a pair are
//     used, the first first.
// Percentiles are quantile() below.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "tools/fit/fit_design.h"
#include "tools/fit/least_squares.h"

namespace linesynth::tools {

// ln(x) for a finite x > 0 from + - * / alone (a binary exponent split and
// the series of 2 atanh(z)), so that it is the same double everywhere;
// within 2 ulps of the true logarithm:
//   natural_log(1) -> 0;  natural_log(0.5) -> -0.6931471805599453
double natural_log(double x);

class NormalDeviates {
public:
    explicit NormalDeviates(std::uint64_t seed) : generator_(seed) {}
    double uniform();  // in [0, 1)
    double normal();   // mean 0, sigma 1

private:
    std::mt19937_64 generator_;
    std::optional<double> spare_;
};

// The p-th quantile (0 <= p <= 1) of `values` (not empty) by linear
// interpolation between order statistics (Hyndman and Fan's type 7, the
// default of R and NumPy): with v sorted and h = (count - 1) * p,
// v[floor h] + (h - floor h) * (v[floor h + 1] - v[floor h]).
//   1, 2, 3, 4 at 0.5 -> 2.5;  at 0.16 -> 1.48;  5 at 0.84 -> 5
double quantile(std::vector<double> values, double p);

struct Spread {
    double median = 0;
    double p16 = 0;
    double p84 = 0;
};

struct RealizationSummary {
    std::int64_t count = 0;    // asked
    std::int64_t refused = 0;  // refits whose scale came out at 0 or below
    std::vector<Spread> weights;
    std::optional<Spread> scale;  // a, with a fitted scale
    // Some refit held a different set of weights at 0 than the best fit:
    // the choice of the held sets is itself uncertain.
    bool held_changed = false;
};

struct RealizationRequest {
    std::int64_t count = 0;
    std::uint64_t seed = 1;
    double noise = 1;  // the sigma of each row's noise in the design's units
    FitMode mode = FitMode::non_negative;
    std::vector<bool> held;                           // the best fit's held columns, per column
    std::function<void(std::int64_t done)> progress;  // may be empty
};

// `x` is the fit's solution of `design`, and `problem` its reduction.
RealizationSummary realizations(const FitDesign& design, const ReducedProblem& problem,
                                const Eigen::VectorXd& x, const RealizationRequest& request);

}  // namespace linesynth::tools
