// The table of `export`: every row the comparison could use (masked ones
// too, marked), for Python and spreadsheet users. Columns: wavelength,
// observed, model, residual (observed - model), sigma (1 without a sigma
// file), masked ("True"/"False"), and fitted_model with a fit. The meta block
// holds the title, the calibration with the scale file's ref_a and ref_b, the
// normalisation, and each input file's size and SHA-256 digest. Units appear
// only where the user gave them: the wavelength unit on wavelength, the flux
// unit on observed, model, residual, sigma and fitted_model.
//   rows at 6562.8 (observed 0.5, S 0.45), mask 6562 6563
//     -> "6562.7998046875 0.5 0.45 0.04999999999999999 1 True"
#pragma once

#include <string>
#include <vector>

#include "tools/compare/comparison.h"
#include "tools/pages/report_page.h"
#include "tools/pages/table_text.h"

namespace linesynth::tools {

struct ExportUnits {
    std::string wavelength;  // empty: none
    std::string flux;
};

// `rows` are the comparable rows with no mask (compared_rows with an empty
// mask), `fitted` the same rows with the fitted model, or empty.
Table export_table(const Comparison& comparison, const std::vector<ComparedRow>& rows,
                   const std::vector<ComparedRow>& fitted, const ExportUnits& units,
                   const std::vector<ReportFile>& files);

}  // namespace linesynth::tools
