// The weights file and the scale file that a fit suggests, and their
// replacement of those in the data directory.
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

// ref_a, then ref_b, one record each, the shortest exact texts:
//   1.03125f, 0.0f -> "1.03125\r\n0\r\n"
std::string scale_file_text(float ref_a, float ref_b);

struct DataFile {
    std::string name;  // in the data directory, e.g. "synthesis.txt"
    std::string text;
};

// Replaces the named files of `dir` (ending in its separator), all or none:
// each is written whole to "<name>.new" and flushed, then each old file is
// copied to "<name>.bak", then each new one renamed over its old one. When a
// write or copy fails, no data file has changed and the new files are
// removed. When a rename fails, the files renamed before it are put back from
// their copies. The result is the report of the failing step, naming the file,
// and `failed` receives the path of that file:
//   "cannot write /d/qdqd.txt.new"
//   "cannot rename /d/qdqd.txt.new to /d/qdqd.txt; /d/synthesis.txt is put back as it was"
std::optional<std::string> replace_data_files(const std::string& dir,
                                              const std::vector<DataFile>& files,
                                              std::string& failed);

// replace_data_files of "synthesis.txt" alone.
std::optional<std::string> replace_weights_file(const std::string& dir, std::string_view text);

}  // namespace linesynth::tools
