// linesynth: builds a synthetic spectrum from the files of the data directory,
// compares it with the observed one and reports the result. It takes no
// arguments; any that are given are ignored.
#include "run/entry.h"

int main() {
    return linesynth::run_linesynth();
}
