#include <gtest/gtest.h>

#include "demo/http/request_head.h"

namespace yhz::web {
namespace {

HeadLimits small() {
    HeadLimits limits;
    limits.maxBytes = 200;
    limits.maxLines = 3;
    limits.maxLineBytes = 64;
    return limits;
}

TEST(RequestHead, ScanFindsTheEndWhetherBytesComeAtOnceOrOneByOne) {
    const std::string head = "GET /a HTTP/1.1\r\nHost: x\r\nA: 1\r\n\r\nBODY";
    const HeadExtent whole = HeadScanner(small()).scan(head);
    EXPECT_EQ(whole.state, HeadScan::Complete);
    EXPECT_EQ(whole.size, head.size() - 4);

    HeadScanner drip(small());
    std::string buffer;
    HeadExtent extent;
    for (char c : head) {
        buffer += c;
        extent = drip.scan(buffer);
        if (extent.state != HeadScan::Incomplete)
            break;
    }
    EXPECT_EQ(extent.state, HeadScan::Complete);
    EXPECT_EQ(extent.size, head.size() - 4);
    // Bare LF line ends count too; reset() starts the next request.
    drip.reset();
    EXPECT_EQ(drip.scan("GET / HTTP/1.1\nA: 1\n\n").state, HeadScan::Complete);
}

TEST(RequestHead, ScanStopsAtEachLimitWithoutWaitingForTheEnd) {
    auto state = [](const std::string& bytes) { return HeadScanner(small()).scan(bytes).state; };
    EXPECT_EQ(state("GET /" + std::string(80, 'a')), HeadScan::UriTooLong);
    EXPECT_EQ(state("GET / HTTP/1.1\r\nA: " + std::string(80, 'a')), HeadScan::TooLarge);
    EXPECT_EQ(state("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n"), HeadScan::TooLarge);
    EXPECT_EQ(state("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\nC: 3\r\n\r\n"), HeadScan::Complete);
    std::string manyBytes = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 3; ++i)
        manyBytes += "X: " + std::string(58, 'b') + "\r\n";
    EXPECT_EQ(state(manyBytes), HeadScan::TooLarge);
}

TEST(RequestHead, ParsesFieldsAndRefusesMalformedLines) {
    auto head = parseHead("POST /relay?x=1 HTTP/1.1\r\nHost: a\r\ncontent-length:  12 \r\n\r\n");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->method, "POST");
    EXPECT_EQ(head->path(), "/relay");
    EXPECT_EQ(*head->field("Content-Length"), "12");
    EXPECT_EQ(head->field("Cookie"), nullptr);
    for (const char* bad :
         {"GET /\r\n\r\n", "GET / HTTP/2.0\r\n\r\n", "GET  HTTP/1.1\r\n\r\n",
          "GET / HTTP/1.1\r\nBad Name: 1\r\n\r\n", "GET / HTTP/1.1\r\nA: 1\r\n folded\r\n\r\n",
          "GET / HTTP/1.1\r\nA: \x01\r\n\r\n", "GET / HTTP/1.1\r\nNoColon\r\n\r\n", "\r\n"}) {
        EXPECT_FALSE(parseHead(bad).has_value()) << bad;
    }
}

TEST(RequestHead, FramingTellsWhatTheFrontMayRead) {
    auto framing = [](const std::string& fields) {
        return bodyFraming(*parseHead("POST / HTTP/1.1\r\n" + fields + "\r\n"));
    };
    EXPECT_EQ(framing("").kind, Framing::NoBody);
    EXPECT_EQ(framing("Content-Length: 0\r\n").kind, Framing::NoBody);
    EXPECT_EQ(framing("Content-Length: 42\r\n").length, 42u);
    EXPECT_EQ(framing("Content-Length: 42\r\nContent-Length: 42\r\n").kind, Framing::Length);
    EXPECT_EQ(framing("Content-Length: 42\r\nContent-Length: 43\r\n").kind, Framing::Invalid);
    EXPECT_EQ(framing("Content-Length: 4x\r\n").kind, Framing::Invalid);
    EXPECT_EQ(framing("Content-Length: -1\r\n").kind, Framing::Invalid);
    EXPECT_EQ(framing("Content-Length: 99999999999999999999\r\n").kind, Framing::Invalid);
    EXPECT_EQ(framing("Transfer-Encoding: chunked\r\nContent-Length: 5\r\n").kind,
              Framing::TransferCoded);
    EXPECT_EQ(framing("Content-Length: 5\r\nContent-Encoding: gzip\r\n").kind,
              Framing::ContentCoded);
    EXPECT_EQ(framing("Content-Length: 5\r\nContent-Encoding: identity\r\n").kind, Framing::Length);
}

TEST(RequestHead, TheHandlersSeeOnePlainFormWithoutExpect) {
    auto head = parseHead("POST /x HTTP/1.1\nExpect: 100-continue\nA:b\n\n");
    ASSERT_TRUE(head);
    EXPECT_TRUE(expectsContinue(*head));
    EXPECT_EQ(plainHead(*head), "POST /x HTTP/1.1\r\nA: b\r\n\r\n");
}

}  // namespace
}  // namespace yhz::web
