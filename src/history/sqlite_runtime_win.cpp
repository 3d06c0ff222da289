// The SQLite functions the history uses, bound at first use to the system's winsqlite3.dll (Windows 10
// and later) or a sqlite3.dll installed beside the program. Without either library every open fails
// with SQLITE_CANTOPEN and the history says it cannot use its file; nothing else changes.
#include <sqlite3.h>

#include <mutex>

#include "platform/shared_library.h"

namespace {

void* Library() {
    static void* library = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        static const wchar_t* const kNames[] = {L"sqlite3.dll", L"winsqlite3.dll", nullptr};
        library = LoadFirstSharedLibrary(kNames);
    });
    return library;
}

template <typename Result, typename... Args>
Result ResultOf(Result (*)(Args...));

template <typename Function>
Function* Bind(const char* name) {
    return reinterpret_cast<Function*>(FindSharedSymbol(Library(), name));
}

}  // namespace

// Each forwarder looks its function up once; a missing function gives the fallback value.
#define QUARVEL_SQLITE_FORWARD(name, fallback, params, args)                    \
    extern "C" decltype(ResultOf(&::name)) name params {                             \
        static auto* const function = Bind<decltype(::name)>(#name);            \
        if (function == nullptr) return fallback;                               \
        return function args;                                                   \
    }

#define P(...) (__VA_ARGS__)

QUARVEL_SQLITE_FORWARD(sqlite3_open_v2, (*db = nullptr, SQLITE_CANTOPEN),
                       P(const char* file, sqlite3** db, int flags, const char* vfs), P(file, db, flags, vfs))
QUARVEL_SQLITE_FORWARD(sqlite3_close_v2, SQLITE_OK, P(sqlite3* db), P(db))
QUARVEL_SQLITE_FORWARD(sqlite3_busy_timeout, SQLITE_MISUSE, P(sqlite3* db, int ms), P(db, ms))
QUARVEL_SQLITE_FORWARD(sqlite3_extended_result_codes, SQLITE_MISUSE, P(sqlite3* db, int on), P(db, on))
QUARVEL_SQLITE_FORWARD(sqlite3_exec, SQLITE_MISUSE,
                       P(sqlite3* db, const char* sql, int (*cb)(void*, int, char**, char**), void* arg, char** err),
                       P(db, sql, cb, arg, err))
QUARVEL_SQLITE_FORWARD(sqlite3_changes, 0, P(sqlite3* db), P(db))
QUARVEL_SQLITE_FORWARD(sqlite3_errmsg, "SQLite is not available", P(sqlite3* db), P(db))
QUARVEL_SQLITE_FORWARD(sqlite3_errstr, "SQLite is not available (no sqlite3.dll or winsqlite3.dll)", P(int code),
                       P(code))
QUARVEL_SQLITE_FORWARD(sqlite3_prepare_v2, (*stmt = nullptr, SQLITE_MISUSE),
                       P(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** stmt, const char** tail),
                       P(db, sql, bytes, stmt, tail))
QUARVEL_SQLITE_FORWARD(sqlite3_bind_blob, SQLITE_MISUSE,
                       P(sqlite3_stmt* s, int i, const void* v, int n, void (*d)(void*)), P(s, i, v, n, d))
QUARVEL_SQLITE_FORWARD(sqlite3_bind_text, SQLITE_MISUSE,
                       P(sqlite3_stmt* s, int i, const char* v, int n, void (*d)(void*)), P(s, i, v, n, d))
QUARVEL_SQLITE_FORWARD(sqlite3_bind_int64, SQLITE_MISUSE, P(sqlite3_stmt* s, int i, sqlite3_int64 v), P(s, i, v))
QUARVEL_SQLITE_FORWARD(sqlite3_clear_bindings, SQLITE_MISUSE, P(sqlite3_stmt* s), P(s))
QUARVEL_SQLITE_FORWARD(sqlite3_step, SQLITE_MISUSE, P(sqlite3_stmt* s), P(s))
QUARVEL_SQLITE_FORWARD(sqlite3_reset, SQLITE_MISUSE, P(sqlite3_stmt* s), P(s))
QUARVEL_SQLITE_FORWARD(sqlite3_finalize, SQLITE_OK, P(sqlite3_stmt* s), P(s))
QUARVEL_SQLITE_FORWARD(sqlite3_column_blob, nullptr, P(sqlite3_stmt* s, int c), P(s, c))
QUARVEL_SQLITE_FORWARD(sqlite3_column_bytes, 0, P(sqlite3_stmt* s, int c), P(s, c))
QUARVEL_SQLITE_FORWARD(sqlite3_column_int64, 0, P(sqlite3_stmt* s, int c), P(s, c))
QUARVEL_SQLITE_FORWARD(sqlite3_column_type, SQLITE_NULL, P(sqlite3_stmt* s, int c), P(s, c))
