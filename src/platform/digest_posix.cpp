// POSIX implementation of the digest and file-replacement part of the platform
// layer, with OpenSSL's libcrypto for the hash.
#include <errno.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
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

std::string reason(int error) {
    return std::strerror(error);
}

bool write_whole(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::optional<Sha256Digest> sha256_file(const std::string& path) {
    FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
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
    }
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

std::optional<std::string> replace_file(const std::string& target, std::string_view bytes) {
    // A name of our own beside the target: the rename then stays inside one
    // file system, and a name taken by another writer is skipped.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 99)) {
            return "cannot create " + temporary + ": " + reason(errno);
        }
    }
    FdCloser file{fd};
    const auto abandon = [&](std::string what) -> std::optional<std::string> {
        const int error = errno;
        ::unlink(temporary.c_str());
        return what + " " + temporary + ": " + reason(error);
    };
    if (!write_whole(fd, bytes)) {
        return abandon("cannot write");
    }
    if (::fsync(fd) != 0) {
        return abandon("cannot flush");
    }
    file.fd = -1;
    if (::close(fd) != 0) {
        return abandon("cannot close");
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return "cannot rename " + temporary + " to " + target + ": " + reason(error);
    }
    return std::nullopt;
}

}  // namespace linesynth::platform
