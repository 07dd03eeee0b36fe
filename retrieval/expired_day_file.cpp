#include "retrieval/expired_day_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "base/date_time_format.h"
#include "plates/plate_files.h"
#include "platform/files.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

// Longest file name most file systems take, in bytes.
constexpr std::size_t kMaxNameBytes = 255;

bool fitsInAName(std::string_view utf8) {
    if (utf8.empty() || utf8.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            return false;
        }
        switch (c) {
            case '/':
            case '\\':
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

}  // namespace

std::string todayText() {
    return trimSpaces(formatDateTime(std::nullopt, 1, 1));
}

std::optional<std::filesystem::path> expiredDayFilePath(const std::filesystem::path& folder,
                                                        std::string_view date,
                                                        std::string_view glbm,
                                                        std::string_view hpzl) {
    // Checked as the file system will see them: GBK bytes that are not a
    // character become "?" and are refused with it.
    const std::string dateName = localToUtf8(date);
    const std::string glbmName = localToUtf8(glbm);
    const std::string hpzlName = localToUtf8(hpzl);
    if (!fitsInAName(dateName) || !fitsInAName(glbmName) || !fitsInAName(hpzlName)) {
        return std::nullopt;
    }
    const std::string name = dateName + glbmName + hpzlName + ".txt";
    if (name.size() > kMaxNameBytes) {
        return std::nullopt;
    }
    return folder / platform::utf8Path(name);
}

std::optional<std::vector<std::string>> readExpiredDayFile(const std::filesystem::path& file) {
    std::error_code ec;
    // A link is not a file the program wrote; it is replaced on the next write.
    const auto status = std::filesystem::symlink_status(file, ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxDayFileBytes) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    // Never more than the size seen above, even if the file grows meanwhile.
    std::string bytes(static_cast<size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) {
        return std::nullopt;
    }
    return splitText(textUpToZero(bytes), "\r\n");
}

bool writeExpiredDayFile(const std::filesystem::path& file,
                         const std::vector<std::string>& plates) {
    return writeFileWhole(file, plateFileText(plates));
}

}  // namespace yhz
