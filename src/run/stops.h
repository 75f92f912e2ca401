// Every way a run ends, and the pause that lets the user run a command first.
//
// A stop does not exit the process from where it is called: it writes what the
// user sees and then throws RunEnd, which unwinds to run_process() (entry.h).
// On the way, every TextUnit is closed by its owner, so records already written
// reach the disk; tests can observe a stop without ending the test process.
#pragma once

#include <cstdint>
#include <string_view>

#include "run/failures.h"

namespace linesynth {

// Thrown by stop() and report_run_time_error(); carries the exit status.
struct RunEnd {
    int status;
};

// Shows the pause prompt, reads one reply line from standard input and, when
// the reply (trailing blanks and tabs removed) has two or more characters, runs
// it as a command and waits for it. End of standard input ends the run with
// F6501 for READ(stdin).
void pause();

// Writes "Stop - Program terminated." (or exactly `text`) and CR LF, after a
// CR LF when the console line is open; ends the run with status 0.
[[noreturn]] void stop();
[[noreturn]] void stop(std::string_view text);

// The pattern for a fatal data error: `first_line` and "ENTER TO STOP OR YOUR
// COMMAND" as console records, the pause, then stop(stop_text). Status 0.
[[noreturn]] void error_stop(std::string_view first_line, std::string_view stop_text);

// The report for a count the tables cannot hold: "ERROR REPORT", `label` with
// the count as an integer item, "Press Enter to continue" as console records,
// then stop() at once (status 0; the run does not wait for Enter).
//   refuse_count("TOO LONG DATA FILE N_sat=", 10001) shows
//   "TOO LONG DATA FILE N_sat=      10001" on its own line.
[[noreturn]] void refuse_count(std::string_view label, std::int32_t count);

// Writes CR LF, "run-time error ", letter, number, context, CR LF, "- ",
// message, CR LF to standard error; ends the run with status 1.
[[noreturn]] void report_run_time_error(char letter, int number, std::string_view context,
                                        std::string_view message);

// report_run_time_error for a failed file operation: letter F and the
// context ": STATEMENT(file name)", e.g. ": READ(/TAVO/vlt.txt)".
[[noreturn]] void fail_file(Failure failure, std::string_view statement,
                            std::string_view file_name);

// report_run_time_error for a floating-point fault: letter M, context ": MATH",
// message "floating-point error: " and the kind.
[[noreturn]] void fail_math(MathFault fault);

}  // namespace linesynth
