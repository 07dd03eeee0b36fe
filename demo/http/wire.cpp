#include "demo/http/wire.h"

#include <algorithm>
#include <cctype>

#include "demo/http/http_support.h"

namespace yhz::web {

namespace http = boost::beast::http;

namespace {

constexpr std::size_t kFilePiece = 64 * 1024;

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

void FileSliceBody::writer::init(boost::beast::error_code& ec) {
    ec = {};
    if (!body_ || !body_->file) {
        ec = http::error::short_read;
        return;
    }
    body_->file->clear();
    body_->file->seekg(static_cast<std::streamoff>(body_->offset));
    if (!*body_->file)
        ec = http::error::short_read;
}

boost::optional<std::pair<FileSliceBody::writer::const_buffers_type, bool>>
FileSliceBody::writer::get(boost::beast::error_code& ec) {
    ec = {};
    const std::uint64_t left = body_->length - sent_;
    if (left == 0)
        return boost::none;
    piece_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, kFilePiece)));
    body_->file->read(piece_.data(), static_cast<std::streamsize>(piece_.size()));
    const auto got = static_cast<std::size_t>(body_->file->gcount());
    if (got == 0) {
        // The file shrank under the reply: end the connection rather than
        // send a body shorter than announced.
        ec = http::error::short_read;
        return boost::none;
    }
    sent_ += got;
    return std::make_pair(boost::asio::const_buffer(piece_.data(), got), sent_ < body_->length);
}

Request toRequest(http::request<http::string_body>&& message, std::string remoteAddress) {
    Request req;
    req.method = std::string(message.method_string());
    req.target = std::string(message.target());
    // The path as routes name it: "%2E" is ".".
    req.path = decodeLenient(std::string_view(req.target).substr(0, req.target.find('?')), false);
    for (const auto& field : message)
        req.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    req.body = std::move(message.body());
    req.remoteAddress = std::move(remoteAddress);
    return req;
}

void writeHead(http::response_header<>& head, const Response& res, const ReplyEnd& end) {
    head.version(11);
    head.result(static_cast<unsigned>(res.status));
    Fields fields = res.headers;
    const std::uint64_t size = res.bodySize();
    fields.emplace_back("Content-Length", std::to_string(size));
    if (size > 0 && !res.header("Content-Type"))
        fields.emplace_back("Content-Type", "text/plain");
    if (end.keepAlive) {
        fields.emplace_back("Keep-Alive", "timeout=" + std::to_string(end.idleSeconds) +
                                              ", max=" + std::to_string(end.maxRequests));
    } else {
        fields.emplace_back("Connection", "close");
    }
    std::stable_sort(fields.begin(), fields.end(), [](const auto& a, const auto& b) {
        return lowered(a.first) < lowered(b.first);
    });
    for (const auto& [name, value] : fields)
        head.insert(name, value);
}

StringReply refusalReply(Response res) {
    StringReply reply;
    reply.version(11);
    reply.result(static_cast<unsigned>(res.status));
    const std::string* type = res.header("Content-Type");
    reply.insert(http::field::content_type, type ? *type : "text/plain; charset=utf-8");
    reply.insert(http::field::content_length, std::to_string(res.body.size()));
    if (const std::string* retry = res.header("Retry-After"))
        reply.insert(http::field::retry_after, *retry);
    reply.insert(http::field::connection, "close");
    reply.body() = std::move(res.body);
    return reply;
}

}  // namespace yhz::web
