#include "net/curl_share.h"

namespace yhz {

CurlShare::CurlShare(std::initializer_list<curl_lock_data> kinds) : share_(curl_share_init()) {
    if (share_ == nullptr) {
        return;
    }
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlShare::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlShare::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    for (const curl_lock_data kind : kinds) {
        curl_share_setopt(share_, CURLSHOPT_SHARE, kind);
    }
}

CurlShare::~CurlShare() {
    if (share_ != nullptr) {
        curl_share_cleanup(share_);
    }
}

std::mutex& CurlShare::mutexFor(void* self, curl_lock_data data) {
    auto* owner = static_cast<CurlShare*>(self);
    const auto index = static_cast<std::size_t>(data);
    return owner->mutexes_[index < owner->mutexes_.size() ? index : 0];
}

void CurlShare::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    mutexFor(self, data).lock();
}

void CurlShare::unlock(CURL*, curl_lock_data data, void* self) {
    mutexFor(self, data).unlock();
}

}  // namespace yhz
