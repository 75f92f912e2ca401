// Formal 1-sigma errors of fitted parameters from the covariance at the
// solution: the inverse of J^T J, with J the sigma-weighted Jacobian of the
// model over the parameters that are not held at a bound. A parameter at the
// bound has no formal error (its error is not symmetric); when the columns of
// the free parameters are linearly dependent to the last bits no parameter
// has one (the covariance does not exist).
//
// `variance_factor` multiplies the covariance: chi2 / dof when every sigma
// is 1, so that the errors are scaled by the scatter of the residuals; 1
// with sigmas from a file.
//   J = [2 0; 0 4], none at the bound, factor 1 -> errors 0.5, 0.25
//   J = [2 0; 0 4], the second at the bound    -> errors 0.5, none
//   J = [1 1; 1 1]                             -> no errors
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <vector>

namespace linesynth::tools {

std::vector<std::optional<double>> formal_errors(const Eigen::MatrixXd& jacobian,
                                                 const std::vector<bool>& at_bound,
                                                 double variance_factor);

// The covariance itself, over every column, with zero rows and columns for
// those held; none when it does not exist (as above). With nothing held it
// is the free-sign covariance of all the parameters.
//   J = [2 0; 0 4], none held -> [0.25 0; 0 0.0625]
std::optional<Eigen::MatrixXd> covariance(const Eigen::MatrixXd& jacobian,
                                          const std::vector<bool>& at_bound,
                                          double variance_factor);

// The pseudo-inverse of J^T J over the directions the columns determine:
// with the columns scaled to unit length, singular values below
// rank_tolerance of the largest count as zero (conditioning.h). It gives the
// variance of a combination of the parameters that the data pin, c^T C c
// for a c across the dependent columns, where the covariance does not exist.
//   J = [1 1; 1 1] -> [0.125 0.125; 0.125 0.125]: w1 + w2 has variance 0.5
Eigen::MatrixXd pseudo_covariance(const Eigen::MatrixXd& jacobian, double variance_factor);

}  // namespace linesynth::tools
