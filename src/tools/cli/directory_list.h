// The directories a survey is given: those of the command line, then the
// lines of the --from file that are not empty (without their line ends, and
// without a UTF-8 byte-order mark at the start of the file), read as they are
// asked for, so that a list of millions is never held whole.
#pragma once

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace linesynth::tools {

class DirectoryList {
public:
    DirectoryList(const std::vector<std::string>& given, std::string from)
        : given_(given), from_(std::move(from)) {}

    // Opens the --from file; its failure when it cannot be.
    std::optional<std::string> open();

    // The next directory; nothing at the end of the list or on a failure
    // (then `failure` says what failed).
    std::optional<std::string> next();

    std::optional<std::string> failure;

private:
    bool read_line(std::string& line);

    const std::vector<std::string>& given_;
    std::string from_;
    std::size_t given_next_ = 0;
    std::ifstream file_;
    std::vector<char> buffer_;
    std::size_t line_number_ = 0;
};

}  // namespace linesynth::tools
