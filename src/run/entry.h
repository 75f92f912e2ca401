// The frame of one process: arithmetic set up, the run, and the process end.
#pragma once

#include <functional>

namespace linesynth {

// Sets up the standard streams and the arithmetic and calls `body`. When a failure ends it early
// (RunEnd), the failure gets its ending (run_sequence.h: end_with); a failure
// of a file or of the arithmetic, the run-time error report on standard
// error, written here and nowhere else:
//   CR LF "run-time error F6501: READ(/TAVO/continum.txt)" CR LF
//   "- end of file reached during read" CR LF
//   CR LF "run-time error M6103: MATH" CR LF "- floating-point error: divide by zero" CR LF
// Units owned inside `body` are written out and closed as it unwinds; then an
// open console line is ended with CR LF. Returns the exit status: 0 after a
// stop, 1 after a run-time error report.
int run_process(const std::function<void()>& body);

// The whole program: run_process(run_sequence).
int run_linesynth();

}  // namespace linesynth
