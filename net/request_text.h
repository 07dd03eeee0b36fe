#pragma once
// The text of a request: its header lines and the path as it goes on the
// wire. (The pieces tests see are declared in http_client.h, http_detail.)
// Only for use inside this folder.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace yhz::http_internal {

// The request methods by the index a caller gives.
inline constexpr std::array<const char*, 8> kMethodNames = {
    "GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
inline constexpr int kGet = 0;
inline constexpr int kPost = 1;
inline constexpr int kHead = 2;

// Whether one of the lines starts with `name` (lower case), in any case.
bool hasHeaderLine(const std::vector<std::string>& lines, std::string_view name);
// The non-empty lines of a header text, CR LF or LF apart.
std::vector<std::string> headerLines(std::string_view headerText);
// Bytes a URL may not carry as they are (controls, space, non-ASCII) sent
// percent-encoded, as a browser does; every other byte as it is, so that a
// path and query the caller encoded stay exactly as given.
std::string encodePath(std::string_view path);
// The text up to its first line break.
std::string cutAtLineBreak(std::string text);
// "https://host:443" of an address.
std::string requestOrigin(std::string_view address);

}  // namespace yhz::http_internal
