// The run: thirteen fixed steps from the weights file to the normal stop.
#pragma once

namespace linesynth {

// Performs the whole run on the files of the data directory. Never returns
// normally: it ends with stop() or one of the error stops.
void run_sequence();

}  // namespace linesynth
