// The weights file that a fit suggests, and the locked, all-or-nothing
// replacement of data files in the data directory with numbered backups.
//
// The sequence of `fit --write` (and of any command that rewrites data files):
//   platform::DirectoryLock lock;
//   if (auto refused = lock_data_directory(dir, wait, lock)) ...  // first of all
//   ... load the directory, fit ...
//   std::vector<ReplacedFile> done;
//   if (auto refused = replace_data_files(dir, {{"synthesis.txt", text}}, done)) ...
// (refused as RefusalKind::data_files; the lock's refusal names the directory)
//   done[0].backup -> "synthesis.txt.bak" (or ".bak.1", ... when taken)
// The lock is held from before the first reading to after the last rename, so
// that two writers never interleave; a run that reads meanwhile sees each file
// either old or new, whole, as the rename guarantees.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/compare/refusal.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {

// The set count on the first record, then one weight per record, each the
// shortest text that reads back as the same 32-bit real; every record ends in
// CR LF like the other files of the data directory:
//   weights 0.5f, 0.3f -> "2\r\n0.5\r\n0.3\r\n"
std::string weights_file_text(const std::vector<float>& weights);

// The scale file: ref_a, then ref_b, one record each, the shortest exact
// texts, CR LF:
//   1.03125f, 0.0f -> "1.03125\r\n0\r\n"
std::string scale_file_text(float ref_a, float ref_b);

// Locks the data directory `dir` (ending in its separator) for the whole
// read-fit-replace sequence. Without `wait` a directory locked by another
// writer is refused at once:
//   "/d/ is locked by another linesynth-tools --write; nothing was written
//    (--wait waits for it)"
std::optional<Refusal> lock_data_directory(const std::string& dir, bool wait,
                                           platform::DirectoryLock& lock);

// The first free backup name of `name`: "NAME.bak", else "NAME.bak.1",
// "NAME.bak.2", ...: a backup is never overwritten, so that the weights set by
// hand stay in the first one whatever the later writes.
std::string backup_name(const std::string& dir, const std::string& name);

struct NewDataFile {
    std::string name;  // in the data directory, e.g. "synthesis.txt"
    std::string text;  // its new bytes
};

struct ReplacedFile {
    std::string name;
    std::string backup;  // its backup's name in the same directory; "" when it was new
};

// Replaces the files of `dir` named in `files`, all or none, under the lock of
// lock_data_directory: each existing file must be a regular file that is not
// read-only (else refused, nothing touched); every new file is staged first,
// then each old file is copied to a new backup (backup_name), then the new
// files are renamed into place. When a rename fails after others succeeded,
// those are put back from the old bytes. The result is the refusal of the
// failing step; `replaced` lists the backups on success.
//
// Several files are renamed under a journal, journal_file_name in `dir`,
// written (whole, as a new file) after the backups and removed after the last
// rename; one line per file, its temporary and its name, separated by a tab:
//   "qdqd.txt.new-Ab12Cd\tqdqd.txt\n"
// A process killed between the renames leaves the journal and the temporaries
// still to be renamed, and finish_interrupted_replacement completes them.
std::optional<Refusal> replace_data_files(const std::string& dir,
                                          const std::vector<NewDataFile>& files,
                                          std::vector<ReplacedFile>& replaced);

// The journal of replace_data_files.
inline constexpr char journal_file_name[] = "linesynth-tools.journal";

// Under the lock of lock_data_directory, before anything is read: completes
// the renames of an interrupted replace_data_files from its journal (each
// temporary still there takes its file's place; the backups were made before
// the journal), then removes the journal, so that the files are again both
// new or both old. Only the data files a fit writes and their own temporaries
// are taken from a journal. The result is what was done, for standard error,
// or a refusal when the journal cannot be read or completed:
//   no journal                          -> {} (nothing done, nothing to say)
//   journal naming qdqd.txt's temporary -> "completed an interrupted replacement: qdqd.txt"
struct JournalOutcome {
    std::string done;                // "" when there was nothing to complete
    std::optional<Refusal> refused;  // the journal could not be completed
};
JournalOutcome finish_interrupted_replacement(const std::string& dir);

}  // namespace linesynth::tools
