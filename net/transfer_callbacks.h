#pragma once
// What libcurl hands a transfer, piece by piece: the reply's header lines and
// its body, kept in memory within the client's bounds, or written to a file.
// Only for use inside this folder.

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/cookies.h"
#include "net/http_client.h"

namespace yhz::http_internal {

struct Transfer {
    const HttpLimits* limits = nullptr;
    std::string body;
    // Header lines of the response being received; a new status line starts
    // a new block, so after a redirect chain only the final answer is left.
    std::string headers;
    // The cookies each earlier answer of a redirect chain set, in chain
    // order: a hop that sets the session must not lose it.
    std::vector<CookieJar> earlierCookies;
    bool overLimit = false;
};

// Write and header callbacks over a Transfer.
size_t onBody(char* data, size_t size, size_t count, void* user);
size_t onHeader(char* data, size_t size, size_t count, void* user);

struct FileTransfer {
    CURL* handle = nullptr;
    const HttpLimits* limits = nullptr;
    const DownloadArgs* args = nullptr;
    int fd = -1;
    Transfer head;  // the header lines of the final reply
    bool started = false;
    // The reply is not the file: a status other than 200, or over the limit.
    bool refused = false;
    bool writeFailed = false;
    int status = 0;
    std::int64_t announced = -1;
    std::int64_t received = 0;
};

// Write callback over a FileTransfer.
size_t onFileBody(char* data, size_t size, size_t count, void* user);

}  // namespace yhz::http_internal
