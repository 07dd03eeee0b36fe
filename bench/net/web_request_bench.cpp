// webRequest against a cpp-httplib server on loopback: one small form POST per
// iteration, from one thread and from two at once.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "net/http_client.h"

namespace {

class LoopbackServer {
public:
    LoopbackServer() {
        server_.Post("/relay", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.body.size() < 200 ? "ok" : "too long", "text/plain");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~LoopbackServer() {
        server_.stop();
        thread_.join();
    }
    std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/relay"; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
};

LoopbackServer& server() {
    static LoopbackServer s;
    return s;
}

void smallPost(benchmark::State& state) {
    const std::string address = server().address();
    const yhz::HttpClient client;
    const std::string form =
        "hphm=%E7%B2%A4B12345&hpzl=02&id=1&Token=0123456789abcdef0123456789abcdef"
        "&hphma=%E7%B2%A4B1&line=1";
    for (auto _ : state) {
        const std::string body = client.webRequest(address, {.method = 1, .formText = form});
        if (body != "ok") {
            state.SkipWithError("unexpected reply");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(smallPost)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(smallPost)->Unit(benchmark::kMicrosecond)->UseRealTime()->Threads(2);

}  // namespace
