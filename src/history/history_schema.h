#pragma once
// The store's schema, versioned by PRAGMA user_version. Step n (counting from 0) takes a file of
// version n to version n + 1; a new file runs every step. Constants and one function; any thread.
#include <cstddef>
#include <string>

class SqliteDb;

// 1: the reads table. 2: service visits, and the index by tool that the views use. 3: records that
// travel to a team's server: each read and visit has an id (a UUID), its technician and machine and
// whether the server has it; the views order by id; the last read of each tool is kept in its own table;
// the sync's cursor and status. 4: each read's counter reset and controller change.
inline constexpr int kHistorySchemaVersion = 4;
extern const char* const kHistorySchemaSteps[kHistorySchemaVersion];

// Who the rows kept before version 3 are put down to: the technician and machine of the laptop that
// brings its file up to date.
struct HistoryIdentity {
    std::string technician, machine;
};

// Brings the open database to kHistorySchemaVersion inside one write transaction; the result code.
// A file of a later version is left alone and reported as SQLITE_MISMATCH (*fileVersion tells which).
// A step that fails is rolled back; *error then holds SQLite's message for it.
int MigrateHistorySchema(SqliteDb& db, const HistoryIdentity& who, int* fileVersion, std::string* error);
