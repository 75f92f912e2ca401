#include "tools/compare/input_digest.h"

#include <filesystem>

#include "tools/files/digest.h"
#include "tools/files/whole_files.h"

namespace linesynth::tools {

std::string hexadecimal(const std::array<unsigned char, 32>& digest) {
    constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

std::string files_digest(const std::string& dir, const std::vector<std::string>& names) {
    std::string listing;
    for (const std::string& name : names) {
        const std::string path = dir + name;
        const std::filesystem::path entry(std::u8string(path.begin(), path.end()));
        std::error_code ignored;
        listing += name;
        // The kind is asked before any opening: a FIFO opened for reading
        // would wait for a writer.
        if (!std::filesystem::exists(std::filesystem::symlink_status(entry, ignored))) {
            listing += " absent\n";
            continue;
        }
        if (!std::filesystem::is_regular_file(entry, ignored)) {
            listing += " not_regular\n";
            continue;
        }
        std::string bytes;
        std::optional<platform::FileDigest> digest;
        if (!platform::read_whole_file(path, platform::option_file_limit, bytes)) {
            digest = platform::digest_bytes(bytes);
        }
        listing += digest ? " " + std::to_string(digest->size) + " " + hexadecimal(digest->sha256)
                          : std::string(" unreadable");
        listing += '\n';
    }
    const std::optional<platform::FileDigest> digest = platform::digest_bytes(listing);
    return digest ? hexadecimal(digest->sha256) : "";
}

}  // namespace linesynth::tools
