#include "engine/Sqlite.h"

#include <sqlite3.h>

namespace tessarel {

std::unique_ptr<SqliteConnection> SqliteConnection::open(const std::string& path, bool create,
                                                         int busyMilliseconds, std::string* why) {
    sqlite3* db = nullptr;
    // Each connection is used by one thread at a time (the cache hands them out), so SQLite's
    // own per-connection mutex is not needed. A link put in the database's place is not followed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW |
                      (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (why)
            *why = path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyMilliseconds);
    return std::unique_ptr<SqliteConnection>(new SqliteConnection(db));
}

SqliteConnection::~SqliteConnection() {
    sqlite3_close_v2(db_);
}

int SqliteConnection::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

namespace {

// The first row's first column, read by `column`, of a one-value query.
template <typename T, typename Column>
std::optional<T> QueryOne(SqliteConnection& db, const char* sql, int* rc, Column column) {
    SqliteStatement statement;
    int result = statement.prepare(db, sql);
    std::optional<T> value;
    if (result == SQLITE_OK) {
        result = statement.step();
        if (result == SQLITE_ROW) {
            value = column(statement);
            result = SQLITE_OK;
        }
    }
    if (rc)
        *rc = result == SQLITE_DONE ? SQLITE_OK : result;
    return value;
}

} // namespace

std::optional<std::int64_t> SqliteConnection::queryInt(const char* sql, int* rc) {
    return QueryOne<std::int64_t>(*this, sql, rc, [](SqliteStatement& row) { return row.columnInt(0); });
}

std::optional<std::string> SqliteConnection::queryText(const char* sql, int* rc) {
    return QueryOne<std::string>(*this, sql, rc,
                                 [](SqliteStatement& row) { return std::string(row.columnText(0)); });
}

std::string SqliteConnection::message() const {
    return sqlite3_errmsg(db_);
}

int SqliteStatement::prepare(SqliteConnection& connection, const char* sql) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return sqlite3_prepare_v3(connection.handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

void SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void SqliteStatement::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob, not NULL, so that an empty text or path still compares as a blob.
    if (bytes.empty())
        sqlite3_bind_zeroblob(statement_, index, 0);
    else
        sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(), SQLITE_STATIC);
}

int SqliteStatement::step() {
    return sqlite3_step(statement_);
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t SqliteStatement::columnInt(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string_view SqliteStatement::columnText(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    if (!text)
        return {};
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

std::string_view SqliteStatement::columnBlob(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    if (!data || size <= 0)
        return {};
    return {static_cast<const char*>(data), static_cast<std::size_t>(size)};
}

bool IsDamage(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool IsBusy(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

} // namespace tessarel
