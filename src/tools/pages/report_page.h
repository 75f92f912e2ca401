// The report: one HTML page that holds everything a reader needs to judge a
// fit, and needs nothing else (no script, no style sheet, font or image from
// outside), so that it opens from a file, offline, and can be sent on.
//
// Sections, in order: the title, the plot (inline SVG), the fit statistics,
// the weights (with the suggested ones when a fit ran), the calibration, the
// normalisation, the input files with their sizes and SHA-256 digests, and the
// tool's version. There is no time stamp: the same data give the same bytes.
// Every text that comes from a data file is escaped (markup_text.h).
//
// Numbers are written as the shortest text that reads back as the same value
// (number_text.h): doubles as doubles, the 32-bit reals of the files and of
// the tables as 32-bit reals, as the stats command prints them:
//   0.1 (double) -> "0.1";  wavelength 6562.8f -> "6562.8" (not "6562.7998046875")
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reports/scales.h"
#include "spectrum/calibration.h"
#include "tools/compare/comparison_figures.h"
#include "tools/compare/fit_statistics.h"

namespace linesynth::tools {

// What a fit suggested, beside the weights of the weights file.
struct SuggestedWeights {
    std::vector<float> weights;  // set 1 first, rounded to 32-bit reals
    double chi2_before = 0;      // with the weights of the weights file
    double chi2_after = 0;       // with the suggested weights
    std::vector<std::int32_t> at_bound;
    std::int32_t rank = 0;
    std::vector<std::int32_t> dependent;  // sets in a linear dependency
};

struct ReportFile {
    std::string name;  // as the data directory names it
    std::uint64_t size = 0;
    std::string sha256;  // 64 lower-case hexadecimal digits
};

struct ReportData {
    std::string title;  // the title record; trailing blanks are dropped
    std::string plot;   // the <svg> element (svg_plot.h)
    FitStatistics statistics;
    ComparisonFigures figures;   // degrees of freedom, reduced chi-squared, p-value, snr
    std::vector<float> weights;  // of the weights file, set 1 first
    std::optional<SuggestedWeights> fit;
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
