#include "net/transfer_callbacks.h"

#include "platform/files.h"

namespace yhz::http_internal {

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    // Counted here because the size limit option is only checked against a
    // declared length.
    if (t->body.size() + n > t->limits->maxBodyBytes) {
        t->overLimit = true;
        return 0;
    }
    t->body.append(data, n);
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.substr(0, 5) == "HTTP/") {
        CookieJar set = collectSetCookies(t->headers);
        if (!set.empty()) {
            t->earlierCookies.push_back(std::move(set));
        }
        t->headers.clear();
    }
    if (line.empty()) {
        return n;
    }
    if (t->headers.size() + line.size() + 2 > t->limits->maxHeaderBytes) {
        t->overLimit = true;
        return 0;
    }
    t->headers.append(line);
    t->headers += "\r\n";
    return n;
}

size_t onFileBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<FileTransfer*>(user);
    const size_t n = size * count;
    if (!t->started) {
        // The first body byte comes after the final reply's headers: its
        // status and length are settled now.
        t->started = true;
        long code = 0;
        curl_easy_getinfo(t->handle, CURLINFO_RESPONSE_CODE, &code);
        t->status = static_cast<int>(code);
        curl_off_t length = -1;
        curl_easy_getinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        t->announced = length;
        if (t->status != 200) {
            t->refused = true;
            return 0;
        }
        if (length >= 0 && t->args->onTotal) {
            t->args->onTotal(length);
        }
    }
    if (static_cast<std::uint64_t>(t->received) + n > t->limits->maxBodyBytes) {
        t->refused = true;
        return 0;
    }
    if (!platform::writeWholeFile(t->fd, data, n)) {
        t->writeFailed = true;
        return 0;
    }
    t->received += static_cast<std::int64_t>(n);
    if (t->args->onReceived) {
        t->args->onReceived(t->received);
    }
    return n;
}

}  // namespace yhz::http_internal
