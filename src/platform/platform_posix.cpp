// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cfenv>
#include <csignal>
#include <cstdlib>

extern char** environ;

namespace linesynth::platform {
namespace {

int fd_of(FileHandle file) {
    return static_cast<int>(file.native);
}

OpenFailure open_failure_of(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return OpenFailure::not_found;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EWOULDBLOCK:
            return OpenFailure::denied;
        case EMFILE:
        case ENFILE:
            return OpenFailure::too_many;
        case EEXIST:
            return OpenFailure::exists;
        default:
            return OpenFailure::invalid;
    }
}

IoFailure io_failure_of(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return IoFailure::no_space;
        case EACCES:
        case EPERM:
        case EBADF:
        case EINVAL:
        case EROFS:
            return IoFailure::denied;
        default:
            return IoFailure::other;
    }
}

constexpr int common_flags = O_CLOEXEC | O_NOCTTY;

int open_path(const std::string& path, int flags, mode_t mode = 0) {
    return ::open(path.c_str(), flags | common_flags, mode);
}

// Opens with `flags`, creating the file when it is missing and the access
// asks for writing. Reports through `created` whether this call made it. At
// most three calls: the exclusive creation fails with EEXIST both when another
// process created the file in between and when the name is a symbolic link
// whose target is missing (O_EXCL never follows a link); the last call then
// opens the name as any path is opened, creating the link's target when its
// directory exists and failing with ENOENT when it does not.
int open_or_create(const std::string& path, int flags, bool& created) {
    int fd = open_path(path, flags);
    if (fd >= 0 || errno != ENOENT || flags == O_RDONLY) {
        return fd;
    }
    fd = open_path(path, flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
        created = true;
        return fd;
    }
    if (errno != EEXIST) {
        return fd;
    }
    // A target made here is empty, so leaving `created` false costs nothing:
    // the cut of the first write finds nothing to cut.
    return open_path(path, flags | O_CREAT, 0666);
}

// Waits until `fd` is ready for `events`; false when it never will be.
bool wait_for(int fd, short events) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int n = ::poll(&entry, 1, -1);
        if (n > 0) {
            return (entry.revents & POLLNVAL) == 0;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR || (would_block(errno) && wait_for(fd, POLLOUT))) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Checks what was opened and takes the lock; closes `fd` on failure.
OpenedFile hold(int fd, int lock, OpenedFile result) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        result.failure = OpenFailure::denied;
        return result;
    }
    result.regular = S_ISREG(info.st_mode);

    if (::flock(fd, lock | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        result.failure = error == EWOULDBLOCK ? OpenFailure::denied : open_failure_of(error);
        return result;
    }
    result.handle.native = fd;
    return result;
}

bool is_fifo(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace

OpenedFile open_exclusive(const std::string& path, Intent intent) {
    OpenedFile result;
    if (intent == Intent::input && is_fifo(path)) {
        // Read-only, so that the writer's close is the end of the file. The
        // opening waits for a writer, as any reader of a FIFO does.
        const int fd = open_path(path, O_RDONLY);
        if (fd < 0) {
            result.failure = open_failure_of(errno);
            return result;
        }
        return hold(fd, LOCK_EX, result);
    }

    int first_error = 0;
    int fd = -1;
    // Reading and writing first, then reading only, then writing only.
    constexpr int attempts[] = {O_RDWR, O_RDONLY, O_WRONLY};
    for (int flags : attempts) {
        fd = open_or_create(path, flags, result.created);
        if (fd >= 0) {
            result.writable = flags != O_RDONLY;
            break;
        }
        if (first_error == 0) {
            first_error = errno;
        }
        if (errno == EMFILE || errno == ENFILE || errno == ENOENT || errno == ENOTDIR) {
            break;  // no other access mode can help with these
        }
    }
    if (fd < 0) {
        result.failure = open_failure_of(first_error);
        return result;
    }
    return hold(fd, LOCK_EX, result);
}

OpenedFile open_for_reading(const std::string& path) {
    OpenedFile result;
    // Without O_NONBLOCK the opening of a FIFO would wait for a writer.
    const int fd = open_path(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        result.failure = open_failure_of(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.failure = OpenFailure::not_regular;
        return result;
    }
    return hold(fd, LOCK_SH, result);
}

bool is_irregular(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

ReadResult read_some(FileHandle file, char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(fd_of(file), buffer, capacity);
        if (n >= 0) {
            return {static_cast<std::size_t>(n), false};
        }
        if (errno != EINTR) {
            return {0, true};
        }
    }
}

IoFailure write_at(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) {
    bool positioned = true;
    while (size > 0) {
        const ssize_t n = positioned ? ::pwrite(fd_of(file), data, size, static_cast<off_t>(offset))
                                     : ::write(fd_of(file), data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == ESPIPE && positioned) {
                positioned = false;  // a pipe or FIFO has no offsets
                continue;
            }
            return io_failure_of(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return IoFailure::none;
}

IoFailure truncate(FileHandle file, std::uint64_t size) {
    if (::ftruncate(fd_of(file), static_cast<off_t>(size)) != 0) {
        return io_failure_of(errno);
    }
    return IoFailure::none;
}

std::uint64_t file_size(FileHandle file) {
    struct stat info {};
    if (::fstat(fd_of(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

void close(FileHandle file) {
    if (file) {
        ::close(fd_of(file));  // closing releases the lock
    }
}

void setup_standard_streams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is `fd` itself, since the ones below it
        // are open by now; dup2 covers a system that says otherwise.
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

bool write_stdout(std::string_view bytes) {
    return write_all(STDOUT_FILENO, bytes);
}

bool write_stderr(std::string_view bytes) {
    return write_all(STDERR_FILENO, bytes);
}

bool stderr_is_terminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool read_stdin_line(std::string& line) {
    line.clear();
    bool any = false;
    char c = 0;
    // One byte at a time, so that nothing past the reply is taken from a
    // standard input that a command run afterwards may read too.
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && (errno == EINTR || (would_block(errno) && wait_for(STDIN_FILENO, POLLIN)))) {
            continue;  // a standard input that does not block has no reply yet
        }
        if (n <= 0) {
            return any;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

void run_command(const std::string& command_line) {
    char shell[] = "/bin/sh";
    char dash_c[] = "-c";
    std::string command = command_line;
    char* argv[] = {shell, dash_c, command.data(), nullptr};
    // The command gets the default SIGPIPE the run itself gave up: an ignored
    // signal would otherwise pass on to it and to everything it runs.
    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0) {
        return;
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    // A command line longer than the system passes on (E2BIG) starts nothing.
    const int started = ::posix_spawn(&child, shell, nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (started != 0) {
        return;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

void setup_floating_point() {
    // x86-64 and AArch64 evaluate double in 53-bit significands natively; the
    // rounding direction is the only setting left to make.
    std::fesetround(FE_TONEAREST);
}

void keep_freed_memory() {
#if defined(__GLIBC__)
    // glibc returns the top of a heap above the trim threshold and maps large
    // blocks of their own, unmapped at their release. Fixed thresholds above
    // the sizes a survey uses keep both in the heap, for every thread's arena.
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

std::string data_directory() {
    const char* dir = std::getenv("TAVO_DIR");
    if (dir == nullptr || *dir == '\0') {
        return "/TAVO/";
    }
    std::string result = dir;
    if (result.back() != '/') {
        result.push_back('/');
    }
    return result;
}

}  // namespace linesynth::platform
