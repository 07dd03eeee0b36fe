#include "demo/service/registry.h"

#include <sqlite3.h>

#include <array>
#include <utility>

#include "demo/world/site_data.h"

namespace yhz::service {

namespace {

// The demo content as it stands in a new file. Texts are UTF-8 here and GBK
// on the wire.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kDemoSettings = {{
    {"info_text",
     "欢迎使用云海舟本地演示服务。\r\n号段、逾期与占用情况均为本机生成的演示数据，与实际无关。"},
    {"line_count", "3"},
    {"latest_version", "2.1.2"},
    {"package_name", "云海舟"},
    {"announcement", "演示环境：全部数据在本机生成，仅供体验，请勿用于实际选号。"},
}};

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    bool bind(int index, std::string_view text) {
        return stmt_ && sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                          SQLITE_TRANSIENT) == SQLITE_OK;
    }
    bool bind(int index, long long value) {
        return stmt_ && sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::string text(int column) {
        const unsigned char* value = sqlite3_column_text(stmt_, column);
        int size = sqlite3_column_bytes(stmt_, column);
        return value ? std::string(reinterpret_cast<const char*>(value),
                                   static_cast<std::size_t>(size))
                     : std::string();
    }
    long long integer(int column) { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? message : "sqlite error";
    sqlite3_free(message);
    return false;
}

}  // namespace

std::unique_ptr<Registry> Registry::open(const std::string& path, std::string* error) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = db ? sqlite3_errmsg(db) : "cannot open database";
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<Registry> registry(new Registry(db));
    sqlite3_busy_timeout(db, 2000);
    if (!exec(db,
              "PRAGMA journal_mode=WAL;"
              "PRAGMA synchronous=NORMAL;"
              "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
              "CREATE TABLE IF NOT EXISTS users(identifier TEXT PRIMARY KEY,"
              " first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL DEFAULT 0);"
              "CREATE TABLE IF NOT EXISTS taken_plates(plate TEXT PRIMARY KEY) WITHOUT ROWID;",
              error)) {
        return nullptr;
    }
    // Files from before users were forgotten lack last_seen: their users
    // count as last seen when they were first.
    bool hasLastSeen = false;
    {
        Statement columns(db, "SELECT 1 FROM pragma_table_info('users') WHERE name = 'last_seen'");
        hasLastSeen = columns.step() == SQLITE_ROW;
    }
    if (!hasLastSeen && !exec(db,
                              "ALTER TABLE users ADD COLUMN last_seen INTEGER NOT NULL DEFAULT 0;"
                              "UPDATE users SET last_seen = first_seen;",
                              error)) {
        return nullptr;
    }
    if (!exec(db, "CREATE INDEX IF NOT EXISTS users_by_last_seen ON users(last_seen);", error))
        return nullptr;
    if (registry->setting("demo_content") != "1" && !registry->seedDemoContent(error)) {
        return nullptr;
    }
    return registry;
}

Registry::~Registry() {
    sqlite3_close(db_);
}

bool Registry::seedDemoContent(std::string* error) {
    std::lock_guard lock(mutex_);
    // One transaction: an interrupted first start leaves no half registry
    // behind, and the next start seeds again.
    if (!exec(db_, "BEGIN IMMEDIATE", error))
        return false;
    bool ok = true;
    {
        Statement setting(db_, "INSERT OR IGNORE INTO settings(key, value) VALUES(?1, ?2)");
        for (const auto& [key, value] : kDemoSettings) {
            ok = ok && setting.bind(1, key) && setting.bind(2, value) &&
                 setting.step() == SQLITE_DONE;
            setting.reset();
        }
        Statement taken(db_, "INSERT OR IGNORE INTO taken_plates(plate) VALUES(?1)");
        ok = ok && taken.ok();
        if (ok) {
            demo::forEachPlate([&](const std::string& plate) {
                if (!ok || !demo::isTakenPlate(plate))
                    return;
                ok = taken.bind(1, plate) && taken.step() == SQLITE_DONE;
                taken.reset();
            });
        }
        Statement done(db_,
                       "INSERT OR REPLACE INTO settings(key, value) VALUES('demo_content', '1')");
        ok = ok && done.step() == SQLITE_DONE;
    }
    if (!ok) {
        if (error)
            *error = sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK", nullptr);
        return false;
    }
    return exec(db_, "COMMIT", error);
}

