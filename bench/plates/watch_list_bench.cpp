// The watch list's file at its largest, 10,000 plates: read alone, and read
// into the watch list as the program's start does it (goal: < 100 ms).

#include <benchmark/benchmark.h>

#include <cstdio>

#include "plates/watch_file.h"
#include "query/plate_watch.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace yhz {
namespace {

std::filesystem::path fullWatchFile(const testing::TempDir& dir) {
    std::vector<std::string> plates;
    const std::string province = gbk("粤");
    for (size_t k = 0; k < kMaxWatchedPlates; ++k) {
        char rest[16];
        std::snprintf(rest, sizeof rest, "B%05zu", k);
        // Every other one a new-energy plate, one character longer.
        plates.push_back(province + rest + (k % 2 == 0 ? "" : "D"));
    }
    const std::filesystem::path file = dir.path() / "watch.txt";
    writeWatchFile(file, plates);
    return file;
}

void BM_ReadWatchFile(benchmark::State& state) {
    const testing::TempDir dir("yhz-watch-bench");
    const std::filesystem::path file = fullWatchFile(dir);
    for (auto _ : state) {
        const WatchFileContent content = readWatchFile(file);
        if (content.plates.size() != kMaxWatchedPlates) {
            state.SkipWithError("the file was not read whole");
        }
        benchmark::DoNotOptimize(content);
    }
}
BENCHMARK(BM_ReadWatchFile)->Unit(benchmark::kMillisecond);

void BM_StartWatchWithTenThousandPlates(benchmark::State& state) {
    const testing::TempDir dir("yhz-watch-bench");
    const std::filesystem::path file = fullWatchFile(dir);
    test::RecordingWindow window;
    for (auto _ : state) {
        state.PauseTiming();
        {
            BackgroundTaskOwner tasks;
            QueryRun query(window, tasks,
                           {std::make_shared<PlateStore>(), std::make_shared<CellColourTable>(),
                            std::make_shared<ExpiredPlateSet>()},
                           {});
            WatchServices services;
            services.file = file;
            PlateWatch watch(query, tasks, std::move(services));
            state.ResumeTiming();
            watch.start();
            state.PauseTiming();
            if (watch.store()->rowCount() != static_cast<int>(kMaxWatchedPlates)) {
                state.SkipWithError("the list was not read whole");
            }
            tasks.shutdown();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartWatchWithTenThousandPlates)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace yhz
