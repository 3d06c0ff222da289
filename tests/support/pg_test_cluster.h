#pragma once
// The private PostgreSQL cluster of the CTest fixture pgserver (tests/team/pg_fixture.sh), as a test
// reaches it: the folder is $QUARVEL_TEST_PG_DIR (a Linux path; under Wine through drive Z:). Plain files.
#include <string>

namespace testsupport {
// A file of the cluster's folder (port, password, server.crt).
std::string PgClusterPath(const std::string& name);
// Its first line; empty when there is none (no fixture).
std::string PgClusterValue(const std::string& name);
// "host=127.0.0.1 port=N dbname=DB user=USER password=PW sslmode=disable": the roles of the fixture
// (postgres, quarvel_owner, ann, bob) share one password.
std::string PgConninfo(const std::string& user, const std::string& database);
}  // namespace testsupport
