#include "run/stops.h"

#include <string>

#include "platform/platform.h"
#include "textio/record_writer.h"
#include "textio/text_unit.h"

namespace linesynth {
namespace {

constexpr std::string_view crlf = "\r\n";

// Pause and stop messages start on a fresh line once a console record has been
// shown; they never change the console's line state themselves.
void break_open_line() {
    if (console().line_open) {
        platform::write_stdout(crlf);
    }
}

void show_console_record(std::string_view text) {
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
    break_open_line();
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
    break_open_line();
    std::string line(text);
    line += crlf;
    platform::write_stdout(line);
    throw RunEnd{0};
}

void error_stop(std::string_view first_line, std::string_view stop_text) {
    show_console_record(first_line);
    show_console_record("ENTER TO STOP OR YOUR COMMAND");
    pause();
    stop(stop_text);
}

void refuse_count(std::string_view label, std::int32_t count) {
    show_console_record("ERROR REPORT");
    TextUnit& out = console();
    begin_record(out);
    put_text(out, label);
    put_integer(out, count);
    end_record(out);
    show_console_record("Press Enter to continue");
    stop();
}

void report_run_time_error(char letter, int number, std::string_view context,
                           std::string_view message) {
    std::string report;
    report += crlf;
    report += "run-time error ";
    report += letter;
    report += std::to_string(number);
    report += context;
    report += crlf;
    report += "- ";
    report += message;
    report += crlf;
    platform::write_stderr(report);
    throw RunEnd{1};
}

void fail_file(Failure failure, std::string_view statement, std::string_view file_name) {
    std::string context = ": ";
    context += statement;
    context += '(';
    context += file_name;
    context += ')';
    report_run_time_error('F', static_cast<int>(failure), context, failure_message(failure));
}

void fail_math(MathFault fault) {
    std::string message = "floating-point error: ";
    message += fault_kind(fault);
    report_run_time_error('M', static_cast<int>(fault), ": MATH", message);
}

}  // namespace linesynth
