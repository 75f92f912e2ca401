#include "tools/cli/survey_command.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "tools/cli/directory_list.h"
#include "tools/cli/output_names.h"
#include "tools/cli/survey_pool.h"
#include "tools/cli/survey_resume.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {
namespace {

constexpr int usage_status = 2;

const std::string output_refusal_end =
    " is a file that linesynth or linesynth-tools reads or writes; the output needs a name of "
    "its own";

// The survey's output may replace neither its list nor a file of any listed
// directory. A name that can be none of those (nearly every name) spares the
// walk through the list; otherwise the list is read once here, before any
// work, which needs a --from that can be read twice.
std::optional<std::string> refused_survey_output(const SurveyCommand& command) {
    if (command.output.empty()) {
        return std::nullopt;
    }
    std::error_code ignored;
    if (!command.from.empty() &&
        std::filesystem::equivalent(file_path(command.output), file_path(command.from), ignored)) {
        return command.output + output_refusal_end;
    }
    const SurveyOptions& options = command.table;
    if (!output_may_name_data_file(command.output, {options.mask_name, options.sigma_name})) {
        return std::nullopt;
    }
    if (!command.from.empty() &&
        !std::filesystem::is_regular_file(file_path(command.from), ignored)) {
        return command.from + " is not a regular file, and the output's name (" + command.output +
               ") must be checked against every listed directory before any work: give the "
               "output another name or the list as a file";
    }
    DirectoryList list(command.dirs, command.from);
    if (auto reason = list.open()) {
        return reason;
    }
    while (const std::optional<std::string> dir = list.next()) {
        const std::string path = platform::directory_path(*dir);
        const std::vector<std::string> option_files = {
            options.mask_name.empty() ? "" : path + options.mask_name,
            options.sigma_name.empty() ? "" : path + options.sigma_name};
        if (auto refusal = refused_output(command.output, path, option_files)) {
            return refusal->text;
        }
    }
    return list.failure;
}

// The usage errors (status 2) and the refused output, before any work.
std::optional<CommandOutput> refused_command(const SurveyCommand& command) {
    for (const std::string* name : {&command.output, &command.update}) {
        const std::optional<TableFormat> format = table_format(*name);
        if (!format ||
            (name == &command.update && !name->empty() && *format != TableFormat::ecsv)) {
            return with_status(
                refused(*name + (name == &command.update
                                     ? ": the earlier table must be an ECSV file (.ecsv)"
                                     : ": the table's name must end in .ecsv or .csv")),
                usage_status);
        }
    }
    if (command.dirs.empty() && command.from.empty()) {
        return with_status(refused("no data directory given"), usage_status);
    }
    if (auto reason = refused_survey_output(command)) {
        return refused(*reason);
    }
    return std::nullopt;
}

// --jobs, else one per core; never more than max_survey_jobs, nor more than
// the directories when they are all on the command line.
std::size_t survey_jobs(const SurveyCommand& command) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    auto jobs = std::min<std::size_t>(
        command.jobs > 0 ? static_cast<std::size_t>(command.jobs) : cores, max_survey_jobs);
    if (command.from.empty()) {
        jobs = std::min(jobs, command.dirs.size());
    }
    return jobs;
}

// The header every table of these options and this version starts with.
Table survey_head(const SurveyCommand& command) {
    Table table;
    table.columns = survey_columns(command.table);
    const auto flag = [](std::string key, bool on) {
        return MetaEntry{std::move(key), on ? "yes" : "no", false, {}};
    };
    const SurveyOptions& options = command.table;
    table.meta = {
        {"tool", "linesynth-tools", false, {}},
        {"version", command.version, false, {}},
        {"options",
         "",
         false,
         {flag("fit", options.fit),
          flag("scale", options.scale),
          flag("free", options.free),
          {"mask_name", options.mask_name, false, {}},
          {"sigma_name", options.sigma_name, false, {}}}},
    };
    return table;
}

