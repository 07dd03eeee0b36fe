#pragma once
// Which handler answers a request: exact paths per method, a hook that may
// answer first, and one error page for every error reply without a body,
// whether a handler or the engine made it.

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "demo/http/message.h"

namespace yhz::web {

using Handler = std::function<void(const Request&, Response&)>;
// Runs before routing; true when it has answered the request itself.
using PreRouting = std::function<bool(const Request&, Response&)>;
// Fills the body of an error reply whose status is set.
using ErrorPage = std::function<void(std::string_view path, Response&)>;

class Router {
public:
    Router();

    void get(std::string path, Handler handler);
    void post(std::string path, Handler handler);
    void preRouting(PreRouting hook);
    void errorPage(ErrorPage page);

    // The reply to a request: HEAD runs the GET handler (the engine sends
    // no body), an unknown path or method is 404, a handler that throws
    // answers 500, and an error reply without a body gets the error page.
    Response dispatch(const Request& request) const;
    // The reply a deferred one becomes, on the same terms.
    Response resume(const Response::Deferred& deferred, std::string_view path) const;
    // An error reply of `status` for a request refused before routing.
    Response refusal(int status, std::string_view path) const;

private:
    Response answer(std::string_view path, const std::function<void(Response&)>& fill) const;

    std::map<std::string, Handler, std::less<>> get_;
    std::map<std::string, Handler, std::less<>> post_;
    PreRouting preRouting_;
    ErrorPage errorPage_;
};

}  // namespace yhz::web
