#pragma once
// The statements that store a read, and their binding: used by the store (a read kept here, a read pulled
// from the team's server) and by the benchmark's bare insert, so that all write a row the same way.
// Caller's thread (the statement's connection's).
#include "history/history_read.h"
#include "history/sqlite_db.h"

extern const char* const kInsertReadSql;
// The same, for a read that may be here already (pulled from the server): a known id is skipped.
extern const char* const kInsertPulledReadSql;

// Binds every column of `read` to a statement prepared from kInsertReadSql or kInsertPulledReadSql;
// `synced`: the server has it.
void BindRead(SqliteStatement& statement, const HistoryRead& read, bool synced);
