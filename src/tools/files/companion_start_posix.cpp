// POSIX start of the companion: file names are bytes, taken as they come.
#include "tools/files/companion_start.h"

namespace linesynth::platform {

std::vector<std::string> start_companion(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace linesynth::platform
