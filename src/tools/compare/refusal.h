// What the companion refuses, as one value: the kind of thing refused, the
// file and record it names when it names them, and the report. The loading,
// the fit and the weights file return it (engaged: refused), like the run's
// stages return their typed failures; the commands turn it into the text line
// and the JSON error object in one place (tools/cli/commands.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace linesynth::tools {

// The kinds, so that a table of many directories can tell the failures apart
// without parsing the report.
enum class RefusalKind {
    mask_file,       // the mask file is missing, unreadable, or holds a bad line
    input_file,      // the run's reader refused a file of the directory, or it cannot be read
    floating_point,  // the run's arithmetic faulted
    calibration,     // a calibration conversion refuses the calibration
    too_large,       // more rows or component sets than the tables hold
    sigma_file,      // the sigma file is unreadable, short, or holds a bad sigma
    no_rows,         // no compared row is left
    // The first stage passes, but the run would not complete its reports:
    run_stop,    // it stops with a calibration error stop (wl_1 = wl_2 at the tables)
    run_error,   // it ends with its run-time error report (a fault in the tables or the integral)
    fit,         // the fit cannot suggest weights, or they are worse
    data_files,  // the data directory is locked, or its files cannot be replaced
    output,      // an output would replace a file the programs use, or cannot be written
    command,     // the command line asks for something impossible
};

// The name a table shows for the kind:
//   RefusalKind::input_file -> "input_file";  RefusalKind::no_rows -> "no_rows"
std::string_view refusal_name(RefusalKind kind);

// How the run itself would end on the directory, as far as the companion
// followed it; a refusal of the companion's own (no compared rows, a bad
// sigma) can come with a run that completes.
enum class RunOutcome {
    unknown,    // not followed (refused before: the mask or sigma file, the command)
    completes,  // the normal stop, after the tables and the summary record
    stops,      // a stop with a report, exit status 0 (a calibration or a count refused)
    fails,      // the run-time error report, exit status 1
};

// The name the companion's JSON gives it:
//   RunOutcome::completes -> "completes";  RunOutcome::unknown -> "" (not given)
std::string_view run_outcome_name(RunOutcome outcome);

struct Refusal {
    RefusalKind kind = RefusalKind::command;
    std::string file;         // the file it is about; empty when it names none
    std::int64_t record = 0;  // the record (line, counted from 1) in `file`; 0 for none
    std::string text;         // the report: one line, without the program's name
    RunOutcome run = RunOutcome::unknown;
};

}  // namespace linesynth::tools
