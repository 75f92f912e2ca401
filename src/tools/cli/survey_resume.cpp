#include "tools/cli/survey_resume.h"

#include <filesystem>
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
    file_.open(file_path(path), std::ios::binary | std::ios::trunc);
    file_ << head;
    file_.flush();
    path_ = path;
    return file_ ? std::nullopt : std::optional(path + ": cannot write the checkpoint");
}

void Checkpoint::add(const std::string& row) {
    if (file_.is_open()) {
        file_ << row;
    }
}

void Checkpoint::flush() {
    if (file_.is_open()) {
        file_.flush();
    }
}

void Checkpoint::remove() {
    if (file_.is_open()) {
        file_.close();
        platform::remove_file(path_);
    }
}

}  // namespace linesynth::tools
