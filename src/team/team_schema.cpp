#include "team/team_schema.h"

#include <cstdlib>

namespace {
// Step n (from 0) takes version n to n + 1. Records are only ever added: the technicians' role has no
// UPDATE or DELETE. `seq` numbers the rows as they arrive and `tx` is the adding transaction, the two
// columns of the pull's cursor (see team_sync.cpp).
const char* const kSteps[kTeamSchemaVersion] = {
    "CREATE TABLE reads("
    " seq bigserial NOT NULL, id uuid PRIMARY KEY, tx xid8 NOT NULL DEFAULT pg_current_xact_id(),"
    " read_at timestamptz NOT NULL, tool_model text NOT NULL, tool_serial text NOT NULL,"
    " controller_serial text NOT NULL, firmware_version text NOT NULL, cycle_counter bigint NOT NULL,"
    " total_counter bigint NOT NULL, position_counts bigint NOT NULL, force_reading bigint NOT NULL,"
    " force_factor bigint NOT NULL, force_divisor bigint NOT NULL, cycle_flags bigint NOT NULL,"
    " device_info bytea NOT NULL, port text NOT NULL, speed bigint NOT NULL, technician text NOT NULL,"
    " machine text NOT NULL);"
    "CREATE INDEX reads_pull ON reads(tx, seq);"
    "CREATE INDEX reads_by_tool ON reads(tool_serial, controller_serial, id);"
    "CREATE TABLE service_visits("
    " seq bigserial NOT NULL, id uuid PRIMARY KEY, tx xid8 NOT NULL DEFAULT pg_current_xact_id(),"
    " tool_serial text NOT NULL, controller_serial text NOT NULL, read_id uuid NOT NULL,"
    " serviced_at timestamptz NOT NULL, total_counter bigint NOT NULL, note text NOT NULL,"
    " technician text NOT NULL, machine text NOT NULL);"
    "CREATE INDEX service_visits_pull ON service_visits(tx, seq);",
    "ALTER TABLE reads ADD COLUMN reset_from bigint, ADD COLUMN controller_before text NOT NULL DEFAULT '';",
};

// The technicians' role, when it exists, may read every table and add to the record tables.
constexpr const char* kGrants =
    "DO $$ BEGIN"
    " IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'quarvel_technicians') THEN"
    "  GRANT USAGE ON SCHEMA public TO quarvel_technicians;"
    "  GRANT SELECT ON quarvel_schema TO quarvel_technicians;"
    "  GRANT SELECT, INSERT ON reads, service_visits TO quarvel_technicians;"
    "  GRANT USAGE ON SEQUENCE reads_seq_seq, service_visits_seq_seq TO quarvel_technicians;"
    " END IF;"
    " END $$";

TeamError ReadVersion(CPgConnection& connection, int* version, std::string* historyId = nullptr) {
    CPgResult result;
    TeamError error = connection.Exec(
        "SELECT version, history_id FROM quarvel_schema ORDER BY version DESC LIMIT 1", {}, &result);
    if (error.Failed()) return error;
    *version = result.Rows() > 0 ? std::atoi(result.Text(0, 0).c_str()) : 0;
    if (historyId) *historyId = result.Rows() > 0 ? result.Text(0, 1) : std::string();
    return {};
}

std::string VersionDetail(int server) {
    return "the server's is version " + std::to_string(server) + ", this program's " +
           std::to_string(kTeamSchemaVersion);
}
}  // namespace

