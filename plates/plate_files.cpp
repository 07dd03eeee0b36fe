#include "plates/plate_files.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>

#include "base/window_access.h"
#include "platform/files.h"
#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/text_decoding.h"

namespace yhz {
namespace {

// Rows go into the store in chunks: few lock round trips, yet a viewer sees
// the list grow while a large file is read.
constexpr size_t kImportChunk = 8192;

// Bytes are read a block at a time; only one block and the unfinished line
// are held besides the rows.
constexpr size_t kReadBlock = size_t{1} << 20;

class InputFile {
public:
    explicit InputFile(const std::filesystem::path& file)
        // Opening a pipe returns at once, to be refused.
        : fd_(platform::openFile(platform::utf8Text(file), platform::OpenMode::Read)) {}
    ~InputFile() {
        if (fd_ >= 0) {
            platform::closeFile(fd_);
        }
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    std::optional<ImportFailure> refusal() const {
        const std::optional<std::uint64_t> size = platform::regularFileSize(fd_);
        if (!size || *size > kImportLimit) {
            return ImportFailure::Refused;
        }
        return std::nullopt;
    }

    // Fills `block` with the bytes at `offset`, none at the end of the file or
    // of the import limit. False on a read error.
    bool read(std::uintmax_t offset, std::string& block) const {
        const std::uintmax_t left = offset < kImportLimit ? kImportLimit - offset : 0;
        block.resize(static_cast<size_t>(std::min<std::uintmax_t>(kReadBlock, left)));
        size_t filled = 0;
        while (filled < block.size()) {
            const long long got =
                platform::readFileAt(fd_, block.data() + filled, block.size() - filled,
                                     static_cast<std::uint64_t>(offset + filled));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return false;
            }
            if (got == 0) {
                break;
            }
            filled += static_cast<size_t>(got);
        }
        block.resize(filled);
        return true;
    }

private:
    int fd_;
};

// Whole lines out of GBK text that arrives in pieces. A line ends at CR LF or
// at LF alone; a two-byte character is stepped over whole, but a lead byte
// before CR or LF is a bad byte of its own and never swallows the line end.
class LineCutter {
public:
    void add(std::string_view text) {
        text_.erase(0, lineStart_);
        scan_ -= lineStart_;
        lineStart_ = 0;
        text_.append(text);
    }

    std::optional<std::string_view> next() {
        size_t at = scan_;
        while (at < text_.size()) {
            const auto byte = static_cast<unsigned char>(text_[at]);
            const bool hasNext = at + 1 < text_.size();
            if (byte == '\n') {
                return cut(at, at + 1);
            }
            if (byte == '\r' || byte >= 0x80) {
                if (!hasNext) {
                    break;  // the next piece decides
                }
                const char following = text_[at + 1];
                if (byte == '\r' && following == '\n') {
                    return cut(at, at + 2);
                }
                at += byte >= 0x80 && following != '\r' && following != '\n' ? 2 : 1;
                continue;
            }
            ++at;
        }
        scan_ = at;
        return std::nullopt;
    }

    // What is left after the last line end, at the end of the text.
    std::optional<std::string_view> rest() const {
        if (lineStart_ >= text_.size()) {
            return std::nullopt;
        }
        return std::string_view(text_).substr(lineStart_);
    }

private:
    std::string_view cut(size_t end, size_t next) {
        const std::string_view line = std::string_view(text_).substr(lineStart_, end - lineStart_);
        lineStart_ = next;
        scan_ = next;
        return line;
    }

