#pragma once
// Plate text files: one plate per line. Exports are GBK with CR LF after
// every line; imports take what editors write (see text/text_decoding.h).

#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "plates/plate_store.h"

namespace yhz {

class MessageBoxes;

// The pieces of a file's bytes between CR LF pairs, the bytes taken up to the
// first zero byte. A lone CR or LF is not a line end; an empty piece after the
// last CR LF is dropped, other empty lines stay.
std::vector<std::string> splitPlateLines(std::string_view bytes);

// Larger files are refused rather than read: a plate list is far smaller.
inline constexpr std::uintmax_t kImportLimit = std::uintmax_t{64} << 20;

enum class ImportFailure {
    None,
    Refused,    // not a regular file, or larger than kImportLimit
    ReadError,  // could not be opened, or a read failed part way
};

struct ImportResult {
    size_t appended = 0;
    ImportFailure failure = ImportFailure::None;
};

// Appends one row per line: Id = its 0-based position in the list, the plate
// trimmed of outer spaces, the date "由外部导入", unchecked, status 0. The
// file may be GBK, UTF-8 with or without a byte-order mark, or UTF-16 with
// one; lines end at CR LF or LF alone, and the text ends at its first zero
// character. A stop ends the import between chunks; a read error keeps the
// rows appended before it.
ImportResult importPlates(const std::filesystem::path& file, PlateStore& plates,
                          std::stop_token stop = {});

// Tells the user why an import failed; says nothing when it did not.
void reportImport(const ImportResult& result, const std::filesystem::path& file,
                  MessageBoxes& messages);

enum class ExportRule {
    Checked,    // "导出选中"
    Available,  // status 1: "导出未选号牌"
    Failed,     // status neither 1 nor 2: "导出失败号码"
};

// The file's content: the plate of every row the rule selects, each with CR LF.
std::string exportText(const PlateStore& plates, ExportRule rule);

// Each plate followed by CR LF: the content of every plate file.
std::string plateFileText(const std::vector<std::string>& plates);

// Writes `bytes` into a new file beside `file`, flushes it to the disk and
// renames it into place, so that the name holds the old content or all of the
// new one, never a part. False, with the old file untouched, on any failure.
bool writeFileWhole(const std::filesystem::path& file, std::string_view bytes);

// The name with ".txt" appended unless it holds ".txt" anywhere (case matters).
std::filesystem::path completeTextFileName(const std::filesystem::path& chosen);

// Writes the selected plates to the completed name, replacing a file there,
// then confirms "已导出到>" + the path, or reports that the write failed.
// Returns whether the file was written.
bool exportPlates(const PlateStore& plates, ExportRule rule, const std::filesystem::path& chosen,
                  MessageBoxes& messages);

}  // namespace yhz
