// The plate list's work on a million rows: expansion into the store, the
// menu operations, import and export.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "base/control_names.h"
#include "plates/expansion.h"
#include "plates/list_operations.h"
#include "plates/plate_files.h"
#include "query/cell_colours.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

constexpr int kRows = 1'000'000;

void fill(PlateStore& store, int rows) {
    std::vector<PlateRow> all(static_cast<size_t>(rows));
    const std::string province = gbk("粤");
    for (int k = 0; k < rows; ++k) {
        PlateRow& row = all[static_cast<size_t>(k)];
        // Every plate twice, so that "去除重复" halves the list.
        char digits[16];
        std::snprintf(digits, sizeof digits, "B%05d", (k / 2) % 100000);
        row.plate = province + digits + std::to_string(k / 200000);
        row.date = "2024-06-01 00:00:00";
        row.checked = k % 2 == 1;
    }
    store.appendAllNumbered(std::move(all), 1);
}

void expandTenThousandSegments(benchmark::State& state, bool everyPattern) {
    test::RecordingWindow window;
    window.edits[std::string(control::kIncludeEdit)] = "8,68,69";
    window.edits[std::string(control::kExcludeEdit)] = "4,37";
    window.lists[std::string(control::kRegionChoice)].items = {gbk("广东广州-粤A")};
    window.lists[std::string(control::kRegionChoice)].selection = 0;
    if (everyPattern) {
        for (const std::string_view choice :
             {control::kPatternTriple, control::kPatternQuadruple, control::kPatternPairs,
              control::kPatternAlternation, control::kPatternMirror, control::kPatternStraightUp,
              control::kPatternStraightDown}) {
            window.checks[std::string(choice)] = true;
        }
        for (const std::string_view choice : control::kTailDigitChoices) {
            window.checks[std::string(choice)] = true;
        }
    }
    SegmentStore segments;
    for (int k = 0; k < 10'000; ++k) {
        char start[32];
        std::snprintf(start, sizeof start, "A%06d ~", k * 100);
        segments.append(SegmentRow{start, "2024-06-01 00:00:00", true});
    }
    size_t appended = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlateStore plates;
        fill(plates, kRows);
        state.ResumeTiming();
        runExpansion(window, segments, plates);
        appended = static_cast<size_t>(plates.rowCount() - kRows);
    }
    state.counters["rows_appended"] = static_cast<double>(appended);
}

void BM_ExpandTenThousandSegments(benchmark::State& state) {
    expandTenThousandSegments(state, false);
}

// Every nice-number choice ticked: the cost the choices add to a run.
void BM_ExpandTenThousandSegmentsEveryPattern(benchmark::State& state) {
    expandTenThousandSegments(state, true);
}
BENCHMARK(BM_ExpandTenThousandSegmentsEveryPattern)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK(BM_ExpandTenThousandSegments)->Unit(benchmark::kMillisecond)->Iterations(3);

template <typename Op>
void onMillionRows(benchmark::State& state, Op op) {
    for (auto _ : state) {
        state.PauseTiming();
        PlateStore plates;
        fill(plates, kRows);
        state.ResumeTiming();
        op(plates);
        benchmark::DoNotOptimize(plates.rowCount());
    }
}

void BM_RemoveDuplicates(benchmark::State& state) {
    onMillionRows(state, [](PlateStore& p) { removeDuplicatePlates(p); });
}
void BM_DeleteEverySecondRow(benchmark::State& state) {
    onMillionRows(state, [](PlateStore& p) { deleteCheckedPlates(p); });
}
void BM_CheckAll(benchmark::State& state) {
    onMillionRows(state, [](PlateStore& p) { p.checkAll(); });
}
void BM_InvertChecks(benchmark::State& state) {
    onMillionRows(state, [](PlateStore& p) { p.invertChecks(); });
}
void BM_DeleteAll(benchmark::State& state) {
    CellColourTable colours;
    onMillionRows(state, [&](PlateStore& p) { deleteAllPlates(p, colours); });
}
BENCHMARK(BM_RemoveDuplicates)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeleteEverySecondRow)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CheckAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_InvertChecks)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeleteAll)->Unit(benchmark::kMillisecond)->Iterations(3);

class CountingMessages final : public MessageBoxes {
public:
    MessageAnswer showMessage(const MessageRequest&) override {
        ++shown;
        return MessageAnswer::Ok;
    }
    int shown = 0;
};

std::filesystem::path benchFile(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

void BM_ExportMillionPlates(benchmark::State& state) {
    PlateStore plates;
    fill(plates, kRows);
    CountingMessages messages;
    const auto file = benchFile("plates_bench_export.txt");
    for (auto _ : state) {
        exportPlates(plates, ExportRule::Failed, file, messages);
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
    std::filesystem::remove(file);
}
BENCHMARK(BM_ExportMillionPlates)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImportMillionPlates(benchmark::State& state) {
    const auto file = benchFile("plates_bench_import.txt");
    {
        PlateStore plates;
        fill(plates, kRows);
        CountingMessages messages;
        exportPlates(plates, ExportRule::Failed, file, messages);
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto plates = std::make_unique<PlateStore>();
        state.ResumeTiming();
        importPlates(file, *plates);
        state.PauseTiming();
        plates.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_ImportMillionPlates)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace yhz
