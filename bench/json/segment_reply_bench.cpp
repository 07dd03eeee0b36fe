// Reading a released-segment reply of 1000 entries the way the retrieval does,
// beside a bare parse of the same text.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>

#include "json/script_json.h"
#include "text/encoding.h"

namespace {

constexpr int kEntries = 1000;

// The reply as it comes off the wire (UTF-8).
const std::string& replyUtf8() {
    static const std::string text = [] {
        std::string s = R"({"code":"1","message":"成功","data":{"list":{"totalCount":)" +
                        std::to_string(kEntries) + R"(,"pageSize":1000,"content":[)";
        for (int k = 0; k < kEntries; ++k) {
            if (k > 0) {
                s += ',';
            }
            s += R"({"xh":)" + std::to_string(k + 1) + R"(,"subhd":"粤B)" +
                 std::to_string(10000 + k).substr(0, 3) + R"(**","tfrq":"2024-03-)" +
                 std::to_string(10 + k % 18) +
                 R"( 09:30:00","glbm":"440100000400","hpzl":"02",)"
                 R"("hdsl":100,"syrs":)" +
                 std::to_string(k % 100) + R"(,"bz":"自编号段"})";
        }
        s += "]}}}";
        return s;
    }();
    return text;
}

// The same reply after the retrieval's conversion to the program's texts.
const std::string& replyGbk() {
    static const std::string text = yhz::utf8ToLocal(replyUtf8());
    return text;
}

void retrievalRead(benchmark::State& state) {
    const std::string& text = replyGbk();
    for (auto _ : state) {
        yhz::ScriptJson reply;
        if (!reply.parse(text)) {
            state.SkipWithError("parse failed");
            break;
        }
        yhz::ScriptJson data = reply.getObject("data");
        yhz::ScriptJson list = data.getObject("list");
        const long total = std::atol(list.getText("totalCount").c_str());
        const long n = list.count("content");
        size_t bytes = 0;
        for (long k = 0; k < n; ++k) {
            const std::string row = "content[" + std::to_string(k) + "].";
            bytes += list.getText(row + "subhd").size();
            bytes += list.getText(row + "tfrq").size();
        }
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(retrievalRead)->Unit(benchmark::kMicrosecond);

void bareOrderedParse(benchmark::State& state) {
    const std::string& text = replyUtf8();
    for (auto _ : state) {
        auto value = nlohmann::ordered_json::parse(text, nullptr, false);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(bareOrderedParse)->Unit(benchmark::kMicrosecond);

void bareParse(benchmark::State& state) {
    const std::string& text = replyUtf8();
    for (auto _ : state) {
        auto value = nlohmann::json::parse(text, nullptr, false);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(bareParse)->Unit(benchmark::kMicrosecond);

}  // namespace
