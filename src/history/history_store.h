#pragma once
// CHistoryStore: the service history in one SQLite file per user. It opens the file on first use
// (creating it and its folder for a write), brings the schema up to date, uses write-ahead logging and
// waits at most the busy time-out for another writer. A file that is not a database, or a damaged one,
// is renamed aside (history.sqlite3.damaged-<time>) and a new file started. One object per thread:
// the object owns its connection; several objects and processes may use the same file at once.
// Failures are values (HistoryStatus), never exceptions.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "history/history_read.h"
#include "history/service_plan.h"
#include "history/sqlite_db.h"
#include "history/sync_state.h"
#include "platform/files/file_identity.h"

// Why the history could not be used, for a message in the user's language.
enum class HistoryCause { None, Locked, Full, ReadOnly, Damaged, NotADatabase, Newer, Other };

struct HistoryStatus {
    bool ok = true;
    std::string message;  // English, with the file's path, for a log line or a tooltip; empty when ok
    HistoryCause cause = HistoryCause::None;  // when not ok: Other unless SQLite or the schema said more
};

struct HistoryVisitOutcome {
    bool found = false;                    // the visit was kept
    std::string uuid;                      // its id
    std::string controller;                // the controller it applies to
    std::int64_t totalCounter = 0;         // the total counter it counts from (that read's)
    std::vector<std::string> controllers;  // every controller the tool was read with
};

struct HistoryStoreOptions {
    std::string path;               // the file; empty: DefaultHistoryPath()
    int busyTimeoutMs = 2000;       // the longest wait for another connection's write lock
    std::int64_t maxPageCount = 0;  // tests only: a store that is full after this many pages
    // Put on each read and visit kept here; empty: the account's name (AccountDisplayName) and MachineId.
    std::string technician;
    std::string machine;
};

// $XDG_STATE_HOME/quarvel/history.sqlite3 (see platform/state_dir.h); empty without a home folder.
std::string DefaultHistoryPath();

class CHistoryStore {
public:
    explicit CHistoryStore(HistoryStoreOptions options = {});

    // Keeps the read; its id, technician and machine are filled in where empty (`kept`, when given, gets
    // the row as stored).
    HistoryStatus Insert(const HistoryRead& read, HistoryRead* kept = nullptr);
    // A service visit of the tool with this serial and controller at their last read's total counter;
    // with no controller given, of the one controller the tool was read with. The status is ok and
    // outcome->found false when there is no such read, or when the tool was read with several controllers
    // and none was given (outcome->controllers lists them, the last read's first).
    HistoryStatus AddServiceVisit(const std::string& toolSerial, const std::string& controllerSerial,
                                  const std::string& note, const std::string& servicedAt,
                                  HistoryVisitOutcome* outcome);
    // The fleet: each tool's last read (tools by tool and controller serial), ordered by serial; only
    // tools last read at or after `since` (empty: all). A missing file is an empty history.
    HistoryStatus Fleet(const std::string& since, const ServicePlan& plan, std::vector<HistoryRow>& rows);
    // Every read of the tool with this serial at or after `since`, oldest first.
    HistoryStatus Tool(const std::string& toolSerial, const std::string& since, const ServicePlan& plan,
                       std::vector<HistoryRow>& rows);

    // The tool's service visits in the order they take effect (by the read each counts from).
    HistoryStatus Visits(const std::string& toolSerial, std::vector<HistoryVisit>& visits);

    // The records the team's server does not have yet (see src/team), oldest first: up to `limit` reads,
    // then visits up to the same limit in all. A missing file has none.
    HistoryStatus Unsent(std::size_t limit, std::vector<HistoryRead>& reads,
                         std::vector<HistoryVisit>& visits);
    // Notes, in one transaction, that the server has these reads and visits (by id).
    HistoryStatus MarkSent(const std::vector<HistoryRead>& reads, const std::vector<HistoryVisit>& visits);
    // How many reads and visits wait for the server.
    HistoryStatus UnsentCount(std::int64_t* count);
    // Keeps records pulled from the server (those already here are skipped) and, in the same transaction,
    // the sync values (the pull's cursor); *added: how many were new here.
    HistoryStatus KeepPulled(const std::vector<HistoryRead>& reads, const std::vector<HistoryVisit>& visits,
                             const std::vector<std::pair<std::string, std::string>>& values,
                             std::size_t* added);
    // The sync's own values (cursor, last success, last error); "" when never set or with no file.
    HistoryStatus SyncValue(const std::string& name, std::string* value);
    HistoryStatus SetSyncValues(const std::vector<std::pair<std::string, std::string>>& values);
    // Starts over with another server's history (its id: `serverId`), in one transaction: every record
    // waits to be sent again and the pull's cursors are forgotten, so the new server gets all of this
    // laptop's records and this laptop all of the server's.
    HistoryStatus ResetSync(const std::string& serverId);
    // The outcome of the last sync round and how many records wait (all empty with no file).
    HistoryStatus SyncState(HistorySyncState* state);

    const std::string& Path() const { return m_options.path; }
    const HistoryStoreOptions& Options() const { return m_options; }
    // The name the last damaged file was renamed to; empty when none was.
    const std::string& SetAsideName() const { return m_setAside; }

private:
    // Opens the file once. `create` false: a missing file is not created (*exists false, status ok).
    HistoryStatus EnsureOpen(bool create, bool* exists = nullptr);
    HistoryStatus OpenOnce(bool create, int* code);
    // Opens the file for the views: read-only, so a read-only folder or a full disk still shows the rows.
    // *exists false (status ok) for a missing file, or a damaged one that was just set aside.
    HistoryStatus OpenForReading(bool* exists);
    HistoryStatus VersionRefused(int version);
    HistoryStatus ReadFailure(int code);
    int InsertRow(HistoryRead& read);  // read complete but for its facts, which this fills in
    HistoryStatus SetAside();
    HistoryStatus Failure(const std::string& what, int code);
    // Runs `body` inside BEGIN IMMEDIATE ... COMMIT on the writing connection; a failed body rolls back.
    template <typename Body>
    HistoryStatus InTransaction(const char* what, Body body);
    HistoryStatus Query(const char* sql, const std::vector<std::string>& texts, const ServicePlan& plan,
                        std::vector<HistoryRow>& rows);

    HistoryStoreOptions m_options;
    SqliteDb m_db;
    bool m_writable = false;                 // the open connection may write
    std::optional<FileIdentity> m_identity;  // the file the writing connection opened
    std::string m_setAside;
};
