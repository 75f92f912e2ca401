#include "tools/fit/weights_file.h"

#include "inputs/input_files.h"
#include "platform/platform.h"
#include "tools/compare/number_text.h"

namespace linesynth::tools {
namespace {

bool write_whole(const std::string& path, std::string_view text) {
    const platform::OpenedFile file = platform::create_file(path);
    if (!file.handle) {
        return false;
    }
    const bool written =
        platform::write_at(file.handle, 0, text.data(), text.size()) == platform::IoFailure::none &&
        platform::flush_file(file.handle) == platform::IoFailure::none;
    platform::close(file.handle);
    return written;
}

}  // namespace

std::string weights_file_text(const std::vector<float>& weights) {
    std::string text = std::to_string(weights.size()) + "\r\n";
    for (const float weight : weights) {
        text += shortest_text(weight) + "\r\n";
    }
    return text;
}

std::optional<std::string> replace_weights_file(const std::string& dir, std::string_view text) {
    const std::string path = dir + weights_file_name;
    const std::string fresh = path + ".new";
    const std::string backup = path + ".bak";
    if (!write_whole(fresh, text)) {
        platform::remove_file(fresh);
        return "cannot write " + fresh;
    }
    if (platform::copy_file(path, backup) != platform::IoFailure::none) {
        platform::remove_file(fresh);
        return "cannot copy " + path + " to " + backup;
    }
    if (platform::rename_file(fresh, path) != platform::IoFailure::none) {
        platform::remove_file(fresh);
        return "cannot rename " + fresh + " to " + path;
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
