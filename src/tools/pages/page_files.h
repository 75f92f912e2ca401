// The files a page or table lists with their size and SHA-256 digest: those
// the comparison read from the data directory, in the order the run reads
// them, then the mask and sigma files from the bytes the comparison read (so
// that the digest is of what was used, even from a pipe).
#pragma once

#include <optional>
#include <vector>

#include "tools/compare/comparison.h"
#include "tools/compare/refusal.h"
#include "tools/pages/report_page.h"

namespace linesynth::tools {

// An input file that cannot be read again refuses as input_file.
std::optional<Refusal> digest_page_files(const ComparisonRequest& request,
                                         const Comparison& comparison,
                                         std::vector<ReportFile>& files);

}  // namespace linesynth::tools
