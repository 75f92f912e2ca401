// A small Windows program that the end-to-end tests under Wine use beside
// linesynth.exe:
//
//   wine_helper /c WORDS...
//       Stands in for the command interpreter named by COMSPEC: appends the
//       line "/c WORDS..." to the file named by LINESYNTH_HELPER_LOG, so the
//       test sees which interpreter ran the reply and with what arguments.
//   wine_helper hold FILE READY RELEASE
//       Opens FILE for exclusive use (share mode 0), creates READY, and keeps
//       FILE open until RELEASE exists (at most 60 seconds).
//   wine_helper env NAME=VALUE... PROGRAM ARGS...
//       Runs PROGRAM (with ARGS, each quoted) with these variables set in its environment (removed
//       when VALUE is empty), with this process's standard handles, and exits
//       with PROGRAM's exit status. Wine puts COMSPEC into every process's
//       environment, so only a Windows process can take it away.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool exists(const char* path) {
    return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int log_command(int argc, char** argv) {
    const char* log = std::getenv("LINESYNTH_HELPER_LOG");
    if (log == nullptr) {
        return 3;
    }
    std::string line;
    for (int i = 1; i < argc; ++i) {
        line += (i > 1 ? " " : "");
        line += argv[i];
    }
    line += "\r\n";
    std::FILE* out = std::fopen(log, "ab");
    if (out == nullptr) {
        return 3;
    }
    std::fwrite(line.data(), 1, line.size(), out);
    std::fclose(out);
    return 0;
}

int hold(const char* file, const char* ready, const char* release) {
    const HANDLE held = ::CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 3;
    }
    std::FILE* signal = std::fopen(ready, "wb");
    if (signal == nullptr) {
        return 3;
    }
    std::fclose(signal);
    for (int waited = 0; waited < 60000 && !exists(release); waited += 20) {
        ::Sleep(20);
    }
    ::CloseHandle(held);
    return 0;
}

int run_with_environment(int argc, char** argv) {
    int i = 2;
    for (; i < argc && std::string_view(argv[i]).find('=') != std::string_view::npos; ++i) {
        const std::string_view setting = argv[i];
        const auto equals = setting.find('=');
        if (equals == 0) {
            return 2;
        }
        const std::string name(setting.substr(0, equals));
        const std::string value(setting.substr(equals + 1));
        ::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    if (i == argc) {
        return 2;
    }
    std::string command_line = std::string("\"") + argv[i] + "\"";
    for (++i; i < argc; ++i) {
        command_line += std::string(" \"") + argv[i] + "\"";
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return 3;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 3;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "/c") {
        return log_command(argc, argv);
    }
    if (mode == "hold" && argc == 5) {
        return hold(argv[2], argv[3], argv[4]);
    }
    if (mode == "env") {
        return run_with_environment(argc, argv);
    }
    std::fputs(
        "usage: wine_helper /c WORDS... | hold FILE READY RELEASE | env NAME=VALUE... PROGRAM "
        "ARGS...\n",
        stderr);
    return 2;
}
