#include "tools/fit/solved_fit.h"

#include "base/checked_math.h"

namespace linesynth::tools {

SolvedFit solve_fit(const Comparison& comparison, FitMode mode, bool scale) {
    const RunData& data = *comparison.data;
    SolvedFit solved;
    solved.design = fit_design(data, *comparison.kept, comparison.rows, scale);
    solved.problem = reduce_problem(solved.design.columns, solved.design.target);
    solved.solution = solve_design(solved.problem, mode);
    solved.parameters = model_parameters(solved.design, solved.solution.x);
    solved.condition = conditioning(solved.problem.a);
    solved.flux_span = widen(data.calibration.flux_1) - widen(data.calibration.flux_2);
    return solved;
}

double ref_a_of(double a, float ref_b, double flux_span) {
    return widen(ref_b) + a * flux_span;
}

}  // namespace linesynth::tools
