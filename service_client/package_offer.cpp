#include "service_client/package_offer.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "base/profile.h"
#include "package_signing/ed25519.h"
#include "package_signing/hex.h"
#include "package_signing/package_statement.h"
#include "text/encoding.h"

namespace yhz {
namespace {

bool lowerHexOfLength(std::string_view text, std::size_t length) {
    return text.size() == length && text.find_first_not_of("0123456789abcdef") == text.npos;
}

}  // namespace

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

OfferJudgement judgeOffer(const ServiceInfo& info, std::string_view programVersion,
                          std::string_view publicKeyHex) {
    const std::optional<int> order = compareVersions(info.latestVersion, programVersion);
    if (!order || *order <= 0) {
        return {OfferVerdict::NotNewer, {}};
    }
    const std::optional<std::string> key = bytesOfHex(publicKeyHex);
    std::int64_t size = -1;
    const std::string& sizeText = info.packageSize;
    const auto [end, ec] =
        std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
    const bool complete = key && key->size() == kEd25519KeyBytes && ec == std::errc() &&
                          end == sizeText.data() + sizeText.size() && size >= 0 &&
                          lowerHexOfLength(info.packageSha256, 64) &&
                          !info.packageSignature.empty();
    if (!complete) {
        return {OfferVerdict::Unsigned, {}};
    }
    const std::string signature = base64Decode(info.packageSignature);
    if (signature.size() != kEd25519SignatureBytes) {
        return {OfferVerdict::BadSignature, {}};
    }
    // Signed in UTF-8; the program holds the name and version in GBK.
    const std::string statement = packageStatement(
        localToUtf8(info.packageName), localToUtf8(info.latestVersion), size, info.packageSha256);
    if (!verifyEd25519(*key, statement, signature)) {
        return {OfferVerdict::BadSignature, {}};
    }
    return {OfferVerdict::Take, {size, info.packageSha256}};
}

std::string_view trustedUpdateKey() {
    return profile::kUpdateKey;
}

}  // namespace yhz
