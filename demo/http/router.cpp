#include "demo/http/router.h"

namespace yhz::web {

namespace {

void plainErrorPage(std::string_view, Response& res) {
    res.setContent("error " + std::to_string(res.status) + "\n", "text/plain; charset=utf-8");
}

}  // namespace

Router::Router() : errorPage_(plainErrorPage) {}

void Router::get(std::string path, Handler handler) {
    get_[std::move(path)] = std::move(handler);
}

void Router::post(std::string path, Handler handler) {
    post_[std::move(path)] = std::move(handler);
}

void Router::preRouting(PreRouting hook) {
    preRouting_ = std::move(hook);
}

void Router::errorPage(ErrorPage page) {
    errorPage_ = page ? std::move(page) : ErrorPage(plainErrorPage);
}

Response Router::dispatch(const Request& request) const {
    return answer(request.path, [&](Response& res) {
        if (preRouting_ && preRouting_(request, res))
            return;
        const auto& table = request.method == "POST" ? post_ : get_;
        const bool known =
            request.method == "GET" || request.method == "HEAD" || request.method == "POST";
        const auto found = known ? table.find(request.path) : table.end();
        if (found == table.end()) {
            res.status = 404;
        } else {
            found->second(request, res);
        }
    });
}

Response Router::resume(const Response::Deferred& deferred, std::string_view path) const {
    return answer(path, [&](Response& res) { deferred.then(res); });
}

Response Router::answer(std::string_view path, const std::function<void(Response&)>& fill) const {
    Response res;
    try {
        fill(res);
    } catch (...) {
        res = Response{};
        res.status = 500;
        res.setContent("internal error\n", "text/plain; charset=utf-8");
    }
    if (res.status >= 400 && res.bodySize() == 0 && !res.deferred)
        errorPage_(path, res);
    return res;
}

Response Router::refusal(int status, std::string_view path) const {
    Response res;
    res.status = status;
    errorPage_(path, res);
    return res;
}

}  // namespace yhz::web
