#include "test_support.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "run/entry.h"

namespace linesynth::testing {
namespace {

// An unlinked temporary file: a place for a child's stream that cannot fill
// up the way a pipe does while nobody reads it.
int anonymous_file(const std::string& contents) {
    char name[] = "/tmp/linesynth-stream-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) {
        throw std::runtime_error("mkstemp failed");
    }
    ::unlink(name);
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n <= 0) {
            throw std::runtime_error("write failed");
        }
        done += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string slurp(int fd) {
    ::lseek(fd, 0, SEEK_SET);
    std::string data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

template <typename ChildBody>
ProcessResult run_child(const std::string& input, ChildBody child_body) {
    const int in = anonymous_file(input);
    const int out = anonymous_file("");
    const int err = anonymous_file("");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::_exit(child_body());
    }
    ::close(in);
    int wait_status = 0;
    ::waitpid(pid, &wait_status, 0);
    ProcessResult result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    result.out = slurp(out);
    result.err = slurp(err);
    return result;
}

// Replaces the child with the binary; returns only when it cannot start.
int exec_linesynth(const std::string& data_dir, const std::vector<std::string>& args) {
    if (data_dir.empty()) {
        ::unsetenv("TAVO_DIR");
    } else {
        ::setenv("TAVO_DIR", data_dir.c_str(), 1);
    }
    std::vector<char*> argv;
    std::string program = LINESYNTH_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    return 127;
}

}  // namespace

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("linesynth-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) {
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const {
    return (path_ / name).string();
}

std::string TempDir::dir_with_separator() const {
    return path_.string() + "/";
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

ProcessResult run_in_child(const std::function<void()>& body, const std::string& input) {
    return run_child(input, [&] { return run_process(body); });
}

ProcessResult run_linesynth(const std::string& data_dir, const std::string& input,
                            const std::vector<std::string>& args) {
    return run_child(input, [&] { return exec_linesynth(data_dir, args); });
}

ProcessResult run_linesynth_arranged(const std::string& data_dir, const std::string& input,
                                     const std::function<void()>& arrange) {
    return run_child(input, [&] {
        std::signal(SIGPIPE, SIG_DFL);
        ::alarm(20);  // survives the exec
        arrange();
        return exec_linesynth(data_dir, {});
    });
}

bool make_read_only(const std::string& path, bool read_only) {
    if (::geteuid() != 0) {
        std::filesystem::permissions(path, read_only ? std::filesystem::perms::owner_read
                                                     : std::filesystem::perms::owner_all);
        return true;
    }
#ifdef __linux__
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = read_only ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return done;
#else
    return false;
#endif
}

std::string record(const std::vector<std::pair<int, std::string>>& fields) {
    std::string bytes;
    for (const auto& [blanks, text] : fields) {
        bytes += std::string(static_cast<std::size_t>(blanks), ' ') + text;
    }
    return bytes + "\r\n";
}

std::string crlf(const std::string& text) {
    std::string bytes;
    for (char c : text) {
        if (c == '|') {
            bytes += "\r\n";
        } else {
            bytes += c;
        }
    }
    return bytes;
}

}  // namespace linesynth::testing
