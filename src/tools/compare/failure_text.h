// One line for each way the run's first stage can refuse a data directory,
// as the companion reports it after "linesynth-tools: ":
//   READ failure        -> "/d/continum.txt, record 3: end of file reached during read [F6501]"
//   OPEN failure        -> "/d/vlt.txt: the file or its directory is not found [F6416]"
//   floating-point      -> "floating-point error: divide by zero [M6103]"
//   calibration         -> "unusable calibration: the flux to level conversion refuses it"
//   too many rows       -> "/d/FDftn.txt: 10001 rows, more than the tables hold (10000)"
//   too many sets       -> "/d/synthesis.txt: 11 component sets, more than there are (10)"
#pragma once

#include <string>

#include "base/run_end.h"

namespace linesynth::tools {

std::string failure_text(const RunFailure& failure);

}  // namespace linesynth::tools
