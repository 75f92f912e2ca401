// The frame of one process: arithmetic set up, the run, and the process end.
#pragma once

#include <functional>

namespace linesynth {

// Sets up the standard streams and the arithmetic and calls `body` until it
// stops (RunEnd). Units owned inside `body` are written out and closed as the
// stop unwinds; then an open console line is ended with CR LF. Returns the exit
// status: 0 after a stop, 1 after a run-time error report.
int run_process(const std::function<void()>& body);

}  // namespace linesynth
