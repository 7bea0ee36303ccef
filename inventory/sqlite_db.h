#pragma once

// A thin owner of SQLite connections and prepared statements: every failure
// becomes a DatabaseError that says which file and what SQLite answered.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace tavelo {

class DatabaseError : public std::runtime_error {
public:
    DatabaseError(const std::string &what, int code, std::string sqliteMessage = {})
        : std::runtime_error(what), code_(code), sqliteMessage_(std::move(sqliteMessage))
    {
    }
    int code() const { return code_; }
    // SQLite's own words ("integer overflow"), without the file and the statement.
    const std::string &sqliteMessage() const { return sqliteMessage_; }

private:
    int code_;
    std::string sqliteMessage_;
};

// How long a connection waits for another writer of the same file to let go.
inline constexpr int kBusyTimeoutMs = 5000;

class SqliteStatement;

class SqliteDb {
public:
    // Immutable reads a file that nothing may change while it is open, without
    // the lock and shared-memory files a read needs otherwise (a write-ahead
    // log database in a folder we cannot write).
    enum class Mode { ReadOnly, ReadWrite, Immutable };
    // Opens (ReadWrite also creates) `path`; waits up to `busyTimeoutMs` for
    // another writer to let go.
    SqliteDb(const std::filesystem::path &path, Mode mode, int busyTimeoutMs = kBusyTimeoutMs);
    ~SqliteDb();
    SqliteDb(const SqliteDb &) = delete;
    SqliteDb &operator=(const SqliteDb &) = delete;

    void exec(const std::string &sql);
    SqliteStatement prepare(const std::string &sql);
    // Names match whatever their case, as SQLite matches them.
    bool tableExists(const std::string &name, const std::string &schema = "main");
    // True when SQLite opened the file but will refuse to change it.
    bool readOnly() const;
    int64_t lastInsertId() const;
    const std::filesystem::path &path() const { return path_; }
    sqlite3 *handle() const { return db_; }

    [[noreturn]] void fail(const std::string &doing, int code) const;

private:
    std::filesystem::path path_;
    sqlite3 *db_ = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(SqliteDb &db, const std::string &sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;
    SqliteStatement &operator=(SqliteStatement &&) = delete;

    // Parameters count from 1, as in SQL.
    SqliteStatement &bind(int index, const std::string &text);
    SqliteStatement &bind(int index, int64_t value);
    SqliteStatement &bind(int index, double value);
    SqliteStatement &bindNull(int index);
    SqliteStatement &bindBlob(int index, const std::string &bytes);
    // Column `column` of the row `from` is on, with its type.
    SqliteStatement &bindColumn(int index, const SqliteStatement &from, int column);
    // A record text as a number when it reads as one, else as the text; empty is NULL.
    SqliteStatement &bindShown(int index, const std::string &text);

    // True while a row is available.
    bool step();
    // Runs a statement that returns no rows, then makes it ready again.
    void run();
    void reset();

    int columns() const;
    std::string columnName(int column) const;
    bool isNull(int column) const;
    int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::string blob(int column) const; // empty for NULL
    // What a user would type for the cell: integers in decimal, reals in
    // their shortest exact form, text as it is, nothing for NULL; no value
    // for a binary cell.
    std::optional<std::string> typedText(int column) const;

private:
    SqliteDb *db_;
    sqlite3_stmt *stmt_ = nullptr;
};

// BEGIN IMMEDIATE now; ROLLBACK unless committed.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDb &db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;
    void commit();

private:
    SqliteDb &db_;
    bool open_ = true;
};

// Whether SQLite gave up because another connection held the file: worth
// trying again a little later.
bool isBusyError(const DatabaseError &e);

// A name between double quotes, for table and column names in SQL text.
std::string sqlIdentifier(const std::string &name);
// Shortest text that reads back as the same double ("9.5", "1500").
std::string shortestNumberText(double value);

} // namespace tavelo
