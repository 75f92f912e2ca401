// Helpers shared by the tests: temporary data directories, whole-file reads
// and writes, and running code or the real binary in a child process with its
// standard streams captured.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace linesynth::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of `name` inside the directory, as a string.
    std::string file(const std::string& name) const;
    // The directory with its trailing separator, as TAVO_DIR takes it.
    std::string dir_with_separator() const;

private:
    std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);

struct ProcessResult {
    int status = -1;  // exit status; -1 when the child did not exit normally
    std::string out;  // standard output, byte for byte
    std::string err;  // standard error, byte for byte
};

// Runs `body` through run_process() in a forked child whose standard input is
// `input` and whose standard output and error are captured.
ProcessResult run_in_child(const std::function<void()>& body, const std::string& input = "");

// Runs the linesynth binary with TAVO_DIR set to `data_dir` (unset when empty).
ProcessResult run_linesynth(const std::string& data_dir, const std::string& input = "",
                            const std::vector<std::string>& args = {});

// Runs the linesynth binary as run_linesynth does, but calls `arrange` in the
// child just before the program starts, with the standard streams already in
// place, so that it can close or replace them. The child starts with the
// default SIGPIPE, and a watchdog alarm ends a program that hangs (status -1).
ProcessResult run_linesynth_arranged(const std::string& data_dir, const std::string& input,
                                     const std::function<void()>& arrange);

// Makes `path` a file that opens for reading only, even for root (whom file
// permissions do not stop), or undoes that: the immutable flag where the file
// system has it. False when neither way is available.
bool make_read_only(const std::string& path, bool read_only);

// A file record from (blanks, text) pairs, ended with CR LF:
//   record({{8, "1.000000"}, {3, "-5.000000E-01"}}) == "        1.000000   -5.000000E-01\r\n"
std::string record(const std::vector<std::pair<int, std::string>>& fields);

// Bytes from text written with "|" for CR LF, which keeps expected console and
// file contents readable: crlf("a|b|") == "a\r\nb\r\n".
std::string crlf(const std::string& text);

}  // namespace linesynth::testing
