#include "tools/fit/weights_file.h"

#include <limits>
#include <utility>

#include "inputs/input_files.h"

#include "tools/compare/number_text.h"

namespace linesynth::tools {

std::string weights_file_text(const std::vector<float>& weights) {
    std::string text = std::to_string(weights.size()) + "\r\n";
    for (const float weight : weights) {
        text += shortest_text(weight) + "\r\n";
    }
    return text;
}

std::string scale_file_text(float ref_a, float ref_b) {
    return shortest_text(ref_a) + "\r\n" + shortest_text(ref_b) + "\r\n";
}

std::optional<Refusal> lock_data_directory(const std::string& dir, bool wait,
                                           platform::DirectoryLock& lock) {
    const platform::FileOutcome outcome = platform::lock_directory(dir, wait, lock);
    if (outcome.fault == platform::FileFault::locked) {
        return Refusal{
            RefusalKind::data_files, dir, 0,
            platform::fault_text(outcome) + "; nothing was written (--wait waits for it)"};
    }
    if (outcome) {
        return Refusal{RefusalKind::data_files, dir, 0, platform::fault_text(outcome)};
    }
    return std::nullopt;
}

std::string backup_name(const std::string& dir, const std::string& name) {
    std::string backup = name + ".bak";
    for (int number = 1; platform::entry_exists(dir + backup); ++number) {
        backup = name + ".bak." + std::to_string(number);
    }
    return backup;
}

namespace {

// What a replacement has done so far: the new files staged beside the old,
// the old bytes read, the backups made.
struct Replacement {
    std::vector<platform::StagedFile> staged;
    std::vector<std::optional<std::string>> old_bytes;  // none for a new file
    std::vector<std::string> made_backups;              // paths
};

// Every failure before the renames leaves the directory as it was.
Refusal undo(Replacement& replacement, const platform::FileOutcome& outcome) {
    for (platform::StagedFile& file : replacement.staged) {
        platform::discard_staged(file);
    }
    for (const std::string& backup : replacement.made_backups) {
        platform::remove_file(backup);
    }
    return Refusal{RefusalKind::data_files, {}, 0, platform::fault_text(outcome)};
}

// Stages every new file and reads the old bytes of those it replaces.
platform::FileOutcome stage_files(const std::string& dir, const std::vector<NewDataFile>& files,
                                  Replacement& replacement) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = dir + files[i].name;
        if (auto outcome = platform::stage_file(path, files[i].text, replacement.staged[i])) {
            return outcome;
        }
        if (!platform::entry_exists(path)) {
            continue;  // a new file: nothing to keep
        }
        std::optional<std::string>& old = replacement.old_bytes[i];
        old.emplace();
        if (auto outcome =
                platform::read_whole_file(path, std::numeric_limits<std::size_t>::max(), *old)) {
            return outcome;
        }
    }
    return {};
}

// A new backup of each old file, listed in `replaced`.
platform::FileOutcome make_backups(const std::string& dir, const std::vector<NewDataFile>& files,
                                   Replacement& replacement, std::vector<ReplacedFile>& replaced) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::optional<std::string>& old = replacement.old_bytes[i];
        if (!old) {
            replaced.push_back({files[i].name, ""});
            continue;
        }
        const std::string backup = backup_name(dir, files[i].name);
        if (auto outcome = platform::create_new_file(dir + backup, *old, dir + files[i].name)) {
            return outcome;
        }
        replacement.made_backups.push_back(dir + backup);
        replaced.push_back({files[i].name, backup});
    }
    return {};
}

// The journal of the renames to come; the staged files are then kept when
// the process ends, for the next writer to complete the renames.
platform::FileOutcome write_journal(const std::string& dir, const std::vector<NewDataFile>& files,
                                    const Replacement& replacement) {
    std::string lines;
    for (std::size_t i = 0; i < files.size(); ++i) {
        lines += replacement.staged[i].temporary.substr(dir.size()) + "\t" + files[i].name + "\n";
    }
    if (auto outcome = platform::create_new_file(dir + journal_file_name, lines)) {
        return outcome;
    }
    for (const platform::StagedFile& file : replacement.staged) {
        platform::keep_staged(file);
    }
    return {};
}

