// Opening, cutting, appending and writing out real files, and the reports of
// the failures, each run where it ends: in a child process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_support.h"
#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::read_file;
using testing::write_file;

void write_text_record(TextUnit& unit, const std::string& text) {
    begin_record(unit);
    put_text(unit, text);
    end_record(unit);
}

// Three integers per record, as the pixel table has them.
void write_integer_rows(TextUnit& unit, int count) {
    for (int i = 0; i < count; ++i) {
        begin_record(unit);
        put_integer(unit, i);
        put_integer(unit, -i);
        put_integer(unit, i * 1000);
        end_record(unit);
    }
}

std::string right(const std::string& text, std::size_t width) {
    return std::string(width - text.size(), ' ') + text;
}

std::string expected_integer_rows(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        bytes += " " + right(std::to_string(i), 11) + " " + right(std::to_string(-i), 11) + " " +
                 right(std::to_string(i * 1000), 11) + "\r\n";
    }
    return bytes;
}

std::string report(const std::string& number, const std::string& context,
                   const std::string& message) {
    return crlf("|run-time error F" + number + ": " + context + "|- " + message + "|");
}

TEST(FileOpening, CutsAnOldFileAtTheFirstWriteOnly) {
    testing::TempDir dir;
    const std::string path = dir.file("RDF.txt");
    const std::string old = std::string(3000, 'x') + "\r\nOLD TAIL\r\n";
    write_file(path, old);
    TextUnit unit;
    open_file(unit, path);
    EXPECT_EQ(read_file(path), old) << "opening alone keeps the bytes";
    write_text_record(unit, "NEW");
    EXPECT_EQ(read_file(path), "") << "the first write cuts; the record waits in the block";
    write_text_record(unit, "TABLE");
    close_file(unit);
    EXPECT_EQ(read_file(path), crlf(" NEW| TABLE|"));
}

TEST(FileOpening, KeepsTheBytesOfAFileOpenedWithoutAWrite) {
    testing::TempDir dir;
    const std::string path = dir.file("vlt.txt");
    write_file(path, "KEEP ME\nno line end");
    TextUnit unit;
    open_file(unit, path);
    close_file(unit);
    EXPECT_EQ(read_file(path), "KEEP ME\nno line end");
}

TEST(FileOpening, LeavesAMissingInputFileBehindEmpty) {
    testing::TempDir dir;
    const std::string path = dir.file("qdqd.txt");
    TextUnit unit;
    open_file(unit, path);
    close_file(unit);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(read_file(path), "");
}

TEST(FileOpening, AppendsAfterTheLastByte) {
    struct Row {
        const char* name;
        bool exists;
        std::string old;
        std::string expected;  // after two appended records, one per opening
    };
    const Row rows[] = {
        {"a missing file is created", false, "", crlf(" FIRST| SECOND|")},
        {"old records stay first", true, crlf(" EARLIER|"), crlf(" EARLIER| FIRST| SECOND|")},
        {"an unended last line is joined", true, "LAST", crlf("LAST FIRST| SECOND|")},
        {"an empty file", true, "", crlf(" FIRST| SECOND|")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::TempDir dir;
        const std::string path = dir.file("vltOut.htm");
        if (row.exists) {
            write_file(path, row.old);
        }
        for (const char* record : {"FIRST", "SECOND"}) {
            TextUnit unit;
            open_file(unit, path, Access::append);
            write_text_record(unit, record);
            close_file(unit);
        }
        EXPECT_EQ(read_file(path), row.expected);
    }
}

// 38 bytes per record: the rows cross 1024-byte block boundaries.
TEST(FileOpening, WritesRecordsAcrossBlocks) {
    struct Row {
        const char* name;
        Access access;
        std::string old;
        int count;
    };
    const Row rows[] = {
        {"one row", Access::default_access, "", 1},
        {"a block and a bit", Access::default_access, "", 28},
        {"many blocks", Access::default_access, std::string(5000, 'o'), 300},
        {"many blocks after appended old bytes", Access::append, std::string(1000, 'o'), 300},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::TempDir dir;
        const std::string path = dir.file("RDF2.txt");
        write_file(path, row.old);
        TextUnit unit;
        open_file(unit, path, row.access);
        write_integer_rows(unit, row.count);
        close_file(unit);
        const std::string kept = row.access == Access::append ? row.old : "";
        EXPECT_EQ(read_file(path), kept + expected_integer_rows(row.count));
    }
}

TEST(FileOpening, ReportsAFileHeldByAnotherProcess) {
    testing::TempDir dir;
    const std::string path = dir.file("RDF.txt");
    write_file(path, "held");
    const int holder = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const auto result = testing::run_in_child([&] {
        TextUnit unit;
        open_file(unit, path);
    });
    ::close(holder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              report("6414", "OPEN(" + path + ")",
                     "access to the file denied (or the file is held by another process)"));
    EXPECT_EQ(read_file(path), "held");
}

TEST(FileOpening, HoldsAnOpenFileAgainstOtherProcesses) {
    testing::TempDir dir;
    const std::string path = dir.file("RDF1.txt");
    TextUnit unit;
    open_file(unit, path);
    // The child's own opening is another open file description: refused.
    const auto result = testing::run_in_child([&] {
        TextUnit other;
        open_file(other, path);
    });
    close_file(unit);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              report("6414", "OPEN(" + path + ")",
                     "access to the file denied (or the file is held by another process)"));
}

