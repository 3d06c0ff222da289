#pragma once
// Thin owners of an SQLite connection and a prepared statement. A connection is used by one thread at
// a time (the thread that owns the object); failures are SQLite result codes, never exceptions.
#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDb {
public:
    SqliteDb() = default;
    ~SqliteDb() { Close(); }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens (creating when `create`) the file; the result code. The busy time-out bounds every wait
    // for another connection's lock.
    int Open(const std::string& path, bool create, int busyTimeoutMs);
    // Opens the file for reading only. `immutable`: SQLite takes the file as it is, without its -wal and
    // -shm files and without any lock, for a folder or disk that allows no write at all (rows still in
    // an unmerged -wal file are then not seen).
    int OpenReadOnly(const std::string& path, bool immutable, int busyTimeoutMs);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    sqlite3* Handle() const { return m_db; }

    // Runs one or more statements without results; the result code.
    int Exec(const char* sql);
    // The first column of the first row of a query as a number; none on failure (then `code` says why).
    std::optional<std::int64_t> QueryInt(const char* sql, int* code = nullptr);
    // The connection's last error text.
    std::string Message() const;
    // The text for a result code: the connection's own message when it is about that code (it names
    // the table or the lock), otherwise SQLite's text for the code.
    std::string MessageFor(int code) const;

private:
    int OpenWith(const std::string& name, int flags, int busyTimeoutMs);

    sqlite3* m_db = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(const SqliteDb& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    int PrepareCode() const { return m_prepare; }
    void Bind(int index, const std::string& text);
    void BindBlob(int index, const std::string& bytes);
    void Bind(int index, std::int64_t value);
    void BindNull(int index);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Ready to run again with new values.
    void Reset();

    std::string Text(int column) const;
    std::int64_t Int(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_prepare = 0;
};

// True for the result codes of a file that is not a database or whose database is damaged.
bool IsDamagedCode(int code);