// With --update, the rows that may be taken again: those of the earlier
// table, then those of the checkpoint a killed survey of the same output
// left; and the checkpoint of this survey opened.
std::optional<std::string> resume(const SurveyCommand& command, const std::string& ecsv_head,
                                  SurveyState& state, Checkpoint& checkpoint) {
    if (command.update.empty()) {
        return std::nullopt;
    }
    if (auto reason = read_kept_rows(command.update, ecsv_head, state.kept)) {
        return reason;
    }
    if (command.output.empty()) {
        return std::nullopt;
    }
    const std::string checkpoint_path = command.output + checkpoint_suffix;
    if (auto reason = read_kept_rows(checkpoint_path, ecsv_head, state.kept)) {
        return reason;
    }
    return checkpoint.open(checkpoint_path, ecsv_head);
}

// "survey: 532/1000 directories, 3 failed, 410/s, 1 s left", redrawn in
// place; before the list has been read to its end, without the whole and the
// time left.
class ProgressLine {
public:
    void draw(std::size_t done, std::optional<std::size_t> total, std::size_t failed) {
        const double seconds = std::chrono::duration<double>(SurveyClock::now() - start_).count();
        std::string line = "survey: " + std::to_string(done) +
                           (total ? "/" + std::to_string(*total) : "") + " directories, " +
                           std::to_string(failed) + " failed";
        if (done > 0 && seconds > 0) {
            const double rate = static_cast<double>(done) / seconds;
            line += ", " + std::to_string(static_cast<long long>(rate)) + "/s";
            if (total) {
                const auto left = static_cast<long long>(static_cast<double>(*total - done) / rate);
                line += ", " + std::to_string(left) + " s left";
            }
        }
        // Blanks over whatever the longer line before left on the screen.
        const std::size_t width = line.size();
        line.resize(std::max(width, width_), ' ');
        width_ = width;
        platform::write_stderr("\r" + line);
    }

private:
    std::size_t width_ = 0;
    SurveyClock::time_point start_ = SurveyClock::now();
};

// What the collecting thread gathers: the table's text and counts.
struct Collected {
    std::string text;
    std::size_t failed = 0;
    std::size_t abandoned = 0;
    std::optional<std::string> thread_failure;
};

// The finished rows that come next, in order, into the table and the
// checkpoint (the state's mutex held).
void put_finished_rows(SurveyState& state, TableFormat format, Checkpoint& checkpoint,
                       Collected& collected) {
    while (!state.finished.empty() && state.finished.begin()->first == state.written) {
        const SurveyRow& row = state.finished.begin()->second;
        collected.failed += row.ok ? 0 : 1;
        std::string line = table_row_text(row.cells, format);
        if (checkpoint.is_open()) {
            checkpoint.add(
                format == TableFormat::ecsv ? line : table_row_text(row.cells, TableFormat::ecsv));
        }
        collected.text += line;
        state.finished.erase(state.finished.begin());
        ++state.written;
        state.room.notify_all();
    }
}

// Abandons each thread past the time limit, its row "timeout", and starts
// another in its place; the count of threads still at work (the state's
// mutex held).
std::size_t watch_time_limit(SurveyPool& pool, std::int32_t time_limit, SurveyClock::time_point now,
                             Collected& collected) {
    SurveyState& state = *pool.state;
    std::size_t running = 0;
    for (std::size_t i = 0; i < pool.workers.size(); ++i) {
        Worker& worker = *pool.workers[i];
        if (worker.finished || worker.abandoned) {
            continue;
        }
        if (time_limit > 0 && worker.index &&
            now - worker.started > std::chrono::seconds(time_limit)) {
            // A thread cannot be stopped from outside: it is left to end
            // on its own, or with the process, and another takes its place.
            worker.abandoned = true;
            release_budget(state, worker);
            state.finished.emplace(
                *worker.index, failed_survey_row(worker.dir, state.options, "timeout",
                                                 "not done after " + std::to_string(time_limit) +
                                                     " s (--time-limit); left unfinished"));
            pool.threads[i].detach();
            ++collected.abandoned;
            if (collected.abandoned <= max_survey_jobs && !collected.thread_failure) {
                collected.thread_failure = start_thread(pool);
            }
            continue;
        }
        ++running;
    }
    return running;
}

// How the threads left the survey.
struct SurveyEnd {
    bool complete = false;  // every directory of the list has its row
    std::optional<std::string> list_failure;
    std::size_t rows = 0;
    std::size_t kept_rows = 0;
    bool out_of_memory = false;
};

