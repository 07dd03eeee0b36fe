#include "plates/row_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace yhz {
namespace {

struct TextRow {
    std::string text;
    int n = 0;
};

constexpr int kBlock = static_cast<int>(RowBlocks<TextRow>::kBlockRows);

RowBlocks<TextRow> numbered(int count) {
    RowBlocks<TextRow> rows;
    for (int k = 0; k < count; ++k) {
        rows.push_back({"row " + std::to_string(k), k});
    }
    return rows;
}

TEST(RowBlocks, RowsStayWhereTheyAreWhileTheListGrows) {
    RowBlocks<TextRow> rows = numbered(1);
    const TextRow* first = &rows[0];
    const char* firstText = rows[0].text.data();
    for (int k = 1; k < 3 * kBlock + 5; ++k) {
        rows.push_back({std::string(40, 'x'), k});
    }
    EXPECT_EQ(&rows[0], first);
    EXPECT_EQ(rows[0].text.data(), firstText);
    ASSERT_EQ(rows.size(), static_cast<size_t>(3 * kBlock + 5));
    // Across every block boundary, in order.
    for (int k = 0; k < static_cast<int>(rows.size()); ++k) {
        ASSERT_EQ(rows[static_cast<size_t>(k)].n, k);
    }
}

TEST(RowBlocks, ErasingAcrossBlocksKeepsTheOrderOfTheRest) {
    const int count = 2 * kBlock + 10;
    RowBlocks<TextRow> rows = numbered(count);

    // One row from the first block: every later row moves up, over the boundaries.
    rows.erase(rows.begin() + 3);
    ASSERT_EQ(rows.size(), static_cast<size_t>(count - 1));
    EXPECT_EQ(rows[2].n, 2);
    EXPECT_EQ(rows[3].n, 4);
    EXPECT_EQ(rows[static_cast<size_t>(kBlock) - 1].n, kBlock);
    EXPECT_EQ(rows[rows.size() - 1].text, "row " + std::to_string(count - 1));

    // The remove-if idiom the list operations use: keep the even rows.
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](const TextRow& r) { return r.n % 2; }),
               rows.end());
    ASSERT_EQ(rows.size(), static_cast<size_t>(count / 2));
    for (size_t k = 0; k < rows.size(); ++k) {
        ASSERT_EQ(rows[k].n, static_cast<int>(2 * k)) << k;
    }
    // Emptied blocks go, and the list grows again from where it stands.
    rows.erase(rows.begin() + 1, rows.end());
    ASSERT_EQ(rows.size(), 1u);
    rows.push_back({"again", -1});
    EXPECT_EQ(rows[1].text, "again");
    EXPECT_EQ(std::distance(rows.cbegin(), rows.cend()), 2);

    rows.erase(rows.end(), rows.end());
    EXPECT_EQ(rows.size(), 2u);
    rows.clear();
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rows.begin(), rows.end());
}

TEST(RowBlocks, StandardAlgorithmsSeeOneContiguousRange) {
    RowBlocks<TextRow> rows = numbered(kBlock + 100);
    std::reverse(rows.begin(), rows.end());
    EXPECT_EQ(rows[0].n, kBlock + 99);
    std::sort(rows.begin(), rows.end(),
              [](const TextRow& a, const TextRow& b) { return a.n < b.n; });
    EXPECT_TRUE(std::is_sorted(rows.cbegin(), rows.cend(),
                               [](const TextRow& a, const TextRow& b) { return a.n < b.n; }));
    const auto found =
        std::find_if(rows.cbegin(), rows.cend(), [](const TextRow& r) { return r.n == kBlock; });
    EXPECT_EQ(found - rows.cbegin(), kBlock);
    EXPECT_EQ(found->text, "row " + std::to_string(kBlock));
}

}  // namespace
}  // namespace yhz
