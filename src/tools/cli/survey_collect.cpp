#include "tools/cli/survey_collect.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "platform/platform.h"

namespace linesynth::tools {
namespace {

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

}  // namespace

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
    SurveyEnd end{state.list_done && state.written == state.taken, state.list.failure,
                  state.written, state.kept_rows, state.out_of_memory};
    lock.unlock();
    if (progress) {
        progress->draw(end.rows, end.rows, collected.failed);
        platform::write_stderr("\n");
    }
    checkpoint.flush();
    return end;
}

}  // namespace linesynth::tools
