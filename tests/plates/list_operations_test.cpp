#include "plates/list_operations.h"

#include <gtest/gtest.h>

#include "query/cell_colours.h"
#include "text/encoding.h"

namespace yhz {
namespace {

void add(PlateStore& store, std::string plate, std::string date, bool checked = false,
         int status = 0) {
    PlateRow row;
    row.id = "?";
    row.plate = std::move(plate);
    row.date = std::move(date);
    row.checked = checked;
    row.status = status;
    store.append(std::move(row));
}

TEST(DeleteChecked, RemovesAdjacentCheckedRowsAndRenumbers) {
    PlateStore store;
    add(store, "A", "d", true);
    add(store, "B", "d", true);
    add(store, "C", "d", false, 2);
    add(store, "D", "d", true);
    add(store, "E", "d", false, 1);
    deleteCheckedPlates(store);
    ASSERT_EQ(store.rowCount(), 2);
    EXPECT_EQ(store.cellText(0, PlateRow::kPlate), "C");
    EXPECT_EQ(store.cellText(0, PlateRow::kId), "1");
    EXPECT_EQ(store.status(0), 2);
    EXPECT_EQ(store.cellText(1, PlateRow::kPlate), "E");
    EXPECT_EQ(store.cellText(1, PlateRow::kId), "2");
    EXPECT_EQ(store.status(1), 1);

    // Nothing checked: rows stay, Ids are rewritten all the same.
    store.setCellText(1, PlateRow::kId, "0");
    deleteCheckedPlates(store);
    EXPECT_EQ(store.rowCount(), 2);
    EXPECT_EQ(store.cellText(1, PlateRow::kId), "2");
}

TEST(RemoveDuplicates, KeepsFirstOfEachPlateAndDatePair) {
    PlateStore store;
    const std::string plate = gbk("粤B12345");
    add(store, plate, "2024", true, 1);
    add(store, plate, "2024", false, 2);
    add(store, plate, gbk("由外部导入"));
    removeDuplicatePlates(store);
    ASSERT_EQ(store.rowCount(), 2);
    EXPECT_EQ(store.cellText(0, PlateRow::kId), "1");
    EXPECT_EQ(store.cellText(0, PlateRow::kDate), "2024");
    EXPECT_FALSE(store.checked(0));
    EXPECT_EQ(store.status(0), 0);
    EXPECT_EQ(store.cellText(1, PlateRow::kId), "2");
    EXPECT_EQ(store.cellText(1, PlateRow::kDate), gbk("由外部导入"));
}

TEST(RemoveDuplicates, ComparesUntrimmedButWritesTrimmed) {
    PlateStore store;
    add(store, " A1\xA1\xA1", "d");
    add(store, "A1", "d");
    add(store, " A1\xA1\xA1", "d");
    add(store, "B", "");
    removeDuplicatePlates(store);
    ASSERT_EQ(store.rowCount(), 3);
    EXPECT_EQ(store.cellText(0, PlateRow::kPlate), "A1");
    EXPECT_EQ(store.cellText(1, PlateRow::kPlate), "A1");
    EXPECT_EQ(store.cellText(2, PlateRow::kDate), "");
}

TEST(RemoveDuplicates, PlateHoldingTheBarKeepsItsDate) {
    PlateStore store;
    add(store, "A|B", "C");
    add(store, "A", "B|C");
    removeDuplicatePlates(store);
    ASSERT_EQ(store.rowCount(), 2);
    EXPECT_EQ(store.cellText(0, PlateRow::kPlate), "A|B");
    EXPECT_EQ(store.cellText(0, PlateRow::kDate), "C");
    EXPECT_EQ(store.cellText(1, PlateRow::kDate), "B|C");
}

TEST(DeleteAll, EmptiesTheListAndItsColours) {
    PlateStore store;
    CellColourTable colours;
    add(store, "A", "d");
    colours.setCellColour(0, 1, 0, kColourGreen);
    deleteAllPlates(store, colours);
    EXPECT_EQ(store.rowCount(), 0);
    EXPECT_TRUE(colours.entries().empty());
}

}  // namespace
}  // namespace yhz
