#include <gtest/gtest.h>

#include "plates/plate_store.h"
#include "plates/segment_store.h"

namespace yhz {
namespace {

TEST(RowStore, PrimitivesAddressRowsByIndexAndIgnoreBadOnes) {
    PlateStore store;
    EXPECT_EQ(store.append(), 0);
    EXPECT_EQ(store.append(), 1);
    EXPECT_TRUE(store.setCellText(1, PlateRow::kPlate, "P1"));
    EXPECT_TRUE(store.setCellText(1, PlateRow::kDate, "D1"));
    EXPECT_TRUE(store.setChecked(1, true));
    EXPECT_TRUE(store.setStatus(1, PlateStatus::Occupied));
    EXPECT_EQ(store.cellText(1, PlateRow::kPlate), "P1");
    EXPECT_TRUE(store.checked(1));
    EXPECT_EQ(store.status(1), 2);
    EXPECT_FALSE(store.checked(0));
    EXPECT_EQ(store.status(0), 0);

    // Out of range: no effect, empty answers.
    EXPECT_FALSE(store.setCellText(2, 0, "x"));
    EXPECT_FALSE(store.setCellText(0, 3, "x"));
    EXPECT_FALSE(store.setCellText(-1, 0, "x"));
    EXPECT_FALSE(store.setChecked(5, true));
    EXPECT_FALSE(store.removeRow(2));
    EXPECT_EQ(store.cellText(7, 1), "");
    EXPECT_EQ(store.status(-1), 0);

    // Rows below a deleted one move up.
    EXPECT_TRUE(store.removeRow(0));
    EXPECT_EQ(store.rowCount(), 1);
    EXPECT_EQ(store.cellText(0, PlateRow::kDate), "D1");
    store.clear();
    EXPECT_EQ(store.rowCount(), 0);
}

TEST(RowStore, ReportsChangesInBatchesWithOneWakeUpEach) {
    PlateStore store;
    int wakeUps = 0;
    store.setListener([&] { ++wakeUps; });
    for (int k = 0; k < 10; ++k) {
        store.appendNumbered("P", "D", 1);
    }
    store.setStatus(7, 1);
    store.setChecked(3, true);
    EXPECT_EQ(wakeUps, 1);
    StoreChanges c = store.takeChanges();
    EXPECT_EQ(c.rowCount, 10);
    EXPECT_FALSE(c.reset);
    EXPECT_EQ(c.firstDirty, 3);
    EXPECT_EQ(c.endDirty, 8);
    EXPECT_EQ(store.cellText(9, PlateRow::kId), "10");

    c = store.takeChanges();
    EXPECT_EQ(c.firstDirty, c.endDirty);
    store.removeRow(0);
    EXPECT_EQ(wakeUps, 2);
    c = store.takeChanges();
    EXPECT_TRUE(c.reset);
    EXPECT_EQ(c.rowCount, 9);
}

}  // namespace
}  // namespace yhz
