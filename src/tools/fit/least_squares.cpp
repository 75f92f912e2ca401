#include "tools/fit/least_squares.h"

#include <algorithm>
#include <limits>

namespace linesynth::tools {
namespace {

// The least-squares solution on the passive columns, 0 elsewhere.
Eigen::VectorXd passive_solution(const Eigen::MatrixXd& a, const Eigen::VectorXd& b,
                                 const std::vector<bool>& passive) {
    std::vector<Eigen::Index> columns;
    for (Eigen::Index j = 0; j < a.cols(); ++j) {
        if (passive[static_cast<std::size_t>(j)]) {
            columns.push_back(j);
        }
    }
    Eigen::VectorXd s = Eigen::VectorXd::Zero(a.cols());
    if (columns.empty()) {
        return s;
    }
    Eigen::MatrixXd sub(a.rows(), static_cast<Eigen::Index>(columns.size()));
    for (std::size_t k = 0; k < columns.size(); ++k) {
        sub.col(static_cast<Eigen::Index>(k)) = a.col(columns[k]);
    }
    const Eigen::VectorXd z = sub.colPivHouseholderQr().solve(b);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        s(columns[k]) = z(static_cast<Eigen::Index>(k));
    }
    return s;
}

// A tall problem |A x - b| as a square one with the same minimiser: with
// [A b] = Q R, |A x - b| = |R_A x - r_b| for every x, R_A the first n columns
// of the top n + 1 rows of R and r_b its last column. The active-set loop
// solves a least-squares problem per step; on 10,000 rows each of those would
// copy and factor the whole tall matrix again.
//   A 10000 x 10, b 10000 -> R_A 11 x 10, r_b 11
struct Reduced {
    Eigen::MatrixXd a;
    Eigen::VectorXd b;
};

Reduced reduced(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    const Eigen::Index n = a.cols();
    if (a.rows() <= n + 1) {
        return {a, b};
    }
    Eigen::MatrixXd augmented(a.rows(), n + 1);
    augmented << a, b;
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(augmented);
    const Eigen::MatrixXd r = qr.matrixQR().topRows(n + 1).triangularView<Eigen::Upper>();
    return {r.leftCols(n), r.col(n)};
}

// A warm start: the columns not held at the start are passive, and those
// whose solution is not above 0 are dropped until it is, which leaves a
// feasible x for the active-set loop to improve.
void warm_start(const Eigen::MatrixXd& a, const Eigen::VectorXd& b,
                const std::vector<bool>& start_held, std::vector<bool>& passive,
                Eigen::VectorXd& x) {
    const Eigen::Index n = a.cols();
    for (std::size_t j = 0; j < passive.size(); ++j) {
        passive[j] = !start_held[j];
    }
    for (Eigen::Index round = 0; round <= n; ++round) {
        const Eigen::VectorXd s = passive_solution(a, b, passive);
        bool feasible = true;
        for (Eigen::Index j = 0; j < n; ++j) {
            if (passive[static_cast<std::size_t>(j)] && !(s(j) > 0)) {
                passive[static_cast<std::size_t>(j)] = false;
                feasible = false;
            }
        }
        if (feasible) {
            x = s;
            return;
        }
    }
}

// The column that enters the passive set: the largest gradient above
// `tolerance` among the active columns; -1 when none is (the optimum).
Eigen::Index entering_column(const Eigen::VectorXd& gradient, const std::vector<bool>& passive,
                             double tolerance) {
    Eigen::Index entering = -1;
    double largest = tolerance;
    for (Eigen::Index j = 0; j < gradient.size(); ++j) {
        if (!passive[static_cast<std::size_t>(j)] && gradient(j) > largest) {
            largest = gradient(j);
            entering = j;
        }
    }
    return entering;
}

// After a column entered: x moves to the least-squares solution on the
// passive columns, or, while that has a passive unknown at or below 0,
// towards it until the first such unknown reaches 0, which becomes active
// again (every unknown that got there does).
void move_to_feasible(const Eigen::MatrixXd& a, const Eigen::VectorXd& b,
                      std::vector<bool>& passive, Eigen::VectorXd& x) {
    const Eigen::Index n = a.cols();
    for (Eigen::Index inner = 0; inner <= n; ++inner) {
        const Eigen::VectorXd s = passive_solution(a, b, passive);
        bool feasible = true;
        double step = 1;
        for (Eigen::Index j = 0; j < n; ++j) {
            if (passive[static_cast<std::size_t>(j)] && s(j) <= 0) {
                feasible = false;
                step = std::min(step, x(j) / (x(j) - s(j)));
            }
        }
        if (feasible) {
            x = s;
            return;
        }
        x += step * (s - x);
        for (Eigen::Index j = 0; j < n; ++j) {
            if (passive[static_cast<std::size_t>(j)] && x(j) <= 0) {
                passive[static_cast<std::size_t>(j)] = false;
                x(j) = 0;
            }
        }
    }
}

NonNegativeSolution active_set(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, double tolerance,
                               const std::vector<bool>& start_held) {
    const Eigen::Index n = a.cols();
    const auto size = static_cast<std::size_t>(n);
    NonNegativeSolution result{Eigen::VectorXd::Zero(n), std::vector<bool>(size, true)};
    Eigen::VectorXd& x = result.x;
    std::vector<bool> passive(size, false);
    if (n == 0) {
        return result;
    }
    if (start_held.size() == size) {
        warm_start(a, b, start_held, passive, x);
    }
    // Each pass adds one column; three passes per column is far more than a
    // well-posed problem needs and stops a cycling one.
    const Eigen::Index max_passes = 3 * n;
    Eigen::VectorXd gradient = a.transpose() * (b - a * x);
    for (Eigen::Index pass = 0; pass < max_passes; ++pass) {
        const Eigen::Index entering = entering_column(gradient, passive, tolerance);
        if (entering < 0) {
            break;
        }
        passive[static_cast<std::size_t>(entering)] = true;
        move_to_feasible(a, b, passive, x);
        gradient = a.transpose() * (b - a * x);
        // A column that entered and left at once (rounding kept its value
        // from rising above 0) would be chosen again at once: pass it over.
        if (!passive[static_cast<std::size_t>(entering)]) {
            gradient(entering) = 0;
        }
    }
    for (std::size_t j = 0; j < size; ++j) {
        result.at_bound[j] = !passive[j];
    }
    return result;
}

}  // namespace

ReducedProblem reduce_problem(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    // Gradients below this are rounding noise of A^T r (the usual choice:
    // ten ulps of the largest column sum, times the larger dimension), taken
    // from the problem as given, not the reduced one.
    const double tolerance = a.cols() == 0 ? 0
                                           : 10 * std::numeric_limits<double>::epsilon() *
                                                 a.cwiseAbs().colwise().sum().maxCoeff() *
                                                 static_cast<double>(std::max(a.rows(), a.cols()));
    Reduced problem = reduced(a, b);
    return {std::move(problem.a), std::move(problem.b), tolerance};
}

NonNegativeSolution non_negative_least_squares(const ReducedProblem& problem,
                                               const std::vector<bool>& start_held) {
    return active_set(problem.a, problem.b, problem.tolerance, start_held);
}

NonNegativeSolution non_negative_least_squares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    return non_negative_least_squares(reduce_problem(a, b));
}

Eigen::VectorXd free_least_squares(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    if (a.cols() == 0) {
        return Eigen::VectorXd();
    }
    return a.colPivHouseholderQr().solve(b);
}

}  // namespace linesynth::tools
