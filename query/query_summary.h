#pragma once
// What a query run came to, for the one log line at its end. Counted from
// the cell colours the run left: the table is emptied when a run starts, so
// every colour in it is this run's, and a row whose worker ended without
// green, red or blue (grey, or no colour after a token error) failed.

#include <string>

#include "query/cell_colours.h"

namespace yhz {

struct QueryTally {
    int total = 0;  // rows when the run started
    int done = 0;   // rows whose worker ended
    int available = 0;
    int occupied = 0;
    int expired = 0;
    int failed = 0;
};

QueryTally tallyQueryRun(const CellColourTable& colours, int total, int done);

// "查询结束！共N个：可用a个，占用b个，逾期c个，失败d个", or for a run that
// ended before every row was asked, "查询停止！已查询done/N个：…". GBK.
std::string queryEndLine(const QueryTally& tally);

}  // namespace yhz
