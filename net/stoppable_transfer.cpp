#include "net/stoppable_transfer.h"

#include <memory>

namespace yhz::http_internal {
namespace {

struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

}  // namespace

CURLcode performStoppable(CURL* h, const std::stop_token& stop, CURLM* multi) {
    if (multi == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    if (curl_multi_add_handle(multi, h) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    bool finished = false;
    {
        // Destroyed before the multi handle: its destructor waits for a wake
        // that is running on the stopping thread.
        const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
        int running = 1;
        while (!stop.stop_requested()) {
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (running == 0) {
                finished = true;
                break;
            }
            if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
        }
    }
    if (finished) {
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
                result = msg->data.result;
            }
        }
    }
    curl_multi_remove_handle(multi, h);
    return result;
}

CURLcode performStoppable(CURL* h, const std::stop_token& stop) {
    const MultiHandle multi(curl_multi_init());
    return performStoppable(h, stop, multi.get());
}

}  // namespace yhz::http_internal
