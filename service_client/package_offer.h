#pragma once
// Whether an update the service publishes may be taken. The service signs,
// with a key that never leaves the people who publish, one statement naming
// the package, its version, its size and its SHA-256; the program holds the
// public half (a build setting per profile) and takes only a package so
// signed, of a version above its own. Anyone who can answer in the service's
// place can publish nothing the program will start.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service_client/service_info.h"

namespace yhz {

enum class OfferVerdict {
    Take,          // signed by the key, a newer version
    Unsigned,      // no signature, size or digest, or no key to check with
    BadSignature,  // a signature the key did not make, or of other facts
    NotNewer,      // a version that is not above the program's (or no version)
};

// What the signature vouches for: the download is held to exactly these.
struct SignedPackage {
    std::int64_t size = -1;
    std::string sha256;  // 64 lower-case hex digits
};

struct OfferJudgement {
    OfferVerdict verdict = OfferVerdict::Unsigned;
    SignedPackage package;  // filled for Take only
};

// `publicKeyHex` is the Ed25519 public key, 64 hex digits; "" when the build
// has none, which refuses every offer.
OfferJudgement judgeOffer(const ServiceInfo& info, std::string_view programVersion,
                          std::string_view publicKeyHex);

// Dotted decimal versions ("2.1.12"): negative, zero or positive as `a` is
// below, equal to or above `b`, missing parts counting 0; nullopt when
// either is no such version.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

// The key this build trusts (the profile's).
std::string_view trustedUpdateKey();

}  // namespace yhz