// The reading-only opening: an existing file, shared with other readers and
// held against writers; a missing file is never created.
TEST(FileOpening, OpensAnExistingFileForReadingOnly) {
    testing::TempDir dir;
    const std::string path = dir.file("RDF.txt");
    write_file(path, "table");
    struct Row {
        const char* name;
        std::string path;
        int held_with;  // the lock another holder has on it, 0 for none
        platform::OpenFailure failure;
    };
    const Row rows[] = {
        {"a file nobody holds", path, 0, platform::OpenFailure::none},
        {"a file another reader holds", path, LOCK_SH, platform::OpenFailure::none},
        {"a file a writer holds", path, LOCK_EX, platform::OpenFailure::denied},
        {"a missing file", dir.file("missing.txt"), 0, platform::OpenFailure::not_found},
        {"a directory", dir.path().string(), 0, platform::OpenFailure::not_regular},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Another open file description: its lock counts as another process's.
        const int holder = row.held_with != 0 ? ::open(path.c_str(), O_RDONLY) : -1;
        if (holder >= 0) {
            ASSERT_EQ(::flock(holder, row.held_with | LOCK_NB), 0);
        }
        const platform::OpenedFile opened = platform::open_for_reading(row.path);
        EXPECT_EQ(opened.failure, row.failure);
        EXPECT_EQ(static_cast<bool>(opened.handle), row.failure == platform::OpenFailure::none);
        if (opened.handle) {
            EXPECT_FALSE(opened.writable);
            char bytes[16];
            const platform::ReadResult read = platform::read_some(opened.handle, bytes, 16);
            EXPECT_EQ(std::string(bytes, read.count), "table");
            platform::close(opened.handle);
        }
        if (holder >= 0) {
            ::close(holder);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.txt")));
}

TEST(FileOpening, ReportsAMissingDirectory) {
    testing::TempDir dir;
    const std::string path = dir.file("missing") + "/RDF.txt";
    const auto result = testing::run_in_child([&] {
        TextUnit unit;
        open_file(unit, path);
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              report("6416", "OPEN(" + path + ")", "the file or its directory is not found"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

// A full disk is reported where the block goes out: when it fills during a
// write, or at the close for the last, partly filled block.
TEST(FileOpening, ReportsAFullDisk) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    struct Row {
        const char* name;
        int rows;
        const char* statement;
    };
    const Row rows[] = {
        {"a partly filled block at the close", 2, "CLOSE"},
        {"a block filled during a write", 100, "WRITE"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::TempDir dir;
        const std::string path = dir.file("RDF.txt");
        std::filesystem::create_symlink("/dev/full", path);
        const auto result = testing::run_in_child([&] {
            TextUnit unit;
            open_file(unit, path);
            write_integer_rows(unit, row.rows);
            close_file(unit);
        });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, report("6422", std::string(row.statement) + "(" + path + ")",
                                     "no space left on the disk"));
    }
}

TEST(FileOpening, ReportsAWriteToAFileOpenedForReadingOnly) {
    testing::TempDir dir;
    const std::string path = dir.file("RDF.txt");
    write_file(path, "read only");
    if (!testing::make_read_only(path, true)) {
        GTEST_SKIP() << "no way to make a file read-only for this user here";
    }
    const auto result = testing::run_in_child([&] {
        TextUnit unit;
        open_file(unit, path);
        write_text_record(unit, "X");
    });
    testing::make_read_only(path, false);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, report("6421", "WRITE(" + path + ")",
                                 "writing to the file denied, or the file region locked"));
    EXPECT_EQ(read_file(path), "read only");
}

}  // namespace
}  // namespace linesynth
