#include "tools/cli/survey_command.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {
namespace {

constexpr int usage_status = 2;

// The lines of `path` that are not empty, without their line ends.
std::optional<std::string> read_directory_list(const std::string& path,
                                               std::vector<std::string>& dirs) {
    std::string text;
    if (const platform::FileOutcome outcome =
            platform::read_whole_file(path, platform::option_file_limit, text)) {
        return platform::fault_text(outcome);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            dirs.push_back(std::move(line));
        }
        start = end + 1;
    }
    return std::nullopt;
}

// What the threads share: the next directory to take, and how many are done.
struct SurveyWork {
    const std::vector<std::string>& dirs;
    const SurveyOptions& options;
    std::vector<SurveyRow>& rows;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> failed{0};
    std::mutex mutex{};
    std::condition_variable finished{};
};

void survey_worker(SurveyWork& work) {
    // The rounding mode is the thread's own: set it as the run does.
    platform::setup_floating_point();
    for (;;) {
        const std::size_t index = work.next.fetch_add(1);
        if (index >= work.dirs.size()) {
            return;
        }
        work.rows[index] = survey_row(work.dirs[index], work.options);
        if (!work.rows[index].ok) {
            work.failed.fetch_add(1);
        }
        if (work.done.fetch_add(1) + 1 == work.dirs.size()) {
            const std::lock_guard<std::mutex> lock(work.mutex);
            work.finished.notify_all();
        }
    }
}

// "survey: 532/1000 directories, 3 failed, 410/s, 1 s left", redrawn in place.
class ProgressLine {
public:
    explicit ProgressLine(std::size_t total) : total_(total) {}

    void draw(std::size_t done, std::size_t failed) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::string line = "survey: " + std::to_string(done) + "/" + std::to_string(total_) +
                           " directories, " + std::to_string(failed) + " failed";
        if (done > 0 && seconds > 0) {
            const double rate = static_cast<double>(done) / seconds;
            const auto left = static_cast<long long>(static_cast<double>(total_ - done) / rate);
            line += ", " + std::to_string(static_cast<long long>(rate)) + "/s, " +
                    std::to_string(left) + " s left";
        }
        // Blanks over whatever the longer line before left on the screen.
        const std::size_t width = line.size();
        line.resize(std::max(width, width_), ' ');
        width_ = width;
        platform::write_stderr("\r" + line);
    }

private:
    std::size_t total_;
    std::size_t width_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

CommandOutput run_survey(const SurveyCommand& command) {
    const std::optional<TableFormat> format = table_format(command.output);
    if (!format) {
        return with_status(refused(command.output + ": the table's name must end in .ecsv or .csv"),
                           usage_status);
    }
    std::vector<std::string> dirs = command.dirs;
    if (!command.from.empty()) {
        if (auto reason = read_directory_list(command.from, dirs)) {
            return refused(*reason);
        }
    }
    if (dirs.empty()) {
        return with_status(refused("no data directory given"), usage_status);
    }

    platform::keep_freed_memory();
    std::vector<SurveyRow> rows(dirs.size());
    SurveyWork work{dirs, command.table, rows};
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs =
        std::min(dirs.size(), command.jobs > 0 ? static_cast<std::size_t>(command.jobs) : cores);
    std::vector<std::thread> threads;
    for (std::size_t job = 0; job < jobs; ++job) {
        threads.emplace_back(survey_worker, std::ref(work));
    }
    if (platform::stderr_is_terminal()) {
        ProgressLine progress(dirs.size());
        std::unique_lock<std::mutex> lock(work.mutex);
        // At most ten redraws a second; the last one shows every directory done.
        while (!work.finished.wait_for(lock, std::chrono::milliseconds(100),
                                       [&] { return work.done.load() == dirs.size(); })) {
            progress.draw(work.done.load(), work.failed.load());
        }
        progress.draw(work.done.load(), work.failed.load());
        platform::write_stderr("\n");
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    Table table;
    table.columns = survey_columns(command.table);
    for (SurveyRow& row : rows) {
        table.rows.push_back(std::move(row.cells));
    }
    CommandOutput output;
    const std::string text = table_text(table, *format);
    if (command.output.empty()) {
        output.out = text;
    } else if (const platform::FileOutcome outcome = platform::replace_file(command.output, text)) {
        return refused(platform::fault_text(outcome));
    }
    if (const std::size_t failed = work.failed.load(); failed > 0) {
        output.status = 1;
        output.err = refused(std::to_string(failed) + " of " + std::to_string(dirs.size()) +
                             " directories failed; their rows give the reason")
                         .err;
    }
    return output;
}

}  // namespace linesynth::tools
