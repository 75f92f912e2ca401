#include "tools/cli/survey_command.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "platform/platform.h"
#include "tools/cli/output_names.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int usage_status = 2;

// The longest line of a list of directories: far beyond any path a system
// takes, and short enough that a file without line ends (a link to a device
// of zeros) is refused at once rather than read into memory.
constexpr std::size_t longest_list_line = 65535;

std::filesystem::path file_path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The directories of the command line, then the lines of the --from file that
// are not empty (without their line ends, and without a UTF-8 byte-order mark
// at the start of the file), read as they are asked for.
class DirectoryList {
public:
    DirectoryList(const std::vector<std::string>& given, std::string from)
        : given_(given), from_(std::move(from)) {}

    // Opens the --from file; its failure when it cannot be.
    std::optional<std::string> open() {
        if (from_.empty()) {
            return std::nullopt;
        }
        std::error_code ignored;
        if (std::filesystem::is_directory(file_path(from_), ignored)) {
            return from_ + " is a directory, not a list of directories";
        }
        file_.open(file_path(from_), std::ios::binary);
        if (!file_) {
            return from_ + ": cannot read the list of directories";
        }
        return std::nullopt;
    }

    // The next directory; nothing at the end of the list or on a failure
    // (then `failure` says what failed).
    std::optional<std::string> next() {
        if (given_next_ < given_.size()) {
            return given_[given_next_++];
        }
        while (file_.is_open()) {
            std::string line;
            if (!read_line(line)) {
                file_.close();
                return std::nullopt;
            }
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line_number_ == 1 && line.starts_with("\xEF\xBB\xBF")) {
                line.erase(0, 3);
            }
            if (!line.empty()) {
                return line;
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> failure;

private:
    bool read_line(std::string& line) {
        buffer_.resize(longest_list_line + 2);
        file_.getline(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        const auto count = static_cast<std::size_t>(file_.gcount());
        if (file_.bad()) {
            failure = from_ + ": cannot read the list of directories";
            return false;
        }
        ++line_number_;
        if (file_.fail()) {
            if (file_.eof() && count == 0) {
                return false;
            }
            failure = from_ + ": line " + std::to_string(line_number_) + " is longer than " +
                      std::to_string(longest_list_line) + " bytes";
            return false;
        }
        // Without eof the line end was taken too, and counted.
        line.assign(buffer_.data(), file_.eof() ? count : count - 1);
        return true;
    }

    const std::vector<std::string>& given_;
    std::string from_;
    std::size_t given_next_ = 0;
    std::ifstream file_;
    std::vector<char> buffer_;
    std::size_t line_number_ = 0;
};

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

std::size_t column_index(const std::vector<TableColumn>& columns, std::string_view name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) {
            return i;
        }
    }
    return columns.size();
}

// The rows of an earlier ECSV table with the header `head`, by directory
// (a later file's rows over an earlier one's). A file that is missing, or
// whose header differs (another version, other options), gives none; a last
// line without its line end (a survey killed while writing it) is left out.
std::optional<std::string> read_kept_rows(const std::string& path, const std::string& head,
                                          std::unordered_map<std::string, std::string>& kept) {
    std::error_code ignored;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file_path(path), ignored))) {
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(file_path(path), ignored)) {
        return path + " is not a regular file; it is not read";
    }
    std::ifstream file(file_path(path), std::ios::binary);
    std::string text;
    std::string line;
    while (text.size() < head.size() && std::getline(file, line)) {
        text += line + "\n";
    }
    if (text != head) {
        return file.bad() ? std::optional(path + ": cannot read the earlier table") : std::nullopt;
    }
    while (std::getline(file, line) && !file.eof()) {
        if (const auto cells = ecsv_row_cells(line); cells && !cells->empty()) {
            kept.insert_or_assign(cells->front(), std::move(line));
        }
    }
    return file.bad() ? std::optional(path + ": cannot read the earlier table") : std::nullopt;
}

// One thread's state, shared with the thread that watches the time limit.
struct Worker {
    std::optional<std::size_t> index;  // the row it works on
    std::string dir;                   // and its directory
    Clock::time_point started;
    std::uintmax_t reserved = 0;  // option bytes it holds of the budget
    bool abandoned = false;       // over the time limit: its row is written
    bool finished = false;
};

