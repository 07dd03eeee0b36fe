#pragma once
// ZIP archives made in the tests with minizip's writer, entry by entry, with
// the names, modes and flags a test needs (also ones no packer should make).

#include <string>
#include <vector>

namespace yhz::test {

struct ZipEntry {
    std::string name;  // stored as it is
    std::string content;
    // A Unix mode with its type bits (0100755, 0120777 for a link), recorded
    // as made on Unix; 0 records the entry as made on DOS, without a mode.
    unsigned mode = 0100644;
    bool utf8Flag = true;
    // Stored with a checksum that does not match the content.
    bool badChecksum = false;
};

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries);

}  // namespace yhz::test
