// Windows implementation of the companion's whole files, with the wide
// functions on UTF-8 names (file_names_windows.h).
#include "platform/windows_api.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/file_names_windows.h"
#include "tools/files/whole_files.h"

namespace linesynth::platform {
namespace {

// The temporaries made and not yet renamed or removed, for the console
// control handler, which runs on a thread of its own.
std::mutex temporaries_mutex;
std::vector<std::string> temporaries;

void record_temporary(const std::string& name) {
    const std::lock_guard<std::mutex> guard(temporaries_mutex);
    temporaries.push_back(name);
}

void forget_temporary(const std::string& name) {
    const std::lock_guard<std::mutex> guard(temporaries_mutex);
    temporaries.erase(std::remove(temporaries.begin(), temporaries.end(), name), temporaries.end());
}

// Ctrl+C, Ctrl+Break, the console closing, logoff and shutdown: the
// temporaries go, then the default handling ends the process.
BOOL WINAPI remove_temporaries(DWORD /*event*/) {
    const std::lock_guard<std::mutex> guard(temporaries_mutex);
    for (const std::string& name : temporaries) {
        ::DeleteFileW(wide_text(name).c_str());
    }
    temporaries.clear();
    return FALSE;
}

// What is at `path`, without following a link: nothing, a regular file
// (read-only or not), or anything else.
enum class Entry { none, regular, read_only, other, unknown };

Entry entry_at(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide_text(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Entry::none
                                                                              : Entry::unknown;
    }
    const DWORD attributes = data.dwFileAttributes;
    if ((attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return Entry::other;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? Entry::read_only : Entry::regular;
}

// Device names ("NUL", "CON", "COM1", ...) exist in every directory without an
// entry; GetFileType tells them from disk files once opened.
bool is_device_name(const std::string& path) {
    const HANDLE file =
        ::CreateFileW(wide_text(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool device = ::GetFileType(file) != FILE_TYPE_DISK;
    ::CloseHandle(file);
    return device;
}

bool write_whole(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD done = 0;
        const DWORD chunk =
            static_cast<DWORD>(bytes.size() > 0x10000000 ? 0x10000000 : bytes.size());
        if (!::WriteFile(file, bytes.data(), chunk, &done, nullptr) || done == 0) {
            return false;
        }
        bytes.remove_prefix(done);
    }
    return true;
}

// A new temporary "<target>.new-XXXXXX" (CREATE_NEW: never an existing file,
// never through a link), written and flushed.
FileOutcome write_temporary(const std::string& target, std::string_view bytes,
                            std::string& temporary) {
    constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long seed = ::GetTickCount64() ^ (::GetCurrentProcessId() * 2654435761ULL);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".new-";
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            name += digits[(seed >> 33) % 36];
        }
        const HANDLE file = ::CreateFileW(wide_text(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return {FileFault::create, target};
        }
        record_temporary(name);
        const bool written = write_whole(file, bytes) && ::FlushFileBuffers(file) != 0;
        const bool closed = ::CloseHandle(file) != 0;
        if (!written || !closed) {
            ::DeleteFileW(wide_text(name).c_str());
            forget_temporary(name);
            // The temporary is gone: the report names the file the user asked for.
            return {FileFault::write, target};
        }
        temporary = name;
        return {};
    }
    return {FileFault::create, target};
}

}  // namespace

FileOutcome read_whole_file(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    const HANDLE file =
        ::CreateFileW(wide_text(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {FileFault::read, path};
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            if (::GetLastError() == ERROR_BROKEN_PIPE) {
                break;  // the writer of a pipe has gone: its end
            }
            ::CloseHandle(file);
            bytes.clear();
            return {FileFault::read, path};
        }
        if (n == 0) {
            break;
        }
        if (n > limit - bytes.size()) {
            ::CloseHandle(file);
            bytes.clear();
            return {FileFault::too_large, path};
        }
        bytes.append(buffer, n);
    }
    ::CloseHandle(file);
    return {};
}

bool entry_exists(const std::string& path) {
    return entry_at(path) != Entry::none;
}

void remove_file(const std::string& path) {
    ::DeleteFileW(wide_text(path).c_str());
}

FileOutcome stage_file(const std::string& target, std::string_view bytes, StagedFile& staged) {
    staged = StagedFile{target, ""};
    switch (entry_at(target)) {
        case Entry::none:
            if (is_device_name(target)) {
                return {FileFault::not_regular, target};
            }
            break;
        case Entry::regular:
            break;
        case Entry::read_only:
            return {FileFault::read_only, target};
        case Entry::other:
            return {FileFault::not_regular, target};
        case Entry::unknown:
            return {is_device_name(target) ? FileFault::not_regular : FileFault::read, target};
    }
    // A new file on Windows takes its permissions from its directory, as the
    // replaced one did: there are no mode bits to carry over.
    return write_temporary(target, bytes, staged.temporary);
}

FileOutcome commit_staged(StagedFile& staged) {
    if (staged.temporary.empty()) {
        return {FileFault::rename, staged.target};
    }
    const bool renamed =
        ::MoveFileExW(wide_text(staged.temporary).c_str(), wide_text(staged.target).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!renamed) {
        ::DeleteFileW(wide_text(staged.temporary).c_str());
    }
    forget_temporary(staged.temporary);
    staged.temporary.clear();
    return renamed ? FileOutcome{} : FileOutcome{FileFault::rename, staged.target};
}

void discard_staged(StagedFile& staged) {
    if (!staged.temporary.empty()) {
        ::DeleteFileW(wide_text(staged.temporary).c_str());
        forget_temporary(staged.temporary);
        staged.temporary.clear();
    }
}

void keep_staged(const StagedFile& staged) {
    forget_temporary(staged.temporary);
}

void guard_the_companion() {
    ::SetConsoleCtrlHandler(remove_temporaries, TRUE);
}

// Windows: a new file takes its permissions from its directory, like the
// original did, so `permissions_of` has nothing to add.
FileOutcome create_new_file(const std::string& target, std::string_view bytes,
                            const std::string& /*permissions_of*/) {
    if (entry_exists(target)) {
        return {FileFault::exists, target};
    }
    std::string temporary;
    if (FileOutcome outcome = write_temporary(target, bytes, temporary)) {
        return outcome;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    const bool moved = ::MoveFileExW(wide_text(temporary).c_str(), wide_text(target).c_str(),
                                     MOVEFILE_WRITE_THROUGH) != 0;
    const DWORD error = moved ? ERROR_SUCCESS : ::GetLastError();
    forget_temporary(temporary);
    if (!moved) {
        ::DeleteFileW(wide_text(temporary).c_str());
        return {error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? FileFault::exists
                                                                            : FileFault::rename,
                target};
    }
    return {};
}

FileOutcome create_appended_file(const std::string& path, AppendedFile& file) {
    file.close();
    // CREATE_NEW: never an existing file, and a link at the name is one.
    const HANDLE handle = ::CreateFileW(wide_text(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return {error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? FileFault::exists
                                                                            : FileFault::create,
                path};
    }
    file.native = reinterpret_cast<std::intptr_t>(handle);
    file.path = path;
    return {};
}

FileOutcome append_to_file(AppendedFile& file, std::string_view bytes) {
    if (file.native == -1 || !write_whole(reinterpret_cast<HANDLE>(file.native), bytes)) {
        return {FileFault::write, file.path};
    }
    return {};
}

void AppendedFile::close() {
    if (native != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(native));
        native = -1;
    }
}

void DirectoryLock::release() {
    if (native != -1) {
        // FILE_FLAG_DELETE_ON_CLOSE: the lock file goes with the lock.
        ::CloseHandle(reinterpret_cast<HANDLE>(native));
        native = -1;
    }
}

FileOutcome lock_directory(const std::string& dir, bool wait, DirectoryLock& lock) {
    lock.release();
    const std::string path = dir + std::string(lock_file_name);
    for (;;) {
        // Share mode 0: a second opening fails with a sharing violation while
        // the first holds the file.
        const HANDLE file =
            ::CreateFileW(wide_text(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            lock.native = reinterpret_cast<std::intptr_t>(file);
            return {};
        }
        const DWORD error = ::GetLastError();
        // A lock file being deleted by its holder refuses access for a moment.
        const bool held = error == ERROR_SHARING_VIOLATION ||
                          (error == ERROR_ACCESS_DENIED && entry_exists(path));
        if (!held) {
            return {FileFault::lock, dir.empty() ? "." : dir};
        }
        if (!wait) {
            return {FileFault::locked, dir.empty() ? "." : dir};
        }
        ::Sleep(50);
    }
}

std::string directory_path(std::string dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') {
        dir.push_back('\\');
    }
    return dir;
}

}  // namespace linesynth::platform
