#include "text/gbk_text.h"

#include <cstring>

namespace yhz {
namespace {

constexpr unsigned char kLeadByteMin = 0x80;

inline bool isLeadByte(char c) {
    return static_cast<unsigned char>(c) >= kLeadByteMin;
}

inline char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool matchesAt(std::string_view text, size_t at, std::string_view marker, Case mode) {
    if (text.size() - at < marker.size()) {
        return false;
    }
    if (mode == Case::Sensitive) {
        return std::memcmp(text.data() + at, marker.data(), marker.size()) == 0;
    }
    for (size_t k = 0; k < marker.size(); ++k) {
        if (foldAscii(text[at + k]) != foldAscii(marker[k])) {
            return false;
        }
    }
    return true;
}

// Advances to the start of the next character.
inline size_t nextChar(std::string_view text, size_t at) {
    return at + (isLeadByte(text[at]) ? 2 : 1);
}

}  // namespace

long findText(std::string_view text, std::string_view marker, long start, Case mode) {
    if (text.empty() || start < 1 || static_cast<size_t>(start) > text.size()) {
        return -1;
    }
    // The scan always begins at byte 1 so that character boundaries are known;
    // matches before `start` are skipped.
    const size_t from = static_cast<size_t>(start - 1);
    if (marker.empty()) {
        return start;
    }
    const char first = mode == Case::Sensitive ? marker.front() : foldAscii(marker.front());
    size_t at = 0;
    while (at < text.size()) {
        if (at >= from) {
            const char c = mode == Case::Sensitive ? text[at] : foldAscii(text[at]);
            if (c == first && matchesAt(text, at, marker, mode)) {
                return static_cast<long>(at) + 1;
            }
        }
        at = nextChar(text, at);
    }
    return -1;
}

long findLastText(std::string_view text, std::string_view marker, Case mode) {
    if (text.empty()) {
        return -1;
    }
    if (marker.empty()) {
        return 1;
    }
    long last = -1;
    size_t at = 0;
    while (at < text.size()) {
        if (matchesAt(text, at, marker, mode)) {
            last = static_cast<long>(at) + 1;
        }
        at = nextChar(text, at);
    }
    return last;
}

std::string toLowerAscii(std::string_view text) {
    std::string out(text);
    for (size_t at = 0; at < out.size(); at = nextChar(out, at)) {
        out[at] = foldAscii(out[at]);
    }
    return out;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        if (matchesAt(text, at, from, Case::Sensitive)) {
            out += to;
            at += from.size();
            continue;
        }
        const size_t next = std::min(nextChar(text, at), text.size());
        out.append(text.substr(at, next - at));
        at = next;
    }
    return out;
}

std::string trimSpaces(std::string_view text) {
    static constexpr std::string_view kWideSpace = "\xA1\xA1";
    size_t begin = 0;
    for (;;) {
        if (begin < text.size() && text[begin] == ' ') {
            ++begin;
        } else if (text.substr(begin, 2) == kWideSpace) {
            begin += 2;
        } else {
            break;
        }
    }
    // From the end the character boundaries are not known; find the last
    // character that is not a space by scanning forward from `begin`.
    size_t end = begin;
    size_t at = begin;
    while (at < text.size()) {
        const size_t next = std::min(nextChar(text, at), text.size());
        const std::string_view ch = text.substr(at, next - at);
        if (ch != " " && ch != kWideSpace) {
            end = next;
        }
        at = next;
    }
    return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> splitText(std::string_view text, std::string_view delimiter) {
    std::vector<std::string> pieces;
    if (text.empty()) {
        return pieces;
    }
    if (delimiter.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t pieceStart = 0;
    size_t at = 0;
    while (at < text.size()) {
        if (matchesAt(text, at, delimiter, Case::Sensitive)) {
            pieces.emplace_back(text.substr(pieceStart, at - pieceStart));
            at += delimiter.size();
            pieceStart = at;
            continue;
        }
        at = nextChar(text, at);
    }
    if (pieceStart < text.size()) {
        pieces.emplace_back(text.substr(pieceStart));
    }
    return pieces;
}

std::string textUpToZero(std::string_view bytes) {
    const size_t zero = bytes.find('\0');
    return std::string(zero == std::string_view::npos ? bytes : bytes.substr(0, zero));
}

}  // namespace yhz
