// A run folder that reaches into the companion's files/ folder: the
// include_order check must refuse it.
#include "tools/files/whole_files.h"
