#pragma once
// Byte-level operations on GBK texts. A byte of 0x80 or above starts a
// two-byte character; every search here steps over such characters whole, so
// a marker is never found inside the second byte of a Chinese character.
// Positions are 1-based byte positions; -1 means "not found".

#include <string>
#include <string_view>
#include <vector>

namespace yhz {

enum class Case { Sensitive, Insensitive };

// First occurrence of `marker` at or after `start` (1-based).
long findText(std::string_view text, std::string_view marker, long start = 1,
              Case mode = Case::Sensitive);
// Last occurrence of `marker`, found by the same forward character scan.
long findLastText(std::string_view text, std::string_view marker, Case mode = Case::Sensitive);

// Lower-cases ASCII A-Z only; both bytes of a two-byte character stay as they are.
std::string toLowerAscii(std::string_view text);

// Replaces every occurrence (character-aware scan, left to right, no overlap).
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// Removes the ASCII space and the full-width space (A1 A1) at both ends.
std::string trimSpaces(std::string_view text);

// Splits at `delimiter`: one empty piece after a final delimiter is dropped,
// every other empty piece is kept. An empty text gives no pieces.
std::vector<std::string> splitText(std::string_view text, std::string_view delimiter);

// Bytes become a text up to their first zero byte.
std::string textUpToZero(std::string_view bytes);

}  // namespace yhz
