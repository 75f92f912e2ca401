// POSIX start of the companion: file names are bytes, taken as they come.
#include "tools/files/companion_start.h"

#include "tools/files/whole_files.h"

namespace linesynth::platform {

std::vector<std::string> start_companion(int argc, char** argv) {
    guard_the_companion();
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace linesynth::platform
