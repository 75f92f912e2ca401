// POSIX implementation of the file digests of the platform layer, with
// OpenSSL's libcrypto for the hash.
#include <errno.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <memory>

#include "platform/platform.h"

namespace linesynth::platform {
namespace {

// Closes the descriptor when the scope ends, whichever way it ends.
struct FdCloser {
    int fd = -1;
    explicit FdCloser(int descriptor) : fd(descriptor) {}
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::optional<FileDigest> digest_file(const std::string& path) {
    FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    FileDigest result;
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;  // a directory, a device error, ...
        }
        if (n == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
            return std::nullopt;
        }
        result.size += static_cast<std::uint64_t>(n);
    }
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), result.sha256.data(), &length) != 1 ||
        length != result.sha256.size()) {
        return std::nullopt;
    }
    return result;
}

}  // namespace linesynth::platform
