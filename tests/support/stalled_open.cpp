// Files that are slow to open or to flush, for the tests of what the
// companion does while it waits. Loaded with LD_PRELOAD, this library makes
// every opening of a path that contains $LINESYNTH_STALLED_PATH, and every
// fsync() when $LINESYNTH_STALL_FSYNC is set, wait $LINESYNTH_STALL_SECONDS
// seconds (default 5) before it goes ahead as usual. A FIFO would block as
// well, but the companion refuses one before it opens it; a regular file on
// a slow or hung network share is what the time limit is there for. A
// stalled fsync() holds a write with its temporary on the disk, where a
// signal must find and remove it.
#include <dlfcn.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void stall() {
    const char* seconds = std::getenv("LINESYNTH_STALL_SECONDS");
    std::this_thread::sleep_for(std::chrono::seconds(seconds ? std::atoi(seconds) : 5));
}

void stall_if_named(const char* path) {
    const char* part = std::getenv("LINESYNTH_STALLED_PATH");
    if (path != nullptr && part != nullptr && *part != '\0' && std::strstr(path, part) != nullptr) {
        stall();
    }
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Linux's O_CREAT and O_TMPFILE, written out: <fcntl.h> declares open()
// itself, and with _FORTIFY_SOURCE as an inline function this file could not
// define.
constexpr int create_flag = 0100;
constexpr int temporary_flag = 020200000;

// The mode is read only where the call may create a file: reading a
// variadic argument that was not passed is undefined.
int mode_of(int flags, std::va_list arguments) {
    const bool creates = (flags & create_flag) != 0 || (flags & temporary_flag) == temporary_flag;
    return creates ? va_arg(arguments, int) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    stall_if_named(path);
    std::va_list arguments;
    va_start(arguments, flags);
    const int mode = mode_of(flags, arguments);
    va_end(arguments);
    return next<int (*)(const char*, int, int)>("open")(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    stall_if_named(path);
    std::va_list arguments;
    va_start(arguments, flags);
    const int mode = mode_of(flags, arguments);
    va_end(arguments);
    return next<int (*)(const char*, int, int)>("open64")(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    stall_if_named(path);
    std::va_list arguments;
    va_start(arguments, flags);
    const int mode = mode_of(flags, arguments);
    va_end(arguments);
    return next<int (*)(int, const char*, int, int)>("openat")(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    stall_if_named(path);
    std::va_list arguments;
    va_start(arguments, flags);
    const int mode = mode_of(flags, arguments);
    va_end(arguments);
    return next<int (*)(int, const char*, int, int)>("openat64")(dir, path, flags, mode);
}

std::FILE* fopen(const char* path, const char* how) {
    stall_if_named(path);
    return next<std::FILE* (*)(const char*, const char*)>("fopen")(path, how);
}

std::FILE* fopen64(const char* path, const char* how) {
    stall_if_named(path);
    return next<std::FILE* (*)(const char*, const char*)>("fopen64")(path, how);
}

int fsync(int file) {
    if (std::getenv("LINESYNTH_STALL_FSYNC") != nullptr) {
        stall();
    }
    return next<int (*)(int)>("fsync")(file);
}

}  // extern "C"
