#include "run/entry.h"

#include "platform/platform.h"
#include "run/stops.h"
#include "textio/text_unit.h"

namespace linesynth {

int run_process(const std::function<void()>& body) {
    platform::setup_standard_streams();
    platform::setup_floating_point();
    int status = 0;
    try {
        body();
    } catch (const RunEnd& end) {
        status = end.status;
    }
    if (console().line_open) {
        platform::write_stdout("\r\n");
    }
    return status;
}

}  // namespace linesynth
