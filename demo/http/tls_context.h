#pragma once
// Inside the engine: what a TlsContext holds. Only the engine's own files
// include this.

#include <boost/asio/ssl/context.hpp>

#include "demo/http/http_server.h"

namespace yhz::web {

struct TlsContext::Impl {
    boost::asio::ssl::context context{boost::asio::ssl::context::tls_server};
};

}  // namespace yhz::web
