// Fuzz target for a whole run: the bytes become the input files of a data
// directory, and the run goes from the weights file to its end in process.
// Whatever the files hold, the run must end in a stop or a run-time error
// report (status 0 or 1): no crash, no undefined behaviour, no hang, and no
// file left open behind it.
//
// The bytes are split at each 0x1C (the ASCII file separator) into pieces,
// which become these files in this order:
//   synthesis.txt, vlt.txt, FDftn.txt, continum.txt, qdqd.txt,
//   VeltoOut1.txt ... VeltoOut10.txt
// A file without a piece is missing (the run creates it empty); pieces past
// the fifteenth are ignored. So "0\n" 0x1C "t\n..." gives synthesis.txt "0\n",
// vlt.txt "t\n..." and no other file. The directory is emptied before each
// input. Standard input is the null device, so a pause ends at once with its
// end-of-file report and never runs a command; standard output goes to the
// null device too.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "run/entry.h"

namespace {

constexpr char file_separator = '\x1c';
constexpr const char* fixed_names[] = {"synthesis.txt", "vlt.txt", "FDftn.txt", "continum.txt",
                                       "qdqd.txt"};
constexpr int component_files = 10;

std::filesystem::path data_dir;

std::string file_name(int piece) {
    if (piece < 5) {
        return fixed_names[piece];
    }
    return "VeltoOut" + std::to_string(piece - 4) + ".txt";
}

void write_piece(int piece, std::string_view bytes) {
    std::ofstream out(data_dir / file_name(piece), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void remove_data_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(data_dir, ignored);
}

// The descriptor the next opening gets: the same before and after a run,
// unless the run left a file open.
int lowest_free_descriptor() {
    const int fd = ::dup(STDIN_FILENO);
    ::close(fd);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
    std::string dir =
        (std::filesystem::temp_directory_path() / "linesynth-run-fuzz-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        std::abort();
    }
    data_dir = dir;
    ::setenv("TAVO_DIR", (dir + "/").c_str(), 1);
    std::atexit(remove_data_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const auto& entry : std::filesystem::directory_iterator(data_dir)) {
        std::filesystem::remove_all(entry.path());
    }
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (int piece = 0; piece < 5 + component_files; ++piece) {
        const std::size_t end = rest.find(file_separator);
        write_piece(piece, rest.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }

    const int free_before = lowest_free_descriptor();
    const int status = linesynth::run_linesynth();
    if ((status != 0 && status != 1) || lowest_free_descriptor() != free_before) {
        std::abort();
    }
    return 0;
}
