// Files the companion reads and writes whole: option files read once into
// memory, outputs put in the place of a target in one rename, backups created
// as new files, and the lock that serialises the writers of one data
// directory; and the one file it writes as it goes, a survey's checkpoint. In the companion's
// files/ folder, which no folder of the run may include: the run never replaces a file. One
// implementation per platform.
//
// Replacing one file (replace_file, or stage_file then commit_staged):
//   1. the target, when it exists, must be a regular file (not a device, FIFO,
//      socket, directory or symbolic link) that is not read-only, else
//      FileFault::not_regular or FileFault::read_only and nothing is touched;
//   2. a temporary "<target>.new-XXXXXX" is created beside it by exclusive
//      creation (never through a link, never an existing file), written,
//      flushed to the device, given the target's permission bits (a new
//      target: those of a new file);
//   3. commit_staged renames it over the target in one step, so that a reader
//      sees either the old file whole or the new one whole.
// On any failure the temporary is removed and the target is as it was.
//
// Replacing several files together (the fit's "synthesis.txt" and "qdqd.txt"):
//   DirectoryLock lock;                            // held to the end
//   lock_directory(dir, wait, lock);               // before reading anything
//   ... read, compute ...
//   stage_file(a, bytes_a, staged_a); stage_file(b, bytes_b, staged_b);
//   create_new_file(backup_a, old_a); ...          // backups: new names only
//   commit_staged(staged_a); commit_staged(staged_b);
//   (discard_staged on every staged file when a step before the commits fails)
// tools/fit/weights_file.h does exactly this for the data directory's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linesynth::platform {

enum class FileFault {
    none,
    not_regular,  // the target is a device, FIFO, socket, directory or link
    read_only,    // the target is there but may not be written
    exists,       // a new file was asked for, and the name is taken
    too_large,    // a file read whole is larger than its limit
    read,         // the file cannot be opened or read
    create,       // no temporary can be created beside the target
    write,        // the temporary cannot be written or flushed
    rename,       // the temporary cannot be put in the target's place
    locked,       // another process holds the directory's lock
    lock,         // the directory cannot be locked at all
};

// The outcome of a whole-file operation: the fault, and the path it concerns.
struct FileOutcome {
    FileFault fault = FileFault::none;
    std::string path;

    explicit operator bool() const { return fault != FileFault::none; }
};

// One line that names the path and what went wrong, without the program name:
//   {not_regular, "/dev/full"}     -> "/dev/full is not a regular file; it is left alone"
//   {read_only, "/d/synthesis.txt"} -> "/d/synthesis.txt is read-only; it is left alone"
//   {too_large, "/m/mask.txt"}      -> "/m/mask.txt is larger than 64 MiB"
//   {locked, "/d/"}                 -> "/d/ is locked by another linesynth-tools --write"
std::string fault_text(const FileOutcome& outcome);

// The largest option file (mask, sigma) read whole: 64 MiB.
constexpr std::size_t option_file_limit = std::size_t{64} << 20;

// Reads the whole of `path` into `bytes`, in one reading (a pipe or FIFO
// works); FileFault::too_large as soon as more than `limit` bytes arrive.
FileOutcome read_whole_file(const std::string& path, std::size_t limit, std::string& bytes);

// Whether any directory entry, a symbolic link included, is called `path`.
bool entry_exists(const std::string& path);

// Removes the directory entry `path` (a file made by this process that is to
// go); a failure is not reported.
void remove_file(const std::string& path);

// A temporary written whole beside its target, waiting for its commit.
struct StagedFile {
    std::string target;
    std::string temporary;  // empty once committed or discarded
};

// Steps 1 and 2 above. On success `staged` holds the temporary.
FileOutcome stage_file(const std::string& target, std::string_view bytes, StagedFile& staged);

// Step 3: renames the temporary over the target. On failure the temporary is
// removed and the target is as it was.
FileOutcome commit_staged(StagedFile& staged);

// Removes the temporary of a staged file that is not to be committed.
void discard_staged(StagedFile& staged);

// Takes a staged file's temporary off the list that an ending signal removes:
// a journal (tools/fit/weights_file.h) now owns it, and the next writer
// completes its rename.
void keep_staged(const StagedFile& staged);

// Set up once at the companion's start (start_companion does it): a write to
// a closed pipe or beyond the file size limit fails as a write, instead of
// ending the process (POSIX ignores SIGPIPE and SIGXFSZ); an interrupt, a
// termination or a hang-up first removes the temporaries still in flight,
// then ends the process as the signal would (Windows: Ctrl+C, Ctrl+Break and
// the console closing).
void guard_the_companion();

// stage_file and commit_staged in one.
FileOutcome replace_file(const std::string& target, std::string_view bytes);

// Creates `target` as a new file holding `bytes`, written whole and flushed
// before it takes the name; FileFault::exists when any entry has the name
// (a link is never followed). Nothing is left behind on failure. The file
// gets the permission bits of `permissions_of` when that names a file (a
// backup is as private as its original), else those of any new file.
FileOutcome create_new_file(const std::string& target, std::string_view bytes,
                            const std::string& permissions_of = "");

// A file written as work goes on (a checkpoint that a later run resumes
// from): created new, never over an existing entry and never through a link,
// then appended to; each append is handed to the system whole, so that a
// process killed after it leaves those bytes in the file.
class AppendedFile {
public:
    AppendedFile() = default;
    AppendedFile(const AppendedFile&) = delete;
    AppendedFile& operator=(const AppendedFile&) = delete;
    ~AppendedFile();
    void close();
    bool is_open() const { return native != -1; }

    std::intptr_t native = -1;
    std::string path;
};

// FileFault::exists when any entry, a link included, has the name;
// FileFault::create when the file cannot be made.
FileOutcome create_appended_file(const std::string& path, AppendedFile& file);

// Writes `bytes` at the end of the file; FileFault::write when they cannot all
// be written.
FileOutcome append_to_file(AppendedFile& file, std::string_view bytes);

// An exclusive lock on a data directory, held until it is released or goes
// away. POSIX locks the directory itself; Windows holds a lock file in it,
// "linesynth-tools.lock", deleted when the lock is released. Renames in the
// directory cannot escape either.
class DirectoryLock {
public:
    DirectoryLock() = default;
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    ~DirectoryLock();
    void release();

    std::intptr_t native = -1;
};

// The name of the Windows lock file inside the directory (see DirectoryLock).
constexpr std::string_view lock_file_name = "linesynth-tools.lock";

// Locks `dir` (ending in its separator; "" the current directory). Without
// `wait`, a lock held by another process is FileFault::locked at once; with
// it, the call waits until that process releases it.
FileOutcome lock_directory(const std::string& dir, bool wait, DirectoryLock& lock);

// `dir` with the separator at its end that file names are appended to:
//   "/data" -> "/data/";  "/data/" -> "/data/";  "" -> "" (the current directory)
std::string directory_path(std::string dir);

}  // namespace linesynth::platform
