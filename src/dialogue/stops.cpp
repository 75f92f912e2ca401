#include "dialogue/stops.h"

#include <string>

#include "base/run_end.h"
#include "platform/platform.h"
#include "textio/console.h"
#include "textio/record_writer.h"

namespace linesynth {
namespace {

void show_text_record(std::string_view text) {
    TextUnit& out = console();
    begin_record(out);
    put_text(out, text);
    end_record(out);
}

std::string_view trim_trailing_blanks(std::string_view reply) {
    while (!reply.empty() && (reply.back() == ' ' || reply.back() == '\t')) {
        reply.remove_suffix(1);
    }
    return reply;
}

}  // namespace

void pause() {
    end_open_line();
    platform::write_stdout("Pause - Please enter a blank line (to continue) or a DOS command.\r\n");
    std::string reply;
    if (!platform::read_stdin_line(reply)) {
        fail_file(Failure::end_of_file, "READ", "stdin");
    }
    // A single character is taken like a blank reply: the prompt offers only a
    // blank line or a command, and no useful command is one character long.
    const std::string_view command = trim_trailing_blanks(reply);
    if (command.size() >= 2) {
        platform::run_command(std::string(command));
    }
}

void stop() {
    stop("Stop - Program terminated.");
}

void stop(std::string_view text) {
    end_open_line();
    std::string line(text);
    line += "\r\n";
    platform::write_stdout(line);
}

void error_stop(std::string_view first_line, std::string_view stop_text) {
    show_text_record(first_line);
    show_text_record("ENTER TO STOP OR YOUR COMMAND");
    pause();
    stop(stop_text);
}

void refuse_count(std::string_view label, std::int32_t count) {
    show_text_record("ERROR REPORT");
    TextUnit& out = console();
    begin_record(out);
    put_text(out, label);
    put_integer(out, count);
    end_record(out);
    show_text_record("Press Enter to continue");
    stop();
}

}  // namespace linesynth
