#include "tools/fit/fit_errors.h"

#include <cmath>
#include <utility>

#include "tools/fit/weight_errors.h"

namespace linesynth::tools {
namespace {

// The free-sign estimate, for the upper limits of the held weights: the
// fitted parameters with the weights of the free fit; none when its scale is
// not above 0.
Eigen::VectorXd free_sign_estimate(const SolvedFit& solved, const Eigen::VectorXd& parameters,
                                   bool scale) {
    const ModelParameters free_sign =
        model_parameters(solved.design, free_least_squares(solved.problem.a, solved.problem.b));
    if (scale && !(free_sign.scale > 0)) {
        return Eigen::VectorXd();
    }
    Eigen::VectorXd estimate = parameters;
    for (std::size_t slot = 0; slot < free_sign.weights.size(); ++slot) {
        estimate(static_cast<Eigen::Index>(slot)) = free_sign.weights[slot];
    }
    return estimate;
}

ErrorInputs error_inputs(const SolvedFit& solved, double variance_factor, bool scale,
                         bool any_held) {
    const ModelParameters& parameters = solved.parameters;
    const auto set_count = static_cast<std::int32_t>(parameters.weights.size());
    ErrorInputs inputs;
    inputs.jacobian = model_jacobian(solved.design, solved.problem.a, parameters);
    inputs.parameters.resize(inputs.jacobian.cols());
    for (std::size_t slot = 0; slot < parameters.weights.size(); ++slot) {
        inputs.parameters(static_cast<Eigen::Index>(slot)) = parameters.weights[slot];
    }
    if (scale) {
        inputs.parameters(set_count) = parameters.scale;
    }
    inputs.held = solved.solution.at_bound;
    inputs.variance_factor = variance_factor;
    inputs.dependent = solved.condition.dependent;
    inputs.nearly_dependent = solved.condition.nearly_dependent;
    inputs.set_count = set_count;
    if (any_held) {
        inputs.free_sign = free_sign_estimate(solved, inputs.parameters, scale);
    }
    return inputs;
}

// Refits `count` realizations; their spread of a gives ref_a's.
void add_realizations(const SolvedFit& solved, const FitOptions& options, std::int64_t count,
                      double variance_factor, FitResult& result) {
    RealizationRequest request;
    request.count = count;
    request.seed = options.seed;
    request.noise = result.errors_scaled ? std::sqrt(variance_factor) : 1.0;
    request.mode = options.mode;
    request.held = solved.solution.at_bound;
    if (options.progress) {
        request.progress = [&](std::int64_t done) { options.progress(done, count); };
    }
    result.realizations = realizations(solved.design, solved.problem, solved.solution.x, request);
    if (result.scale && result.realizations.scale) {
        const Spread& a = *result.realizations.scale;
        const float ref_b = result.scale->ref_b;
        const double span = solved.flux_span;
        const auto ref_a = [&](double value) { return ref_a_of(value, ref_b, span); };
        result.scale->ref_a_spread = span >= 0
                                         ? Spread{ref_a(a.median), ref_a(a.p16), ref_a(a.p84)}
                                         : Spread{ref_a(a.median), ref_a(a.p84), ref_a(a.p16)};
    }
}

// The scale's row and column of the covariance and the correlation made
// ref_a's.
void scale_entries_to_ref_a(ParameterErrors& errors, std::size_t sets, double flux_span) {
    for (std::size_t k = 0; k < errors.covariance.size(); ++k) {
        for (auto* matrix : {&errors.covariance, &errors.correlation}) {
            const double factor =
                matrix == &errors.covariance ? flux_span : (flux_span < 0 ? -1.0 : 1.0);
            for (std::optional<double>* entry : {&(*matrix)[sets][k], &(*matrix)[k][sets]}) {
                if (*entry) {
                    **entry *= factor;
                }
            }
        }
    }
}

// The errors of the sets and of ref_a into the result.
void take_errors(ParameterErrors errors, double flux_span, FitResult& result) {
    const auto sets = result.fitted.size();
    const auto end = static_cast<std::ptrdiff_t>(sets);
    result.errors.assign(errors.errors.begin(), errors.errors.begin() + end);
    result.error_methods.assign(errors.methods.begin(), errors.methods.begin() + end);
    result.upper_limits.assign(errors.upper_limits.begin(), errors.upper_limits.begin() + end);
    result.combinations = std::move(errors.combinations);
    if (result.scale && errors.errors.back()) {
        result.scale->ref_a_error = std::fabs(flux_span) * *errors.errors.back();
        result.scale->ref_a_error_method = errors.methods.back();
    }
    if (result.scale) {
        scale_entries_to_ref_a(errors, sets, flux_span);
    }
    result.covariance = std::move(errors.covariance);
    result.correlation = std::move(errors.correlation);
}

}  // namespace

void add_fit_errors(const SolvedFit& solved, const FitOptions& options, FitResult& result) {
    // Without sigmas the covariance of unit weights is scaled by the scatter
    // of the residuals, the usual estimate of the unknown common sigma.
    result.errors_scaled = !result.figures.sigma_from_file;
    const double variance_factor =
        result.errors_scaled
            ? (result.after.chi2_reduced ? *result.after.chi2_reduced : std::nan(""))
            : 1.0;
    const bool any_held = !result.at_bound.empty();
    ErrorInputs inputs = error_inputs(solved, variance_factor, options.scale, any_held);
    // Realizations as needed: a fit holding a weight at 0 has the spread of
    // its refits as a candidate error (weight_errors.h).
    const std::int64_t count = options.realizations == realizations_as_needed
                                   ? (any_held ? realizations_at_the_bound : 0)
                                   : options.realizations;
    if (count > 0 && std::isfinite(variance_factor)) {
        add_realizations(solved, options, count, variance_factor, result);
        inputs.realizations = &result.realizations;
    }
    if (!std::isfinite(variance_factor)) {
        const std::size_t sets = result.fitted.size();
        result.errors.resize(sets);
        result.error_methods.assign(sets, ErrorMethod::none);
        result.upper_limits.resize(sets);
        return;
    }
    take_errors(parameter_errors(inputs), solved.flux_span, result);
}

}  // namespace linesynth::tools
