#include "tools/fit/weight_errors.h"

#include <algorithm>
#include <cmath>

#include "tools/compare/goodness.h"
#include "tools/compare/number_text.h"
#include "tools/fit/uncertainty.h"

namespace linesynth::tools {
namespace {

// Coefficients this close to 1 make the group's plain sum.
constexpr double sum_tolerance = 1e-3;

Combination combination(const ErrorInputs& inputs, const std::vector<Eigen::Index>& columns,
                        const std::optional<Eigen::MatrixXd>& matrix) {
    Combination result;
    std::vector<Eigen::Index> sets;
    for (const Eigen::Index column : columns) {
        if (column < inputs.set_count) {
            sets.push_back(column);
        }
    }
    const auto size = static_cast<Eigen::Index>(sets.size());
    Eigen::MatrixXd group(inputs.jacobian.rows(), size);
    for (Eigen::Index k = 0; k < size; ++k) {
        group.col(k) = inputs.jacobian.col(sets[static_cast<std::size_t>(k)]);
    }
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(group, Eigen::ComputeThinV);
    Eigen::VectorXd c = svd.matrixV().col(0);
    Eigen::Index largest = 0;
    c.cwiseAbs().maxCoeff(&largest);
    c /= c(largest);
    if ((c.array() - 1).abs().maxCoeff() < sum_tolerance) {
        c.setOnes();
    }
    const Eigen::MatrixXd used =
        matrix ? *matrix : pseudo_covariance(inputs.jacobian, inputs.variance_factor);
    double variance = 0;
    for (Eigen::Index k = 0; k < size; ++k) {
        const Eigen::Index column = sets[static_cast<std::size_t>(k)];
        result.sets.push_back(static_cast<std::int32_t>(column + 1));
        result.coefficients.push_back(c(k));
        result.value += c(k) * inputs.parameters(column);
        for (Eigen::Index l = 0; l < size; ++l) {
            variance += c(k) * c(l) * used(column, sets[static_cast<std::size_t>(l)]);
        }
    }
    if (variance >= 0 && std::isfinite(variance)) {
        result.error = std::sqrt(variance);
    }
    return result;
}

bool contains(const std::vector<Eigen::Index>& columns, Eigen::Index column) {
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

}  // namespace

// Says once how the errors were obtained, naming the sets of each method
// beyond the formal one (and ref_a, when the scale is fitted).
std::string error_methods_text(const std::vector<ErrorMethod>& methods,
                               std::optional<ErrorMethod> ref_a_method) {
    const auto sets_with = [&](ErrorMethod method) {
        std::vector<std::int32_t> sets;
        for (std::size_t slot = 0; slot < methods.size(); ++slot) {
            if (methods[slot] == method) {
                sets.push_back(static_cast<std::int32_t>(slot + 1));
            }
        }
        return sets;
    };
    std::string text;
    const auto add = [&](ErrorMethod method, const std::string& words) {
        const std::vector<std::int32_t> sets = sets_with(method);
        const bool scale = ref_a_method == method;
        if (sets.empty() && !scale) {
            return;
        }
        text += (text.empty() ? "" : "; ") + words + " for " +
                (sets.empty() ? std::string("ref_a")
                              : (sets.size() == 1 ? "set " : "sets ") + set_list(sets) +
                                    (scale ? " and ref_a" : ""));
    };
    add(ErrorMethod::formal, "formal (the covariance of the parameters not held at 0)");
    add(ErrorMethod::released,
        "released (the covariance with the weights held at 0 set free, since which are held "
        "is itself uncertain)");
    add(ErrorMethod::realizations,
        "realizations (half their 16 to 84 % range, larger than the covariance's where the held "
        "weights change between refits)");
    add(ErrorMethod::undetermined, "none (linearly dependent, see the combination)");
    return text.empty() ? "none" : text;
}

std::string_view error_method_name(ErrorMethod method) {
    switch (method) {
        case ErrorMethod::formal:
            return "formal";
        case ErrorMethod::released:
            return "released";
        case ErrorMethod::realizations:
            return "realizations";
        case ErrorMethod::undetermined:
            return "undetermined";
        case ErrorMethod::none:
            break;
    }
    return "none";
}

double upper_limit(double w, double s) {
    const double t = w / s;
    const double mass = normal_cdf(t);
    if (!(mass > 0)) {
        return s * std::log(20.0) / std::fabs(t);
    }
    return w + s * normal_upper_quantile(0.05 * mass);
}

namespace {

// The covariances the errors come from: the formal one over the parameters
// not held, and, with some weight held at 0, the released one with every
// held weight set free.
struct Covariances {
    std::optional<Eigen::MatrixXd> formal;
    std::optional<Eigen::MatrixXd> released;

