// The files an output of the companion may not replace: every file of a data
// directory that either program reads or writes (the inputs of a run with the
// most sets, the tables, the summary page, the Windows lock file), any such
// name followed by a dot and more (backups and temporaries), the mask and
// sigma files and theirs, and any of these under another name (a link).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/compare/refusal.h"

namespace linesynth::tools {

// A path of the companion's (UTF-8) as the file system library takes it.
std::filesystem::path file_path(const std::string& path);

// The refusal when `output` would replace a file of the data directory `dir`
// (ending in its separator) or one of `option_files` (paths; empty ones
// skipped); nothing when it may be written. Asked before any work.
std::optional<Refusal> refused_output(const std::string& output, const std::string& dir,
                                      const std::vector<std::string>& option_files);

// Whether `output` could be a file refused_output refuses for some directory
// whose option files are named `option_names` (without a directory): its name,
// or the name it reaches through links, is or extends such a name, or it is a
// file with more than one name. False rules out every directory at once, so
// that a long list of directories need not be checked one by one.
bool output_may_name_data_file(const std::string& output,
                               const std::vector<std::string>& option_names);

}  // namespace linesynth::tools
