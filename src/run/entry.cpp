#include "run/entry.h"

#include <string>
#include <type_traits>
#include <variant>

#include "base/run_end.h"
#include "platform/platform.h"
#include "run/run_sequence.h"
#include "textio/console.h"

namespace linesynth {
namespace {

constexpr std::string_view crlf = "\r\n";

void write_report(char letter, int number, std::string_view context, std::string_view message) {
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
}

// The run-time error report of a file or floating-point failure.
void report_run_time_error(const RunFailure& failure) {
    if (const auto* file = std::get_if<FileFailure>(&failure)) {
        std::string context = ": ";
        context += file->statement;
        context += '(';
        context += file->file_name;
        context += ')';
        write_report('F', static_cast<int>(file->failure), context, failure_message(file->failure));
    } else if (const auto* math = std::get_if<MathFailure>(&failure)) {
        write_report('M', static_cast<int>(math->fault), ": MATH", fault_message(math->fault));
    }
}

// The exit status after `failure` has had its ending.
int finish(const RunFailure& failure) {
    const std::optional<RunFailure> unended = guarded([&] { end_with(failure); });
    if (!unended) {
        return 0;  // an error stop or a refusal: its dialogue ended with the stop
    }
    report_run_time_error(*unended);
    return 1;
}

}  // namespace

int run_process(const std::function<void()>& body) {
    platform::setup_standard_streams();
    platform::setup_floating_point();
    int status = 0;
    if (const std::optional<RunFailure> failure = guarded(body)) {
        status = finish(*failure);
    }
    end_open_line();
    return status;
}

int run_linesynth() {
    return run_process(run_sequence);
}

}  // namespace linesynth
