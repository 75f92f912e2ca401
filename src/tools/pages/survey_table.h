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
// condition_number, rank, chi2_before; last input_sha256, the digest of the
// directory's files that decide the row (tools/compare/input_digest.h: the
// inputs of a run with the most sets, then the mask and sigma names). With --fit the figures from
// chi2 to adev_percent are those of the fitted model; chi2_before is chi-squared with the weights
// of synthesis.txt. A directory that fails has its directory, status and message, and whatever was
// known before the failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// The digest of the files of `dir` (as given) that decide its row; to be
// taken before the row is made, so that a file changed meanwhile shows as
// changed the next time.
std::string survey_input_digest(const std::string& dir, const SurveyOptions& options);

// Reads the directory `dir` (as given; its separator is added) only for
// reading and makes its row, with `digest` in its input_sha256 cell. Safe to
// call from several threads at once; each thread must have set up the
// floating-point environment first. A mask or sigma name that is there but is
// not a regular file (a dangling link, a FIFO, a device, a directory) fails
// the row as mask_file or sigma_file; it is never opened.
SurveyRow survey_row(const std::string& dir, const SurveyOptions& options,
                     const std::string& digest);

// The row of a directory that was not surveyed to its end, with only its
// directory, status and message.
SurveyRow failed_survey_row(const std::string& dir, const SurveyOptions& options,
                            std::string_view status, const std::string& message);

// The bytes of the mask and sigma files that `dir` holds (regular files
// only), which its row reads whole.
std::uintmax_t survey_option_bytes(const std::string& dir, const SurveyOptions& options);

}  // namespace linesynth::tools
