// Windows implementation of the digests, with the system's BCrypt for the hash.
#include "platform/windows_api.h"
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include "tools/files/digest.h"

namespace linesynth::platform {
namespace {

struct HashCloser {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    HashCloser() = default;
    HashCloser(const HashCloser&) = delete;
    HashCloser& operator=(const HashCloser&) = delete;
    ~HashCloser() {
        if (hash != nullptr) {
            ::BCryptDestroyHash(hash);
        }
        if (algorithm != nullptr) {
            ::BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
};

}  // namespace

std::optional<FileDigest> digest_bytes(std::string_view bytes) {
    HashCloser hash;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&hash.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            ::BCryptCreateHash(hash.algorithm, &hash.hash, nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    // BCryptHashData takes at most 4 GiB - 1 at a time.
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const ULONG chunk = static_cast<ULONG>(rest.size() > 0x40000000 ? 0x40000000 : rest.size());
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(rest.data()));
        if (!BCRYPT_SUCCESS(::BCryptHashData(hash.hash, data, chunk, 0))) {
            return std::nullopt;
        }
        rest.remove_prefix(chunk);
    }
    FileDigest result;
    result.size = bytes.size();
    if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.hash, result.sha256.data(),
                                           static_cast<ULONG>(result.sha256.size()), 0))) {
        return std::nullopt;
    }
    return result;
}

}  // namespace linesynth::platform
