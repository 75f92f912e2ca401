// Windows implementation of the platform layer.
#include "platform/platform.h"

#include "platform/file_names_windows.h"

#include "platform/windows_api.h"

#include <float.h>
#include <algorithm>
#include <cfenv>
#include <cstdlib>
#include <string_view>

namespace linesynth::platform {

bool utf8_file_names = false;

std::wstring wide_text(const std::string& utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(utf8.size());
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), count);
    return wide;
}

std::string utf8_text(const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    const int count =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(count), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), count, nullptr, nullptr);
    return utf8;
}

namespace {

// CreateFile with the name in the encoding the process uses (see
// file_names_windows.h): the run's ANSI names go to CreateFileA unchanged.
HANDLE create_file(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    if (utf8_file_names) {
        return ::CreateFileW(wide_text(path).c_str(), access, share, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return ::CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
}

HANDLE handle_of(FileHandle file) {
    return reinterpret_cast<HANDLE>(file.native);
}

OpenFailure open_failure_of(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return OpenFailure::not_found;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return OpenFailure::denied;
        case ERROR_TOO_MANY_OPEN_FILES:
            return OpenFailure::too_many;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return OpenFailure::exists;
        default:
            return OpenFailure::invalid;
    }
}

// Not defined by every SDK's headers.
constexpr DWORD error_disk_quota_exceeded = 1295;

IoFailure io_failure_of(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case error_disk_quota_exceeded:
            return IoFailure::no_space;
        case ERROR_ACCESS_DENIED:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return IoFailure::denied;
        default:
            return IoFailure::other;
    }
}

bool write_all(DWORD which, std::string_view bytes) {
    const HANDLE out = ::GetStdHandle(which);
    while (!bytes.empty()) {
        DWORD done = 0;
        const DWORD chunk =
            static_cast<DWORD>(bytes.size() > 0x10000000 ? 0x10000000 : bytes.size());
        if (!::WriteFile(out, bytes.data(), chunk, &done, nullptr) || done == 0) {
            return false;
        }
        bytes.remove_prefix(done);
    }
    return true;
}

// The longest command line CreateProcess takes, terminating zero included.
constexpr std::size_t command_line_limit = 32767;

bool is_absolute(const std::string& path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool unc = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
                     (path[1] == '\\' || path[1] == '/');
    return drive || unc;
}

bool is_program_file(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string joined(std::string directory, const std::string& name) {
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') {
        directory.push_back('\\');
    }
    return directory + name;
}

// The full path of the program `name`, looked for in the absolute directories
// of the PATH and then in the system directory; empty when it is in neither.
// Unlike the search of CreateProcess, the program's own directory and the
// current directory are never looked in, so a "cmd.exe" left beside the data
// is never the one that runs:
//   PATH "C:\Tools;.;C:\Windows\system32" -> C:\Tools\cmd.exe if it is there,
//   else C:\Windows\system32\cmd.exe ("." is skipped)
std::string find_program(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        std::string directory(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (directory.size() >= 2 && directory.front() == '"' && directory.back() == '"') {
            directory = directory.substr(1, directory.size() - 2);
        }
        if (is_absolute(directory) && is_program_file(joined(directory, name))) {
            return joined(directory, name);
        }
    }
    char system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::string candidate = joined(std::string(system, length), name);
        if (is_program_file(candidate)) {
            return candidate;
        }
    }
    return {};
}

// Starts the program at the full path `program` with "/c" and the command
// line and waits for it; false when it cannot be started. Naming the program
// in lpApplicationName keeps CreateProcess from searching for it.
bool run_with(const std::string& program, const std::string& command_line) {
    if (program.empty()) {
        return false;
    }
    std::string line = "\"" + program + "\" /c " + command_line;
    if (line.size() >= command_line_limit) {
        return false;  // a reply too long for a command line starts nothing
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return false;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

// Whether CreateFile's refusal is one that another access mode can avoid.
bool refused_access(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

OpenedFile opened_result(HANDLE file, OpenedFile result) {
    result.regular = ::GetFileType(file) == FILE_TYPE_DISK;
    result.handle.native = reinterpret_cast<std::intptr_t>(file);
    return result;
}

}  // namespace

// Windows keeps no FIFOs among its files, so the intent changes nothing here.
OpenedFile open_exclusive(const std::string& path, Intent /*intent*/) {
    OpenedFile result;
    // Share mode 0 holds the file for exclusive use while it is open.
    constexpr DWORD attempts[] = {GENERIC_READ | GENERIC_WRITE, GENERIC_READ, GENERIC_WRITE};
    DWORD first_error = ERROR_SUCCESS;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (DWORD access : attempts) {
        file = create_file(path, access, 0, OPEN_ALWAYS);
        const DWORD error = ::GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            result.created = error != ERROR_ALREADY_EXISTS;
            result.writable = (access & GENERIC_WRITE) != 0;
            break;
        }
        if (first_error == ERROR_SUCCESS) {
            first_error = error;
        }
        if (!refused_access(error)) {
            break;  // only a refused access mode is worth another try
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        result.failure = open_failure_of(first_error);
        return result;
    }
    return opened_result(file, result);
}

OpenedFile open_for_reading(const std::string& path) {
    OpenedFile result;
    // Other readers may share the file; writers may not.
    const HANDLE file = create_file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        result.failure = open_failure_of(::GetLastError());
        return result;
    }
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        result.failure = OpenFailure::not_regular;
        return result;
    }
    return opened_result(file, result);
}

