#include "tools/pages/page_files.h"

#include <limits>
#include <string>
#include <utility>

#include "inputs/input_files.h"
#include "tools/compare/input_digest.h"
#include "tools/files/digest.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {

std::optional<Refusal> digest_page_files(const ComparisonRequest& request,
                                         const Comparison& comparison,
                                         std::vector<ReportFile>& files) {
    std::vector<std::pair<std::string, std::string>> listed;  // (name shown, bytes)
    for (const std::string& name : input_file_names(comparison.data->parameters.set_count)) {
        std::string bytes;
        if (const platform::FileOutcome outcome = platform::read_whole_file(
                request.dir + name, std::numeric_limits<std::size_t>::max(), bytes)) {
            return Refusal{RefusalKind::input_file, {}, 0, platform::fault_text(outcome)};
        }
        listed.emplace_back(name, std::move(bytes));
    }
    if (!request.mask_file.empty()) {
        listed.emplace_back(request.mask_file, comparison.mask_bytes);
    }
    if (!request.sigma_file.empty()) {
        listed.emplace_back(request.sigma_file, comparison.sigma_bytes);
    }
    for (const auto& [name, bytes] : listed) {
        const auto digest = platform::digest_bytes(bytes);
        if (!digest) {
            return Refusal{RefusalKind::input_file, {}, 0, "cannot compute the digest of " + name};
        }
        files.push_back({name, digest->size, hexadecimal(digest->sha256)});
    }
    return std::nullopt;
}

}  // namespace linesynth::tools
