#include "base/run_end.h"

namespace linesynth {

void end_run(RunFailure failure) {
    throw RunEnd{std::move(failure)};
}

void fail_file(Failure failure, std::string_view statement, std::string_view file_name,
               std::int64_t record) {
    end_run(FileFailure{failure, std::string(statement), std::string(file_name), record});
}

void fail_math(MathFault fault) {
    end_run(MathFailure{fault});
}

}  // namespace linesynth
