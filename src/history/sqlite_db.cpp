#include "history/sqlite_db.h"

#include <sqlite3.h>

namespace {
// The file as an SQLite URI with the query `parameters`: "file:///home/x/h.sqlite3?immutable=1". The
// characters a URI gives a meaning are percent-encoded; Windows paths get forward slashes.
std::string FileUri(const std::string& path, const char* parameters) {
    std::string uri = "file:";
    std::string clean = path;
    for (char& c : clean)
        if (c == '\\') c = '/';
    if (clean.size() > 1 && clean[1] == ':') clean = "/" + clean;  // a drive letter: file:///C:/...
    if (!clean.empty() && clean[0] == '/') uri += "//";
    static const char kHex[] = "0123456789ABCDEF";
    for (const char c : clean) {
        if (c == '%' || c == '?' || c == '#') {
            uri += '%';
            uri += kHex[static_cast<unsigned char>(c) >> 4];
            uri += kHex[static_cast<unsigned char>(c) & 0x0F];
        } else {
            uri += c;
        }
    }
    return uri + "?" + parameters;
}
}  // namespace

int SqliteDb::Open(const std::string& path, bool create, int busyTimeoutMs) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    return OpenWith(path, flags, busyTimeoutMs);
}

int SqliteDb::OpenReadOnly(const std::string& path, bool immutable, int busyTimeoutMs) {
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | (immutable ? SQLITE_OPEN_URI : 0);
    return OpenWith(immutable ? FileUri(path, "immutable=1") : path, flags, busyTimeoutMs);
}

int SqliteDb::OpenWith(const std::string& name, int flags, int busyTimeoutMs) {
    Close();
    const int code = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr);
    if (code != SQLITE_OK) {
        Close();  // sqlite3_open_v2 may hand back a handle even when it failed
        return code;
    }
    sqlite3_extended_result_codes(m_db, 0);
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    return SQLITE_OK;
}

void SqliteDb::Close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

int SqliteDb::Exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

std::optional<std::int64_t> SqliteDb::QueryInt(const char* sql, int* code) {
    SqliteStatement statement(*this, sql);
    int result = statement.PrepareCode();
    std::optional<std::int64_t> value;
    if (result == SQLITE_OK) {
        result = statement.Step();
        if (result == SQLITE_ROW) {
            value = statement.Int(0);
            result = SQLITE_OK;
        }
    }
    if (code) *code = result;
    return value;
}

std::string SqliteDb::Message() const { return m_db ? sqlite3_errmsg(m_db) : "no database"; }

std::string SqliteDb::MessageFor(int code) const {
    // After a rollback the connection's message is "not an error": the failure's own text then.
    if (m_db && sqlite3_errcode(m_db) == code) return sqlite3_errmsg(m_db);
    return sqlite3_errstr(code);
}

SqliteStatement::SqliteStatement(const SqliteDb& db, const char* sql) {
    m_prepare = sqlite3_prepare_v2(db.Handle(), sql, -1, &m_stmt, nullptr);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_stmt); }

void SqliteStatement::Bind(int index, const std::string& text) {
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::BindBlob(int index, const std::string& bytes) {
    sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::Bind(int index, std::int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }

void SqliteStatement::BindNull(int index) { sqlite3_bind_null(m_stmt, index); }

int SqliteStatement::Step() { return m_stmt ? sqlite3_step(m_stmt) : m_prepare; }

void SqliteStatement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::string SqliteStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }

bool SqliteStatement::IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

bool IsDamagedCode(int code) { return code == SQLITE_NOTADB || code == SQLITE_CORRUPT; }
