// The survey table: one row per data directory with the same columns
// whatever the directory holds, so that a thousand directories make one
// table that Python or a spreadsheet reads as it is.
//
// The columns, in order: directory (as given), status ("ok" or the kind of
// the failure: refusal_name in tools/compare/refusal.h),
// message (the report; empty when ok), title, sets, points, mask and sigma
// (with --mask-name and --sigma-name: whether the directory held the file),
// chi2, dof, chi2_reduced, p_value, rms, adev_percent, snr, integral,
// normalised_by; with --fit w1 to w10 and w1_err to w10_err (empty beyond
// the directory's set count), ref_a and ref_a_err (with --scale),
// condition_number, rank, chi2_before. With --fit the figures from chi2 to
// adev_percent are those of the fitted model; chi2_before is chi-squared with
// the weights of synthesis.txt. A directory that fails has its directory,
// status and message, and whatever was known before the failure.
#pragma once

#include <string>
#include <vector>

#include "tools/pages/table_text.h"

namespace linesynth::tools {

struct SurveyOptions {
    bool fit = false;
    bool scale = false;      // fit ref_a as well
    bool free = false;       // weights of any sign
    std::string mask_name;   // a file each directory may hold; empty: none
    std::string sigma_name;  // likewise
};

std::vector<TableColumn> survey_columns(const SurveyOptions& options);

struct SurveyRow {
    bool ok = false;
    std::vector<std::string> cells;  // one per column of survey_columns
};

// Reads the directory `dir` (as given; its separator is added) only for
// reading and makes its row. Safe to call from several threads at once; each
// thread must have set up the floating-point environment first.
SurveyRow survey_row(const std::string& dir, const SurveyOptions& options);

}  // namespace linesynth::tools