// Puts the rows in order as the threads finish them until none is at work.
SurveyEnd collect_rows(const SurveyCommand& command, SurveyPool& pool, TableFormat format,
                       Checkpoint& checkpoint, Collected& collected) {
    std::optional<ProgressLine> progress;
    if (platform::stderr_is_terminal()) {
        progress.emplace();
    }
    SurveyState& state = *pool.state;
    SurveyClock::time_point flushed = SurveyClock::now();
    std::unique_lock<std::mutex> lock(state.mutex);
    for (;;) {
        // At most ten rounds a second when nothing happens: the time limit
        // and the progress line need no finer grain.
        state.changed.wait_for(lock, std::chrono::milliseconds(100));
        put_finished_rows(state, format, checkpoint, collected);
        // The checkpoint and the progress line at most ten times a second:
        // a killed survey repeats at most that last tenth of its rows.
        const SurveyClock::time_point now = SurveyClock::now();
        const bool tick = now - flushed >= std::chrono::milliseconds(100);
        if (tick) {
            checkpoint.flush();
            flushed = now;
        }
        const std::size_t running = watch_time_limit(pool, command.time_limit, now, collected);
        if (progress && tick) {
            progress->draw(state.written,
                           state.list_done ? std::optional(state.taken) : std::nullopt,
                           collected.failed);
        }
        if (running == 0 && state.finished.empty()) {
            break;
        }
    }
    const SurveyEnd end{state.list_done && state.written == state.taken, state.list.failure,
                        state.written, state.kept_rows, state.out_of_memory};
    lock.unlock();
    if (progress) {
        progress->draw(end.rows, end.rows, collected.failed);
        platform::write_stderr("\n");
    }
    checkpoint.flush();
    return end;
}

// The table written (or printed), the checkpoint gone, and the report: the
// rows kept with --update, the directories that failed.
CommandOutput finished_survey(const SurveyCommand& command, const SurveyEnd& end,
                              Collected& collected, Checkpoint& checkpoint) {
    if (end.out_of_memory) {
        return refused("memory ran out while surveying (fewer --jobs need less); no table");
    }
    if (end.list_failure) {
        return refused(*end.list_failure);
    }
    if (!end.complete) {
        return refused(std::to_string(collected.abandoned) +
                       " directories passed the time limit and held every thread; the survey "
                       "stops without a table");
    }
    if (end.rows == 0) {
        return with_status(refused("no data directory given"), usage_status);
    }
    CommandOutput output;
    if (command.output.empty()) {
        output.out = std::move(collected.text);
    } else if (const platform::FileOutcome outcome =
                   platform::replace_file(command.output, collected.text)) {
        return refused(platform::fault_text(outcome));
    }
    checkpoint.remove();
    if (!command.update.empty()) {
        output.err = refused("survey: " + std::to_string(end.kept_rows) + " of " +
                             std::to_string(end.rows) + " rows kept from the earlier table")
                         .err;
    }
    if (collected.failed > 0) {
        output.status = 1;
        output.err += refused(std::to_string(collected.failed) + " of " + std::to_string(end.rows) +
                              " directories failed; their rows give the reason")
                          .err;
    }
    return output;
}

}  // namespace

std::size_t survey_window(std::size_t jobs) {
    return 4 * jobs + 16;
}

CommandOutput run_survey(const SurveyCommand& command) {
    if (auto refusal = refused_command(command)) {
        return std::move(*refusal);
    }
    const TableFormat format = *table_format(command.output);
    const std::size_t jobs = survey_jobs(command);
    SurveyPool pool(std::make_shared<SurveyState>(command, jobs));
    if (auto reason = pool.state->list.open()) {
        return refused(*reason);
    }
    const Table head = survey_head(command);
    Checkpoint checkpoint;
    if (auto reason =
            resume(command, table_head_text(head, TableFormat::ecsv), *pool.state, checkpoint)) {
        return refused(*reason);
    }

    platform::keep_freed_memory();
    Collected collected;
    for (std::size_t job = 0; job < jobs && !collected.thread_failure; ++job) {
        collected.thread_failure = start_thread(pool);
    }
    if (pool.threads.empty()) {
        return refused(*collected.thread_failure);
    }
    collected.text = table_head_text(head, format);
    const SurveyEnd end = collect_rows(command, pool, format, checkpoint, collected);
    return finished_survey(command, end, collected, checkpoint);
}

}  // namespace linesynth::tools
