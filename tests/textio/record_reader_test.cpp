// The reader on real files: reads written as scripts, the values they store,
// where the next read starts, and the exact run-time error report of every
// failure.
//
// A script is a list of reads separated by '|'. Each letter is one item:
// i get_int, r get_real, d get_double, c get_char of length 1, C get_char of
// length 4, t get_text (a read of only t letters is a text read). Each read
// ends with end_read. Variables start as -99, 0x1p-2, 0x1p-2, '?' and "????",
// so a variable left unchanged shows that value. Reals show as hex floats,
// texts as <...> without their trailing blanks.
#include "textio/record_reader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "base/run_end.h"
#include "test_support.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::read_file;
using testing::run_in_child;
using testing::TempDir;
using testing::write_file;

std::string hex(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

std::string run_script(RecordReader& reader, const std::string& script) {
    std::string shown;
    std::size_t start = 0;
    while (start <= script.size()) {
        std::size_t end = script.find('|', start);
        end = end == std::string::npos ? script.size() : end;
        const std::string read = script.substr(start, end - start);
        const bool text = read.find_first_not_of('t') == std::string::npos;
        begin_read(reader, text ? ReadMode::text : ReadMode::free_form);
        std::string values;
        for (const char item : read) {
            values += values.empty() ? "" : " ";
            if (item == 'i') {
                std::int32_t value = -99;
                get_int(reader, value);
                values += std::to_string(value);
            } else if (item == 'r') {
                float value = 0x1p-2f;
                get_real(reader, value);
                values += hex(static_cast<double>(value));
            } else if (item == 'd') {
                double value = 0x1p-2;
                get_double(reader, value);
                values += hex(value);
            } else if (item == 'c') {
                char value = '?';
                get_char(reader, &value, 1);
                values += value;
            } else if (item == 'C') {
                char value[4] = {'?', '?', '?', '?'};
                get_char(reader, value, sizeof value);
                values += "[" + std::string(value, sizeof value) + "]";
            } else {
                char value[80];
                std::memset(value, '?', sizeof value);
                get_text(reader, value);
                std::string line(value, sizeof value);
                line.erase(line.find_last_not_of(' ') + 1);
                values += "<" + line + ">";
            }
        }
        end_read(reader);
        shown += (start > 0 ? " | " : "") + values;
        start = end + 1;
    }
    return shown;
}

// Runs `script` on a file holding `bytes`, in this process.
std::string read_script(const std::string& bytes, const std::string& script) {
    TempDir dir;
    const std::string path = dir.file("in.txt");
    write_file(path, bytes);
    TextUnit unit;
    open_file(unit, path);
    std::string shown = run_script(unit.reader, script);
    close_file(unit);
    EXPECT_EQ(read_file(path), bytes);  // reading never changes the file
    return shown;
}

struct Row {
    std::string bytes;
    std::string script;
    std::string shown;
};

template <std::size_t N>
void check(const Row (&rows)[N]) {
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << '"' << row.bytes << "\" " << row.script);
        EXPECT_EQ(read_script(row.bytes, row.script), row.shown);
    }
}

TEST(Reader, RecordsAndWhereTheNextReadStarts) {
    const Row rows[] = {
        {"1.5\n2.5\nnext\n", "rr|t", "0x1.8p+0 0x1.4p+1 | <next>"},
        {"1.5\r\n2.5\r\nnext\r\n", "rr|t", "0x1.8p+0 0x1.4p+1 | <next>"},
        {"7 8 9\nnext\n", "i|t", "7 | <next>"},
        {"1 2\n3 4\nnext\n", "iii|t", "1 2 3 | <next>"},
        {"1\n2\n3\n", "i|i|i", "1 | 2 | 3"},
        {"1\r\n2\r\n3\r\n", "i|i|i", "1 | 2 | 3"},
        {"\n   \n\t\n5\nnext\n", "i|t", "5 | <next>"},
        {"\n   \n\t\n5\nnext\n", "t|t|t|t|t", "<> | <> | <\t> | <5> | <next>"},
        {"\r\n   \r\n5\r\n", "t|t|t", "<> | <> | <5>"},
        {"3*7\n9\n", "i|i", "7 | 9"},
        {"2*\nnext\n", "ii|t", "-99 -99 | <next>"},
        {"1 2 / 3\nnext\n", "iii|t", "1 2 -99 | <next>"},
        {"1,\n2\nnext\n", "ii|t", "1 2 | <next>"},
        {"'ab\n cd'\nnext\n", "C|t", "[abcd] | <next>"},
        {"(1,2)\nnext\n", "c|t", "1 | <next>"},
        {std::string(100, 'x') + "\nnext\n", "t|t", "<" + std::string(80, 'x') + "> | <next>"},
        // The last record without an LF is complete.
        {"5", "i", "5"},
        {"1\n2", "i|i", "1 | 2"},
        {"a b", "t", "<a b>"},
        {"'ab'", "c", "a"},
    };
    check(rows);
}

