// Windows implementation of the file digests of the platform layer, with the
// system's BCrypt for the hash.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <array>

#include "platform/platform.h"

namespace linesynth::platform {
namespace {

struct HandleCloser {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit HandleCloser(HANDLE opened) : handle(opened) {}
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;
    ~HandleCloser() {
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
};

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

std::optional<FileDigest> digest_file(const std::string& path) {
    HandleCloser file{::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    HashCloser hash;
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&hash.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            ::BCryptCreateHash(hash.algorithm, &hash.hash, nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    FileDigest result;
    std::array<unsigned char, 65536> buffer;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.handle, buffer.data(), static_cast<DWORD>(buffer.size()), &n,
                        nullptr)) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (!BCRYPT_SUCCESS(::BCryptHashData(hash.hash, buffer.data(), n, 0))) {
            return std::nullopt;
        }
        result.size += n;
    }
    if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.hash, result.sha256.data(),
                                           static_cast<ULONG>(result.sha256.size()), 0))) {
        return std::nullopt;
    }
    return result;
}

}  // namespace linesynth::platform
