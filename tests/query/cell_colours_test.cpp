#include "query/cell_colours.h"

#include <gtest/gtest.h>

namespace yhz {
namespace {

TEST(CellColours, OneEntryPerCellAndPlainColoursRemoveIt) {
    CellColourTable table(kColourBlack, kColourWhite);
    table.setCellColour(3, 1, 0, kColourGrey);
    table.setCellColour(3, 1, 0, kColourGreen);
    ASSERT_EQ(table.entries().size(), 1u);
    EXPECT_EQ(table.entries()[0], (CellColour{3, 1, 0, kColourGreen}));

    // The list's own colours, given or implied, remove the entry.
    table.setCellColour(3, 1, kColourBlack, kColourWhite);
    EXPECT_TRUE(table.entries().empty());
    table.setCellColour(4, 1, kColourBlack);
    EXPECT_TRUE(table.entries().empty());
}

TEST(CellColours, PaintsBlackOnTheListBackgroundOnceInUse) {
    CellColourTable table(0x00FFFF, 0x102030);
    EXPECT_FALSE(table.paint(0, 1).has_value());
    table.clearCellColours();  // nothing to clear yet
    EXPECT_FALSE(table.inUse());

    table.setCellColour(2, 1, 0, kColourRed);
    const auto coloured = table.paint(2, 1);
    ASSERT_TRUE(coloured);
    EXPECT_EQ(coloured->background, kColourRed);
    const auto plain = table.paint(0, 1);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->text, kColourBlack);
    EXPECT_EQ(plain->background, 0x102030u);

    table.clearCellColours();
    EXPECT_TRUE(table.entries().empty());
    EXPECT_FALSE(table.paint(2, 1).has_value());
}

TEST(CellColours, EntriesStayAtTheirIndicesAndReportTheRowsThatChanged) {
    CellColourTable table;
    int wakeUps = 0;
    table.setListener([&] { ++wakeUps; });
    table.setCellColour(1, 1, 0, kColourBlue);
    table.setCellColour(5, 1, 0, kColourGreen);
    EXPECT_EQ(wakeUps, 1);
    ColourChanges c = table.takeChanges();
    EXPECT_FALSE(c.all);
    EXPECT_EQ(c.firstRow, 1);
    EXPECT_EQ(c.endRow, 6);
    EXPECT_EQ(table.entry(5, 1)->background, kColourGreen);
    EXPECT_FALSE(table.entry(5, 0));

    table.clearCellColours();
    c = table.takeChanges();
    EXPECT_TRUE(c.all);
    EXPECT_EQ(wakeUps, 2);
}

}  // namespace
}  // namespace yhz
