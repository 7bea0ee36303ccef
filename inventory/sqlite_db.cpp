#include "sqlite_db.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace tavelo {

namespace {

// "file:" and the path with every byte a URI could misread escaped.
std::string immutableUri(const std::filesystem::path &path)
{
    const std::string p = std::filesystem::absolute(path).string();
    std::string uri = "file:";
    for (const char c : p) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) || c == '/' || c == '.' || c == '-' || c == '_') {
            uri += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", b);
            uri += hex;
        }
    }
    return uri + "?immutable=1";
}

} // namespace

SqliteDb::SqliteDb(const std::filesystem::path &path, Mode mode, int busyTimeoutMs) : path_(path)
{
    int flags = mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    std::string name = path.string();
    if (mode == Mode::Immutable) {
        flags |= SQLITE_OPEN_URI;
        name = immutableUri(path);
    }
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError("cannot open " + path.string() + ": " + why, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
}

SqliteDb::~SqliteDb()
{
    sqlite3_close(db_); // every statement is finalized by its owner first
}

void SqliteDb::fail(const std::string &doing, int code) const
{
    const std::string why = sqlite3_errmsg(db_);
    throw DatabaseError(path_.string() + ": " + doing + ": " + why, code, why);
}

void SqliteDb::exec(const std::string &sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw DatabaseError(path_.string() + ": " + why, rc);
    }
}

SqliteStatement SqliteDb::prepare(const std::string &sql)
{
    return SqliteStatement(*this, sql);
}

bool SqliteDb::tableExists(const std::string &name, const std::string &schema)
{
    SqliteStatement q(*this, "SELECT 1 FROM " + sqlIdentifier(schema) +
                                 ".sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE");
    q.bind(1, name);
    return q.step();
}

bool SqliteDb::readOnly() const
{
    return sqlite3_db_readonly(db_, "main") == 1;
}

int64_t SqliteDb::lastInsertId() const
{
    return sqlite3_last_insert_rowid(db_);
}

SqliteStatement::SqliteStatement(SqliteDb &db, const std::string &sql) : db_(&db)
{
    const int rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        db.fail("cannot prepare \"" + sql.substr(0, 60) + "\"", rc);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(stmt_);
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr))
{
}

SqliteStatement &SqliteStatement::bindBlob(int index, const std::string &bytes)
{
    const int rc = sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_->fail("cannot bind a value", rc);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, const std::string &text)
{
    const int rc =
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_->fail("cannot bind a value", rc);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, int64_t value)
{
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK)
        db_->fail("cannot bind a value", rc);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, double value)
{
    const int rc = sqlite3_bind_double(stmt_, index, value);
    if (rc != SQLITE_OK)
        db_->fail("cannot bind a value", rc);
    return *this;
}

SqliteStatement &SqliteStatement::bindNull(int index)
{
    const int rc = sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK)
        db_->fail("cannot bind a value", rc);
    return *this;
}

SqliteStatement &SqliteStatement::bindColumn(int index, const SqliteStatement &from, int column)
{
    const int rc = sqlite3_bind_value(stmt_, index, sqlite3_column_value(from.stmt_, column));
    if (rc != SQLITE_OK)
        db_->fail("cannot bind a value", rc);
    return *this;
}

SqliteStatement &SqliteStatement::bindShown(int index, const std::string &text)
{
    if (text.empty())
        return bindNull(index);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size() && std::isfinite(value))
        return bind(index, value); // an INTEGER column keeps a whole number as an integer
    return bind(index, text);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const int code = sqlite3_extended_errcode(db_->handle());
    sqlite3_reset(stmt_);
    db_->fail("cannot run \"" + std::string(sqlite3_sql(stmt_)).substr(0, 60) + "\"", code);
}

void SqliteStatement::run()
{
    while (step()) {
    }
    reset();
}

void SqliteStatement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::columns() const
{
    return sqlite3_column_count(stmt_);
}

std::string SqliteStatement::columnName(int column) const
{
    const char *name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double SqliteStatement::real(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

std::string SqliteStatement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    if (!p)
        return {};
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string SqliteStatement::blob(int column) const
{
    const auto *p = static_cast<const char *>(sqlite3_column_blob(stmt_, column));
    if (!p)
        return {};
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::optional<std::string> SqliteStatement::typedText(int column) const
{
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_NULL: return std::string();
    case SQLITE_INTEGER: return std::to_string(integer(column));
    case SQLITE_FLOAT: return shortestNumberText(real(column));
    case SQLITE_TEXT: return text(column);
    default: return std::nullopt;
    }
}

SqliteTransaction::SqliteTransaction(SqliteDb &db) : db_(db)
{
    db_.exec("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction()
{
    if (open_)
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::commit()
{
    db_.exec("COMMIT");
    open_ = false;
}

bool isBusyError(const DatabaseError &e)
{
    const int primary = e.code() & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

std::string sqlIdentifier(const std::string &name)
{
    std::string q = "\"";
    for (char c : name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}

std::string shortestNumberText(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return std::to_string(value);
    return std::string(buffer, end);
}

} // namespace tavelo
