// POSIX implementation of the companion's whole files.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "tools/files/whole_files.h"

namespace linesynth::platform {
namespace {

constexpr int common_flags = O_CLOEXEC | O_NOCTTY;

// The temporaries this process has made and not yet renamed or removed, for
// the handler of the signals that end it (SIGINT, SIGTERM, SIGHUP): it can
// only unlink names it holds already, in storage of its own.
constexpr std::size_t temporary_slots = 4;
char temporary_names[temporary_slots][PATH_MAX];
volatile std::sig_atomic_t temporary_used[temporary_slots];

constexpr int ending_signals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds back the ending signals while a temporary is made and recorded, so
// that none can be left between the two.
struct EndingSignalsHeld {
    sigset_t old{};
    EndingSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : ending_signals) {
            sigaddset(&held, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &held, &old);
    }
    ~EndingSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &old, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;
};

void record_temporary(const std::string& name) {
    if (name.size() >= PATH_MAX) {
        return;
    }
    for (std::size_t slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_used[slot] == 0) {
            std::memcpy(temporary_names[slot], name.c_str(), name.size() + 1);
            temporary_used[slot] = 1;
            return;
        }
    }
}

void forget_temporary(const std::string& name) {
    for (std::size_t slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_used[slot] != 0 && name == temporary_names[slot]) {
            temporary_used[slot] = 0;
        }
    }
}

extern "C" void remove_temporaries_and_end(int signal) {
    for (std::size_t slot = 0; slot < temporary_slots; ++slot) {
        if (temporary_used[slot] != 0) {
            ::unlink(temporary_names[slot]);
            temporary_used[slot] = 0;
        }
    }
    // End as the signal would have ended the process, status and all.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool write_whole(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The permission bits of a new file: 0666 less the process's umask, which
// can only be read by setting it.
mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The temporary beside `target`, created by mkostemp (O_CREAT | O_EXCL: never
// an existing file, never through a link), written, flushed, given `mode`.
FileOutcome write_temporary(const std::string& target, std::string_view bytes, mode_t mode,
                            std::string& temporary) {
    std::string name = target + ".new-XXXXXX";
    int fd = -1;
    {
        const EndingSignalsHeld held;
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            record_temporary(name);
        }
    }
    if (fd < 0) {
        return {FileFault::create, target};
    }
    const bool written = write_whole(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(name.c_str());
        forget_temporary(name);
        // The temporary is gone: the report names the file the user asked for.
        return {FileFault::write, target};
    }
    temporary = name;
    return {};
}

// The directory of `path`, for flushing a rename to the device.
std::string parent_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void sync_directory_of(const std::string& path) {
    const int fd = ::open(parent_of(path).c_str(), O_RDONLY | O_DIRECTORY | common_flags);
    if (fd >= 0) {
        ::fsync(fd);  // best effort: some file systems refuse it on a directory
        ::close(fd);
    }
}

}  // namespace

FileOutcome read_whole_file(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    // No O_NONBLOCK: a FIFO waits for its writer, as `--mask <(...)` needs.
    const int fd = ::open(path.c_str(), O_RDONLY | common_flags);
    if (fd < 0) {
        return {FileFault::read, path};
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);  // a directory (EISDIR), a device error, ...
            bytes.clear();
            return {FileFault::read, path};
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > limit - bytes.size()) {
            ::close(fd);
            bytes.clear();
            return {FileFault::too_large, path};
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return {};
}

bool entry_exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void remove_file(const std::string& path) {
    ::unlink(path.c_str());
}

FileOutcome stage_file(const std::string& target, std::string_view bytes, StagedFile& staged) {
    staged = StagedFile{target, ""};
    mode_t mode = 0;
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return {FileFault::not_regular, target};
        }
        // No write bit for anyone, or none for this user: the shell's own
        // redirection would be refused, and so is the replacement, also in
        // a directory where anyone may rename files.
        if ((info.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            return {FileFault::read_only, target};
        }
        mode = info.st_mode & 07777;
    } else if (errno == ENOENT) {
        mode = new_file_mode();
    } else {
        return {FileFault::read, target};
    }
    return write_temporary(target, bytes, mode, staged.temporary);
}

