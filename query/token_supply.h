#pragma once
// Access tokens fetched ahead of the rows that will use them, so that a
// relay slot never waits for the service. One supply per query run: it asks
// for at most as many tokens as the run has rows, keeps at most kAhead
// waiting, and has at most kMaxFetches requests in flight. Each token goes
// to one row only, in the order the tokens arrived. Once stopped, its
// requests end and the tokens it holds are dropped: nothing carries over to
// another run.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

namespace yhz {

class TokenSupply {
public:
    static constexpr int kMaxFetches = 2;
    static constexpr int kAhead = 2;

    // One token request; "" (or any text) on failure: the row that gets it
    // decides what it is worth. It must return soon after `stop` is asked.
    using Fetch = std::function<std::string(std::stop_token stop)>;

    explicit TokenSupply(Fetch fetch);
    TokenSupply(const TokenSupply&) = delete;
    TokenSupply& operator=(const TokenSupply&) = delete;

    // How many tokens the run will use at most. Fetching starts only once
    // this is known.
    void setWanted(int rows);

    // The body of one fetching thread; kMaxFetches of them share the work.
    // Returns once every wanted token has been asked for, or on stop (of
    // the supply or of `threadStop`, which stops the supply).
    void fetchLoop(std::stop_token threadStop);

    // The next token, waiting for it. nullopt once the supply is stopped,
    // `stop` is asked for, or no further token will come.
    std::optional<std::string> take(std::stop_token stop);

    // Ends the requests in flight and drops every token held. Any thread.
    void stop();

private:
    bool nothingMoreLocked() const;

    Fetch fetch_;
    std::stop_source halt_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<std::string> ready_;
    int wanted_ = -1;  // unknown until setWanted()
    int asked_ = 0;
    int fetching_ = 0;
};

}  // namespace yhz
