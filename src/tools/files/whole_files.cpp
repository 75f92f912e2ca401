// The reports of the whole-file operations, the same on every platform.
#include "tools/files/whole_files.h"

namespace linesynth::platform {

std::string fault_text(const FileOutcome& outcome) {
    const std::string& path = outcome.path;
    switch (outcome.fault) {
        case FileFault::none:
            return "";
        case FileFault::not_regular:
            return path + " is not a regular file; it is left alone";
        case FileFault::read_only:
            return path + " is read-only; it is left alone";
        case FileFault::exists:
            return path + " exists already";
        case FileFault::too_large:
            return path + " is larger than " + std::to_string(option_file_limit >> 20) + " MiB";
        case FileFault::read:
            return "cannot read " + path;
        case FileFault::create:
            return "cannot create a new file beside " + path;
        case FileFault::write:
            return "cannot write " + path;
        case FileFault::rename:
            return "cannot put a new file in the place of " + path;
        case FileFault::locked:
            return path + " is locked by another linesynth-tools --write";
        case FileFault::lock:
            return "cannot lock " + path;
    }
    return "";
}

FileOutcome replace_file(const std::string& target, std::string_view bytes) {
    StagedFile staged;
    if (FileOutcome outcome = stage_file(target, bytes, staged)) {
        return outcome;
    }
    return commit_staged(staged);
}

DirectoryLock::~DirectoryLock() {
    release();
}

AppendedFile::~AppendedFile() {
    close();
}

}  // namespace linesynth::platform
