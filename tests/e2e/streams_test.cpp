// Whole runs of the real binary under the streams and files a script, a cron
// job or another program may hand it: closed or broken standard streams, a
// standard input that does not block, dangling links, a FIFO, a read-only
// summary page. None may hang the run, put a console or report byte into a
// data file, or lose a table. A watchdog ends a run that hangs (status -1).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace linesynth {
namespace {

using testing::read_file;
using testing::record;
using testing::TempDir;
using testing::write_file;

using Files = std::map<std::string, std::string>;

// Three points and no set, every value exact: pixel p is wavelength p + 3999,
// flux f is level 100 f; the synthetic spectrum is the continuum (1, 1, 1);
// ref 4 and 0 against flux 2 and 0 give O = 0.5 * observed (0.75, 0.5, 0.25).
//   pixel table rows: 1 100 75 / 2 100 50 / 3 100 25; integral 2
const Files inputs = {
    {"synthesis.txt", "0\n"},
    {"vlt.txt", "t\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"},
    {"FDftn.txt", "3 0 0\n4000 1.5\n4001 1.0\n4002 0.5\n"},
    {"continum.txt", "3\n1\n1\n1\n"},
    {"qdqd.txt", "4\n0\n"},
};
const std::string pixel_count = record({{11, "3"}});
const std::string pixel_rows_1_2 =
    record({{11, "1"}, {9, "100"}, {10, "75"}}) + record({{11, "2"}, {9, "100"}, {10, "50"}});
const Files complete_tables = {
    {"RDF2.txt", pixel_count + pixel_rows_1_2 + record({{11, "3"}, {9, "100"}, {10, "25"}})},
    {"vltOut.htm", record({{1, "THE INTEGRAL OF <B>ALL SETS</B> IS="}, {7, "2.000000"}})},
};

// A last continuum value of 3E7 gives the level 3E9 in row 3 of the pixel
// table, beyond the 32-bit range: the row ends after its pixel.
const Files level_overflow = {{"continum.txt", "3\n1\n1\n3E7\n"}};
const Files tables_to_the_overflow = {
    {"RDF2.txt", pixel_count + pixel_rows_1_2 + std::string(11, ' ') + "3"}};
const std::string overflow_report =
    "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n";

// Equal reference pixels: the calibration error stop, whose pause reads a reply.
const std::string pixel_stop_vlt = "t\n1\n0\n4000 5000\n7 7\n2 200\n0 0 1\n";
const std::string pixel_stop_lines =
    "ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR\r\n"
    "ENTER TO STOP OR YOUR COMMAND\r\n"
    "Pause - Please enter a blank line (to continue) or a DOS command.\r\n";

// What a row does to the child's streams, and what the test undoes afterwards.
struct Streams {
    std::function<void()> in_child = [] {};
    std::function<void()> after = [] {};
    bool available = true;  // false where this system cannot set the case up
};

using Arrange = std::function<Streams(const TempDir&)>;

Streams closing(int fd) {
    return {[fd] { ::close(fd); }};
}

// `fd` becomes a pipe whose reader has gone.
Streams broken_pipe(int fd) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {.available = false};
    }
    ::close(ends[0]);
    const int writer = ends[1];
    return {[fd, writer] { ::dup2(writer, fd); }, [writer] { ::close(writer); }};
}

// A process that runs `body` beside the run and is waited for afterwards.
pid_t beside(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(60);
        body();
        ::_exit(0);
    }
    return pid;
}

void write_fd(int fd, const std::string& bytes) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    static_cast<void>(n);
}

Streams dangling_link(const TempDir& dir, const std::string& target) {
    std::filesystem::remove(dir.file("continum.txt"));
    std::filesystem::create_symlink(dir.file(target), dir.file("continum.txt"));
    return {};
}

// The continuum comes through a FIFO from a writer that writes it, its last
// value without a line end, and closes: the close is the end of the file.
Streams fifo_continuum(const TempDir& dir) {
    const std::string path = dir.file("continum.txt");
    std::filesystem::remove(path);
    if (::mkfifo(path.c_str(), 0600) != 0) {
        return {.available = false};
    }
    const pid_t writer = beside([path] {
        const int fd = ::open(path.c_str(), O_WRONLY);
        write_fd(fd, "3\n1\n1\n1");
        ::close(fd);
    });
    return {[] {},
            [path, writer] {
                // Frees a writer still waiting for a reader.
                const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
                ::close(fd);
                ::waitpid(writer, nullptr, 0);
            }};
}

// Standard input is a pipe that does not block; the reply comes some time
// after the program has started.
Streams late_reply(const TempDir&) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {.available = false};
    }
    const int reader = ends[0];
    const int writer = ends[1];
    const pid_t replier = beside([writer] {
        ::usleep(300 * 1000);
        write_fd(writer, "\n");
    });
    ::close(writer);
    return {[reader] {
                ::dup2(reader, STDIN_FILENO);
                ::fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK);
            },
            [reader, replier] {
                ::close(reader);
                ::waitpid(replier, nullptr, 0);
            }};
}

