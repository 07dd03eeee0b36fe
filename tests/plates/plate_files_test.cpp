#include "plates/plate_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

class PlateFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("plate_files_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& bytes) {
        const fs::path file = dir / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    static std::string read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir;
    PlateStore plates;
    test::RecordingWindow window;
};

TEST(PlateLines, SplitOnlyAtCrLf) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitPlateLines("A\r\nB\r\n"), (V{"A", "B"}));
    EXPECT_EQ(splitPlateLines("A\r\nB"), (V{"A", "B"}));
    EXPECT_EQ(splitPlateLines("A\r\n\r\nB\r\n"), (V{"A", "", "B"}));
    EXPECT_EQ(splitPlateLines("A\nB\rC\n"), (V{"A\nB\rC\n"}));
    EXPECT_EQ(splitPlateLines(std::string("A\r\nB\0C\r\n", 8)), (V{"A", "B"}));
    EXPECT_TRUE(splitPlateLines("").empty());
}

TEST_F(PlateFiles, ImportNumbersFromTheListsRowCountAndTrims) {
    for (int k = 0; k < 5; ++k) {
        plates.appendNumbered("X", "d", 1);
    }
    const fs::path file =
        write("in.txt", " " + gbk("粤B12345") + "\xA1\xA1\r\n\r\n\t" + gbk("粤A1") + "\r\n");
    EXPECT_EQ(importPlates(file, plates).appended, 3u);
    ASSERT_EQ(plates.rowCount(), 8);
    const PlateRow row = *plates.row(5);
    EXPECT_EQ(row.id, "5");
    EXPECT_EQ(row.plate, gbk("粤B12345"));
    EXPECT_EQ(row.date, gbk("由外部导入"));
    EXPECT_FALSE(row.checked);
    EXPECT_EQ(plates.row(6)->plate, "");
    EXPECT_EQ(plates.row(7)->id, "7");
    EXPECT_EQ(plates.row(7)->plate, "\t" + gbk("粤A1"));
}

TEST_F(PlateFiles, UnreadableOrForeignFilesAreToldApartFromEmptyOnes) {
    const ImportResult missing = importPlates(dir / "missing.txt", plates);
    EXPECT_EQ(missing.failure, ImportFailure::ReadError);
    EXPECT_EQ(importPlates(dir, plates).failure, ImportFailure::Refused);
    // Neither an endless device nor a pipe without a writer may hang it.
#ifdef _WIN32
    EXPECT_EQ(importPlates("NUL", plates).failure, ImportFailure::Refused);
#else
    EXPECT_EQ(importPlates("/dev/zero", plates).failure, ImportFailure::Refused);
    const fs::path pipe = dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(importPlates(pipe, plates).failure, ImportFailure::Refused);
#endif
    const fs::path huge = write("huge.txt", "");
    fs::resize_file(huge, kImportLimit + 1);
    EXPECT_EQ(importPlates(huge, plates).failure, ImportFailure::Refused);
    EXPECT_EQ(plates.rowCount(), 0);

    const ImportResult empty = importPlates(write("empty.txt", ""), plates);
    EXPECT_EQ(empty.failure, ImportFailure::None);
    EXPECT_EQ(empty.appended, 0u);

    reportImport(empty, dir / "empty.txt", window);
    EXPECT_TRUE(window.messages.empty());
    reportImport(missing, dir / "missing.txt", window);
    reportImport({0, ImportFailure::Refused}, dir / "pipe", window);
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0].text, gbk("导入失败，无法读取>") + (dir / "missing.txt").string());
    EXPECT_EQ(window.messages[1].icon, MessageIcon::Critical);

    // Mixed bytes: not UTF-8, so kept as GBK; a lone lead byte never eats a
    // line end.
    const fs::path odd = write("odd.txt", "粤B12345\r\n\x81\r\n\xFF\xFE \r\nA\xB0");
    EXPECT_EQ(importPlates(odd, plates).appended, 4u);
    EXPECT_EQ(plates.row(0)->plate, "粤B12345");
    EXPECT_EQ(plates.row(1)->plate, "\x81");
    EXPECT_EQ(plates.row(3)->plate, "A\xB0");
}

std::string utf16(std::u16string_view text, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        out += little ? low : high;
        out += little ? high : low;
    }
    return out;
}