std::optional<std::string> Registry::setting(std::string_view key) {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "SELECT value FROM settings WHERE key = ?1");
    if (!stmt.bind(1, key) || stmt.step() != SQLITE_ROW)
        return std::nullopt;
    return stmt.text(0);
}

bool Registry::setSetting(std::string_view key, std::string_view value) {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)");
    return stmt.bind(1, key) && stmt.bind(2, value) && stmt.step() == SQLITE_DONE;
}

Registry::Plate Registry::lookupPlate(std::string_view plate) {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "SELECT 1 FROM taken_plates WHERE plate = ?1");
    if (!stmt.bind(1, plate))
        return Plate::Failed;
    switch (stmt.step()) {
        case SQLITE_ROW:
            return Plate::Taken;
        case SQLITE_DONE:
            return Plate::Free;
        default:
            return Plate::Failed;
    }
}

bool Registry::markTaken(std::string_view plate) {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "INSERT OR IGNORE INTO taken_plates(plate) VALUES(?1)");
    return stmt.bind(1, plate) && stmt.step() == SQLITE_DONE;
}

bool Registry::markFree(std::string_view plate) {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "DELETE FROM taken_plates WHERE plate = ?1");
    return stmt.bind(1, plate) && stmt.step() == SQLITE_DONE;
}

long long Registry::takenCount() {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "SELECT count(*) FROM taken_plates");
    return stmt.step() == SQLITE_ROW ? stmt.integer(0) : -1;
}

bool Registry::forgetUsersSeenBefore(std::int64_t cutoff) {
    Statement forget(db_, "DELETE FROM users WHERE last_seen < ?1");
    return forget.bind(1, static_cast<long long>(cutoff)) && forget.step() == SQLITE_DONE;
}

long long Registry::countUsersLocked() {
    Statement count(db_, "SELECT count(*) FROM users");
    return count.step() == SQLITE_ROW ? count.integer(0) : -1;
}

Registry::User Registry::registerUser(std::string_view identifier, long long maxUsers,
                                      std::int64_t now, std::chrono::seconds forgetAfter) {
    std::lock_guard lock(mutex_);
    // Seen-times are kept to the minute: a user asking for a token per plate
    // writes once a minute, not once a plate.
    Statement seen(db_, "UPDATE users SET last_seen = ?2 WHERE identifier = ?1 AND last_seen < ?3");
    if (!seen.bind(1, identifier) || !seen.bind(2, static_cast<long long>(now)) ||
        !seen.bind(3, static_cast<long long>(now - 60)) || seen.step() != SQLITE_DONE) {
        return User::Failed;
    }
    Statement known(db_, "SELECT 1 FROM users WHERE identifier = ?1");
    if (!known.bind(1, identifier))
        return User::Failed;
    const int rc = known.step();
    if (rc == SQLITE_ROW)
        return User::Known;
    if (rc != SQLITE_DONE)
        return User::Failed;
    const std::int64_t cutoff = now - forgetAfter.count();
    // Forgetting also runs hourly, not only when full, so that the table
    // says who was seen in the last day.
    long long users = countUsersLocked();
    if (users >= maxUsers || now - lastForget_ >= 3600) {
        if (!forgetUsersSeenBefore(cutoff))
            return User::Failed;
        lastForget_ = now;
        users = countUsersLocked();
    }
    if (users < 0)
        return User::Failed;
    if (users >= maxUsers)
        return User::Full;
    Statement add(
        db_, "INSERT OR IGNORE INTO users(identifier, first_seen, last_seen) VALUES(?1, ?2, ?2)");
    if (!add.bind(1, identifier) || !add.bind(2, static_cast<long long>(now)) ||
        add.step() != SQLITE_DONE) {
        return User::Failed;
    }
    return User::Added;
}

long long Registry::userCount() {
    std::lock_guard lock(mutex_);
    return countUsersLocked();
}

bool Registry::isKnownUser(std::string_view identifier) {
    std::lock_guard lock(mutex_);
    Statement stmt(db_, "SELECT 1 FROM users WHERE identifier = ?1");
    return stmt.bind(1, identifier) && stmt.step() == SQLITE_ROW;
}

}  // namespace yhz::service
