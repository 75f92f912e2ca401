// Windows implementation of the digest and file-replacement part of the
// platform layer, with the system's BCrypt for the hash.
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

std::string reason(DWORD error) {
    char text[512] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, text, sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == '.' || result.back() == ' ')) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(error) : result;
}

}  // namespace

std::optional<Sha256Digest> sha256_file(const std::string& path) {
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
    }
    Sha256Digest digest{};
    if (!BCRYPT_SUCCESS(
            ::BCryptFinishHash(hash.hash, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}

std::optional<std::string> replace_file(const std::string& target, std::string_view bytes) {
    // A name of our own beside the target: the move then stays on one volume,
    // and a name taken by another writer is skipped.
    std::string temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target + ".new-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(attempt);
        handle = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS || attempt == 99) {
                return "cannot create " + temporary + ": " + reason(error);
            }
        }
    }
    HandleCloser file{handle};
    const auto abandon = [&](std::string what) -> std::optional<std::string> {
        const DWORD error = ::GetLastError();
        ::CloseHandle(file.handle);
        file.handle = INVALID_HANDLE_VALUE;
        ::DeleteFileA(temporary.c_str());
        return what + " " + temporary + ": " + reason(error);
    };
    while (!bytes.empty()) {
        DWORD done = 0;
        const DWORD chunk =
            static_cast<DWORD>(bytes.size() > 0x10000000 ? 0x10000000 : bytes.size());
        if (!::WriteFile(file.handle, bytes.data(), chunk, &done, nullptr) || done == 0) {
            return abandon("cannot write");
        }
        bytes.remove_prefix(done);
    }
    if (!::FlushFileBuffers(file.handle)) {
        return abandon("cannot flush");
    }
    ::CloseHandle(file.handle);
    file.handle = INVALID_HANDLE_VALUE;
    if (!::MoveFileExA(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileA(temporary.c_str());
        return "cannot rename " + temporary + " to " + target + ": " + reason(error);
    }
    return std::nullopt;
}

}  // namespace linesynth::platform
