// Windows start of the companion: the UTF-16 command line, and UTF-8 file
// names from then on (file_names_windows.h).
#include "platform/windows_api.h"
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "platform/file_names_windows.h"
#include "tools/files/companion_start.h"
#include "tools/files/whole_files.h"

namespace linesynth::platform {

std::vector<std::string> start_companion(int argc, char** argv) {
    guard_the_companion();
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);  // the ANSI ones are all there is
    }
    utf8_file_names = true;
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8_text(wide[i]));
    }
    ::LocalFree(wide);
    return arguments;
}

}  // namespace linesynth::platform
