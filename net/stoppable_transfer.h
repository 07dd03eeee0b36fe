#pragma once
// One transfer that a stop ends at once. Only for use inside this folder.

#include <curl/curl.h>

#include <stop_token>

namespace yhz::http_internal {

// Runs the transfer of `h` on `multi`, so that a stop can wake the wait at
// once instead of at the next progress call (which libcurl makes only about
// once a second while nothing moves). The multi handle keeps the connection
// when the transfer ends well: give it a lane of a connection pool to keep
// the connection for the next call.
CURLcode performStoppable(CURL* h, const std::stop_token& stop, CURLM* multi);

// The same on a multi handle of its own, whose connection goes with it.
CURLcode performStoppable(CURL* h, const std::stop_token& stop);

}  // namespace yhz::http_internal