// What the threads share. Owned jointly, so that a thread left behind past
// the time limit (blocked in a read that never returns) still finds it.
struct SurveyState {
    SurveyState(const SurveyCommand& command, std::size_t jobs)
        : options(command.table),
          columns(survey_columns(command.table)),
          dirs(command.dirs),
          list(dirs, command.from),
          window(survey_window(jobs)) {}

    SurveyOptions options;
    std::vector<TableColumn> columns;
    std::unordered_map<std::string, std::string> kept;
    std::vector<std::string> dirs;
    DirectoryList list;
    std::size_t window;

    std::mutex mutex;
    std::condition_variable changed;  // a row finished or a thread ended
    std::condition_variable room;     // the window or the budget moved
    std::size_t taken = 0;            // rows handed out
    std::size_t written = 0;          // rows put into the table
    bool list_done = false;
    bool stopping = false;       // the survey ends early (a failure of its own)
    bool out_of_memory = false;  // a thread failed outside any row
    std::map<std::size_t, SurveyRow> finished;
    std::uintmax_t budget_used = 0;
    std::size_t kept_rows = 0;
};

// The row of a directory: an earlier one while its digest is the same and
// its status is one the same files give again; else a new one. A failure of
// memory or of the system is the row's, never the survey's.
SurveyRow directory_row(SurveyState& state, Worker& self, const std::string& dir) {
    try {
        const std::string digest = survey_input_digest(dir, state.options);
        if (const auto found = state.kept.find(dir); found != state.kept.end()) {
            std::optional<std::vector<std::string>> cells = ecsv_row_cells(found->second);
            const std::size_t status = column_index(state.columns, "status");
            if (cells && cells->size() == state.columns.size() &&
                (*cells)[column_index(state.columns, "input_sha256")] == digest &&
                (*cells)[status] != "error" && (*cells)[status] != "timeout") {
                const bool ok = (*cells)[status] == "ok";
                const std::lock_guard<std::mutex> lock(state.mutex);
                ++state.kept_rows;
                return {ok, std::move(*cells)};
            }
        }
        const std::uintmax_t bytes = 2 * survey_option_bytes(dir, state.options);
        {
            std::unique_lock<std::mutex> lock(state.mutex);
            state.room.wait(lock, [&] {
                return state.budget_used == 0 || state.budget_used + bytes <= option_bytes_budget;
            });
            state.budget_used += bytes;
            self.reserved = bytes;
        }
        SurveyRow row = survey_row(dir, state.options, digest);
        const std::lock_guard<std::mutex> lock(state.mutex);
        state.budget_used -= self.reserved;
        self.reserved = 0;
        state.room.notify_all();
        return row;
    } catch (const std::bad_alloc&) {
        return failed_survey_row(dir, state.options, "error", "out of memory");
    } catch (const std::exception& error) {
        return failed_survey_row(dir, state.options, "error", error.what());
    }
}

void release_budget(SurveyState& state, Worker& self) {
    state.budget_used -= self.reserved;
    self.reserved = 0;
    state.room.notify_all();
}

void take_rows(SurveyState& state, Worker& self) {
    for (;;) {
        std::string dir;
        {
            std::unique_lock<std::mutex> lock(state.mutex);
            state.room.wait(lock, [&] {
                return self.abandoned || state.list_done || state.stopping ||
                       state.taken < state.written + state.window;
            });
            std::optional<std::string> next;
            if (!self.abandoned && !state.list_done && !state.stopping) {
                next = state.list.next();
            }
            if (!next) {
                state.list_done = state.list_done || !(self.abandoned || state.stopping);
                return;
            }
            dir = std::move(*next);
            self.index = state.taken++;
            self.dir = dir;
            self.started = Clock::now();
        }
        SurveyRow row = directory_row(state, self, dir);
        const std::lock_guard<std::mutex> lock(state.mutex);
        if (self.abandoned) {
            // Its row went into the table as "timeout" long ago.
            release_budget(state, self);
            return;
        }
        state.finished.emplace(*self.index, std::move(row));
        self.index.reset();
        state.changed.notify_all();
    }
}

void survey_worker(const std::shared_ptr<SurveyState>& shared,
                   const std::shared_ptr<Worker>& worker) {
    SurveyState& state = *shared;
    Worker& self = *worker;
    // The rounding mode is the thread's own: set it as the run does.
    platform::setup_floating_point();
    bool failed = false;
    try {
        take_rows(state, self);
    } catch (...) {
        // Memory ran out outside any row (a row's own failures are its row):
        // the survey cannot be whole, and says so at its end.
        failed = true;
    }
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (failed && !self.abandoned) {
        state.out_of_memory = true;
        state.stopping = true;
    }
    self.finished = true;
    state.room.notify_all();
    state.changed.notify_all();
}

