// The run: thirteen fixed steps from the weights file to the normal stop.
#pragma once

#include "base/run_end.h"

namespace linesynth {

// Performs the whole run on the files of the data directory: the two stages
// (stages/), then the normal stop. A calibration that a conversion refused,
// or a count the tables cannot hold, gets its console dialogue here, while
// the parameter and observed files are still held (a command run from the
// pause finds them locked); a failure of a file or of the arithmetic goes on
// as RunEnd to the entry point, which writes the run-time error report.
void run_sequence();

// Ends the run for `failure` as the program does: the calibration error stop
// (its two lines, the pause, the stop with its text) or the count refusal
// (three lines, the stop), both status 0; any other failure is raised again
// (RunEnd) for the run-time error report.
void end_with(const RunFailure& failure);

}  // namespace linesynth