// The files before `failed` as they were: the old bytes again, a new file
// removed; the files after it left unstaged.
void put_back(const std::string& dir, const std::vector<NewDataFile>& files,
              Replacement& replacement, std::size_t failed) {
    for (std::size_t earlier = 0; earlier < failed; ++earlier) {
        const std::optional<std::string>& old = replacement.old_bytes[earlier];
        if (old) {
            platform::replace_file(dir + files[earlier].name, *old);
        } else {
            platform::remove_file(dir + files[earlier].name);
        }
    }
    for (std::size_t later = failed + 1; later < files.size(); ++later) {
        platform::discard_staged(replacement.staged[later]);
    }
}

// The renames, one by one; when one fails, those done are put back and the
// backups kept.
std::optional<Refusal> rename_files(const std::string& dir, const std::vector<NewDataFile>& files,
                                    Replacement& replacement, std::vector<ReplacedFile>& replaced,
                                    bool journalled) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const auto outcome = platform::commit_staged(replacement.staged[i])) {
            put_back(dir, files, replacement, i);
            replaced.clear();
            if (journalled) {
                platform::remove_file(dir + journal_file_name);
            }
            return Refusal{RefusalKind::data_files,
                           {},
                           0,
                           platform::fault_text(outcome) + "; the backups are kept"};
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Refusal> replace_data_files(const std::string& dir,
                                          const std::vector<NewDataFile>& files,
                                          std::vector<ReplacedFile>& replaced) {
    replaced.clear();
    Replacement replacement{std::vector<platform::StagedFile>(files.size()),
                            std::vector<std::optional<std::string>>(files.size()),
                            {}};
    if (const auto outcome = stage_files(dir, files, replacement)) {
        return undo(replacement, outcome);
    }
    if (const auto outcome = make_backups(dir, files, replacement, replaced)) {
        return undo(replacement, outcome);
    }
    // Several files are renamed one by one: the journal lets the next writer
    // complete what a killed process left half done.
    const bool journalled = files.size() > 1;
    if (journalled) {
        if (const auto outcome = write_journal(dir, files, replacement)) {
            return undo(replacement, outcome);
        }
    }
    if (auto refused = rename_files(dir, files, replacement, replaced, journalled)) {
        return refused;
    }
    if (journalled) {
        platform::remove_file(dir + journal_file_name);
    }
    return std::nullopt;
}

JournalOutcome finish_interrupted_replacement(const std::string& dir) {
    const std::string journal = dir + journal_file_name;
    JournalOutcome result;
    if (!platform::entry_exists(journal)) {
        return result;
    }
    std::string lines;
    constexpr std::size_t journal_limit = std::size_t{64} * 1024;
    if (const auto outcome = platform::read_whole_file(journal, journal_limit, lines)) {
        result.refused = Refusal{RefusalKind::data_files, journal, 0,
                                 platform::fault_text(outcome) + "; nothing was written"};
        return result;
    }
    std::size_t start = 0;
    while (start < lines.size()) {
        std::size_t end = lines.find('\n', start);
        end = end == std::string::npos ? lines.size() : end;
        const std::string line = lines.substr(start, end - start);
        start = end + 1;
        const std::size_t tab = line.find('\t');
        const std::string temporary = line.substr(0, tab);
        const std::string name = tab == std::string::npos ? "" : line.substr(tab + 1);
        // Only a fit's own files and their own temporaries: a journal can
        // move nothing else.
        const bool known = (name == weights_file_name || name == scale_file_name) &&
                           temporary.rfind(name + ".new-", 0) == 0 &&
                           temporary.find_first_of("/\\") == std::string::npos;
        if (!known) {
            std::string text = journal;
            text += " names ";
            text += line;
            text += ", not a temporary of a fit's file; nothing was written";
            result.refused = Refusal{RefusalKind::data_files, journal, 0, std::move(text)};
            return result;
        }
        if (!platform::entry_exists(dir + temporary)) {
            continue;  // renamed before the process ended
        }
        platform::StagedFile staged{dir + name, dir + temporary};
        if (const auto outcome = platform::commit_staged(staged)) {
            result.refused = Refusal{RefusalKind::data_files, journal, 0,
                                     platform::fault_text(outcome) + "; " + journal + " is kept"};
            return result;
        }
        result.done += (result.done.empty() ? "" : ", ") + name;
    }
    platform::remove_file(journal);
    if (!result.done.empty()) {
        result.done = "completed an interrupted replacement: " + result.done;
    }
    return result;
}

}  // namespace linesynth::tools
