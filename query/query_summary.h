#pragma once
// What a query run came to, for the one log line at its end. The run counts
// each answer that lands on a row as it marks it; a row whose worker ended
// without green, red or blue (grey, or no colour after a token error) failed.

#include <string>

namespace yhz {

struct QueryTally {
    int total = 0;  // rows the run set out to ask about
    int done = 0;   // rows whose worker ended
    int available = 0;
    int occupied = 0;
    int expired = 0;
    int failed = 0;
};

// "查询结束！共N个：可用a个，占用b个，逾期c个，失败d个", or for a run that
// ended before every row was asked, "查询停止！已查询done/N个：…". GBK.
std::string queryEndLine(const QueryTally& tally);

}  // namespace yhz
