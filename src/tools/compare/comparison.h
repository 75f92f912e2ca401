// Everything the companion's commands compare, loaded from a data directory:
// the run's data after its first stage, the columns the companion keeps
// besides, and the compared rows with their sigmas.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "stages/compute_stage.h"
#include "tools/compare/compared_rows.h"
#include "tools/compare/mask.h"
#include "tools/compare/refusal.h"

namespace linesynth::tools {

struct ComparisonRequest {
    std::string dir;         // ends in its separator
    std::string mask_file;   // empty: nothing masked
    std::string sigma_file;  // empty: unit sigmas
};

struct Comparison {
    std::unique_ptr<RunData> data = std::make_unique<RunData>();
    std::unique_ptr<KeptColumns> kept = std::make_unique<KeptColumns>();
    std::string mask_bytes;   // the mask file as read, once
    std::string sigma_bytes;  // the sigma file as read, once
    std::vector<MaskRange> mask;
    std::vector<float> sigma;  // sigma(I) at [I - 1] for I = 1 to n; empty without a file
    std::vector<ComparedRow> rows;
};

// Reads the mask and sigma files whole, once (at most 64 MiB each; a pipe or
// FIFO works), the data directory (opened only for reading), and builds the
// compared rows. The result is the first thing refused, with the file and
// record it names:
//   mask_file, "/m/mask.txt", 4, "/m/mask.txt, line 4: low end above high end"
//   sigma_file, "/s/sigma.txt", 0,
//       "/s/sigma.txt: count 300 does not cover the 400 compared rows"
//   sigma_file, "/s/sigma.txt", 0,
//       "/s/sigma.txt, row 17: sigma 0 is not a finite value above 0"
//   no_rows, "", 0,
//       "no compared rows left (observed count 400, point count 400, 400 rows masked)"
// The run is followed to its end, through its own report stage rehearsed
// (nothing is written): a directory the run would not complete is refused in
// the run's words, never given statistics, and every refusal after the first
// stage says how the run ends (Refusal::run):
//   wl_1 = wl_2     -> run_stop, "the run stops at its reports: ERROR ON TERENNING WAVE LENGTH
//                      INTO pixel", stops
//   a weight of 1e6 -> run_error, "the run ends at its reports: floating-point error: overflow
//                      [M6104]", fails
//   a FIFO as an input -> input_file, ".../continum.txt is not a regular file (a FIFO, device
//                      or directory); it is not read" (never opened for reading)
std::optional<Refusal> load_comparison(const ComparisonRequest& request, Comparison& comparison);

}  // namespace linesynth::tools