// Ends the threads however the survey ends: a thread still joinable when its
// object goes would end the process.
class ThreadsGuard {
public:
    ThreadsGuard(SurveyState& state, std::vector<std::thread>& threads)
        : state_(state), threads_(threads) {}
    ThreadsGuard(const ThreadsGuard&) = delete;
    ThreadsGuard& operator=(const ThreadsGuard&) = delete;
    ~ThreadsGuard() {
        {
            const std::lock_guard<std::mutex> lock(state_.mutex);
            state_.stopping = true;
            state_.room.notify_all();
        }
        for (std::thread& thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }

private:
    SurveyState& state_;
    std::vector<std::thread>& threads_;
};

// "survey: 532/1000 directories, 3 failed, 410/s, 1 s left", redrawn in
// place; before the list has been read to its end, without the whole and the
// time left.
class ProgressLine {
public:
    void draw(std::size_t done, std::optional<std::size_t> total, std::size_t failed) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
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
    Clock::time_point start_ = Clock::now();
};

// The checkpoint of a survey with --update: the ECSV header, then each row
// as it goes into the table, so that a survey killed at any moment leaves the
// rows it finished for the next one.
class Checkpoint {
public:
    std::optional<std::string> open(const std::string& path, const std::string& head) {
        std::error_code ignored;
        const auto status = std::filesystem::symlink_status(file_path(path), ignored);
        if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
            return path + " is not a regular file; it is left alone";
        }
        file_.open(file_path(path), std::ios::binary | std::ios::trunc);
        file_ << head;
        file_.flush();
        path_ = path;
        return file_ ? std::nullopt : std::optional(path + ": cannot write the checkpoint");
    }
    void add(const std::string& row) {
        if (file_.is_open()) {
            file_ << row;
        }
    }
    void flush() {
        if (file_.is_open()) {
            file_.flush();
        }
    }
    // After the table is written the checkpoint has done its work.
    void remove() {
        if (file_.is_open()) {
            file_.close();
            platform::remove_file(path_);
        }
    }

private:
    std::ofstream file_;
    std::string path_;
};

std::optional<std::string> start_thread(std::vector<std::thread>& threads,
                                        std::vector<std::shared_ptr<Worker>>& workers,
                                        const std::shared_ptr<SurveyState>& state) {
    try {
        auto worker = std::make_shared<Worker>();
        threads.emplace_back(survey_worker, state, worker);
        workers.push_back(std::move(worker));
        return std::nullopt;
    } catch (const std::system_error& error) {
        return std::string("cannot start a thread: ") + error.what();
    } catch (const std::bad_alloc&) {
        return std::string("cannot start a thread: out of memory");
    }
}

}  // namespace

std::size_t survey_window(std::size_t jobs) {
    return 4 * jobs + 16;
}

