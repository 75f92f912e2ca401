#include "tools/cli/survey_resume.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "tools/cli/output_names.h"
#include "tools/files/whole_files.h"
#include "tools/pages/table_text.h"

namespace linesynth::tools {

std::optional<std::string> read_kept_rows(const std::string& path, const std::string& head,
                                          std::unordered_map<std::string, std::string>& kept) {
    std::error_code ignored;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file_path(path), ignored))) {
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(file_path(path), ignored)) {
        return path + " is not a regular file; it is not read";
    }
    std::ifstream file(file_path(path), std::ios::binary);
    std::string text;
    std::string line;
    while (text.size() < head.size() && std::getline(file, line)) {
        text += line + "\n";
    }
    if (text != head) {
        return file.bad() ? std::optional(path + ": cannot read the earlier table") : std::nullopt;
    }
    while (std::getline(file, line) && !file.eof()) {
        if (const auto cells = ecsv_row_cells(line); cells && !cells->empty()) {
            kept.insert_or_assign(cells->front(), std::move(line));
        }
    }
    return file.bad() ? std::optional(path + ": cannot read the earlier table") : std::nullopt;
}

std::optional<std::string> Checkpoint::open(const std::string& path, const std::string& head) {
    std::error_code ignored;
    const auto status = std::filesystem::symlink_status(file_path(path), ignored);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return path + " is not a regular file; it is left alone";
    }
    // The checkpoint is always made new: a name taken meanwhile (a link put
    // there) is refused rather than followed.
    platform::remove_file(path);
    if (platform::create_appended_file(path, file_) || platform::append_to_file(file_, head)) {
        return path + ": cannot write the checkpoint";
    }
    return std::nullopt;
}

void Checkpoint::add(const std::string& row) {
    if (file_.is_open()) {
        pending_ += row;
    }
}

// A failure to write is not the survey's: the table is still made whole,
// only a killed survey would find fewer rows to take again.
void Checkpoint::flush() {
    if (file_.is_open() && !pending_.empty()) {
        static_cast<void>(platform::append_to_file(file_, pending_));
        pending_.clear();
    }
}

void Checkpoint::remove() {
    if (file_.is_open()) {
        const std::string path = file_.path;
        file_.close();
        platform::remove_file(path);
    }
}

}  // namespace linesynth::tools
