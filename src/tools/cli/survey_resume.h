// What a survey with `update` takes again, and what it leaves for the next
// one should it be killed: the rows of an earlier table or checkpoint, and the
// checkpoint "<output>.partial" it keeps while it runs.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "tools/files/whole_files.h"

namespace linesynth::tools {

// The rows of an earlier ECSV table with the header `head`, by directory
// (a later file's rows over an earlier one's). A file that is missing, or
// whose header differs (another version, other options), gives none; a last
// line without its line end (a survey killed while writing it) is left out.
std::optional<std::string> read_kept_rows(const std::string& path, const std::string& head,
                                          std::unordered_map<std::string, std::string>& kept);

// The checkpoint of a survey with --update: the ECSV header, then each row
// as it goes into the table, so that a survey killed at any moment leaves the
// rows it finished for the next one. Rows wait in memory until the next
// flush, which hands them to the system whole. Closed, it does nothing.
class Checkpoint {
public:
    // Puts a new checkpoint with `head` in the place of an earlier one, whose
    // rows have been read; an entry there that is not a regular file (a
    // link among them) is left alone.
    std::optional<std::string> open(const std::string& path, const std::string& head);
    void add(const std::string& row);
    void flush();
    // After the table is written the checkpoint has done its work.
    void remove();
    bool is_open() const { return file_.is_open(); }

private:
    platform::AppendedFile file_;
    std::string pending_;  // rows not yet flushed
};

}  // namespace linesynth::tools
