#pragma once
// The store's schema, versioned by PRAGMA user_version. Step n (counting from 0) takes a file of
// version n to version n + 1; a new file runs every step. Constants and one function; any thread.
#include <cstddef>
#include <string>

class SqliteDb;

// 1: the reads table. 2: service visits, and the index by tool that the views use.
inline constexpr int kHistorySchemaVersion = 2;
extern const char* const kHistorySchemaSteps[kHistorySchemaVersion];

// Brings the open database to kHistorySchemaVersion inside one write transaction; the result code.
// A file of a later version is left alone and reported as SQLITE_MISMATCH (*fileVersion tells which).
// A step that fails is rolled back; *error then holds SQLite's message for it.
int MigrateHistorySchema(SqliteDb& db, int* fileVersion, std::string* error);
