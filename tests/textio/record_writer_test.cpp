// The layout of free-form records: the worked records written to a real file
// and read back, and the same layout shown on the console of a child process.
#include "textio/record_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"
#include "textio/console.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

using testing::crlf;

struct Item {
    enum class Kind { integer, real, text } kind;
    std::int32_t integer = 0;
    float real = 0.0f;
    std::string text;
};

Item integer(std::int32_t value) {
    return {Item::Kind::integer, value, 0.0f, {}};
}
Item real(float value) {
    return {Item::Kind::real, 0, value, {}};
}
Item text(std::string value) {
    return {Item::Kind::text, 0, 0.0f, std::move(value)};
}

// One free-form write per inner list.
using Writes = std::vector<std::vector<Item>>;

void write_all(TextUnit& unit, const Writes& writes) {
    for (const auto& items : writes) {
        begin_record(unit);
        for (const auto& item : items) {
            switch (item.kind) {
                case Item::Kind::integer:
                    put_integer(unit, item.integer);
                    break;
                case Item::Kind::real:
                    put_real(unit, item.real);
                    break;
                case Item::Kind::text:
                    put_text(unit, item.text);
                    break;
            }
        }
        end_record(unit);
    }
}

std::string blanks(std::size_t count) {
    return std::string(count, ' ');
}

// "ABCDEFGHIJ..." cycled to `length` characters.
std::string letters(std::size_t length) {
    std::string result;
    for (std::size_t i = 0; i < length; ++i) {
        result += static_cast<char>('A' + i % 26);
    }
    return result;
}

const std::string summary_text = "THE INTEGRAL OF <B>ALL SETS</B> IS=";
const std::string too_long_text = "TOO LONG DATA FILE N_sat=";

struct FileRow {
    const char* name;
    Writes writes;
    std::string expected;  // the file's bytes
};

