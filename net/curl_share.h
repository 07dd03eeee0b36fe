#pragma once
// A libcurl share handle for the kinds of data given, with a lock of its own
// per kind, so that handles on different threads may use it at once. Only
// for use inside this folder: it names libcurl's types.

#include <curl/curl.h>

#include <array>
#include <initializer_list>
#include <mutex>

namespace yhz {

class CurlShare {
public:
    explicit CurlShare(std::initializer_list<curl_lock_data> kinds);
    ~CurlShare();
    CurlShare(const CurlShare&) = delete;
    CurlShare& operator=(const CurlShare&) = delete;

    // nullptr when libcurl could not make one.
    CURLSH* share() const { return share_; }

private:
    static std::mutex& mutexFor(void* self, curl_lock_data data);
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void unlock(CURL*, curl_lock_data data, void* self);

    CURLSH* share_;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

}  // namespace yhz
