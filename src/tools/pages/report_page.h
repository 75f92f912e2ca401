// The report: one HTML page that holds everything a reader needs to judge a
// fit, and needs nothing else (no script, no style sheet, font or image from
// outside), so that it opens from a file, offline, and can be sent on.
//
// Sections, in order: the title (once, as the heading), where sigma came
// from, the plot (inline SVG); with a fit, the fit first (the fitted weights
// with their errors beside those of the weights file, the goodness and the
// conditioning of the fit, and its warnings; a weight held at 0 shows its
// upper limit, a (nearly) dependent group its well-determined combination,
// and a strongly correlated pair the correlation matrix), then the statistics of the
// weights file's model; without one, those statistics (the integral the run
// appends among them), then the weights; then the masks with the rows each
// removed, the calibration, the normalisation, the input files with their
// sizes and SHA-256 digests, and the tool's version. There is no time stamp:
// the same data give the same bytes. Every text that comes from a data file
// or the command line is escaped (markup_text.h).
//
// Errors are written to two significant digits and their values to the same
// decimal place (with_error in markup_text.h); other computed values to six
// significant digits (six_digits), and the page says that the commands' JSON
// holds them exactly. Values read from the files, and fitted weights without
// an error, are written as the shortest text that reads back as the same
// 32-bit real (number_text.h):
//   chi-squared 0.02932168489030386 -> "0.0293217";  weight 0.3f -> "0.3"
//   fitted weight 0.123456 +/- 0.00176973 -> "0.1235", "± 0.0018"
//   weight held at 0, upper limit 0.0312 -> "< 0.031"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reports/scales.h"
#include "spectrum/calibration.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"
#include "tools/compare/goodness.h"
#include "tools/fit/fit_result.h"
#include "tools/fit/row_shift.h"
#include "tools/fit/weight_errors.h"

namespace linesynth::tools {

// What a fit found, as the page shows it beside the weights of the weights file.
struct ReportFit {
    FitResult found;
    bool bounded = true;  // a non-negative fit (not --free)
};

struct ReportFile {
    std::string name;  // as the data directory names it
    std::uint64_t size = 0;
    std::string sha256;  // 64 lower-case hexadecimal digits
};

// A masked range and the rows it held among those that could be compared.
struct ReportMask {
    double low = 0;
    double high = 0;
    std::int32_t rows = 0;
};

struct ReportData {
    std::string title;       // the title record or --title; trailing blanks are dropped
    std::string sigma_file;  // as named on the command line; empty: unit sigmas
    std::string plot;        // the <svg> element (svg_plot.h)
    FitStatistics statistics;
    ComparisonFigures figures;      // dof, goodness and signal-to-noise of the run's own weights
    std::optional<RowShift> shift;  // of the observed rows against the model
    std::vector<ReportMask> masks;
    std::vector<float> weights;  // of the weights file, set 1 first
    std::optional<ReportFit> fit;
    CalibrationSet calibration;
    ReportScales scales;  // ref_a and ref_b of the scale file
    std::int32_t norm_a = 0;
    std::int32_t norm_b = 0;
    bool normalised = false;  // the flags asked for it and it ran
    float max_observed = 0;   // the maximum it divided by
    std::vector<ReportFile> files;
    std::string version;
};

std::string report_page(const ReportData& data);

}  // namespace linesynth::tools
