// Windows only, inside src/platform/: how the file names given to the
// platform layer are encoded. The run passes the process's ANSI code page
// names to the ANSI functions, as it always has. The companion switches to
// UTF-8 at its start (companion_start.h): from then on every name is UTF-8 and
// every file is opened with the wide functions, so that any name the file
// system allows works.
#pragma once

#include <string>

namespace linesynth::platform {

// False (ANSI names) unless the companion set it.
extern bool utf8_file_names;

// UTF-8 <-> UTF-16 without loss for valid text; an invalid UTF-8 sequence
// becomes U+FFFD, so that it names no existing file by accident.
std::wstring wide_text(const std::string& utf8);
std::string utf8_text(const std::wstring& wide);

}  // namespace linesynth::platform