TeamError InitTeamSchema(CPgConnection& connection, int* before) {
    *before = 0;
    if (TeamError e = connection.Exec("BEGIN"); e.Failed()) return e;
    // One init at a time: the second waits for the first and then finds its work done.
    TeamError error = connection.Exec(
        "CREATE TABLE IF NOT EXISTS quarvel_schema(version integer NOT NULL,"
        " history_id uuid NOT NULL DEFAULT gen_random_uuid())");
    if (!error.Failed()) error = connection.Exec("LOCK TABLE quarvel_schema IN EXCLUSIVE MODE");
    if (!error.Failed()) error = ReadVersion(connection, before);
    if (!error.Failed() && *before > kTeamSchemaVersion)
        error = {TeamProblem::NewerSchema, VersionDetail(*before)};
    for (int step = *before; !error.Failed() && step < kTeamSchemaVersion; ++step)
        error = connection.Exec(kSteps[step]);
    if (!error.Failed() && *before < kTeamSchemaVersion) {
        // The row keeps its history id across upgrades: laptops' cursors stay valid.
        const std::string version = std::to_string(kTeamSchemaVersion);
        error = *before == 0 ? connection.Exec("INSERT INTO quarvel_schema(version) VALUES($1)", {version})
                             : connection.Exec("UPDATE quarvel_schema SET version = $1", {version});
    }
    if (!error.Failed()) error = connection.Exec(kGrants);
    if (!error.Failed()) error = connection.Exec("COMMIT");
    if (error.Failed() && connection.IsOpen()) connection.Exec("ROLLBACK");
    return error;
}

TeamError CheckTeamSchema(CPgConnection& connection, std::string* historyId) {
    int version = 0;
    TeamError error = ReadVersion(connection, &version, historyId);
    if (error.problem == TeamProblem::NoSchema) return {TeamProblem::NoSchema, error.detail};
    if (error.Failed()) return error;
    if (version == 0) return {TeamProblem::NoSchema, "quarvel_schema holds no version"};
    if (version > kTeamSchemaVersion) return {TeamProblem::NewerSchema, VersionDetail(version)};
    if (version < kTeamSchemaVersion) return {TeamProblem::OlderSchema, VersionDetail(version)};
    return {};
}

TeamError RestartTeamHistory(CPgConnection& connection, long long* records) {
    *records = 0;
    if (TeamError e = connection.Exec("BEGIN"); e.Failed()) return e;
    // Under the lock server init takes: never beside an upgrade.
    TeamError error = connection.Exec("LOCK TABLE quarvel_schema IN EXCLUSIVE MODE");
    if (!error.Failed()) {
        std::string id;
        error = CheckTeamSchema(connection, &id);
    }
    for (const char* table : {"reads", "service_visits"}) {
        if (error.Failed()) break;
        CPgResult result;
        error =
            connection.Exec(std::string("WITH renumbered AS (UPDATE ") + table +
                                " SET tx = pg_current_xact_id() RETURNING 1) SELECT COUNT(*) FROM renumbered",
                            {}, &result);
        if (!error.Failed()) *records += std::atoll(result.Text(0, 0).c_str());
    }
    if (!error.Failed()) error = connection.Exec("UPDATE quarvel_schema SET history_id = gen_random_uuid()");
    if (!error.Failed()) error = connection.Exec("COMMIT");
    if (error.Failed()) {
        *records = 0;
        if (connection.IsOpen()) connection.Exec("ROLLBACK");
    }
    return error;
}

std::string TeamRolesSql() {
    return "-- As a database superuser (psql -U postgres), once per server:\n"
           "CREATE ROLE quarvel_owner LOGIN PASSWORD 'choose-one';\n"
           "CREATE DATABASE quarvel OWNER quarvel_owner;\n"
           "REVOKE ALL ON DATABASE quarvel FROM PUBLIC;\n"
           "CREATE ROLE quarvel_technicians NOLOGIN;\n"
           "GRANT CONNECT ON DATABASE quarvel TO quarvel_technicians;\n"
           "-- one login per technician, in the technicians' role:\n"
           "CREATE ROLE ann LOGIN PASSWORD 'choose-one' IN ROLE quarvel_technicians;\n"
           "-- then, as quarvel_owner: quarvel-cli server init --server 'host=... dbname=quarvel "
           "user=quarvel_owner'\n"
           "-- (it grants the technicians SELECT and INSERT, never UPDATE or DELETE, on the history's "
           "tables)\n";
}