bool is_irregular(const std::string& path) {
    const HANDLE file = create_file(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        // A directory cannot be opened this way; anything else missing is absent.
        const DWORD attributes = ::GetFileAttributesW(wide_text(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const bool irregular = ::GetFileType(file) != FILE_TYPE_DISK;
    ::CloseHandle(file);
    return irregular;
}

ReadResult read_some(FileHandle file, char* buffer, std::size_t capacity) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(capacity > 0x10000000 ? 0x10000000 : capacity);
    if (!::ReadFile(handle_of(file), buffer, chunk, &done, nullptr)) {
        return {0, ::GetLastError() != ERROR_BROKEN_PIPE};
    }
    return {done, false};
}

IoFailure write_at(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) {
    const bool positioned = ::GetFileType(handle_of(file)) == FILE_TYPE_DISK;
    while (size > 0) {
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(size > 0x10000000 ? 0x10000000 : size);
        if (!::WriteFile(handle_of(file), data, chunk, &done, positioned ? &where : nullptr)) {
            return io_failure_of(::GetLastError());
        }
        if (done == 0) {
            return IoFailure::other;
        }
        data += done;
        size -= done;
        offset += done;
    }
    return IoFailure::none;
}

IoFailure truncate(FileHandle file, std::uint64_t size) {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(handle_of(file), position, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(handle_of(file))) {
        return io_failure_of(::GetLastError());
    }
    return IoFailure::none;
}

std::uint64_t file_size(FileHandle file) {
    LARGE_INTEGER size{};
    if (::GetFileType(handle_of(file)) != FILE_TYPE_DISK ||
        !::GetFileSizeEx(handle_of(file), &size)) {
        return 0;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

void close(FileHandle file) {
    if (file) {
        ::CloseHandle(handle_of(file));
    }
}

void setup_standard_streams() {
    // A missing standard handle makes its reads and writes fail quietly, and
    // no file the run opens can take its place; nothing to do.
}

bool write_stdout(std::string_view bytes) {
    return write_all(STD_OUTPUT_HANDLE, bytes);
}

bool write_stderr(std::string_view bytes) {
    return write_all(STD_ERROR_HANDLE, bytes);
}

bool stderr_is_terminal() {
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    return err != INVALID_HANDLE_VALUE && err != nullptr && ::GetFileType(err) == FILE_TYPE_CHAR;
}

bool read_stdin_line(std::string& line) {
    line.clear();
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    bool any = false;
    for (;;) {
        char c = 0;
        DWORD done = 0;
        if (!::ReadFile(in, &c, 1, &done, nullptr) || done == 0) {
            if (!any) {
                return false;
            }
            break;
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
    const char* comspec = std::getenv("COMSPEC");
    if (comspec != nullptr && *comspec != '\0') {
        // A COMSPEC that is no full path is looked for like the fallback.
        const std::string named = comspec;
        if (run_with(is_absolute(named) ? named : find_program(named), command_line)) {
            return;
        }
    }
    run_with(find_program("cmd.exe"), command_line);
}

void setup_floating_point() {
#if defined(_M_IX86)
    // The x87 unit keeps 64-bit significands unless told otherwise.
    unsigned int control = 0;
    ::_controlfp_s(&control, _PC_53, _MCW_PC);
#endif
    std::fesetround(FE_TONEAREST);
}

void keep_freed_memory() {
    // Left to the Windows heap as it is.
}

std::string data_directory() {
    std::string result;
    if (utf8_file_names) {
        const wchar_t* dir = ::_wgetenv(L"TAVO_DIR");
        result = dir == nullptr ? std::string() : utf8_text(dir);
    } else {
        const char* dir = std::getenv("TAVO_DIR");
        result = dir == nullptr ? std::string() : std::string(dir);
    }
    if (result.empty()) {
        return "C:\\TAVO\\";
    }
    if (result.back() != '\\' && result.back() != '/') {
        result.push_back('\\');
    }
    return result;
}

}  // namespace linesynth::platform
