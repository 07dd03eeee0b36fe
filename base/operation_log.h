#pragma once
// The operation log: progress lines of the long-running work, shown in the
// log pane. The content lives here (GBK); the pane mirrors it.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace yhz {

class WindowAccess;

class OperationLog {
public:
    static constexpr size_t kSizeBound = 20000;  // bytes of GBK text

    explicit OperationLog(WindowAccess& window) : window_(window) {}

    // Appends one line, stamped "hh:mm:ss >>> " with `withTime`. A content
    // already past the bound is cleared first. Callable from any thread; lines
    // of concurrent calls never interleave.
    void appendLog(std::string_view text, bool withTime = true);

    std::string content() const;

private:
    WindowAccess& window_;
    mutable std::mutex mutex_;
    std::string content_;
};

}  // namespace yhz