TEST(RecordWriter, LaysOutFileRecords) {
    const std::string one = blanks(8) + "1.000000";
    const std::string five = blanks(11) + "5";
    const std::vector<FileRow> rows = {
        {"count record", {{integer(100)}}, crlf(blanks(9) + "100|")},
        {"four reals",
         {{real(1.0f), real(-2.5f), real(0.0f), real(123.456f)}},
         crlf(blanks(8) + "1.000000" + blanks(7) + "-2.500000" + blanks(4) + "0.000000E+00" +
              blanks(6) + "123.456000|")},
        {"three integers",
         {{integer(1), integer(-2147483647 - 1), integer(0)}},
         crlf(blanks(11) + "1" + blanks(1) + "-2147483648" + blanks(11) + "0|")},
        {"summary record",
         {{text(summary_text), real(123.4567f)}},
         crlf(" " + summary_text + blanks(5) + "123.456700|")},
        {"too-long line",
         {{text(too_long_text), integer(10001)}},
         crlf(" " + too_long_text + blanks(6) + "10001|")},
        {"a fifth real wraps",
         {{real(1.0f), real(1.0f), real(1.0f), real(1.0f), real(1.0f)}},
         crlf(one + one + one + one + "|" + one + "|")},
        {"a seventh integer wraps",
         {{integer(5), integer(5), integer(5), integer(5), integer(5), integer(5), integer(5)}},
         crlf(five + five + five + five + five + five + "|" + five + "|")},
        {"an empty write", {{}}, crlf(" |")},
        {"an empty text", {{text("")}}, crlf(" |")},
        {"texts follow each other", {{text("AB"), text("CD")}}, crlf(" ABCD|")},
        {"a text follows a number directly", {{integer(7), text("X")}}, crlf(blanks(11) + "7X|")},
        {"a number after a text has no separating blank",
         {{text("A="), integer(1), integer(2)}},
         crlf(" A=" + blanks(10) + "1" + blanks(11) + "2|")},
        {"a text longer than a record",
         {{text(letters(200))}},
         crlf(" " + letters(200).substr(0, 79) + "| " + letters(200).substr(79, 79) + "| " +
              letters(200).substr(158) + "|")},
        {"a text that fills the record", {{text(letters(79))}}, crlf(" " + letters(79) + "| |")},
        {"a text that fills what remains after a number",
         {{integer(1), text(letters(68))}},
         crlf(blanks(11) + "1" + letters(68) + "| |")},
        {"a text one longer than the record",
         {{text(letters(80))}},
         crlf(" " + letters(80).substr(0, 79) + "| " + letters(80).substr(79) + "|")},
        {"a text one short of filling", {{text(letters(78))}}, crlf(" " + letters(78) + "|")},
        {"a number after a filling text opens the next record",
         {{text(letters(79)), real(1.0f)}},
         crlf(" " + letters(79) + "|" + one + "|")},
        {"a wrapped number brings only its own blanks",
         {{text(letters(70)), real(-1234567.0f)}},
         crlf(" " + letters(70) + "|-1234567.000000|")},
        {"records follow each other",
         {{integer(1)}, {}, {text("Z")}},
         crlf(blanks(11) + "1| | Z|")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::TempDir dir;
        const std::string path = dir.file("table.txt");
        {
            TextUnit unit;
            open_file(unit, path);
            write_all(unit, row.writes);
            close_file(unit);
        }
        EXPECT_EQ(testing::read_file(path), row.expected);
    }
}

// Long files, whose records straddle the 1024-byte blocks at every offset:
// a new file, and an old one whose first write cuts it, give the records
// exactly, one after the other.
TEST(RecordWriter, RecordsAcrossBlocksKeepTheirBytes) {
    const std::string reals = crlf(blanks(8) + "1.000000" + blanks(7) + "-2.500000" + blanks(4) +
                                   "0.000000E+00" + blanks(6) + "123.456000|");
    const std::string integers =
        crlf(blanks(11) + "1" + blanks(1) + "-2147483648" + blanks(11) + "0|");
    const std::string wrapped =
        crlf(blanks(8) + "1.000000" + blanks(8) + "1.000000" + blanks(8) + "1.000000" + blanks(8) +
             "1.000000|" + blanks(8) + "1.000000|");
    const std::string summary = crlf(" " + summary_text + blanks(5) + "123.456700|");
    Writes writes;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        switch (i % 4) {
            case 0:
                writes.push_back({real(1.0f), real(-2.5f), real(0.0f), real(123.456f)});
                expected += reals;
                break;
            case 1:
                writes.push_back({integer(1), integer(-2147483647 - 1), integer(0)});
                expected += integers;
                break;
            case 2:
                writes.push_back({real(1.0f), real(1.0f), real(1.0f), real(1.0f), real(1.0f)});
                expected += wrapped;
                break;
            default:
                writes.push_back({text(summary_text), real(123.4567f)});
                expected += summary;
                break;
        }
    }
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "an old file" : "a new file");
        testing::TempDir dir;
        const std::string path = dir.file("table.txt");
        if (existing) {
            testing::write_file(path, std::string(100000, 'x'));
        }
        {
            TextUnit unit;
            open_file(unit, path);
            write_all(unit, writes);
            close_file(unit);
        }
        EXPECT_EQ(testing::read_file(path), expected);
    }
}

struct ConsoleRow {
    const char* name;
    Writes writes;
    std::string expected;  // standard output of the whole process
};

// Each record is shown without its leading blank, on a new line after the
// first; the process end closes the last line.
TEST(RecordWriter, ShowsConsoleRecords) {
    const std::vector<ConsoleRow> rows = {
        {"count record", {{integer(100)}}, crlf(blanks(8) + "100|")},
        {"too-long line",
         {{text(too_long_text), integer(10001)}},
         crlf(too_long_text + blanks(6) + "10001|")},
        {"an empty write is an empty line", {{}}, crlf("|")},
        {"two records", {{text("FIRST")}, {text("SECOND")}}, crlf("FIRST|SECOND|")},
        {"a fifth real wraps",
         {{real(1.0f), real(1.0f), real(1.0f), real(1.0f), real(1.0f)}},
         crlf(blanks(7) + "1.000000" + blanks(8) + "1.000000" + blanks(8) + "1.000000" + blanks(8) +
              "1.000000|" + blanks(7) + "1.000000|")},
        {"a text longer than a record",
         {{text(letters(100))}},
         crlf(letters(100).substr(0, 79) + "|" + letters(100).substr(79) + "|")},
        {"a text that fills the record",
         {{text(letters(79))}, {text("NEXT")}},
         crlf(letters(79) + "||NEXT|")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = testing::run_in_child([&] { write_all(console(), row.writes); });
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, row.expected);
        EXPECT_EQ(result.err, "");
    }
}

}  // namespace
}  // namespace linesynth
