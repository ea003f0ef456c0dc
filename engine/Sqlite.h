#pragma once
// Thin owners of an SQLite connection and a prepared statement, for the text cache. A result code
// is returned, never thrown: the cache decides what each failure means.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tessarel {

class SqliteConnection {
public:
    // Opens the database file (creating it only when create is set); nullptr with the reason in
    // why when it can't. A lock held by another connection is waited for busyMilliseconds at most.
    static std::unique_ptr<SqliteConnection> open(const std::string& path, bool create, int busyMilliseconds,
                                                  std::string* why);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // Runs statements without results; the SQLite result code.
    int exec(const char* sql);
    // The first column of the first row of a one-value query, or nothing (rc in *rc).
    std::optional<std::int64_t> queryInt(const char* sql, int* rc = nullptr);
    std::optional<std::string> queryText(const char* sql, int* rc = nullptr);
    std::string message() const;
    sqlite3* handle() const { return db_; }

private:
    explicit SqliteConnection(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

class SqliteStatement {
public:
    SqliteStatement() = default;
    // rc is SQLITE_OK when the statement was prepared.
    int prepare(SqliteConnection& connection, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Bindings are copied by SQLite only when asked to: blobs here are bound without a copy and
    // must outlive the step.
    void bind(int index, std::int64_t value);
    void bindBlob(int index, std::string_view bytes);
    int step();
    // Resets the statement and clears its bindings; returns the statement to its idle state.
    void reset();

    std::int64_t columnInt(int column) const;
    std::string_view columnText(int column) const;
    // A view of a blob column, valid until the next step or reset.
    std::string_view columnBlob(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
};

// True for the result codes of a database that is damaged or is not a database.
bool IsDamage(int rc);
// True for the result codes of a database that another connection holds.
bool IsBusy(int rc);

} // namespace tessarel
