#include "tools/fit/fit_design.h"

#include <cassert>

#include "base/checked_math.h"
#include "reports/scales.h"

namespace linesynth::tools {

FitDesign fit_design(const RunData& data, const KeptColumns& kept,
                     const std::vector<ComparedRow>& rows, bool scale) {
    const std::int32_t set_count = data.parameters.set_count;
    assert(set_count >= 1 && set_count <= max_component_sets && !rows.empty());
    const SpectrumStore& store = *data.store;
    const double scale_fwd = widen(data.scales.scale_fwd);
    const double flux_2 = widen(data.calibration.flux_2);
    const double ref_b = widen(data.scales.ref_b);
    const auto row_count = static_cast<Eigen::Index>(rows.size());
    FitDesign design;
    design.scale = scale;
    design.fixed_scale = scale_fwd;
    design.columns.resize(row_count, set_count + (scale ? 1 : 0));
    design.target.resize(row_count);
    const double column_factor = scale ? 1.0 : scale_fwd;
    for (Eigen::Index i = 0; i < row_count; ++i) {
        const ComparedRow& row = rows[static_cast<std::size_t>(i)];
        const float continuum = store.continuum[row.index];
        const double base =
            scale ? ref_b : mapped_synthetic(data.scales, data.calibration, continuum);
        design.target(i) = (widen(row.observed) - base) / row.sigma;
        for (std::int32_t set = 1; set <= set_count; ++set) {
            const auto slot = static_cast<std::size_t>(set - 1);
            const double component = row.index <= kept.component_counts[slot]
                                         ? widen(kept.components[slot][row.index])
                                         : 0.0;
            design.columns(i, set - 1) = component * column_factor / row.sigma;
        }
        if (scale) {
            design.columns(i, set_count) = (widen(continuum) - flux_2) / row.sigma;
        }
    }
    return design;
}

DesignSolution solve_design(const Eigen::MatrixXd& columns, const Eigen::VectorXd& target,
                            FitMode mode) {
    if (mode == FitMode::non_negative) {
        NonNegativeSolution solution = non_negative_least_squares(columns, target);
        return {std::move(solution.x), std::move(solution.at_bound)};
    }
    return {free_least_squares(columns, target),
            std::vector<bool>(static_cast<std::size_t>(columns.cols()), false)};
}

ModelParameters model_parameters(const FitDesign& design, const Eigen::VectorXd& x) {
    ModelParameters parameters;
    const Eigen::Index sets = design.scale ? x.size() - 1 : x.size();
    parameters.scale = design.scale ? x(sets) : design.fixed_scale;
    for (Eigen::Index j = 0; j < sets; ++j) {
        parameters.weights.push_back(design.scale ? x(j) / parameters.scale : x(j));
    }
    return parameters;
}

DesignSolution solve_design(const ReducedProblem& problem, FitMode mode) {
    if (mode == FitMode::non_negative) {
        NonNegativeSolution solution = non_negative_least_squares(problem);
        return {std::move(solution.x), std::move(solution.at_bound)};
    }
    return {free_least_squares(problem.a, problem.b),
            std::vector<bool>(static_cast<std::size_t>(problem.a.cols()), false)};
}

Eigen::MatrixXd model_jacobian(const FitDesign& design, const Eigen::MatrixXd& columns,
                               const ModelParameters& parameters) {
    if (!design.scale) {
        return columns;
    }
    const Eigen::Index sets = columns.cols() - 1;
    Eigen::MatrixXd jacobian(columns.rows(), columns.cols());
    jacobian.col(sets) = columns.col(sets);
    for (Eigen::Index j = 0; j < sets; ++j) {
        jacobian.col(j) = parameters.scale * columns.col(j);
        jacobian.col(sets) += parameters.weights[static_cast<std::size_t>(j)] * columns.col(j);
    }
    return jacobian;
}

}  // namespace linesynth::tools
