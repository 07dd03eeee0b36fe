#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

#include "package_signing/digest.h"
#include "package_signing/hex.h"
#include "support/temp_dir.h"

namespace yhz {
namespace {

TEST(PackageSigning, HexIsReadOnlyWhenEveryCharacterIsADigitPair) {
    using namespace std::string_literals;
    const struct {
        std::string hex;
        std::optional<std::string> bytes;
    } cases[] = {
        {"", ""s},
        {"00ff7A", "\x00\xff\x7a"s},
        {"0", std::nullopt},
        {"0g", std::nullopt},
        {"+1", std::nullopt},
        {"00\0"s
         "0",
         std::nullopt},
        {"0 ", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bytesOfHex(c.hex), c.bytes) << c.hex;
    }
    EXPECT_EQ(lowerHex("\x00\xff\x7a"s), "00ff7a");
}

TEST(PackageSigning, FileDigestIsTheSizeAndSha256OfOneRead) {
    const testing::TempDir dir("package-signing");
    const std::string bytes(200 * 1024, 'x');
    std::ofstream((dir.path() / "p.zip").string(), std::ios::binary) << bytes;
    const std::optional<FileDigest> digest = fileDigest((dir.path() / "p.zip").string());
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(digest->size, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(digest->sha256, sha256Hex(bytes));
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(fileDigest((dir.path() / "missing.zip").string()).has_value());
}

}  // namespace
}  // namespace yhz
