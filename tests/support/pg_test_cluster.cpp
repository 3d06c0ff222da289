#include "support/pg_test_cluster.h"

#include <cstdlib>
#include <fstream>

namespace testsupport {
std::string PgClusterPath(const std::string& name) {
    const char* dir = std::getenv("QUARVEL_TEST_PG_DIR");
    std::string path = std::string(dir ? dir : "") + "/" + name;
#ifdef _WIN32
    path = "Z:" + path;
#endif
    return path;
}

std::string PgClusterValue(const std::string& name) {
    std::ifstream in(PgClusterPath(name));
    std::string line;
    std::getline(in, line);
    return line;
}

std::string PgConninfo(const std::string& user, const std::string& database) {
    return "host=127.0.0.1 port=" + PgClusterValue("port") + " dbname=" + database + " user=" + user +
           " password=" + PgClusterValue("password") + " sslmode=disable";
}
}  // namespace testsupport
