#include "plates/plate_files.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "base/window_access.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

// Rows go into the store in chunks: few lock round trips, yet a viewer sees
// the list grow while a large file is read.
constexpr size_t kImportChunk = 8192;

bool readWholeFile(const std::filesystem::path& file, std::string& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    out = std::move(buffer).str();
    return true;
}

bool writeWholeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool selected(const PlateRow& row, ExportRule rule) {
    switch (rule) {
        case ExportRule::Checked:
            return row.checked;
        case ExportRule::Available:
            return row.status == static_cast<std::int32_t>(PlateStatus::Available);
        case ExportRule::Failed:
            return row.status != static_cast<std::int32_t>(PlateStatus::Available) &&
                   row.status != static_cast<std::int32_t>(PlateStatus::Occupied);
    }
    return false;
}

std::string pathText(const std::filesystem::path& path) {
    // Paths are UTF-8 bytes here; the message wants GBK.
    const std::u8string utf8 = path.u8string();
    return utf8ToLocal(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

// Where the line that starts at `from` (a character boundary) ends: at its
// CR LF, or at the end of the text. Two-byte characters are stepped over
// whole, as everywhere in the GBK text layer.
size_t lineEnd(std::string_view text, size_t from) {
    size_t at = from;
    while (at < text.size()) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            return at;
        }
        at += static_cast<unsigned char>(text[at]) >= 0x80 ? size_t{2} : size_t{1};
    }
    return text.size();
}

}  // namespace

std::vector<std::string> splitPlateLines(std::string_view bytes) {
    return splitText(textUpToZero(bytes), "\r\n");
}

size_t importPlates(const std::filesystem::path& file, PlateStore& plates, std::stop_token stop) {
    std::string bytes;
    if (!readWholeFile(file, bytes)) {
        return 0;
    }
    std::string_view text(bytes);
    text = text.substr(0, text.find('\0'));
    const std::string origin = gbk("由外部导入");
    // Lines are cut a chunk at a time, so that a stop is seen within one
    // chunk's work however long the file is.
    std::vector<PlateRow> chunk;
    size_t appended = 0;
    size_t at = 0;
    while (at < text.size() && !stop.stop_requested()) {
        chunk.clear();
        chunk.reserve(kImportChunk);
        while (chunk.size() < kImportChunk && at < text.size()) {
            const size_t end = lineEnd(text, at);
            PlateRow& row = chunk.emplace_back();
            row.plate = trimSpaces(text.substr(at, end - at));
            row.date = origin;
            at = end < text.size() ? end + 2 : end;
        }
        appended += chunk.size();
        plates.appendAllNumbered(std::move(chunk), 0);
    }
    return appended;
}

std::string exportText(const PlateStore& plates, ExportRule rule) {
    return plates.read([rule](const std::vector<PlateRow>& rows) {
        std::string out;
        for (const PlateRow& row : rows) {
            if (selected(row, rule)) {
                out += row.plate;
                out += "\r\n";
            }
        }
        return out;
    });
}

std::filesystem::path completeTextFileName(const std::filesystem::path& chosen) {
    const std::string& name = chosen.native();
    if (name.find(".txt") != std::string::npos) {
        return chosen;
    }
    return std::filesystem::path(name + ".txt");
}

bool exportPlates(const PlateStore& plates, ExportRule rule, const std::filesystem::path& chosen,
                  MessageBoxes& messages) {
    const std::string text = exportText(plates, rule);
    const std::filesystem::path target = completeTextFileName(chosen);
    const bool written = writeWholeFile(target, text);
    if (written) {
        messages.showMessage({gbk("已导出到>") + pathText(target), gbk("温馨提示："),
                              MessageButtons::Ok, MessageIcon::Information});
    } else {
        messages.showMessage({gbk("导出失败，无法写入>") + pathText(target), gbk("温馨提示："),
                              MessageButtons::Ok, MessageIcon::Critical});
    }
    return written;
}

}  // namespace yhz
