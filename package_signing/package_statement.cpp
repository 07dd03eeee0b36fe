#include "package_signing/package_statement.h"

namespace yhz {

std::string packageStatement(std::string_view name, std::string_view version, std::int64_t size,
                             std::string_view sha256Hex) {
    return "yunhaizhou update package\nname=" + std::string(name) +
           "\nversion=" + std::string(version) + "\nsize=" + std::to_string(size) +
           "\nsha256=" + std::string(sha256Hex) + "\n";
}

}  // namespace yhz
