#pragma once
// The one statement that stores a read, and its binding: used by the store, and by the benchmark's bare
// insert, so that both write a row the same way. Caller's thread (the statement's connection's).
#include "history/history_read.h"
#include "history/sqlite_db.h"

extern const char* const kInsertReadSql;

// Binds every column of `read` to a statement prepared from kInsertReadSql.
void BindRead(SqliteStatement& statement, const HistoryRead& read);
