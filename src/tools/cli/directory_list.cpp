#include "tools/cli/directory_list.h"

#include <filesystem>
#include <system_error>

#include "tools/cli/output_names.h"

namespace linesynth::tools {
namespace {

// The longest line of a list of directories: far beyond any path a system
// takes, and short enough that a file without line ends (a link to a device
// of zeros) is refused at once rather than read into memory.
constexpr std::size_t longest_list_line = 65535;

}  // namespace

std::optional<std::string> DirectoryList::open() {
    if (from_.empty()) {
        return std::nullopt;
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(file_path(from_), ignored)) {
        return from_ + " is a directory, not a list of directories";
    }
    file_.open(file_path(from_), std::ios::binary);
    if (!file_) {
        return from_ + ": cannot read the list of directories";
    }
    return std::nullopt;
}

std::optional<std::string> DirectoryList::next() {
    if (given_next_ < given_.size()) {
        return given_[given_next_++];
    }
    while (file_.is_open()) {
        std::string line;
        if (!read_line(line)) {
            file_.close();
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line_number_ == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.erase(0, 3);
        }
        if (!line.empty()) {
            return line;
        }
    }
    return std::nullopt;
}

bool DirectoryList::read_line(std::string& line) {
    buffer_.resize(longest_list_line + 2);
    file_.getline(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    const auto count = static_cast<std::size_t>(file_.gcount());
    if (file_.bad()) {
        failure = from_ + ": cannot read the list of directories";
        return false;
    }
    ++line_number_;
    if (file_.fail()) {
        if (file_.eof() && count == 0) {
            return false;
        }
        failure = from_ + ": line " + std::to_string(line_number_) + " is longer than " +
                  std::to_string(longest_list_line) + " bytes";
        return false;
    }
    // Without eof the line end was taken too, and counted.
    line.assign(buffer_.data(), file_.eof() ? count : count - 1);
    return true;
}

}  // namespace linesynth::tools
