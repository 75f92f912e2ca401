#include "tools/cli/survey_pool.h"

#include <new>
#include <system_error>

#include "platform/platform.h"
#include "tools/pages/table_text.h"

namespace linesynth::tools {
namespace {

std::size_t column_index(const std::vector<TableColumn>& columns, std::string_view name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) {
            return i;
        }
    }
    return columns.size();
}

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
            self.started = SurveyClock::now();
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

}  // namespace

void release_budget(SurveyState& state, Worker& self) {
    state.budget_used -= self.reserved;
    self.reserved = 0;
    state.room.notify_all();
}

SurveyPool::~SurveyPool() {
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->stopping = true;
        state->room.notify_all();
    }
    for (std::thread& thread : threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

std::optional<std::string> start_thread(SurveyPool& pool) {
    try {
        auto worker = std::make_shared<Worker>();
        pool.threads.emplace_back(survey_worker, pool.state, worker);
        pool.workers.push_back(std::move(worker));
        return std::nullopt;
    } catch (const std::system_error& error) {
        return std::string("cannot start a thread: ") + error.what();
    } catch (const std::bad_alloc&) {
        return std::string("cannot start a thread: out of memory");
    }
}

}  // namespace linesynth::tools
