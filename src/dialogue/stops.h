// The program's console dialogue: the pause that lets the user run a command,
// and the stops that end a run in front of the user.
//
// Only the program talks to its user this way (the companion reports in lines
// of its own and never links this folder). A stop writes what the user sees
// and returns; the run is over when its caller returns to the entry point
// (run/entry.h), which ends the process.
#pragma once

#include <cstdint>
#include <string_view>

namespace linesynth {

// Shows the pause prompt, reads one reply line from standard input and, when
// the reply (trailing blanks and tabs removed) has two or more characters, runs
// it as a command and waits for it. End of standard input ends the run with
// F6501 for READ(stdin).
//   reply ""  or " \t"  -> nothing runs      reply "x"  -> nothing runs
//   reply "dir   "      -> runs "dir"        reply "  x" -> runs "  x"
void pause();

// Writes "Stop - Program terminated." (or exactly `text`) and CR LF, after a
// CR LF when the console line is open. The run then ends with status 0.
void stop();
void stop(std::string_view text);

// The pattern for a fatal data error: `first_line` and "ENTER TO STOP OR YOUR
// COMMAND" as console records, the pause, then stop(stop_text).
void error_stop(std::string_view first_line, std::string_view stop_text);

// The report for a count the tables cannot hold: "ERROR REPORT", `label` with
// the count as an integer item, "Press Enter to continue" as console records,
// then stop() at once (the run does not wait for Enter).
//   refuse_count("TOO LONG DATA FILE N_sat=", 10001) shows
//   "TOO LONG DATA FILE N_sat=      10001" on its own line.
void refuse_count(std::string_view label, std::int32_t count);

}  // namespace linesynth
