// Monte Carlo realizations of a fit: the best-fit model plus noise, refitted
// N times, and the spread of each parameter over the refits.
//
// In the sigma-weighted units of the design, realization k fits
//   target_k(i) = fitted(i) + noise_k(i)
// where noise_k(i) is a standard normal deviate (every row's sigma from a
// file), or else a residual of the fit drawn with replacement (the rows then
// all have sigma 1, and their scatter is the noise). The draws follow the
// rows in order, realization after realization, from one generator.
//
// The generator and the deviates have fixed definitions, so that one seed
// gives the same bytes on every platform and library:
//   - std::mt19937_64 seeded with the seed (the standard fixes its output);
//   - a uniform in [0, 1): the top 53 bits of one output times 2^-53;
//   - a normal deviate: Marsaglia's polar method on two such uniforms, each
//     mapped to 2u - 1, with natural_log below; both deviates of a pair are
//     used, the first first;
//   - a resampled row: one output modulo the row count (the bias of at most
//     10000 / 2^64 does not matter here).
// Percentiles are quantile() below.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "tools/fit/fit_design.h"

namespace linesynth::tools {

// ln(x) for a finite x > 0 from + - * / alone (a binary exponent split and
// the series of 2 atanh(z)), so that it is the same double everywhere;
// within 2 ulps of the true logarithm:
//   natural_log(1) -> 0;  natural_log(0.5) -> -0.6931471805599453
double natural_log(double x);

class NormalDeviates {
public:
    explicit NormalDeviates(std::uint64_t seed) : generator_(seed) {}
    double uniform();                      // in [0, 1)
    double normal();                       // mean 0, sigma 1
    std::uint64_t below(std::uint64_t n);  // in [0, n), n >= 1

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
};

struct RealizationRequest {
    std::int64_t count = 0;
    std::uint64_t seed = 1;
    bool gaussian = false;  // sigmas from a file: normal noise; else resampled residuals
    FitMode mode = FitMode::non_negative;
    std::function<void(std::int64_t done)> progress;  // may be empty
};

// `x` is the fit's solution of `design`.
RealizationSummary realizations(const FitDesign& design, const Eigen::VectorXd& x,
                                const RealizationRequest& request);

}  // namespace linesynth::tools
