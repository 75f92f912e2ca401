// File digests, for the companion only. They live in the companion's files/
// folder (with the system's cryptography library) so that the run keeps
// depending on the standard library alone. One implementation per platform.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace linesynth::platform {

struct FileDigest {
    std::uint64_t size = 0;                  // bytes read
    std::array<unsigned char, 32> sha256{};  // of those bytes
};

// The size and SHA-256 digest of bytes already read whole (tools/files/
// whole_files.h), so that what a report lists is what was applied; nothing
// when the system's hash fails.
//   "" -> size 0, digest e3b0c44298fc1c14 9afbf4c8996fb924
//                        27ae41e4649b934c a495991b7852b855
std::optional<FileDigest> digest_bytes(std::string_view bytes);

}  // namespace linesynth::platform
