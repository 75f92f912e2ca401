#include "run/run_sequence.h"

#include "run/stops.h"

namespace linesynth {

void run_sequence() {
    stop();
}

}  // namespace linesynth
