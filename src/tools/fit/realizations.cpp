#include "tools/fit/realizations.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace linesynth::tools {

double natural_log(double x) {
    int exponent = 0;
    double m = std::frexp(x, &exponent);  // exact: x = m * 2^exponent, m in [0.5, 1)
    constexpr double root_half = 0x1.6a09e667f3bcdp-1;
    if (m < root_half) {
        m *= 2;
        --exponent;
    }
    // m in [sqrt(0.5), sqrt(2)): z = (m - 1) / (m + 1) is at most 0.1716 in
    // magnitude, and ln m = 2 (z + z^3 / 3 + z^5 / 5 + ...); fourteen terms
    // take the series below 2^-60 of its sum.
    const double z = (m - 1) / (m + 1);
    const double z2 = z * z;
    double series = 0;
    for (int k = 13; k >= 0; --k) {
        series = series * z2 + 1.0 / (2 * k + 1);
    }
    constexpr double ln2 = 0x1.62e42fefa39efp-1;
    return 2 * z * series + exponent * ln2;
}

double NormalDeviates::uniform() {
    return static_cast<double>(generator_() >> 11) * 0x1p-53;
}

double NormalDeviates::normal() {
    if (spare_) {
        const double value = *spare_;
        spare_.reset();
        return value;
    }
    double u = 0;
    double v = 0;
    double s = 0;
    do {
        u = 2 * uniform() - 1;
        v = 2 * uniform() - 1;
        s = u * u + v * v;
    } while (s >= 1 || s == 0);
    const double factor = std::sqrt(-2 * natural_log(s) / s);
    spare_ = v * factor;
    return u * factor;
}

double quantile(std::vector<double> values, double p) {
    assert(!values.empty());
    std::sort(values.begin(), values.end());
    const double h = static_cast<double>(values.size() - 1) * p;
    const double floor_h = std::floor(h);
    const auto low = static_cast<std::size_t>(floor_h);
    if (low + 1 >= values.size()) {
        return values.back();
    }
    return values[low] + (h - floor_h) * (values[low + 1] - values[low]);
}

namespace {

Spread spread_of(const std::vector<double>& values) {
    return {quantile(values, 0.5), quantile(values, 0.16), quantile(values, 0.84)};
}

// Most refits keep the best fit's held set. On a fixed set of free columns
// the least-squares solution is a fixed linear map of the target, worked
// out once; a refit whose mapped solution is above 0 on the free columns
// and whose gradient on the held ones is within the tolerance is the
// active-set method's own answer, and needs no pass of it.
struct HeldSetMap {
    Eigen::MatrixXd map;  // free columns x rows
    std::vector<Eigen::Index> free;
};

HeldSetMap held_set_map(const Eigen::MatrixXd& a, const std::vector<bool>& held) {
    HeldSetMap result;
    for (Eigen::Index j = 0; j < a.cols(); ++j) {
        if (held.empty() || !held[static_cast<std::size_t>(j)]) {
            result.free.push_back(j);
        }
    }
    Eigen::MatrixXd sub(a.rows(), static_cast<Eigen::Index>(result.free.size()));
    for (std::size_t k = 0; k < result.free.size(); ++k) {
        sub.col(static_cast<Eigen::Index>(k)) = a.col(result.free[k]);
    }
    if (sub.cols() > 0) {
        result.map = sub.colPivHouseholderQr().solve(Eigen::MatrixXd::Identity(a.rows(), a.rows()));
    }
    return result;
}

// The solution on the held set when it is the answer.
bool solve_on_held_set(const HeldSetMap& held_set, const ReducedProblem& problem,
                       const std::vector<bool>& held, Eigen::VectorXd& x) {
    x.setZero(problem.a.cols());
    if (!held_set.free.empty()) {
        const Eigen::VectorXd z = held_set.map * problem.b;
        for (std::size_t k = 0; k < held_set.free.size(); ++k) {
            const double value = z(static_cast<Eigen::Index>(k));
            if (!(value > 0)) {
                return false;
            }
            x(held_set.free[k]) = value;
        }
    }
    const Eigen::VectorXd gradient = problem.a.transpose() * (problem.b - problem.a * x);
    for (std::size_t j = 0; j < held.size(); ++j) {
        if (held[j] && gradient(static_cast<Eigen::Index>(j)) > problem.tolerance) {
            return false;
        }
    }
    return true;
}

// One realization's refit: a free fit by the map worked out once; a
// non-negative one on the best fit's held set when that is the answer, else
// by the active-set method starting from that set (which notes a change of
// the held set in `held_changed`).
DesignSolution refit(const HeldSetMap& held_set, const ReducedProblem& noisy,
                     const RealizationRequest& request, bool& held_changed) {
    DesignSolution solution;
    if (request.mode == FitMode::free) {
        solution.x = held_set.map * noisy.b;
    } else if (solve_on_held_set(held_set, noisy, request.held, solution.x)) {
        solution.at_bound = request.held;
    } else {
        NonNegativeSolution refitted = non_negative_least_squares(noisy, request.held);
        solution = {std::move(refitted.x), std::move(refitted.at_bound)};
        held_changed = held_changed || solution.at_bound != request.held;
    }
    return solution;
}

}  // namespace

RealizationSummary realizations(const FitDesign& design, const ReducedProblem& problem,
                                const Eigen::VectorXd& x, const RealizationRequest& request) {
    RealizationSummary summary;
    summary.count = request.count;
    if (request.count < 1) {
        return summary;
    }
    const Eigen::VectorXd fitted = problem.a * x;
    const auto sets = static_cast<std::size_t>(design.scale ? x.size() - 1 : x.size());
    const auto count = static_cast<std::size_t>(request.count);
    std::vector<std::vector<double>> weights(sets);
    for (std::vector<double>& values : weights) {
        values.reserve(count);
    }
    std::vector<double> scales;
    scales.reserve(count);
    NormalDeviates deviates(request.seed);
    ReducedProblem noisy{problem.a, fitted, problem.tolerance};
    const HeldSetMap held_set =
        held_set_map(problem.a, request.mode == FitMode::free ? std::vector<bool>() : request.held);
    for (std::int64_t k = 1; k <= request.count; ++k) {
        for (Eigen::Index i = 0; i < fitted.size(); ++i) {
            noisy.b(i) = fitted(i) + request.noise * deviates.normal();
        }
        const DesignSolution solution = refit(held_set, noisy, request, summary.held_changed);
        const ModelParameters parameters = model_parameters(design, solution.x);
        if (design.scale && !(parameters.scale > 0)) {
            ++summary.refused;
        } else {
            for (std::size_t j = 0; j < sets; ++j) {
                weights[j].push_back(parameters.weights[j]);
            }
            scales.push_back(parameters.scale);
        }
        if (request.progress) {
            request.progress(k);
        }
    }
    if (scales.empty()) {
        return summary;
    }
    for (const std::vector<double>& values : weights) {
        summary.weights.push_back(spread_of(values));
    }
    if (design.scale) {
        summary.scale = spread_of(scales);
    }
    return summary;
}

}  // namespace linesynth::tools
