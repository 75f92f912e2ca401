// Linear least squares over a few columns: minimise |A x - b| with x >= 0
// (Lawson and Hanson's active-set method) or unconstrained. (How well A pins
// x is conditioning.h's.)
//
// A has one column per unknown and one row per compared row; there are at
// most ten unknowns, so every step works on small dense matrices.
#pragma once

#include <Eigen/Dense>
#include <vector>

namespace linesynth::tools {

struct NonNegativeSolution {
    Eigen::VectorXd x;
    std::vector<bool> at_bound;  // x(j) held at 0 by the constraint (the active set)
};

// Lawson and Hanson's NNLS: columns enter the passive set by the largest
// gradient A^T (b - A x) and leave it when the unconstrained solution on the
// passive columns would go negative. A tall A is first reduced to the
// triangle of one QR of [A b], which has the same minimiser; the least
// squares on the passive columns is then a column-pivoting QR of those
// columns of the triangle.
//   A = [1 0; 0 1], b = (2, -3) -> x = (2, 0), x(2) at the bound
NonNegativeSolution non_negative_least_squares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b);

// The reduction above on its own, for a caller that needs the triangle too
// (its R_A^T R_A is A^T A: the conditioning and the covariance of A): a and
// b the square problem, tolerance the gradients' from A as given. A problem
// with no more than one row more than columns is kept as it is.
//   A 10000 x 10, b 10000 -> a 11 x 10 (row 11 zero), b 11
struct ReducedProblem {
    Eigen::MatrixXd a;
    Eigen::VectorXd b;
    double tolerance = 0;
};
ReducedProblem reduce_problem(const Eigen::MatrixXd& a, const Eigen::VectorXd& b);
// `start_held`, when it has one entry per column, is a warm start: the
// active set of a nearby problem (a refit of a realization starts from the
// best fit's), which saves most of the passes; the minimiser is the same.
NonNegativeSolution non_negative_least_squares(const ReducedProblem& problem,
                                               const std::vector<bool>& start_held = {});

// The basic solution of the column-pivoting QR: an unknown whose column is a
// combination of the others gets 0.
//   A = [1 0; 0 1], b = (2, -3) -> x = (2, -3)
Eigen::VectorXd free_least_squares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b);

}  // namespace linesynth::tools