    // The one the combinations and the reported covariance use.
    const std::optional<Eigen::MatrixXd>& used() const { return released ? released : formal; }
};

Covariances covariances(const ErrorInputs& inputs) {
    Covariances result;
    result.formal = covariance(inputs.jacobian, inputs.held, inputs.variance_factor);
    if (std::find(inputs.held.begin(), inputs.held.end(), true) != inputs.held.end()) {
        const auto size = static_cast<std::size_t>(inputs.jacobian.cols());
        result.released =
            covariance(inputs.jacobian, std::vector<bool>(size, false), inputs.variance_factor);
    }
    return result;
}

// The upper limit of held parameter j, when it has one: a weight, with a
// free-sign estimate and a released variance above 0.
std::optional<double> held_upper_limit(const ErrorInputs& inputs, const Covariances& matrices,
                                       Eigen::Index j) {
    const std::optional<Eigen::MatrixXd>& released = matrices.released;
    if (released && j < inputs.set_count && inputs.free_sign.size() == inputs.jacobian.cols() &&
        (*released)(j, j) > 0) {
        return upper_limit(inputs.free_sign(j), std::sqrt((*released)(j, j)));
    }
    return std::nullopt;
}

// The error of parameter j, not held and not dependent: the largest of the
// formal, the released and (when they count) the realizations' one.
void largest_error(const ErrorInputs& inputs, const Covariances& matrices, bool spread_counts,
                   Eigen::Index j, ParameterErrors& result) {
    const auto slot = static_cast<std::size_t>(j);
    std::optional<double>& error = result.errors[slot];
    ErrorMethod& method = result.methods[slot];
    if (matrices.formal) {
        error = std::sqrt((*matrices.formal)(j, j));
        method = ErrorMethod::formal;
    }
    if (matrices.released) {
        const double released = std::sqrt((*matrices.released)(j, j));
        if (!error || released > *error) {
            error = released;
            method = ErrorMethod::released;
        }
    }
    if (spread_counts) {
        const RealizationSummary& spread = *inputs.realizations;
        const Spread& s = j < inputs.set_count ? spread.weights[slot] : *spread.scale;
        const double half_range = (s.p84 - s.p16) / 2;
        if (!error || half_range > *error) {
            error = half_range;
            method = ErrorMethod::realizations;
        }
    }
}

// The combination of each group with at least two sets: the dependent ones
// over the pseudo-inverse, the nearly dependent ones over `used`.
std::vector<Combination> group_combinations(const ErrorInputs& inputs,
                                            const std::optional<Eigen::MatrixXd>& used) {
    std::vector<Combination> result;
    for (const std::vector<Eigen::Index>* group : {&inputs.dependent, &inputs.nearly_dependent}) {
        const auto sets = std::count_if(group->begin(), group->end(), [&](Eigen::Index column) {
            return column < inputs.set_count;
        });
        if (sets >= 2) {
            result.push_back(
                combination(inputs, *group, group == &inputs.dependent ? std::nullopt : used));
        }
    }
    return result;
}

// The covariance and correlation tables of `used` over the parameters with
// an error, the diagonal the squared errors.
void covariance_tables(const Eigen::MatrixXd& used, ParameterErrors& result) {
    const Eigen::Index n = used.cols();
    const auto size = static_cast<std::size_t>(n);
    result.covariance.assign(size, std::vector<std::optional<double>>(size));
    result.correlation.assign(size, std::vector<std::optional<double>>(size));
    // The upper triangle, mirrored: the inverse is symmetric only to rounding.
    for (Eigen::Index j = 0; j < n; ++j) {
        for (Eigen::Index k = j; k < n; ++k) {
            const auto row = static_cast<std::size_t>(j);
            const auto column = static_cast<std::size_t>(k);
            const double cjj = used(j, j);
            const double ckk = used(k, k);
            if (!result.errors[row] || !result.errors[column] || !(cjj > 0) || !(ckk > 0)) {
                continue;
            }
            const double rho = j == k ? 1.0 : used(j, k) / std::sqrt(cjj * ckk);
            result.correlation[row][column] = rho;
            result.covariance[row][column] =
                j == k ? *result.errors[row] * *result.errors[row]
                       : rho * *result.errors[row] * *result.errors[column];
            result.correlation[column][row] = result.correlation[row][column];
            result.covariance[column][row] = result.covariance[row][column];
        }
    }
}

}  // namespace

ParameterErrors parameter_errors(const ErrorInputs& inputs) {
    const Eigen::Index n = inputs.jacobian.cols();
    const auto size = static_cast<std::size_t>(n);
    ParameterErrors result;
    result.errors.resize(size);
    result.methods.assign(size, ErrorMethod::none);
    result.upper_limits.resize(size);

    const Covariances matrices = covariances(inputs);
    const RealizationSummary* spread = inputs.realizations;
    const bool spread_counts =
        spread != nullptr && spread->held_changed && !spread->weights.empty();
    for (Eigen::Index j = 0; j < n; ++j) {
        const auto slot = static_cast<std::size_t>(j);
        if (inputs.held[slot]) {
            result.upper_limits[slot] = held_upper_limit(inputs, matrices, j);
        } else if (contains(inputs.dependent, j)) {
            result.methods[slot] = ErrorMethod::undetermined;
        } else {
            largest_error(inputs, matrices, spread_counts, j, result);
        }
    }
    result.combinations = group_combinations(inputs, matrices.used());
    if (matrices.used()) {
        covariance_tables(*matrices.used(), result);
    }
    return result;
}

}  // namespace linesynth::tools
