#include "base/failures.h"

namespace linesynth {

std::string_view failure_message(Failure failure) {
    switch (failure) {
        case Failure::integer_range:
            return "integer value out of range";
        case Failure::integer_syntax:
            return "invalid character in integer value";
        case Failure::double_range:
            return "real value out of double-precision range";
        case Failure::real_syntax:
            return "invalid real value";
        case Failure::single_range:
            return "real value out of single-precision range";
        case Failure::second_radix_mark:
            return "second radix mark (#) in integer value";
        case Failure::radix_range:
            return "radix outside 2 to 36 in integer value";
        case Failure::read_error:
            return "the system could not read the file";
        case Failure::end_of_file:
            return "end of file reached during read";
        case Failure::zero_repeat:
            return "repeat count below 1";
        case Failure::second_repeat:
            return "second repeat count before the value of the first";
        case Failure::quoted_number:
            return "quoted or parenthesised value given for a number";
        case Failure::open_invalid:
            return "the opening request was refused as invalid";
        case Failure::open_denied:
            return "access to the file denied (or the file is held by another process)";
        case Failure::open_exists:
            return "the file to be created exists already";
        case Failure::open_not_found:
            return "the file or its directory is not found";
        case Failure::open_too_many:
            return "too many files open";
        case Failure::write_denied:
            return "writing to the file denied, or the file region locked";
        case Failure::disk_full:
            return "no space left on the disk";
    }
    return "unknown failure";
}

std::string_view fault_kind(MathFault fault) {
    switch (fault) {
        case MathFault::invalid:
            return "invalid";
        case MathFault::divide_by_zero:
            return "divide by zero";
        case MathFault::overflow:
            return "overflow";
    }
    return "unknown";
}

std::string fault_message(MathFault fault) {
    std::string message = "floating-point error: ";
    message += fault_kind(fault);
    return message;
}

}  // namespace linesynth
