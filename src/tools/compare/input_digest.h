// Digests that tell whether a data directory's files are still those a
// result was made from: a survey row keeps the digest of what it read, and a
// later survey keeps the row only while the digest is the same.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace linesynth::tools {

// A SHA-256 digest as 64 lower-case hexadecimal digits:
//   {0x00, 0x1f, 0xa0, ...} -> "001fa0..."
std::string hexadecimal(const std::array<unsigned char, 32>& digest);

// One SHA-256 over the state of each file `dir + name`, in the order given:
// its name with its size and digest, or with "absent" (no entry), "not_regular"
// (a FIFO, device, directory or dangling link: never opened) or "unreadable".
// Any change of a byte, a size, a name's presence or its kind changes the
// digest; empty when the system's hash fails.
std::string files_digest(const std::string& dir, const std::vector<std::string>& names);

}  // namespace linesynth::tools
