// The fit's first stage: the design of the comparison, its reduction by one
// QR, the solution, the weights and scale it stands for, and how well the
// design pins them. One QR of the tall problem serves the solution, the
// conditioning and the covariance: its triangle has the design's singular
// values and A^T A. The later stages (the narrowed weights, the errors, the
// refits) all start from this record.
#pragma once

#include "tools/compare/comparison.h"
#include "tools/fit/conditioning.h"
#include "tools/fit/fit_design.h"
#include "tools/fit/least_squares.h"

namespace linesynth::tools {

struct SolvedFit {
    FitDesign design;
    ReducedProblem problem;  // the design reduced to its triangle
    DesignSolution solution;
    ModelParameters parameters;
    Conditioning condition;  // of the triangle, the same as of the design
    double flux_span = 0;    // flux_1 - flux_2, widened: ref_a's slope in a
};

// Precondition: the comparison has at least one component set and one row.
SolvedFit solve_fit(const Comparison& comparison, FitMode mode, bool scale);

// The reference the scale a stands for, ref_a = ref_b + a * (flux_1 - flux_2),
// in double before any narrowing.
double ref_a_of(double a, float ref_b, double flux_span);

}  // namespace linesynth::tools
