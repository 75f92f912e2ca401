// The operating system, seen through the few operations the run needs: files
// held for exclusive use, the three standard streams, the command interpreter
// and the floating-point environment. One implementation per platform; nothing
// outside this folder includes a system header. What only the companion needs
// is in headers and libraries of its own (whole_files.h, digest.h), so that the
// run never links it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linesynth::platform {

// An open file of the operating system. Plain value; whoever opened it closes it.
struct FileHandle {
    std::intptr_t native = -1;

    explicit operator bool() const { return native != -1; }
};

// Why an opening failed, in the terms the run reports them.
enum class OpenFailure {
    none,
    invalid,    // the request was refused as invalid
    denied,     // no permission, read-only file system, a directory, or held by another process
    exists,     // the file to be created exists already
    not_found,  // the file's directory is missing
    too_many,   // the process or the system has too many files open
    // open_for_reading only: a FIFO, device or directory, which the
    // companion never reads (a FIFO could block it, a device never end)
    not_regular,
};

struct OpenedFile {
    FileHandle handle;
    OpenFailure failure = OpenFailure::none;
    bool created = false;  // the file did not exist and was created empty
    bool writable = false;
    bool regular = false;  // a regular file (a device or FIFO is never cut)
};

// What the run does with a file it opens. Only a FIFO tells the two apart: a
// FIFO that is an input is opened for reading only, since a process that also
// holds it for writing is a writer of its own FIFO and never sees its end.
enum class Intent {
    output,  // written, perhaps read too: opened for reading and writing
    input,   // only read
};

// Opens `path` for reading and writing, falling back to reading only and then
// to writing only; creates a missing file (through a symbolic link whose target
// is missing: the target, when its directory exists). The file is held for
// exclusive use until close(): another process that holds it makes the opening
// fail with OpenFailure::denied. An input that is a FIFO is opened for reading
// only, and the opening waits for its writer.
OpenedFile open_exclusive(const std::string& path, Intent intent = Intent::output);

// Opens an existing file for reading only; never creates one (a missing file
// is OpenFailure::not_found). The file is held against writers until close():
// other readers may share it, a process that writes it makes the opening fail
// with OpenFailure::denied. Anything but a regular file (a FIFO, a device, a
// directory) is OpenFailure::not_regular, found without waiting or reading.
OpenedFile open_for_reading(const std::string& path);

// Whether `path` names something that is there and is not a regular file
// (links followed): what open_for_reading refuses as not_regular.
bool is_irregular(const std::string& path);

enum class IoFailure {
    none,
    denied,    // writing denied, or the region locked
    no_space,  // the disk or the quota is full
    other,
};

struct ReadResult {
    std::size_t count = 0;  // 0 without failure: end of file
    bool failed = false;
};

// Reads up to `capacity` bytes from the current position onwards.
ReadResult read_some(FileHandle file, char* buffer, std::size_t capacity);

// Writes all `size` bytes at `offset`; partial writes are retried.
IoFailure write_at(FileHandle file, std::uint64_t offset, const char* data, std::size_t size);

// Sets the file's size (the cut of a default opening).
IoFailure truncate(FileHandle file, std::uint64_t size);

// The file's current size: where an appended record goes.
std::uint64_t file_size(FileHandle file);

// Releases the lock and closes the file.
void close(FileHandle file);

// Makes the standard streams safe before the first file is opened: a standard
// stream the process was started without is connected to the null device, so
// that no file the run opens can take its place (a console record would
// otherwise go into a data file, and a reply be read from one). A reader that
// has gone from a pipe makes a write to it fail instead of ending the process.
void setup_standard_streams();

// Standard output and standard error, written unbuffered and whole; a stream
// that cannot take the bytes now is waited for. False when a write failed and
// the rest was dropped: the run ignores it, since its console has nowhere else
// to report to; the companion turns it into its exit status.
bool write_stdout(std::string_view bytes);
bool write_stderr(std::string_view bytes);

// Whether standard error is a terminal (where a progress line may be
// rewritten in place) rather than a file or a pipe.
bool stderr_is_terminal();

// Reads one line from standard input, without its line end (LF or CR LF),
// waiting for it also on a standard input that does not block. False when
// standard input holds no further line.
bool read_stdin_line(std::string& line);

// Runs `command_line` through the platform's command interpreter and waits for
// it. A command that cannot be started (also one too long for the system to
// pass on) or that fails is not reported.
void run_command(const std::string& command_line);

// Round to nearest and 53-bit significands for double arithmetic.
void setup_floating_point();

// Keeps memory that the process frees for its own later allocations instead
// of giving it back to the system at once. A survey allocates and frees the
// same large blocks (a run's store of spectra) for every directory, and
// memory newly taken from the system costs a page fault per page: without
// this, those faults cost more than the directory's own work.
void keep_freed_memory();

// The data directory, ending in its separator: TAVO_DIR when it is set and not
// empty, else the platform's default.
std::string data_directory();

}  // namespace linesynth::platform