TEST(Reader, SeparatorsRepeatsAndNullValues) {
    const Row rows[] = {
        {"3 , 4\n", "ii", "3 4"},
        {"3,,4\n", "iii", "3 -99 4"},
        {",5\n", "ii", "-99 5"},
        {"1,5\n", "r", "0x1p+0"},
        {"1,5\n", "rr", "0x1p+0 0x1.4p+2"},
        {"3*0.5\n", "rrr", "0x1p-1 0x1p-1 0x1p-1"},
        {"2*1.5 2*7\n", "rdii", "0x1.8p+0 0x1.8p+0 7 7"},
        {"1 2 / 3\n", "iiii", "1 2 -99 -99"},
        {"yes\n", "c", "y"},
        {"'y'\n", "c", "y"},
        {",\n", "c", "?"},
        {"'',x\n", "cc", "? x"},
        {"'it''s'\n", "C", "[it's]"},
        {"ab\n", "C", "[ab  ]"},
        {"( 1 , 2 )\n", "C", "[1,2 ]"},
        {"'ab\nxcd'\n", "C", "[abcd]"},
        {std::string(300, 'z') + "\n", "c", "z"},
    };
    check(rows);
}

TEST(Reader, Conversions) {
    const Row rows[] = {
        {"1e3 1E39\n", "rd", "0x1.f4p+9 0x1.78287f49c4a1dp+129"},
        {"1.5D0 2.5d-2 1.5-3 2+5\n", "rrrr", "0x1.8p+0 0x1.99999ap-6 0x1.89374cp-10 0x1.86ap+17"},
        {"1. .5 -0.5 -0\n", "rrrr", "0x1p+0 0x1p-1 -0x1p-1 -0x0p+0"},
        {"1e-400 -1e-50 1e-310\n", "rrd", "0x0p+0 -0x0p+0 0x0.012688b70e62bp-1022"},
        {"1.00000005960464477539063\n", "r", "0x1p+0"},
        {"-2147483648 2147483647 +5 -\n", "iiii", "-2147483648 2147483647 5 0"},
        {"16#FF #ff 2#101 36#z\n", "iiii", "255 255 5 35"},
    };
    check(rows);
}

TEST(Reader, ValuesAcrossBlocks) {
    // Records of 8 bytes do not divide the 64 KiB block: values, skipped
    // records and text records all cross block boundaries.
    std::string bytes;
    const int rows = 20000;
    for (int i = 0; i < rows; ++i) {
        bytes += "1.5 2 9\n";
    }
    bytes += std::string(70000, 'x') + "\n" + std::string(70000, ' ') + "4 'a\n b'\n";
    TempDir dir;
    write_file(dir.file("big.txt"), bytes);
    TextUnit unit;
    open_file(unit, dir.file("big.txt"));
    double sum = 0;
    for (int i = 0; i < rows; i += 2) {
        begin_read(unit.reader, ReadMode::free_form);
        float a = 0;
        std::int32_t b = 0;
        float c = 0;
        get_real(unit.reader, a);
        get_int(unit.reader, b);
        get_real(unit.reader, c);
        end_read(unit.reader);
        begin_read(unit.reader, ReadMode::text);
        char text[80];
        get_text(unit.reader, text);
        end_read(unit.reader);
        ASSERT_EQ(std::string(text, 7), "1.5 2 9");
        sum += static_cast<double>(a) + b + static_cast<double>(c);
    }
    EXPECT_EQ(sum, (rows / 2) * 12.5);
    begin_read(unit.reader, ReadMode::free_form);
    end_read(unit.reader);  // the long record of x
    std::int32_t four = 0;
    char ab[2] = {};
    begin_read(unit.reader, ReadMode::free_form);
    get_int(unit.reader, four);
    get_char(unit.reader, ab, 2);
    end_read(unit.reader);
    EXPECT_EQ(four, 4);
    EXPECT_EQ(std::string(ab, 2), "ab");
}