TEST_F(PlateFiles, ImportReadsEditorEncodingsAndLfLines) {
    const std::vector<std::string> files = {
        "粤B12345\n\n京A1\n",
        "\xEF\xBB\xBF粤B12345\r\n\r\n京A1",
        utf16(u"粤B12345\n\n京A1\r\n", true),
        utf16(u"粤B12345\n\n京A1", false),
    };
    for (const std::string& bytes : files) {
        PlateStore store;
        const ImportResult result = importPlates(write("in.txt", bytes), store);
        EXPECT_EQ(result.failure, ImportFailure::None);
        ASSERT_EQ(result.appended, 3u);
        EXPECT_EQ(store.row(0)->plate, gbk("粤B12345"));
        EXPECT_EQ(store.row(1)->plate, "");
        EXPECT_EQ(store.row(2)->plate, gbk("京A1"));
    }
}

TEST_F(PlateFiles, LinesAndCharactersAcrossReadBlocksStayWhole) {
    // After a 3-byte first line, UTF-8 lines of 9 bytes put the "粤" of row
    // 116509 across the 1 MiB block boundary: 3 + 116508 * 9 = 2^20 - 1.
    std::string bytes = "XX\n";
    const std::string line = "粤B1234\n";
    while (bytes.size() < (size_t{3} << 20)) {
        bytes += line;
    }
    const ImportResult result = importPlates(write("big.txt", bytes), plates);
    ASSERT_EQ(result.appended, 1 + (bytes.size() - 3) / line.size());
    EXPECT_EQ(plates.row(0)->plate, "XX");
    for (int k : {1, 116508, 116509, 116510, static_cast<int>(result.appended) - 1}) {
        EXPECT_EQ(plates.row(k)->plate, gbk("粤B1234")) << k;
    }
}

TEST_F(PlateFiles, ExportRulesSelectByCheckOrStatus) {
    for (int status : {0, 1, 2, 7}) {
        const int k = plates.appendNumbered("P" + std::to_string(status), "d", 1);
        plates.setChecked(k, status == 2);
        plates.setStatus(k, status);
    }
    EXPECT_EQ(exportText(plates, ExportRule::Checked), "P2\r\n");
    EXPECT_EQ(exportText(plates, ExportRule::Available), "P1\r\n");
    EXPECT_EQ(exportText(plates, ExportRule::Failed), "P0\r\nP7\r\n");
}

TEST(PlateFileNames, TxtIsAddedUnlessPresentInExactCase) {
    EXPECT_EQ(completeTextFileName("a/out"), fs::path("a/out.txt"));
    EXPECT_EQ(completeTextFileName("a/out.TXT"), fs::path("a/out.TXT.txt"));
    EXPECT_EQ(completeTextFileName("a/out.txt"), fs::path("a/out.txt"));
    EXPECT_EQ(completeTextFileName("a/out.txt.bak"), fs::path("a/out.txt.bak"));
}

TEST_F(PlateFiles, ExportWritesGbkWithCrLfAndConfirmsThePath) {
    plates.appendNumbered(gbk("粤B12345"), "d", 1);
    plates.appendNumbered("A2", "d", 1);
    const fs::path chosen = dir / "导出";
    EXPECT_TRUE(exportPlates(plates, ExportRule::Failed, chosen, window));
    EXPECT_EQ(read(dir / "导出.txt"), gbk("粤B12345") + "\r\nA2\r\n");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, gbk("已导出到>") + gbk((dir / "导出.txt").string()));
    EXPECT_EQ(window.messages[0].caption, gbk("温馨提示："));
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Information);

    // Nothing selected: an empty file replaces the old one, still confirmed.
    EXPECT_TRUE(exportPlates(plates, ExportRule::Checked, dir / "导出.txt", window));
    EXPECT_EQ(fs::file_size(dir / "导出.txt"), 0u);
    EXPECT_EQ(window.messages.size(), 2u);
}

TEST_F(PlateFiles, FailedWriteIsReportedNotConfirmed) {
    plates.appendNumbered("A", "d", 1);
    EXPECT_FALSE(exportPlates(plates, ExportRule::Failed, dir / "no" / "such", window));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(window.messages[0].text.find(gbk("已导出到>")), std::string::npos);
}

}  // namespace
}  // namespace yhz
