#pragma once
// The team's history on the server: its tables, their version, the roles that use them. The schema is
// made and brought up to date by `quarvel-cli server init` (the owner's role), in code, never by hand;
// the sync only checks the version. Any thread, on the caller's connection.
#include <string>

#include "team/pg_connection.h"

// 1: reads and service visits, each with its id, technician and machine, and the pull cursor's columns;
// the version row with the history's id. 2: each read's counter reset and controller change.
inline constexpr int kTeamSchemaVersion = 2;

// Makes the schema in the connection's database, or brings an older one up to date, in one transaction;
// *before: the version found (0: none). A newer schema is left alone (NewerSchema).
TeamError InitTeamSchema(CPgConnection& connection, int* before);

// The server's version against this program's: None when equal, else NoSchema, OlderSchema or NewerSchema.
// *historyId: the id the schema got when it was made, which names this team's history (a server made
// anew, or another server, has another; a restored backup keeps it).
TeamError CheckTeamSchema(CPgConnection& connection, std::string* historyId);

// After a backup was restored (in place, or into a new cluster by dump and restore): gives the history a
// new id and renumbers every read and visit into this transaction, in one transaction under the schema's
// lock. The restored history lacks what was kept after the backup, yet every laptop counts those records
// as sent, and on a new cluster the rows carry the old cluster's transaction numbers, which the pull's
// cursor may not reach for a long time. With a new id every laptop starts over at its next round: it sends
// everything it holds (the server skips what it has) and pulls everything. The schema must be this
// program's version. *records: the reads and visits renumbered.
TeamError RestartTeamHistory(CPgConnection& connection, long long* records);

// The SQL that makes the two roles (shown by `quarvel-cli server init`; run by a database superuser): an
// owner that makes the schema, and technicians that may only read and add records.
std::string TeamRolesSql();