// The report a failure of reading `path` writes to the error stream.
std::string report(int number, const std::string& path) {
    static const std::map<int, std::string> messages = {
        {6100, "integer value out of range"},
        {6101, "invalid character in integer value"},
        {6102, "real value out of double-precision range"},
        {6103, "invalid real value"},
        {6104, "real value out of single-precision range"},
        {6302, "second radix mark (#) in integer value"},
        {6303, "radix outside 2 to 36 in integer value"},
        {6500, "the system could not read the file"},
        {6501, "end of file reached during read"},
        {6502, "repeat count below 1"},
        {6503, "second repeat count before the value of the first"},
        {6504, "quoted or parenthesised value given for a number"},
    };
    return crlf("|run-time error F" + std::to_string(number) + ": READ(" + path + ")|- " +
                messages.at(number) + "|");
}

struct FailureRow {
    std::string bytes;
    std::string script;
    int number;
};

TEST(Reader, EveryFailureEndsTheRunWithItsReport) {
    const std::string digits300(300, '1');
    const FailureRow rows[] = {
        {"2147483648\n", "i", 6100},
        {"16#80000000\n", "i", 6100},
        {"99999999999*5\n", "i", 6100},
        {"12.0\n", "i", 6101},
        {"1e3\n", "i", 6101},
        {"2#12\n", "i", 6101},
        {digits300 + "\n", "i", 6101},
        {"1E400\n", "r", 6102},
        {"1E400\n", "d", 6102},
        {"1E400x\n", "r", 6102},
        {"1.5E\n", "r", 6103},
        {"1.5E+\n", "d", 6103},
        {".\n", "r", 6103},
        {digits300 + "\n", "r", 6103},
        {digits300 + "\n", "d", 6103},
        {"1E39\n", "r", 6104},
        {"3.4028235E38\n", "r", 6104},
        {"16#1#2\n", "i", 6302},
        {"37#1\n", "i", 6303},
        {"", "i", 6501},
        {"", "t", 6501},
        {"", "", 6501},
        {"5\n", "ii", 6501},
        {"5\n", "i|i", 6501},
        {"5", "i|i", 6501},
        {"\n\n  \n", "r", 6501},
        {"'ab", "c", 6501},
        {"'ab\n", "c", 6501},
        {"(1,2", "c", 6501},
        {"5\n", "t|t", 6501},
        {"5", "t|t", 6501},
        {"0*5\n", "i", 6502},
        {"*5\n", "i", 6502},
        {"-2*5\n", "r", 6502},
        {"2*3*4\n", "i", 6503},
        {"'1'\n", "i", 6504},
        {"(1,2)\n", "r", 6504},
        {"'1.5'\n", "d", 6504},
    };
    TempDir dir;
    const std::string path = dir.file("in.txt");
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(::testing::Message() << '"' << row.bytes << "\" " << row.script);
        write_file(path, row.bytes);
        const auto result = run_in_child([&] {
            TextUnit unit;
            open_file(unit, path);
            run_script(unit.reader, row.script);
        });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, report(row.number, path));
        EXPECT_EQ(result.out, "");
    }
}

TEST(Reader, FailedSystemReadIsF6500) {
    TempDir dir;
    const std::string path = dir.file("write-only.txt");
    write_file(path, "1 2 3\n");
    const auto result = run_in_child([&] {
        const int fd = ::open(path.c_str(), O_WRONLY);
        RecordReader reader;
        attach_reader(reader, path, platform::FileHandle{fd});
        begin_read(reader, ReadMode::free_form);
        std::int32_t value = 0;
        get_int(reader, value);
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, report(6500, path));
}

// Garbled files: every script either completes or ends with one report.
TEST(Reader, GarbledFilesEndInValuesOrOneReport) {
    std::mt19937 random(977);
    const std::string alphabet = " \t,/*'\"()\r\n\n\n#+-.eEdD0123456789x";
    const std::string scripts[] = {"iri|c|t|ddC|i", "t|rr|Ci|ic|rrr", "c|i|t|r|d|C"};
    TempDir dir;
    const std::string path = dir.file("garbled.txt");
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 60, ' ');
        for (char& c : bytes) {
            c = random() % 10 == 0 ? static_cast<char>(random() % 256)
                                   : alphabet[random() % alphabet.size()];
        }
        write_file(path, bytes);
        TextUnit unit;
        open_file(unit, path);
        ::testing::internal::CaptureStderr();
        try {
            run_script(unit.reader, scripts[round % 3]);
        } catch (const RunEnd& end) {
            EXPECT_TRUE(std::holds_alternative<FileFailure>(end.failure));
        }
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(err.empty() || err.rfind("\r\nrun-time error F6", 0) == 0) << err;
        close_file(unit);
    }
}

}  // namespace
}  // namespace linesynth