    std::string text_;
    size_t lineStart_ = 0;
    size_t scan_ = 0;
};

// The encoding and where the text starts: a byte-order mark decides; without
// one, the whole file is checked for UTF-8 first.
std::optional<std::pair<TextEncoding, size_t>> detectEncoding(const InputFile& in,
                                                              std::string& block,
                                                              std::stop_token stop) {
    if (!in.read(0, block)) {
        return std::nullopt;
    }
    if (const std::optional<ByteOrderMark> mark = byteOrderMark(block)) {
        return std::pair{mark->encoding, mark->size};
    }
    Utf8Check check;
    std::uintmax_t offset = 0;
    while (!block.empty() && !check.ended() && !stop.stop_requested()) {
        check.feed(block);
        offset += block.size();
        if (!in.read(offset, block)) {
            return std::nullopt;
        }
    }
    return std::pair{check.isUtf8() ? TextEncoding::Utf8 : TextEncoding::Gbk, size_t{0}};
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

}  // namespace

std::vector<std::string> splitPlateLines(std::string_view bytes) {
    return splitText(textUpToZero(bytes), "\r\n");
}

ImportResult importPlates(const std::filesystem::path& file, PlateStore& plates,
                          std::stop_token stop) {
    ImportResult result;
    const InputFile in(file);
    if (!in.isOpen()) {
        result.failure = ImportFailure::ReadError;
        return result;
    }
    if (const std::optional<ImportFailure> refused = in.refusal()) {
        result.failure = *refused;
        return result;
    }
    std::string block;
    const auto encoding = detectEncoding(in, block, stop);
    if (!encoding) {
        result.failure = ImportFailure::ReadError;
        return result;
    }
    const std::string origin = gbk("由外部导入");
    GbkDecoder decoder(encoding->first);
    LineCutter lines;
    std::vector<PlateRow> chunk;
    auto addRow = [&](std::string_view line) {
        PlateRow& row = chunk.emplace_back();
        row.plate = trimSpaces(line);
        row.date = origin;
    };
    // Rows are handed over a chunk at a time, so that a stop is seen within
    // one chunk's work however long the file is.
    auto handOver = [&] {
        if (chunk.empty()) {
            return;
        }
        result.appended += chunk.size();
        plates.appendAllNumbered(std::move(chunk), 0);
        chunk = {};
        chunk.reserve(kImportChunk);
    };
    chunk.reserve(kImportChunk);
    std::uintmax_t offset = encoding->second;
    bool done = false;
    while (!done && !stop.stop_requested()) {
        if (!in.read(offset, block)) {
            result.failure = ImportFailure::ReadError;
            break;
        }
        offset += block.size();
        const bool last = block.empty() || offset >= kImportLimit;
        lines.add(decoder.decode(block, last));
        done = last || decoder.ended();
        while (const std::optional<std::string_view> line = lines.next()) {
            addRow(*line);
            if (chunk.size() == kImportChunk) {
                handOver();
                if (stop.stop_requested()) {
                    return result;
                }
            }
        }
        if (done) {
            if (const std::optional<std::string_view> line = lines.rest()) {
                addRow(*line);
            }
        }
    }
    handOver();
    return result;
}

void reportImport(const ImportResult& result, const std::filesystem::path& file,
                  MessageBoxes& messages) {
    switch (result.failure) {
        case ImportFailure::None:
            return;
        case ImportFailure::Refused:
            messages.showMessage({gbk("导入失败，只能导入不超过64MB的普通文件>") + pathText(file),
                                  gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Critical});
            return;
        case ImportFailure::ReadError:
            messages.showMessage({gbk("导入失败，无法读取>") + pathText(file), gbk("温馨提示："),
                                  MessageButtons::Ok, MessageIcon::Critical});
            return;
    }
}

std::string plateFileText(const std::vector<std::string>& plates) {
    std::string out;
    for (const std::string& plate : plates) {
        out += plate;
        out += "\r\n";
    }
    return out;
}

bool writeFileWhole(const std::filesystem::path& file, std::string_view bytes) {
    return platform::replaceFileWith(platform::utf8Text(file), bytes);
}

std::string exportText(const PlateStore& plates, ExportRule rule) {
    return plates.read([rule](const PlateStore::Rows& rows) {
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
    // The system's own characters (UTF-16 on Windows), compared as they are.
    const std::filesystem::path::string_type suffix = std::filesystem::path(".txt").native();
    if (chosen.native().find(suffix) != std::filesystem::path::string_type::npos) {
        return chosen;
    }
    std::filesystem::path named = chosen;
    named += suffix;
    return named;
}

bool exportPlates(const PlateStore& plates, ExportRule rule, const std::filesystem::path& chosen,
                  MessageBoxes& messages) {
    const std::string text = exportText(plates, rule);
    const std::filesystem::path target = completeTextFileName(chosen);
    const bool written = writeFileWhole(target, text);
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
