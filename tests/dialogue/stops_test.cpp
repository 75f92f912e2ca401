// The console dialogue and every way a run ends, byte for byte on the real
// standard streams of a child process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/checked_math.h"
#include "dialogue/stops.h"
#include "test_support.h"
#include "textio/console.h"
#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

using testing::crlf;
using testing::run_in_child;

const std::string prompt = "Pause - Please enter a blank line (to continue) or a DOS command.|";

void console_record(std::string_view text) {
    begin_record(console());
    put_text(console(), text);
    end_record(console());
}

struct ConsoleCase {
    const char* name;
    void (*body)();
    std::string input;
    int status;
    std::string out;  // with "|" for CR LF
    std::string err;
};

TEST(Stops, ConsoleSequencesAreExact) {
    const ConsoleCase cases[] = {
        {"plain stop without console records", [] { stop(); }, "", 0, "Stop - Program terminated.|",
         ""},
        {"stop with a text keeps its blanks and has no prefix",
         [] { stop("ERROR ON TERENNING  pixel INTO flux"); }, "", 0,
         "ERROR ON TERENNING  pixel INTO flux|", ""},
        {"error stop as the first console output",
         [] { error_stop("FIRST LINE", "THE STOP TEXT"); }, "\n", 0,
         "FIRST LINE|ENTER TO STOP OR YOUR COMMAND|" + prompt + "|THE STOP TEXT||", ""},
        {"too-long report: three records and the plain stop",
         [] {
             console_record("ERROR REPORT");
             console_record("TOO LONG DATA FILE N_sat=");
             console_record("Press Enter to continue");
             stop();
         },
         "", 0,
         "ERROR REPORT|TOO LONG DATA FILE N_sat=|Press Enter to continue|"
         "Stop - Program terminated.||",
         ""},
        {"pause before any console record starts where the cursor is",
         [] {
             pause();
             stop();
         },
         "\n", 0, prompt + "Stop - Program terminated.|", ""},
        {"pause and stop after a record each start a new line, and the end adds one",
         [] {
             console_record("A");
             pause();
             pause();
             stop("DONE");
         },
         "\r\n \t \n", 0, "A|" + prompt + "|" + prompt + "|DONE||", ""},
        {"end of standard input at the pause",
         [] {
             console_record("A");
             pause();
         },
         "", 1, "A|" + prompt + "|",
         "|run-time error F6501: READ(stdin)|- end of file reached during read|"},
        {"division by zero", [] { divide(1.0, 0.0); }, "", 1, "",
         "|run-time error M6103: MATH|- floating-point error: divide by zero|"},
        {"invalid operation", [] { divide(0.0, 0.0); }, "", 1, "",
         "|run-time error M6101: MATH|- floating-point error: invalid|"},
        {"overflow", [] { narrow(1e39); }, "", 1, "",
         "|run-time error M6104: MATH|- floating-point error: overflow|"},
        {"report after a console record: the end still closes the line",
         [] {
             console_record("A");
             round_to_int(3e9);
         },
         "", 1, "A|", "|run-time error M6104: MATH|- floating-point error: overflow|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = run_in_child(c.body, c.input);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, crlf(c.out));
        EXPECT_EQ(result.err, crlf(c.err));
    }
}

// The reply runs through the command interpreter unless it is blank or a
// single character; trailing blanks and tabs are not part of the command.
TEST(Stops, PauseRunsTheReplyAsACommand) {
    testing::TempDir dir;
    const std::string marker = dir.file("ran");
    // A one-character command name on PATH that would leave the marker if run.
    testing::write_file(dir.file("x"), "#!/bin/sh\ntouch '" + marker + "'\n");
    std::filesystem::permissions(dir.file("x"), std::filesystem::perms::owner_all);
    const std::string old_path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    const std::string path = dir.path().string() + ":/usr/bin:/bin";
    ::setenv("PATH", path.c_str(), 1);

    struct ReplyCase {
        std::string reply;
        bool runs;
    };
    const ReplyCase cases[] = {
        {"", false},      {" \t  ", false}, {"x", false},
        {"x  \t", false}, {"x;", true},     {"touch '" + marker + "'   ", true},
        {"  x", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("reply [" + c.reply + "]");
        std::filesystem::remove(marker);
        const auto result = run_in_child(
            [] {
                pause();
                stop();
            },
            c.reply + "\n");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(std::filesystem::exists(marker), c.runs);
    }
    ::setenv("PATH", old_path.c_str(), 1);
}

TEST(Stops, CommandOutputFollowsThePromptInOrder) {
    const auto result = run_in_child(
        [] {
            pause();
            stop();
        },
        "echo hello from the command\n");
    EXPECT_EQ(result.out,
              crlf(prompt) + "hello from the command\n" + crlf("Stop - Program terminated.|"));
}

// A run-time error report ends the run with status 1, and records already
// written to open files are on disk afterwards.
TEST(Stops, FaultsWriteOutOpenFiles) {
    void (*const faults[])() = {
        [] { divide(2.0, 0.0); },
        [] { divide(0.0, 0.0); },
        [] { narrow(-1e300); },
    };
    for (auto fault : faults) {
        testing::TempDir dir;
        const std::string path = dir.file("table.txt");
        testing::write_file(path, "old contents that must go\r\n");
        const auto result = run_in_child([&] {
            TextUnit unit;
            open_file(unit, path);
            begin_record(unit);
            put_text(unit, "kept");
            end_record(unit);
            fault();
        });
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(testing::read_file(path), crlf(" kept|"));
    }
}

}  // namespace
}  // namespace linesynth
