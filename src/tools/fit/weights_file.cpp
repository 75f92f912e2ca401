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

std::string scale_file_text(float ref_a, float ref_b) {
    return shortest_text(ref_a) + "\r\n" + shortest_text(ref_b) + "\r\n";
}

std::optional<std::string> replace_data_files(const std::string& dir,
                                              const std::vector<DataFile>& files,
                                              std::string& failed) {
    std::vector<std::string> paths;
    for (const DataFile& file : files) {
        paths.push_back(dir + file.name);
    }
    const auto remove_new = [&] {
        for (const std::string& path : paths) {
            platform::remove_file(path + ".new");
        }
    };
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (!write_whole(paths[k] + ".new", files[k].text)) {
            remove_new();
            failed = paths[k];
            return "cannot write " + paths[k] + ".new";
        }
    }
    for (const std::string& path : paths) {
        if (platform::copy_file(path, path + ".bak") != platform::IoFailure::none) {
            remove_new();
            failed = path;
            return "cannot copy " + path + " to " + path + ".bak";
        }
    }
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (platform::rename_file(paths[k] + ".new", paths[k]) != platform::IoFailure::none) {
            remove_new();
            failed = paths[k];
            std::string report = "cannot rename " + paths[k] + ".new to " + paths[k];
            for (std::size_t done = 0; done < k; ++done) {
                const bool restored = platform::copy_file(paths[done] + ".bak", paths[done]) ==
                                      platform::IoFailure::none;
                report += "; " + paths[done] +
                          (restored ? " is put back as it was"
                                    : " is replaced, its old text is in " + paths[done] + ".bak");
            }
            return report;
        }
    }
    return std::nullopt;
}

std::optional<std::string> replace_weights_file(const std::string& dir, std::string_view text) {
    std::string failed;
    return replace_data_files(dir, {{weights_file_name, std::string(text)}}, failed);
}

}  // namespace linesynth::tools