CommandOutput run_survey(const SurveyCommand& command) {
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
    const TableFormat format = *table_format(command.output);
    if (command.dirs.empty() && command.from.empty()) {
        return with_status(refused("no data directory given"), usage_status);
    }
    if (auto reason = refused_survey_output(command)) {
        return refused(*reason);
    }

    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    auto jobs = std::min<std::size_t>(
        command.jobs > 0 ? static_cast<std::size_t>(command.jobs) : cores, max_survey_jobs);
    if (command.from.empty()) {
        jobs = std::min(jobs, command.dirs.size());
    }
    const auto state = std::make_shared<SurveyState>(command, jobs);
    if (auto reason = state->list.open()) {
        return refused(*reason);
    }
    const Table head = survey_head(command);
    const std::string ecsv_head = table_head_text(head, TableFormat::ecsv);
    const bool checkpointed = !command.update.empty() && !command.output.empty();
    const std::string checkpoint_path = command.output + checkpoint_suffix;
    if (!command.update.empty()) {
        for (const std::string* path : {&command.update, &checkpoint_path}) {
            if (path == &checkpoint_path && !checkpointed) {
                continue;
            }
            if (auto reason = read_kept_rows(*path, ecsv_head, state->kept)) {
                return refused(*reason);
            }
        }
    }
    Checkpoint checkpoint;
    if (checkpointed) {
        if (auto reason = checkpoint.open(checkpoint_path, ecsv_head)) {
            return refused(*reason);
        }
    }

    platform::keep_freed_memory();
    std::vector<std::thread> threads;
    const ThreadsGuard guard(*state, threads);
    std::vector<std::shared_ptr<Worker>> workers;
    std::optional<std::string> thread_failure;
    for (std::size_t job = 0; job < jobs && !thread_failure; ++job) {
        thread_failure = start_thread(threads, workers, state);
    }
    if (threads.empty()) {
        return refused(*thread_failure);
    }

    std::string text = table_head_text(head, format);
    std::size_t failed = 0;
    std::size_t abandoned = 0;
    std::optional<ProgressLine> progress;
    if (platform::stderr_is_terminal()) {
        progress.emplace();
    }
    Clock::time_point flushed = Clock::now();
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        // At most ten rounds a second when nothing happens: the time limit
        // and the progress line need no finer grain.
        state->changed.wait_for(lock, std::chrono::milliseconds(100));
        while (!state->finished.empty() && state->finished.begin()->first == state->written) {
            const SurveyRow& row = state->finished.begin()->second;
            failed += row.ok ? 0 : 1;
            std::string line = table_row_text(row.cells, format);
            if (checkpointed) {
                checkpoint.add(format == TableFormat::ecsv
                                   ? line
                                   : table_row_text(row.cells, TableFormat::ecsv));
            }
            text += line;
            state->finished.erase(state->finished.begin());
            ++state->written;
            state->room.notify_all();
        }
        // The checkpoint and the progress line at most ten times a second:
        // a killed survey repeats at most that last tenth of its rows.
        const Clock::time_point now = Clock::now();
        const bool tick = now - flushed >= std::chrono::milliseconds(100);
        if (tick) {
            checkpoint.flush();
            flushed = now;
        }
        std::size_t running = 0;
        for (std::size_t i = 0; i < workers.size(); ++i) {
            Worker& worker = *workers[i];
            if (worker.finished || worker.abandoned) {
                continue;
            }
            if (command.time_limit > 0 && worker.index &&
                now - worker.started > std::chrono::seconds(command.time_limit)) {
                // A thread cannot be stopped from outside: it is left to end
                // on its own, or with the process, and another takes its place.
                worker.abandoned = true;
                release_budget(*state, worker);
                state->finished.emplace(
                    *worker.index,
                    failed_survey_row(worker.dir, state->options, "timeout",
                                      "not done after " + std::to_string(command.time_limit) +
                                          " s (--time-limit); left unfinished"));
                threads[i].detach();
                ++abandoned;
                if (abandoned <= max_survey_jobs && !thread_failure) {
                    thread_failure = start_thread(threads, workers, state);
                }
                continue;
            }
            ++running;
        }
        if (progress && tick) {
            progress->draw(state->written,
                           state->list_done ? std::optional(state->taken) : std::nullopt, failed);
        }
        if (running == 0 && state->finished.empty()) {
            break;
        }
    }
    const bool complete = state->list_done && state->written == state->taken;
    const std::optional<std::string> list_failure = state->list.failure;
    const std::size_t rows = state->written;
    const std::size_t kept_rows = state->kept_rows;
    const bool out_of_memory = state->out_of_memory;
    lock.unlock();
    if (progress) {
        progress->draw(rows, rows, failed);
        platform::write_stderr("\n");
    }
    checkpoint.flush();
    if (out_of_memory) {
        return refused("memory ran out while surveying (fewer --jobs need less); no table");
    }
    if (list_failure) {
        return refused(*list_failure);
    }
    if (!complete) {
        return refused(std::to_string(abandoned) +
                       " directories passed the time limit and held every thread; the survey "
                       "stops without a table");
    }
    if (rows == 0) {
        return with_status(refused("no data directory given"), usage_status);
    }

    CommandOutput output;
    if (command.output.empty()) {
        output.out = std::move(text);
    } else if (const platform::FileOutcome outcome = platform::replace_file(command.output, text)) {
        return refused(platform::fault_text(outcome));
    }
    checkpoint.remove();
    if (!command.update.empty()) {
        output.err = refused("survey: " + std::to_string(kept_rows) + " of " +
                             std::to_string(rows) + " rows kept from the earlier table")
                         .err;
    }
    if (failed > 0) {
        output.status = 1;
        output.err += refused(std::to_string(failed) + " of " + std::to_string(rows) +
                              " directories failed; their rows give the reason")
                          .err;
    }
    return output;
}

}  // namespace linesynth::tools
