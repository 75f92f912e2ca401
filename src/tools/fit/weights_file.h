// The weights file that a fit suggests, and its replacement of the one in the
// data directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linesynth::tools {

// The set count on the first record, then one weight per record, each the
// shortest text that reads back as the same 32-bit real; every record ends in
// CR LF like the other files of the data directory:
//   weights 0.5f, 0.3f -> "2\r\n0.5\r\n0.3\r\n"
std::string weights_file_text(const std::vector<float>& weights);

// Replaces "synthesis.txt" in `dir` (ending in its separator) with `text`:
// written whole to "synthesis.txt.new" and flushed, the old file copied to
// "synthesis.txt.bak", then the new one renamed over it. When a step fails,
// "synthesis.txt" is as it was and the new file is removed; the result is the
// report of the failing step, e.g. "cannot write /d/synthesis.txt.new".
std::optional<std::string> replace_weights_file(const std::string& dir, std::string_view text);

}  // namespace linesynth::tools
