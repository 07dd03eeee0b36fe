#include "text/text_decoding.h"

#include "text/encoding.h"

namespace yhz {
namespace {

unsigned char byteAt(std::string_view bytes, size_t k) {
    return static_cast<unsigned char>(bytes[k]);
}

// How many bytes at the end form the valid beginning of a longer UTF-8
// sequence; those must wait for the rest of the character.
size_t incompleteUtf8Tail(std::string_view bytes) {
    const size_t n = bytes.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        const unsigned char b = byteAt(bytes, n - back);
        if (b >= 0x80 && b < 0xC0) {
            continue;
        }
        Utf8Check check;
        check.feed(bytes.substr(n - back));
        const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 1;
        return check.valid() && length > back ? back : 0;
    }
    return 0;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::optional<ByteOrderMark> byteOrderMark(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF")) {
        return ByteOrderMark{TextEncoding::Utf8, 3};
    }
    if (head.starts_with("\xFF\xFE")) {
        return ByteOrderMark{TextEncoding::Utf16Le, 2};
    }
    if (head.starts_with("\xFE\xFF")) {
        return ByteOrderMark{TextEncoding::Utf16Be, 2};
    }
    return std::nullopt;
}

void Utf8Check::feed(std::string_view bytes) {
    for (size_t k = 0; k < bytes.size() && valid_ && !ended_; ++k) {
        const unsigned char b = byteAt(bytes, k);
        if (need_ > 0) {
            if (b < lo_ || b > hi_) {
                valid_ = false;
            }
            lo_ = 0x80;
            hi_ = 0xBF;
            --need_;
            continue;
        }
        if (b == 0) {
            ended_ = true;
            continue;
        }
        if (b < 0x80) {
            continue;
        }
        nonAscii_ = true;
        if (b >= 0xC2 && b <= 0xDF) {
            need_ = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need_ = 2;
            lo_ = b == 0xE0 ? 0xA0 : 0x80;
            hi_ = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need_ = 3;
            lo_ = b == 0xF0 ? 0x90 : 0x80;
            hi_ = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            valid_ = false;
        }
    }
}

bool validUtf8(std::string_view bytes) {
    Utf8Check check;
    check.feed(bytes);
    return check.valid() && !check.ended() && check.complete();
}

std::string GbkDecoder::decode(std::string_view bytes, bool last) {
    if (ended_) {
        return {};
    }
    if (from_ == TextEncoding::Gbk) {
        const size_t zero = bytes.find('\0');
        ended_ = zero != std::string_view::npos;
        return std::string(bytes.substr(0, zero));
    }
    std::string pending = std::move(held_);
    held_.clear();
    pending.append(bytes);
    return from_ == TextEncoding::Utf8 ? fromUtf8(pending, last) : fromUtf16(pending, last);
}

std::string GbkDecoder::fromUtf8(std::string_view bytes, bool last) {
    const size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) {
        ended_ = true;
        bytes = bytes.substr(0, zero);
        last = true;
    }
    const size_t tail = last ? 0 : incompleteUtf8Tail(bytes);
    held_.assign(bytes.substr(bytes.size() - tail));
    return utf8ToLocal(bytes.substr(0, bytes.size() - tail));
}

std::string GbkDecoder::fromUtf16(std::string_view bytes, bool last) {
    const bool little = from_ == TextEncoding::Utf16Le;
    auto unitAt = [&](size_t k) -> char32_t {
        const unsigned first = byteAt(bytes, k);
        const unsigned second = byteAt(bytes, k + 1);
        return little ? (second << 8 | first) : (first << 8 | second);
    };
    std::string utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    size_t k = 0;
    for (; k + 1 < bytes.size(); k += 2) {
        const char32_t unit = unitAt(k);
        if (unit == 0) {
            ended_ = true;
            return utf8ToLocal(utf8);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (k + 3 >= bytes.size()) {
                if (!last) {
                    break;  // its partner may come with the next block
                }
                appendUtf8(utf8, kReplacement);
                continue;
            }
            const char32_t next = unitAt(k + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                k += 2;
            } else {
                appendUtf8(utf8, kReplacement);
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            appendUtf8(utf8, kReplacement);
        } else {
            appendUtf8(utf8, unit);
        }
    }
    if (last) {
        if (k < bytes.size()) {
            appendUtf8(utf8, kReplacement);  // an odd byte at the end
        }
    } else {
        held_.assign(bytes.substr(k));
    }
    return utf8ToLocal(utf8);
}

std::string decodeToGbk(std::string_view bytes) {
    TextEncoding encoding = TextEncoding::Gbk;
    if (const std::optional<ByteOrderMark> mark = byteOrderMark(bytes)) {
        encoding = mark->encoding;
        bytes.remove_prefix(mark->size);
    } else {
        Utf8Check check;
        check.feed(bytes);
        if (check.isUtf8()) {
            encoding = TextEncoding::Utf8;
        }
    }
    return GbkDecoder(encoding).decode(bytes, true);
}

}  // namespace yhz
