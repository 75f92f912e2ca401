#include "textio/text_unit.h"

#include <algorithm>
#include <cstring>

#include "base/run_end.h"

namespace linesynth {
namespace {

Failure open_failure(platform::OpenFailure failure) {
    switch (failure) {
        case platform::OpenFailure::denied:
            return Failure::open_denied;
        case platform::OpenFailure::exists:
            return Failure::open_exists;
        case platform::OpenFailure::not_found:
            return Failure::open_not_found;
        case platform::OpenFailure::too_many:
            return Failure::open_too_many;
        case platform::OpenFailure::none:
        case platform::OpenFailure::invalid:
        // Only the companion's read-only opening refuses a file that is not
        // regular; it tells the user so itself (tools/compare).
        case platform::OpenFailure::not_regular:
            break;
    }
    return Failure::open_invalid;
}

[[noreturn]] void fail_write(const TextUnit& unit, platform::IoFailure failure,
                             std::string_view statement) {
    fail_file(failure == platform::IoFailure::no_space ? Failure::disk_full : Failure::write_denied,
              statement, unit.path);
}

// Writes the filled part of the block at its offset; the next block follows it.
// A file that opened for reading only fails here, when its first block goes
// out, unless a cut failed before (write_bytes).
void write_out_block(TextUnit& unit, std::string_view statement) {
    if (unit.block_fill == 0) {
        return;
    }
    if (!unit.writable) {
        fail_file(Failure::write_denied, statement, unit.path);
    }
    const auto failure =
        platform::write_at(unit.file, unit.block_offset, unit.block.data(), unit.block_fill);
    if (failure != platform::IoFailure::none) {
        fail_write(unit, failure, statement);
    }
    unit.block_offset += unit.block_fill;
    unit.block_fill = 0;
}

}  // namespace

TextUnit::~TextUnit() {
    if (!file) {
        return;
    }
    if (writable && block_fill > 0) {
        platform::write_at(file, block_offset, block.data(), block_fill);
    }
    platform::close(file);
}

void open_file(TextUnit& unit, const std::string& path, Access access, platform::Intent intent) {
    const platform::OpenedFile opened = access == Access::read_only
                                            ? platform::open_for_reading(path)
                                            : platform::open_exclusive(path, intent);
    unit.path = path;
    if (opened.failure != platform::OpenFailure::none) {
        fail_file(open_failure(opened.failure), "OPEN", path);
    }
    unit.file = opened.handle;
    unit.writable = opened.writable;
    unit.block_fill = 0;
    unit.record = RecordState{};
    if (access == Access::append) {
        // Records go after the last byte; there is nothing to cut.
        unit.block_offset = platform::file_size(opened.handle);
        unit.written = true;
    } else {
        // An existing regular file keeps its bytes until the first write cuts
        // it; a new file, a device or a FIFO has nothing to cut.
        unit.block_offset = 0;
        unit.written = opened.created || !opened.regular;
    }
    attach_reader(unit.reader, path, opened.handle);
}

void open_output(TextUnit& unit, const std::string& path, Output output, Access access) {
    if (output == Output::files) {
        open_file(unit, path, access);
        return;
    }
    unit.path = path;
    unit.rehearsal = true;
    unit.record = RecordState{};
}

void close_file(TextUnit& unit) {
    if (!unit.file) {
        return;
    }
    write_out_block(unit, "CLOSE");
    platform::close(unit.file);
    unit.file = platform::FileHandle{};
    detach_reader(unit.reader);
}

void write_bytes(TextUnit& unit, std::string_view bytes) {
    if (unit.rehearsal) [[unlikely]] {
        return;
    }
    if (!unit.written) {
        if (!unit.writable) {
            fail_file(Failure::write_denied, "WRITE", unit.path);
        }
        const auto failure = platform::truncate(unit.file, unit.block_offset);
        if (failure != platform::IoFailure::none) {
            fail_write(unit, failure, "WRITE");
        }
        unit.written = true;
    }
    while (!bytes.empty()) {
        const std::size_t room = TextUnit::block_size - unit.block_fill;
        const std::size_t n = std::min(room, bytes.size());
        std::memcpy(unit.block.data() + unit.block_fill, bytes.data(), n);
        unit.block_fill += n;
        bytes.remove_prefix(n);
        if (unit.block_fill == TextUnit::block_size) {
            write_out_block(unit, "WRITE");
        }
    }
}

}  // namespace linesynth
