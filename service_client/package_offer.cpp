#include "service_client/package_offer.h"

#include <openssl/evp.h>

#include <array>
#include <charconv>
#include <memory>
#include <vector>

#include "base/profile.h"
#include "text/encoding.h"

namespace yhz {
namespace {

constexpr std::size_t kKeyBytes = 32;
constexpr std::size_t kSignatureBytes = 64;

std::optional<std::vector<unsigned char>> fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(hex.size() / 2);
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        unsigned value = 0;
        const char* first = hex.data() + 2 * k;
        const auto [end, ec] = std::from_chars(first, first + 2, value, 16);
        if (ec != std::errc() || end != first + 2) {
            return std::nullopt;
        }
        bytes[k] = static_cast<unsigned char>(value);
    }
    return bytes;
}

bool lowerHexOfLength(std::string_view text, std::size_t length) {
    return text.size() == length && text.find_first_not_of("0123456789abcdef") == text.npos;
}

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

bool verified(const std::vector<unsigned char>& key, const std::string& statement,
              const std::string& signature) {
    const std::unique_ptr<EVP_PKEY, KeyFree> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!publicKey || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            signature.size(),
                            reinterpret_cast<const unsigned char*>(statement.data()),
                            statement.size()) == 1;
}

}  // namespace

std::string packageStatement(std::string_view name, std::string_view version, std::int64_t size,
                             std::string_view sha256Hex) {
    return "yunhaizhou update package\nname=" + localToUtf8(name) +
           "\nversion=" + localToUtf8(version) + "\nsize=" + std::to_string(size) +
           "\nsha256=" + std::string(sha256Hex) + "\n";
}

std::optional<int> compareVersions(std::string_view a, std::string_view b) {
    auto parts = [](std::string_view text) -> std::optional<std::vector<unsigned long>> {
        std::vector<unsigned long> out;
        while (true) {
            unsigned long part = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), part);
            if (ec != std::errc() || end == text.data()) {
                return std::nullopt;
            }
            out.push_back(part);
            text.remove_prefix(static_cast<std::size_t>(end - text.data()));
            if (text.empty()) {
                return out;
            }
            if (text.front() != '.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
    };
    const auto left = parts(a);
    const auto right = parts(b);
    if (!left || !right) {
        return std::nullopt;
    }
    for (std::size_t k = 0; k < std::max(left->size(), right->size()); ++k) {
        const unsigned long x = k < left->size() ? (*left)[k] : 0;
        const unsigned long y = k < right->size() ? (*right)[k] : 0;
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

OfferVerdict judgeOffer(const ServiceInfo& info, std::string_view programVersion,
                        std::string_view publicKeyHex) {
    const std::optional<int> order = compareVersions(info.latestVersion, programVersion);
    if (!order || *order <= 0) {
        return OfferVerdict::NotNewer;
    }
    const auto key = fromHex(publicKeyHex);
    std::int64_t size = -1;
    const std::string& sizeText = info.packageSize;
    const auto [end, ec] =
        std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
    const bool complete = key && key->size() == kKeyBytes && ec == std::errc() &&
                          end == sizeText.data() + sizeText.size() && size >= 0 &&
                          lowerHexOfLength(info.packageSha256, 64) &&
                          !info.packageSignature.empty();
    if (!complete) {
        return OfferVerdict::Unsigned;
    }
    const std::string signature = base64Decode(info.packageSignature);
    if (signature.size() != kSignatureBytes) {
        return OfferVerdict::BadSignature;
    }
    const std::string statement =
        packageStatement(info.packageName, info.latestVersion, size, info.packageSha256);
    return verified(*key, statement, signature) ? OfferVerdict::Take : OfferVerdict::BadSignature;
}

std::string_view trustedUpdateKey() {
    return profile::kUpdateKey;
}

}  // namespace yhz
