#include "platform/files.h"

namespace yhz::platform {

std::filesystem::path utf8Path(std::string_view utf8) {
    // A char8_t text is UTF-8 on every system; a plain one would be read in
    // the Windows ANSI code page.
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace yhz::platform
