#include "region/information_prefetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace yhz {
namespace {

using namespace std::chrono_literals;

// Both texts are asked for before anybody reads them; each prefetched reply
// is handed out once; a reader and a request held by the server both give
// up on their stop.
TEST(InformationPrefetch, AsksAtOnceAnswersOnceAndGivesUpOnStop) {
    BackgroundTaskOwner tasks;
    std::mutex mutex;
    std::condition_variable_any changed;
    int asked = 0;
    InformationFetch server = [&](std::string_view path, std::stop_token stop) {
        std::unique_lock lock(mutex);
        ++asked;
        changed.notify_all();
        if (path == kRelayLinesPath) {  // held until the program ends
            changed.wait(lock, stop, [] { return false; });
            return std::string();
        }
        return "reply" + std::string(path);
    };
    InformationPrefetch prefetch(tasks, server, InformationPrefetch::startupPaths());
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return asked == 2; }));
    }
    const InformationFetch fetch = prefetch.fetch();
    EXPECT_EQ(fetch(kInformationTextPath, {}), "reply/GetText.php");
    EXPECT_EQ(fetch("/Other.php", {}), "reply/Other.php");
    EXPECT_EQ(fetch(kInformationTextPath, {}), "reply/GetText.php");
    EXPECT_EQ(asked, 4);  // taken once, then asked anew

    std::stop_source reader;
    std::string read = "unset";
    std::thread waiting([&] { read = fetch(kRelayLinesPath, reader.get_token()); });
    reader.request_stop();
    waiting.join();
    EXPECT_EQ(read, "");
    EXPECT_TRUE(tasks.shutdown(2s).clean());
}

// Two readers of one path: one takes the prefetched reply, the other asks
// the service itself instead of waiting for a reply that is gone.
TEST(InformationPrefetch, TwoReadersOfOnePathBothGetTheText) {
    BackgroundTaskOwner tasks;
    std::atomic<bool> open = false;
    std::atomic<int> asked = 0;
    InformationFetch server = [&](std::string_view path, std::stop_token stop) {
        ++asked;
        while (!open && !stop.stop_requested()) {
            std::this_thread::sleep_for(1ms);
        }
        return "reply" + std::string(path);
    };
    InformationPrefetch prefetch(tasks, server, {std::string(kInformationTextPath)});
    const InformationFetch fetch = prefetch.fetch();
    std::stop_source giveUp;
    std::string first;
    std::string second;
    std::thread a([&] { first = fetch(kInformationTextPath, giveUp.get_token()); });
    std::thread b([&] { second = fetch(kInformationTextPath, giveUp.get_token()); });
    std::this_thread::sleep_for(50ms);  // both wait for the one request
    open = true;
    for (int k = 0; k < 1000 && asked < 2; ++k) {
        std::this_thread::sleep_for(10ms);
    }
    giveUp.request_stop();
    a.join();
    b.join();
    EXPECT_EQ(first, "reply/GetText.php");
    EXPECT_EQ(second, "reply/GetText.php");
    EXPECT_TRUE(tasks.shutdown(2s).clean());
}

}  // namespace
}  // namespace yhz
