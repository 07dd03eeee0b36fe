#pragma once
// The day file of the expired plates: one day's retrieval for one office and
// plate type, so that later presses of that day read it instead of asking
// the site. GBK, one plate per line, CR LF after every line.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

// A day file larger than this is not ours: it is neither trusted nor read.
inline constexpr std::size_t kMaxDayFileBytes = std::size_t{64} * 1024 * 1024;

// Today's local date as "yyyy-MM-dd".
std::string todayText();

// `folder` + "/" + date + glbm + hpzl + ".txt" (the texts GBK). glbm and hpzl
// come from a web page: nullopt when the name they make could leave the
// folder or cannot be a file name (a separator, "..", a drive colon, a
// control or reserved character, an empty value, a name too long).
std::optional<std::filesystem::path> expiredDayFilePath(const std::filesystem::path& folder,
                                                        std::string_view date,
                                                        std::string_view glbm,
                                                        std::string_view hpzl);

// The lines of the file; nullopt when there is no regular file of that name
// or it cannot be read whole.
std::optional<std::vector<std::string>> readExpiredDayFile(const std::filesystem::path& file);

// Writes every plate followed by CR LF into a temporary file beside `file`
// and renames it into place, so that the name holds the old content or the
// whole new one, never a part.
bool writeExpiredDayFile(const std::filesystem::path& file, const std::vector<std::string>& plates);

}  // namespace yhz
