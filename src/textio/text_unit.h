// A connection to one file, or to standard output (console()).
//
// Opening follows fixed rules: a missing file is created empty (an input file
// too); the file is held for exclusive use while it is connected; a default
// opening keeps the file's bytes until the first write, which cuts the file at
// its start; an "APPEND" opening writes after the last byte. Records collect in
// a 1024-byte block that is written at its offset when full and at close.
// Failures end the run with the F report for OPEN, WRITE or CLOSE. The
// console is a TextUnit too (console.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "textio/record_reader.h"

namespace linesynth {

enum class Access {
    default_access,  // read and write; the first write cuts the file
    append,          // "APPEND": records go after the last byte
    read_only,       // the companion's inspection: never creates, never writes
};

// Where the run's writers send their records. A rehearsal lays every record
// out as the run does, and so meets every fault the run would meet on the
// way, but opens nothing and drops the bytes: the companion learns how a run
// would end without touching a file.
enum class Output { files, rehearsal };

// Layout state of the free-form write in progress; reset by begin_record.
struct RecordState {
    int remaining = 79;          // columns still free on the current record
    int pending_blanks = 1;      // blanks owed before the next characters placed
    bool separator_due = false;  // the next numeric item gets one separating blank
};

struct TextUnit {
    static constexpr std::size_t block_size = 1024;

    std::string path;  // as given to open_file
    platform::FileHandle file;
    bool is_console = false;
    bool writable = false;

    std::array<char, block_size> block{};
    std::size_t block_fill = 0;
    std::uint64_t block_offset = 0;  // where block[0] belongs in the file
    bool written = false;            // the connection has entered writing (cut done)
    bool rehearsal = false;          // opened by open_output for a rehearsal: bytes dropped

    RecordState record;

    // Console only: set once a console record has been shown, never cleared.
    bool line_open = false;
    // Console only: the record being laid out, shown whole at its end.
    std::string line;

    RecordReader reader;

    TextUnit() = default;
    TextUnit(const TextUnit&) = delete;
    TextUnit& operator=(const TextUnit&) = delete;
    // A unit still open when its owner goes away (a stop unwinding) is written
    // out and closed; a failure then is not reported, since the run is already
    // ending.
    ~TextUnit();
};

// Connects `unit`, which must not be connected already, to the file at `path`;
// a failure is the F report for OPEN(path). An input says so through `intent`
// (it changes only the opening of a FIFO, see platform.h).
void open_file(TextUnit& unit, const std::string& path, Access access = Access::default_access,
               platform::Intent intent = platform::Intent::output);

// open_file for the run's outputs, or, for a rehearsal, a unit that is
// connected to nothing: records are laid out and dropped, and closing it
// writes nothing.
void open_output(TextUnit& unit, const std::string& path, Output output,
                 Access access = Access::default_access);

// Writes out the block and releases the file; a write failure is F6421/F6422 CLOSE.
void close_file(TextUnit& unit);

// Appends bytes of a record to a file unit's block: cuts the file at the first
// write of a default opening, writes the block at its offset whenever it fills.
// A file that opened for reading only fails (F6421) where its bytes would
// first reach it:
//   default opening: the cut at the first write  -> WRITE
//   append opening (nothing to cut), one record   -> CLOSE, from close_file
//   append opening, a block filled by the writes  -> WRITE
void write_bytes(TextUnit& unit, std::string_view bytes);

}  // namespace linesynth
