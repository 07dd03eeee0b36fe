#pragma once
// The service's SQLite file: its settings, the users that have asked for a
// token, and the registry of taken plates. Safe to use from any thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace yhz::service {

class Registry {
public:
    // Opens (or creates) the file. A new file, or one whose demo content was
    // never completed, gets the demo settings and the demo registry of taken
    // plates. nullptr and a message in `error` when that fails.
    static std::unique_ptr<Registry> open(const std::string& path, std::string* error);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // A setting (UTF-8); nullopt when it is not set or cannot be read.
    std::optional<std::string> setting(std::string_view key);
    bool setSetting(std::string_view key, std::string_view value);

    enum class Plate { Free, Taken, Failed };
    // `plate` is UTF-8, the province character first.
    Plate lookupPlate(std::string_view plate);
    bool markTaken(std::string_view plate);
    // Takes the plate off the registry, as when its holder gives it up; true
    // also when it was not on it.
    bool markFree(std::string_view plate);
    long long takenCount();

    enum class User { Known, Added, Full, Failed };
    // Records a user on its first token and notes when a known one was seen
    // (`now`: seconds since 1970). At most `maxUsers` are kept; when there is
    // no room, users not seen for `forgetAfter` are forgotten first, so that
    // one-off identifiers cannot lock everyone else out for good. A forgotten
    // user is simply recorded again on its next token.
    User registerUser(std::string_view identifier, long long maxUsers, std::int64_t now,
                      std::chrono::seconds forgetAfter = std::chrono::hours(24));
    bool isKnownUser(std::string_view identifier);
    long long userCount();

private:
    explicit Registry(sqlite3* db) : db_(db) {}
    bool seedDemoContent(std::string* error);
    bool forgetUsersSeenBefore(std::int64_t cutoff);
    long long countUsersLocked();

    std::mutex mutex_;
    sqlite3* db_;
    // When forgotten users were last cleared out (seconds since 1970).
    std::int64_t lastForget_ = 0;
};

}  // namespace yhz::service
