// The numbered failures that end a run with the run-time error report, and
// the message text of each.
#pragma once

#include <string>
#include <string_view>

namespace linesynth {

// Failures of reading, opening and writing files (reported with the letter F).
enum class Failure : int {
    integer_range = 6100,      // integer value outside the 32-bit range
    integer_syntax = 6101,     // invalid character in an integer value
    double_range = 6102,       // real value outside the double-precision range
    real_syntax = 6103,        // invalid real value
    single_range = 6104,       // real value outside the single-precision range
    second_radix_mark = 6302,  // a second "#" in an integer value
    radix_range = 6303,        // a radix outside 2 to 36
    read_error = 6500,         // the operating system failed a read
    end_of_file = 6501,        // the file ended while a read still needed characters
    zero_repeat = 6502,        // a repeat count below 1
    second_repeat = 6503,      // a second repeat count before the first one's value
    quoted_number = 6504,      // quoted or parenthesised value given for a number
    open_invalid = 6412,       // the opening request was refused as invalid
    open_denied = 6414,        // access denied, or the file held by another process
    open_exists = 6415,        // the file to be created exists already
    open_not_found = 6416,     // the file or its directory is not found
    open_too_many = 6417,      // too many files open
    write_denied = 6421,       // writing denied, or the file region locked
    disk_full = 6422,          // no space left for the file
};

// Floating-point faults of the run's arithmetic (reported with the letter M).
enum class MathFault : int {
    invalid = 6101,         // an invalid operation such as 0 / 0
    divide_by_zero = 6103,  // a non-zero value divided by zero
    overflow = 6104,        // a result too large for its destination
};

std::string_view failure_message(Failure failure);

// "invalid", "divide by zero" or "overflow".
std::string_view fault_kind(MathFault fault);

// The message line of a floating-point fault, as the run's error report and
// the companion give it:
//   MathFault::divide_by_zero -> "floating-point error: divide by zero"
std::string fault_message(MathFault fault);

}  // namespace linesynth
