// linesynth_io_floor DIR: the input and output a run on the largest data set
// cannot avoid, and nothing else. It reads every input file of DIR whole,
// writes files of the sizes of the three tables in 1024-byte blocks (the
// block size of the program's writer) and appends one summary record, so
// that the program's time over this one's says what the work between the
// bytes costs. The bytes written are blanks and line ends; only the sizes
// matter.
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr std::size_t rows = 10000;
constexpr std::size_t line_end = 2;                  // CR LF
constexpr std::size_t count_record = 12 + line_end;  // blank, 11-column integer
// Tables: a leading blank and four 16-column reals, or three 12-column
// integers: 10000 rows -> 660014, 660014 and 380014 bytes.
constexpr std::size_t real_table = count_record + rows * (64 + line_end);
constexpr std::size_t integer_table = count_record + rows * (36 + line_end);
// A blank, the 35-character text and a 15-column real.
constexpr std::size_t summary_record = 51 + line_end;
constexpr std::size_t block_size = 1024;

// Room for the largest input file, read in one piece.
char input[1 << 21];

bool read_whole(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    while (std::fread(input, 1, sizeof input, file) == sizeof input) {
    }
    const bool good = std::ferror(file) == 0;
    return std::fclose(file) == 0 && good;
}

bool write_file(const std::filesystem::path& path, const char* mode, std::size_t size) {
    static char block[block_size];
    for (std::size_t i = 0; i < block_size; ++i) {
        block[i] = i % 64 == 62 ? '\r' : i % 64 == 63 ? '\n' : ' ';
    }
    std::FILE* file = std::fopen(path.string().c_str(), mode);
    if (file == nullptr) {
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    bool good = true;
    for (std::size_t done = 0; done < size && good; done += block_size) {
        const std::size_t length = size - done < block_size ? size - done : block_size;
        good = std::fwrite(block, 1, length, file) == length;
    }
    return std::fclose(file) == 0 && good;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: linesynth_io_floor DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    bool good = read_whole(dir / "synthesis.txt") && read_whole(dir / "vlt.txt") &&
                read_whole(dir / "FDftn.txt") && read_whole(dir / "continum.txt");
    for (int j = 1; j <= 10 && good; ++j) {
        good = read_whole(dir / ("VeltoOut" + std::to_string(j) + ".txt"));
    }
    good = good && read_whole(dir / "qdqd.txt") && write_file(dir / "RDF.txt", "wb", real_table) &&
           write_file(dir / "RDF1.txt", "wb", real_table) &&
           write_file(dir / "RDF2.txt", "wb", integer_table) &&
           write_file(dir / "vltOut.htm", "ab", summary_record);
    if (!good) {
        std::fprintf(stderr, "linesynth_io_floor: cannot read or write the files of %s\n", argv[1]);
        return 1;
    }
    return 0;
}
