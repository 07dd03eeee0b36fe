// Expansion, an import, the menu operations, colour writes, expired-set
// writes and a viewer all at once on the same stores. Meant to run under the
// thread sanitizer; without it, it still checks that nothing is lost.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "plates/expansion.h"
#include "plates/expired_plates.h"
#include "plates/list_operations.h"
#include "plates/plate_files.h"
#include "query/cell_colours.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

TEST(ListsConcurrency, BackgroundWorkAndMenuOperationsShareTheStores) {
    test::RecordingWindow window;
    window.edits["编辑框1"] = "";
    window.edits["编辑框2"] = "";
    window.lists["组合框1"].items = {gbk("广东广州-粤A")};
    window.lists["组合框1"].selection = 0;

    SegmentStore segments;
    for (int k = 0; k < 200; ++k) {
        segments.append(SegmentRow{"A" + std::to_string(10000 + k * 100) + " ~", "t", true});
    }
    PlateStore plates;
    CellColourTable colours;
    ExpiredPlateSet expired;
    std::atomic<int> wakeUps{0};
    plates.setListener([&] { wakeUps.fetch_add(1, std::memory_order_relaxed); });

    const fs::path file = fs::temp_directory_path() / "lists_concurrency_import.txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (int k = 0; k < 20000; ++k) {
            out << "B" << k << "\r\n";
        }
    }

    std::atomic<bool> done{false};
    std::thread expansion([&] { runExpansion(window, segments, plates); });
    std::thread import([&] { importPlates(file, plates); });
    std::thread menus([&] {
        for (int round = 0; round < 30; ++round) {
            plates.checkAll();
            plates.invertChecks();
            segments.invertChecks();
            segments.checkAll();
            if (round % 3 == 0) {
                plates.setChecked(round, true);
                deleteCheckedPlates(plates);
            }
            if (round % 10 == 5) {
                removeDuplicatePlates(plates);
            }
        }
    });
    std::thread query([&] {
        for (int row = 0; row < 2000; ++row) {
            colours.setCellColour(row, 1, 0, kColourGrey);
            const std::string plate = plates.cellText(row, PlateRow::kPlate);
            if (isExpiredPlate(expired, plate)) {
                colours.setCellColour(row, 1, 0, kColourBlue);
            } else {
                plates.setStatus(row, PlateStatus::Available);
                colours.setCellColour(row, 1, 0, kColourGreen);
            }
        }
    });
    std::thread retrieval([&] {
        for (int k = 0; k < 2000; ++k) {
            expired.append("A" + std::to_string(10000 + k));
            if (k % 500 == 0) {
                expired.clear();
            }
        }
    });
    std::thread viewer([&] {
        while (!done.load()) {
            const StoreChanges c = plates.takeChanges();
            for (int row = std::max(0, c.rowCount - 50); row < c.rowCount; ++row) {
                (void)plates.cellText(row, PlateRow::kPlate);
                (void)colours.paint(row, 1);
            }
            (void)colours.takeChanges();
            std::this_thread::yield();
        }
    });

    expansion.join();
    import.join();
    menus.join();
    query.join();
    retrieval.join();
    // "全部删除" while the viewer still reads.
    deleteAllPlates(plates, colours);
    done = true;
    viewer.join();
    fs::remove(file);

    EXPECT_EQ(plates.rowCount(), 0);
    EXPECT_TRUE(colours.entries().empty());
    EXPECT_GT(wakeUps.load(), 0);
    EXPECT_EQ(window.calls().back(), "message 温馨提示： 筛选完毕！");

    // Without interference every candidate arrives: 200 segments x 100.
    runExpansion(window, segments, plates);
    EXPECT_EQ(plates.rowCount(), 200 * kCandidatesPerSegment);
}

}  // namespace
}  // namespace yhz
