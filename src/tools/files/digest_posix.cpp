// POSIX implementation of the digests, with OpenSSL's libcrypto for the hash.
#include <openssl/evp.h>

#include <memory>

#include "tools/files/digest.h"

namespace linesynth::platform {
namespace {

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::optional<FileDigest> digest_bytes(std::string_view bytes) {
    const std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) {
        return std::nullopt;
    }
    FileDigest result;
    result.size = bytes.size();
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), result.sha256.data(), &length) != 1 ||
        length != result.sha256.size()) {
        return std::nullopt;
    }
    return result;
}

}  // namespace linesynth::platform