Streams read_only_page(const TempDir& dir) {
    const std::string path = dir.file("vltOut.htm");
    write_file(path, "<PRE>\r\n");
    if (!testing::make_read_only(path, true)) {
        return {.available = false};
    }
    return {[] {}, [path] { testing::make_read_only(path, false); }};
}

TEST(Streams, NoHangNoStrayBytesNoLostTable) {
    struct Row {
        const char* name;
        Files changes;
        Arrange arrange;
        int status;
        std::string out;
        std::string err;  // with the data directory written as "@"
        Files expected;   // besides every input file left as it was
    };
    const Row rows[] = {
        {"a dangling link whose target's directory exists: the target is created",
         {},
         [](const TempDir& dir) { return dangling_link(dir, "continuum-target.txt"); },
         1,
         "",
         "\r\nrun-time error F6501: READ(@continum.txt)\r\n- end of file reached during read\r\n",
         {{"continuum-target.txt", ""}}},
        {"a dangling link into a missing directory",
         {},
         [](const TempDir& dir) { return dangling_link(dir, "missing/continum.txt"); },
         1,
         "",
         "\r\nrun-time error F6416: OPEN(@continum.txt)\r\n"
         "- the file or its directory is not found\r\n",
         {}},
        {"standard input closed: the reply is not read from the parameter file",
         {{"vlt.txt", pixel_stop_vlt + std::string(70000, '\n')}},
         [](const TempDir&) { return closing(STDIN_FILENO); },
         1,
         pixel_stop_lines + "\r\n",
         "\r\nrun-time error F6501: READ(stdin)\r\n- end of file reached during read\r\n",
         {}},
        {"standard output closed",
         {},
         [](const TempDir&) { return closing(STDOUT_FILENO); },
         0,
         "",
         "",
         complete_tables},
        {"standard error closed",
         {{"qdqd.txt", "4 0\n"}},
         [](const TempDir&) { return closing(STDERR_FILENO); },
         1,
         "",
         "",
         {}},
        {"standard output a pipe without a reader",
         {},
         [](const TempDir&) { return broken_pipe(STDOUT_FILENO); },
         0,
         "",
         "",
         complete_tables},
        {"a level overflow in the middle of a pixel-table record", level_overflow,
         [](const TempDir&) { return Streams{}; }, 1, "", overflow_report, tables_to_the_overflow},
        {"standard error a pipe without a reader, at a fault inside the pixel table",
         level_overflow, [](const TempDir&) { return broken_pipe(STDERR_FILENO); }, 1, "", "",
         tables_to_the_overflow},
        {"a FIFO as an input file",
         {},
         fifo_continuum,
         0,
         "Stop - Program terminated.\r\n",
         "",
         complete_tables},
        {"a standard input that does not block, with a late reply",
         {{"vlt.txt", pixel_stop_vlt}},
         late_reply,
         0,
         pixel_stop_lines +
             "\r\nERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR\r\n\r\n",
         "",
         {}},
        {"a read-only summary page",
         {},
         read_only_page,
         1,
         "",
         "\r\nrun-time error F6421: CLOSE(@vltOut.htm)\r\n"
         "- writing to the file denied, or the file region locked\r\n",
         {{"vltOut.htm", "<PRE>\r\n"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        Files files = inputs;
        for (const auto& [name, bytes] : row.changes) {
            files[name] = bytes;
        }
        for (const auto& [name, bytes] : files) {
            write_file(dir.file(name), bytes);
        }
        const Streams streams = row.arrange(dir);
        if (!streams.available) {
            std::printf("skipped here: %s\n", row.name);
            continue;
        }
        const auto result =
            testing::run_linesynth_arranged(dir.dir_with_separator(), "", streams.in_child);
        streams.after();

        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.out, row.out);
        std::string err = row.err;
        if (const auto at = err.find('@'); at != std::string::npos) {
            err.replace(at, 1, dir.dir_with_separator());
        }
        EXPECT_EQ(result.err, err);
        for (const auto& [name, bytes] : files) {
            if (std::filesystem::is_regular_file(std::filesystem::symlink_status(dir.file(name)))) {
                SCOPED_TRACE(name);
                EXPECT_EQ(read_file(dir.file(name)), bytes);
            }
        }
        for (const auto& [name, bytes] : row.expected) {
            SCOPED_TRACE(name);
            if (!std::filesystem::exists(dir.file(name))) {
                ADD_FAILURE() << "missing";
                continue;
            }
            EXPECT_EQ(read_file(dir.file(name)), bytes);
        }
    }
}

}  // namespace
}  // namespace linesynth
