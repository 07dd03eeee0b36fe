#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "base/operation_log.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

TEST(OperationLog, StampedAndPlainLines) {
    test::RecordingWindow window;
    OperationLog log(window);
    log.appendLog(gbk("开始采集"));
    log.appendLog("plain", false);
    const std::string content = log.content();
    EXPECT_TRUE(std::regex_match(content.substr(0, 13), std::regex(R"(\d\d:\d\d:\d\d >>> )")))
        << content;
    EXPECT_EQ(content.substr(13), gbk("开始采集") + "\r\nplain\r\n");
    EXPECT_EQ(window.logText(), content);
}

TEST(OperationLog, ClearedOnlyOncePastTheBound) {
    test::RecordingWindow window;
    OperationLog log(window);
    // 19998 bytes + CR LF = exactly 20000: kept.
    log.appendLog(std::string(19998, 'a'), false);
    log.appendLog("b", false);
    EXPECT_EQ(log.content().size(), 20003u);
    // Now past 20000: cleared before the next line, which stands alone.
    log.appendLog("c", false);
    EXPECT_EQ(log.content(), "c\r\n");
    EXPECT_EQ(window.logText(), "c\r\n");

    // The bound counts GBK bytes: 10000 two-byte characters are 20000 bytes.
    OperationLog wide(window);
    std::string chars;
    for (int k = 0; k < 9999; ++k) {
        chars += "\xD4\xC1";
    }
    wide.appendLog(chars, false);  // 19998 + 2
    wide.appendLog("x", false);
    EXPECT_EQ(wide.content().size(), 20003u);
}

TEST(OperationLog, ConcurrentLinesArriveWhole) {
    test::RecordingWindow window;
    OperationLog log(window);
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int k = 0; k < kLines; ++k) {
                log.appendLog("worker" + std::to_string(t) + "-" + std::to_string(k) +
                                  std::string(20, static_cast<char>('a' + t)),
                              false);
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    // The pane saw exactly what the log holds, line by line, in the same order.
    EXPECT_EQ(window.logText(), log.content());
    const std::regex line(R"(worker(\d)-\d+([a-d])\2{19}\r\n)");
    const std::string text = window.logText();
    auto begin = std::sregex_iterator(text.begin(), text.end(), line);
    size_t covered = 0;
    for (auto it = begin; it != std::sregex_iterator(); ++it) {
        covered += static_cast<size_t>(it->length());
        EXPECT_EQ((*it)[1].str()[0] - '0', (*it)[2].str()[0] - 'a');
    }
    EXPECT_EQ(covered, text.size());
}

}  // namespace
}  // namespace yhz
