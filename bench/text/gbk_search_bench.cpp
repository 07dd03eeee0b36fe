// The double-byte-aware search over large GBK texts: its cost must grow
// linearly with the text, as every text operation of the program uses it.

#include <benchmark/benchmark.h>

#include <string>

#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace {

// Mixed Chinese and ASCII, with many second bytes equal to "[" (腫 = C4 5B),
// the case that a byte-wise search would get wrong; the marker sits at the end.
std::string makeText(size_t bytes) {
    std::string text;
    text.reserve(bytes + 16);
    const std::string unit =
        "\xD4\xC1"
        "B12345,\xC4\x5B"
        "x\xBA\xC5"
        "abc ";
    while (text.size() < bytes) {
        text += unit;
    }
    text.resize(bytes);
    text += "[end]";
    return text;
}

void BM_FindText(benchmark::State& state) {
    const std::string text = makeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(yhz::findText(text, "[end]"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindText)->RangeMultiplier(4)->Range(64 << 10, 4 << 20)->Complexity(benchmark::oN);

void BM_FindTextCaseInsensitive(benchmark::State& state) {
    const std::string text = makeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(yhz::findText(text, "[END]", 1, yhz::Case::Insensitive));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindTextCaseInsensitive)
    ->RangeMultiplier(4)
    ->Range(64 << 10, 4 << 20)
    ->Complexity(benchmark::oN);

void BM_TextAfterLast(benchmark::State& state) {
    const std::string text = makeText(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(yhz::textAfterLast(text, ","));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_TextAfterLast)
    ->RangeMultiplier(4)
    ->Range(64 << 10, 4 << 20)
    ->Complexity(benchmark::oN);

}  // namespace
