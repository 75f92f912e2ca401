// The companion's start, the same on every platform: its arguments as UTF-8
// text, whatever the system passed. It also guards the process
// (guard_the_companion, whole_files.h).
//   POSIX: the arguments as given (file names are bytes there).
//   Windows: the UTF-16 command line (GetCommandLineW), converted; from then
//   on every file name the platform layer takes is UTF-8 and every file is
//   opened with the wide functions, TAVO_DIR is read as UTF-16 too, and a name
//   in any script works ("-o C:\out\Ωmega.html" writes Ωmega.html).
#pragma once

#include <string>
#include <vector>

namespace linesynth::platform {

// The program's arguments, the program's name first.
std::vector<std::string> start_companion(int argc, char** argv);

}  // namespace linesynth::platform
