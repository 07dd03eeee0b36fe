#pragma once
// Between the handlers' plain messages and Beast's: a parsed request becomes
// a Request, a Response becomes the message that is written. Replies carry
// their headers in the order of their names, with the connection's own
// header last in that order too, as the programs have always sent them.

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/optional.hpp>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "demo/http/message.h"

namespace yhz::web {

// A body read from a file slice in pieces of 64 KiB.
struct FileSliceBody {
    using value_type = std::shared_ptr<FileSlice>;

    static std::uint64_t size(const value_type& body) { return body ? body->length : 0; }

    class writer {
    public:
        using const_buffers_type = boost::asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(const boost::beast::http::header<isRequest, Fields>&, const value_type& body)
            : body_(body) {}

        void init(boost::beast::error_code& ec);
        boost::optional<std::pair<const_buffers_type, bool>> get(boost::beast::error_code& ec);

    private:
        const value_type& body_;
        std::uint64_t sent_ = 0;
        std::string piece_;
    };
};

using StringReply = boost::beast::http::response<boost::beast::http::string_body>;
using FileReply = boost::beast::http::response<FileSliceBody>;
using HeadReply = boost::beast::http::response<boost::beast::http::empty_body>;

// How the connection goes on after a reply.
struct ReplyEnd {
    bool keepAlive = false;
    long idleSeconds = 0;
    std::size_t maxRequests = 0;
};

Request toRequest(boost::beast::http::request<boost::beast::http::string_body>&& message,
                  std::string remoteAddress);

// The head of `res` with its framing headers; `headOnly` for a HEAD request.
void writeHead(boost::beast::http::response_header<>& head, const Response& res,
               const ReplyEnd& end);

// An error reply the engine makes itself, before any handler ran: always
// the last on its connection.
StringReply refusalReply(Response res);

}  // namespace yhz::web
