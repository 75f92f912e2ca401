// Everything the companion's commands compare, loaded from a data directory:
// the run's data after its first stage, the columns the companion keeps
// besides, and the compared rows with their sigmas.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stages/compute_stage.h"
#include "tools/compare/compared_rows.h"
#include "tools/compare/mask.h"

namespace linesynth::tools {

struct ComparisonRequest {
    std::string dir;         // ends in its separator
    std::string mask_file;   // empty: nothing masked
    std::string sigma_file;  // empty: unit sigmas
};

// What refused a data directory, so that a table of many directories can
// tell the kinds of failure apart without parsing the report.
enum class Refusal {
    none,
    mask_file,       // the mask file is missing, unreadable, or holds a bad line
    input_file,      // the run's reader refused a file of the directory
    floating_point,  // the run's arithmetic faulted
    calibration,     // a calibration conversion refuses the calibration
    too_large,       // more rows or component sets than the tables hold
    sigma_file,      // the sigma file is unreadable, short, or holds a bad sigma
    no_rows,         // no compared row is left
    // The first stage passes, but the run would not complete its reports:
    run_stop,   // it stops with a calibration error stop (wl_1 = wl_2 at the tables)
    run_error,  // it ends with its run-time error report (a fault in the tables or the integral)
};

// The name a table shows for the kind:
//   Refusal::input_file -> "input_file";  Refusal::no_rows -> "no_rows"
std::string_view refusal_name(Refusal refusal);

// How the run itself would end on the directory, as far as the companion
// followed it; a refusal of the companion's own (a mask, sigmas, no compared
// rows) can come with a run that completes.
enum class RunOutcome {
    unknown,    // refused before the run was followed (the mask or sigma file)
    completes,  // the normal stop, after the tables and the summary record
    stops,      // a stop with a report, exit status 0 (a calibration or count refused)
    fails,      // the run-time error report, exit status 1
};

// The name the companion's JSON gives it:
//   RunOutcome::completes -> "completes";  RunOutcome::unknown -> "" (not given)
std::string_view run_outcome_name(RunOutcome outcome);

struct Comparison {
    std::unique_ptr<RunData> data = std::make_unique<RunData>();
    std::unique_ptr<KeptColumns> kept = std::make_unique<KeptColumns>();
    std::string mask_bytes;   // the mask file as read, once
    std::string sigma_bytes;  // the sigma file as read, once
    std::vector<MaskRange> mask;
    std::vector<float> sigma;  // sigma(I) at [I - 1] for I = 1 to n; empty without a file
    std::vector<ComparedRow> rows;
    Refusal refusal = Refusal::none;  // set when load_comparison refuses
    RunOutcome run = RunOutcome::unknown;
};

// The file a refusal is about and its record (line, counted from 1), when it
// names them; 0 for no record.
struct RefusalPlace {
    std::string file;
    std::int64_t record = 0;
};

// Reads the mask and sigma files whole, once (at most 64 MiB each; a pipe or
// FIFO works), the data directory (opened only for reading), and builds the
// compared rows. The result is the report of the first thing refused, one
// line without the program's name, and `place` (when given) receives the file
// and record it names:
//   "/m/mask.txt, line 4: low end above high end"
//   "/s/sigma.txt: count 300 does not cover the 400 compared rows"
//   "/s/sigma.txt, row 17: sigma 0 is not a finite value above 0"
//   "no compared rows left (observed count 400, point count 400, 400 rows masked)"
// The run is then followed to its end, through its own report stage
// rehearsed (nothing is written): a directory the run would not complete is
// refused in the run's words, never given statistics:
//   wl_1 = wl_2 -> "the run stops at its reports: ERROR ON TERENNING WAVE LENGTH INTO pixel"
//   a weight of 1e6 -> "the run ends at its reports: floating-point error: overflow [M6104]"
std::optional<std::string> load_comparison(const ComparisonRequest& request, Comparison& comparison,
                                           RefusalPlace* place = nullptr);

}  // namespace linesynth::tools