FileOutcome commit_staged(StagedFile& staged) {
    if (staged.temporary.empty()) {
        return {FileFault::rename, staged.target};
    }
    const bool renamed = ::rename(staged.temporary.c_str(), staged.target.c_str()) == 0;
    if (!renamed) {
        ::unlink(staged.temporary.c_str());
    }
    forget_temporary(staged.temporary);
    staged.temporary.clear();
    if (!renamed) {
        return {FileFault::rename, staged.target};
    }
    sync_directory_of(staged.target);
    return {};
}

void discard_staged(StagedFile& staged) {
    if (!staged.temporary.empty()) {
        ::unlink(staged.temporary.c_str());
        forget_temporary(staged.temporary);
        staged.temporary.clear();
    }
}

FileOutcome create_new_file(const std::string& target, std::string_view bytes,
                            const std::string& permissions_of) {
    if (entry_exists(target)) {
        return {FileFault::exists, target};
    }
    mode_t mode = new_file_mode();
    struct stat original {};
    if (!permissions_of.empty() && ::stat(permissions_of.c_str(), &original) == 0) {
        mode = original.st_mode & 07777;
    }
    std::string temporary;
    if (FileOutcome outcome = write_temporary(target, bytes, mode, temporary)) {
        return outcome;
    }
    // link() gives the complete file its name only when the name is free;
    // a file system without hard links gets the rename, the name having been
    // found free just above.
    int result = ::link(temporary.c_str(), target.c_str());
    const int error = errno;
    if (result != 0 && error != EEXIST && !entry_exists(target)) {
        result = ::rename(temporary.c_str(), target.c_str());
    }
    ::unlink(temporary.c_str());
    forget_temporary(temporary);
    if (result != 0) {
        return {error == EEXIST ? FileFault::exists : FileFault::rename, target};
    }
    sync_directory_of(target);
    return {};
}

FileOutcome create_appended_file(const std::string& path, AppendedFile& file) {
    file.close();
    // O_EXCL with O_CREAT: never an existing file, and a link at the name,
    // dangling or not, is an existing entry.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | common_flags, 0666);
    if (fd < 0) {
        return {errno == EEXIST ? FileFault::exists : FileFault::create, path};
    }
    file.native = fd;
    file.path = path;
    return {};
}

FileOutcome append_to_file(AppendedFile& file, std::string_view bytes) {
    if (file.native == -1 || !write_whole(static_cast<int>(file.native), bytes)) {
        return {FileFault::write, file.path};
    }
    return {};
}

void AppendedFile::close() {
    if (native != -1) {
        ::close(static_cast<int>(native));
        native = -1;
    }
}

void DirectoryLock::release() {
    if (native != -1) {
        ::close(static_cast<int>(native));  // closing releases the lock
        native = -1;
    }
}

FileOutcome lock_directory(const std::string& dir, bool wait, DirectoryLock& lock) {
    lock.release();
    const std::string path = dir.empty() ? "." : dir;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | common_flags);
    if (fd < 0) {
        return {FileFault::lock, path};
    }
    // flock on the directory itself: every file in it is renamed, never the
    // directory, so no rename takes a writer out from under the lock.
    while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int error = errno;
        ::close(fd);
        return {error == EWOULDBLOCK ? FileFault::locked : FileFault::lock, path};
    }
    lock.native = fd;
    return {};
}

void guard_the_companion() {
    // A closed pipe or a file size limit makes the write fail, with the
    // documented report and status, instead of ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_end;
    sigemptyset(&action.sa_mask);
    for (const int signal : ending_signals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (const int signal : ending_signals) {
        struct sigaction old {};
        // A signal ignored by whoever started the process stays ignored.
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

void keep_staged(const StagedFile& staged) {
    forget_temporary(staged.temporary);
}

std::string directory_path(std::string dir) {
    if (!dir.empty() && dir.back() != '/') {
        dir.push_back('/');
    }
    return dir;
}

}  // namespace linesynth::platform
