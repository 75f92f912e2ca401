// The console: the process's standard output as a TextUnit, and its one piece
// of state, whether a line is open.
//
// A console record is shown without its leading blank (the line-control
// column) and without a line end: the line stays open, and the line end is
// written only when the next output begins. Once a record has been shown,
// every later record, every pause or stop message and the process end start
// with CR LF; nothing ever closes the line for good:
//   record "A", record "B", stop       -> "A" CR LF "B" CR LF "Stop ..." CR LF, then CR LF at the
//   end stop alone                         -> "Stop ..." CR LF and nothing at the end
#pragma once

#include "textio/text_unit.h"

namespace linesynth {

TextUnit& console();

// Shows the finished record laid out in the console's line: on a new line
// when a line is open, without its first column; then the line is open.
void show_console_record(TextUnit& unit);

// Writes CR LF when a console line is open, so that what follows starts on a
// fresh line; the line stays open. Used before the pause and stop messages
// and once at the process end.
void end_open_line();

}  // namespace linesynth
