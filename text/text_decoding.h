#pragma once
// Text files from any editor become GBK: the encoding is told from the bytes
// (a byte-order mark, else whether they read as UTF-8) and decoded a block at
// a time, so a large file never needs to be held whole.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace yhz {

enum class TextEncoding { Gbk, Utf8, Utf16Le, Utf16Be };

struct ByteOrderMark {
    TextEncoding encoding;
    size_t size;
};

// The mark `head` starts with, if any (UTF-8, UTF-16 LE or BE).
std::optional<ByteOrderMark> byteOrderMark(std::string_view head);

// Whether bytes fed in pieces read as UTF-8 up to their first zero byte. A
// sequence cut short by the end still counts: an editor may have truncated it.
class Utf8Check {
public:
    void feed(std::string_view bytes);
    bool valid() const { return valid_; }
    // Valid and not plain ASCII: the only case where UTF-8 and GBK differ.
    bool isUtf8() const { return valid_ && nonAscii_; }
    bool ended() const { return ended_ || !valid_; }
    // No sequence waits for more bytes.
    bool complete() const { return need_ == 0; }

private:
    bool valid_ = true;
    bool nonAscii_ = false;
    bool ended_ = false;
    int need_ = 0;
    unsigned char lo_ = 0x80;
    unsigned char hi_ = 0xBF;
};

// The whole of `bytes` is UTF-8: no zero byte, no sequence cut short.
bool validUtf8(std::string_view bytes);

// Decodes consecutive blocks of one text into GBK. Bytes that end a block in
// the middle of a character wait for the next one; `last` flushes them as
// "?". Nothing after a zero character comes out. GBK input passes as it is.
class GbkDecoder {
public:
    explicit GbkDecoder(TextEncoding from) : from_(from) {}
    std::string decode(std::string_view bytes, bool last);
    bool ended() const { return ended_; }

private:
    std::string fromUtf8(std::string_view bytes, bool last);
    std::string fromUtf16(std::string_view bytes, bool last);

    TextEncoding from_;
    std::string held_;
    bool ended_ = false;
};

// The whole-buffer form: mark or detection, then decoding.
std::string decodeToGbk(std::string_view bytes);

}  // namespace yhz
