// How the reader's steps report a failure: nothing when the step succeeded,
// else the failure that ends the read. The reader (record_reader.h) turns it
// into a FileFailure with its file name and record.
#pragma once

#include <optional>

#include "base/failures.h"

namespace linesynth {

using ReadError = std::optional<Failure>;

}  // namespace linesynth
