// The threads of a survey: each takes the next directory of the list while
// it is at most survey_window(jobs) rows ahead of the first row not yet
// finished, makes its row (or takes it again from an earlier table), and
// leaves it for the collecting thread, which puts the rows in order and
// abandons a thread past the time limit.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "tools/cli/directory_list.h"
#include "tools/cli/survey_command.h"
#include "tools/pages/survey_table.h"

namespace linesynth::tools {

using SurveyClock = std::chrono::steady_clock;

// One thread's state, shared with the thread that watches the time limit.
struct Worker {
    std::optional<std::size_t> index;  // the row it works on
    std::string dir;                   // and its directory
    SurveyClock::time_point started;
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

// The threads and their states. However the survey ends, its end stops the
// threads and joins those not abandoned: a thread still joinable when its
// object goes would end the process.
struct SurveyPool {
    explicit SurveyPool(std::shared_ptr<SurveyState> shared) : state(std::move(shared)) {}
    SurveyPool(const SurveyPool&) = delete;
    SurveyPool& operator=(const SurveyPool&) = delete;
    ~SurveyPool();

    std::shared_ptr<SurveyState> state;
    std::vector<std::thread> threads;
    std::vector<std::shared_ptr<Worker>> workers;
};

// Starts one more thread; why it could not be.
std::optional<std::string> start_thread(SurveyPool& pool);

// Gives back the option bytes a thread held of the budget (the state's mutex
// held).
void release_budget(SurveyState& state, Worker& self);

}  // namespace linesynth::tools
