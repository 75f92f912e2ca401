// Degrees of freedom and the goodness of a fit from its chi-squared.
//
//   dof = compared rows - parameters that the fit moved (not held at a bound)
//   reduced chi-squared = chi2 / dof, defined only for dof >= 1
//   p-value = probability that a chi-squared variable with dof degrees of
//             freedom is at least chi2 (its upper tail), and only with sigmas
//             from a file: with unit sigmas chi2 is a plain sum of squared
//             residuals and a probability of it would mean nothing.
//   chi2 14, 8 rows, 3 parameters, unit sigma -> dof 5, reduced 2.8, no p-value
//   chi2 2, 3 rows, 1 parameter, sigma file  -> dof 2, reduced 1, p = exp(-1)
//   chi2 1, 2 rows, 2 parameters             -> dof 0, no reduced, no p-value
#pragma once

#include <cstdint>
#include <optional>

namespace linesynth::tools {

struct Goodness {
    std::int64_t dof = 0;
    std::optional<double> chi2_reduced;  // dof >= 1
    std::optional<double> p_value;       // dof >= 1 and sigmas from a file
};

Goodness goodness_of_fit(double chi2, std::int64_t rows, std::int64_t parameters,
                         bool sigma_from_file);

// The standard normal distribution function Phi(t), and the quantile of its
// upper tail: the t with 1 - Phi(t) = p, for 0 < p < 1.
//   normal_cdf(0) -> 0.5;  normal_upper_quantile(0.025) -> 1.9599639845400545 (to 1e-15)
double normal_cdf(double t);
double normal_upper_quantile(double p);

}  // namespace linesynth::tools
