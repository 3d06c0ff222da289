#include "team/pg_connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "platform/net/socket_wait.h"

namespace {
using Clock = std::chrono::steady_clock;

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        items.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

// A waker that is never woken, for connections nobody stops.
const CSocketWaker& WakerOr(const CSocketWaker* waker) {
    static const CSocketWaker kNever;
    return waker ? *waker : kNever;
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

// Contains any of the words, ignoring case.
bool Mentions(const std::string& text, std::initializer_list<const char*> words) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return std::any_of(words.begin(), words.end(),
                       [&](const char* w) { return lower.find(w) != std::string::npos; });
}

TeamProblem ProblemOfState(const char* state) {
    const std::string s = state ? state : "";
    if (s.rfind("08", 0) == 0 || s.rfind("57P", 0) == 0) return TeamProblem::Unreachable;
    if (s.rfind("28", 0) == 0) return TeamProblem::Password;
    if (s == "42P01") return TeamProblem::NoSchema;
    return TeamProblem::Refused;
}
}  // namespace

TeamProblem ProblemOfConnectionMessage(const std::string& message) {
    if (Mentions(message, {"password", "authentication failed", "fe_sendauth", "scram", "role \""}))
        return TeamProblem::Password;
    if (Mentions(message, {"ssl", "certificate", "tls"})) return TeamProblem::Tls;
    if (Mentions(message, {"database \""})) return TeamProblem::Refused;  // database "x" does not exist
    return TeamProblem::Unreachable;
}

std::string OneLine(const std::string& message) {
    std::string line;
    for (char c : message) {
        if (c == '\n') {
            if (!line.empty() && line.compare(line.size() - 2, 2, "; ") != 0) line += "; ";
        } else if (c == ' ' || c == '\t') {
            if (!line.empty() && line.back() != ' ') line += ' ';  // no runs of blanks, none after "; "
        } else if (c != '\r') {
            line += c;
        }
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == ';')) line.pop_back();
    return line;
}

CPgResult::~CPgResult() { Reset(nullptr); }

CPgResult& CPgResult::operator=(CPgResult&& other) noexcept {
    if (this != &other) {
        Reset(other.m_result);
        other.m_result = nullptr;
    }
    return *this;
}

void CPgResult::Reset(pg_result* result) {
    if (m_result) PQclear(m_result);
    m_result = result;
}

int CPgResult::Rows() const { return m_result ? PQntuples(m_result) : 0; }

std::string CPgResult::Text(int row, int column) const {
    if (!m_result || PQgetisnull(m_result, row, column)) return {};
    return std::string(PQgetvalue(m_result, row, column),
                       static_cast<std::size_t>(PQgetlength(m_result, row, column)));
}

bool CPgResult::IsNull(int row, int column) const { return !m_result || PQgetisnull(m_result, row, column); }

std::int64_t CPgResult::Affected() const {
    const char* count = m_result ? PQcmdTuples(m_result) : "";
    return *count ? std::strtoll(count, nullptr, 10) : 0;
}

void CPgConnection::Close() {
    if (m_conn) PQfinish(m_conn);
    m_conn = nullptr;
}

TeamError CPgConnection::Broken(const std::string& what) {
    const std::string message = m_conn ? OneLine(PQerrorMessage(m_conn)) : std::string();
    Close();
    return {TeamProblem::Unreachable, message.empty() ? what : what + ": " + message};
}

TeamError CPgConnection::Connect(const PgConnectOptions& options) {
    Close();
    m_options = options;
    if (options.conninfo.empty()) return {TeamProblem::NoServer, ""};
    char* parseError = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(options.conninfo.c_str(), &parseError);
    if (!parsed) {
        const std::string why = parseError ? OneLine(parseError) : "out of memory";
        if (parseError) PQfreemem(parseError);
        return {TeamProblem::BadSettings, why};
    }
    // Only what the string names is passed on, so that libpq still takes the rest from its environment
    // (PGPASSWORD, PGSSLMODE, the password file). The hosts are tried one by one below.
    std::vector<std::pair<std::string, std::string>> common;
    std::string hosts, addresses, ports, timeout;
    bool named = false;
    for (const PQconninfoOption* o = parsed; o->keyword; ++o) {
        if (!o->val) continue;
        const std::string key = o->keyword;
        if (key == "host")
            hosts = o->val;
        else if (key == "hostaddr")
            addresses = o->val;
        else if (key == "port")
            ports = o->val;
        else if (key == "connect_timeout")
            timeout = o->val;
        else
            common.emplace_back(key, o->val);
        named = named || key == "application_name";
    }
    PQconninfoFree(parsed);
    if (!named) common.emplace_back("application_name", "quarvel");

    int timeoutMs = options.connectTimeoutMs;
    if (!timeout.empty() && std::atoi(timeout.c_str()) > 0)
        timeoutMs = std::max(2, std::atoi(timeout.c_str())) * 1000;
    if (options.maxConnectTimeoutMs > 0) timeoutMs = std::min(timeoutMs, options.maxConnectTimeoutMs);

    const std::vector<std::string> hostList = hosts.empty() ? std::vector<std::string>{} : SplitList(hosts);
    const std::vector<std::string> addressList =
        addresses.empty() ? std::vector<std::string>{} : SplitList(addresses);
    const std::vector<std::string> portList = ports.empty() ? std::vector<std::string>{} : SplitList(ports);
    const std::size_t count = std::max<std::size_t>({1, hostList.size(), addressList.size()});
    if (portList.size() > 1 && portList.size() != count)
        return {TeamProblem::BadSettings, "the string names " + std::to_string(portList.size()) +
                                              " ports for " + std::to_string(count) + " hosts"};
    TeamError last;
    std::string all;
    for (std::size_t i = 0; i < count; ++i) {
        auto params = common;
        if (i < hostList.size() && !hostList[i].empty()) params.emplace_back("host", hostList[i]);
        if (i < addressList.size() && !addressList[i].empty())
            params.emplace_back("hostaddr", addressList[i]);
        if (!portList.empty()) {
            const std::string& port = portList.size() == 1 ? portList[0] : portList[i];
            if (!port.empty()) params.emplace_back("port", port);
        }
        last = AttemptOne(params, timeoutMs);
        if (!last.Failed() || last.problem == TeamProblem::Stopped) return last;
        all += (all.empty() ? "" : "; ") + last.detail;
    }
    if (count > 1) last.detail = all;
    return last;
}

TeamError CPgConnection::AttemptOne(const std::vector<std::pair<std::string, std::string>>& params,
                                    int timeoutMs) {
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : params) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    m_conn = PQconnectStartParams(keys.data(), values.data(), 0);
    if (!m_conn) return {TeamProblem::Unreachable, "out of memory"};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    PostgresPollingStatusType state =
        PQstatus(m_conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        const int socket = PQsocket(m_conn);
        if (socket < 0) break;
        const SocketWaitResult waited = WaitForSocket(socket, state == PGRES_POLLING_WRITING,
                                                      WakerOr(m_options.waker), MillisecondsLeft(deadline));
        if (waited == SocketWaitResult::Woken) {
            Close();
            return {TeamProblem::Stopped, ""};
        }
        if (waited == SocketWaitResult::TimedOut) {
            const std::string host = PQhost(m_conn) ? PQhost(m_conn) : "";
            Close();
            return {TeamProblem::Unreachable, "no answer from " +
                                                  (host.empty() ? std::string("the server") : host) +
                                                  " within " + std::to_string(timeoutMs / 1000) + " s"};
        }
        state = PQconnectPoll(m_conn);
    }
    if (state != PGRES_POLLING_OK || PQstatus(m_conn) != CONNECTION_OK) {
        const std::string message = OneLine(PQerrorMessage(m_conn));
        Close();
        return {ProblemOfConnectionMessage(message), message};
    }
    if (PQsetnonblocking(m_conn, 1) != 0) return Broken("cannot use the connection");
    // The server's notices ("already exists, skipping") are not for the user's terminal.
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    return {};
}

TeamError CPgConnection::Await(bool forWrite, int timeoutMs) {
    switch (WaitForSocket(PQsocket(m_conn), forWrite, WakerOr(m_options.waker), timeoutMs)) {
        case SocketWaitResult::Ready:
            if (!PQconsumeInput(m_conn)) return Broken("the connection broke");
            return {};
        case SocketWaitResult::Woken:
            Close();
            return {TeamProblem::Stopped, ""};
        case SocketWaitResult::TimedOut:
            Close();
            return {TeamProblem::Unreachable,
                    "the server did not answer within " + std::to_string(timeoutMs / 1000) + " s"};
        case SocketWaitResult::Failed:
            break;
    }
    return Broken("cannot wait for the server");
}

TeamError CPgConnection::Exec(const std::string& sql, const std::vector<std::string>& params,
                              CPgResult* result) {
    if (!m_conn) return {TeamProblem::Unreachable, "not connected"};
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const std::string& p : params) values.push_back(p.c_str());
    // Without parameters the simple protocol runs it, which takes several statements at once (a schema).
    const int sent = params.empty() ? PQsendQuery(m_conn, sql.c_str())
                                    : PQsendQueryParams(m_conn, sql.c_str(), static_cast<int>(values.size()),
                                                        nullptr, values.data(), nullptr, nullptr, 0);
    if (!sent) return Broken("cannot send the statement");
    for (int flushed; (flushed = PQflush(m_conn)) != 0;) {
        if (flushed < 0) return Broken("cannot send the statement");
        if (TeamError e = Await(true, m_options.replyTimeoutMs); e.Failed()) return e;
    }
    TeamError error;
    for (;;) {
        while (PQisBusy(m_conn)) {
            if (TeamError e = Await(false, m_options.replyTimeoutMs); e.Failed()) return e;
        }
        PGresult* r = PQgetResult(m_conn);
        if (!r) break;
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_FATAL_ERROR && !error.Failed()) {
            // The server's own sentence, without the statement's text and position that follow it.
            const char* primary = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
            error = {ProblemOfState(PQresultErrorField(r, PG_DIAG_SQLSTATE)),
                     OneLine(primary ? primary : PQresultErrorMessage(r))};
        }
        if ((status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) && result) {
            result->Reset(r);
        } else {
            PQclear(r);
        }
    }
    if (PQstatus(m_conn) == CONNECTION_BAD) return Broken("the connection broke");
    return error;
}

std::string CPgConnection::ServerAddress() const {
    if (!m_conn) return {};
    const char* host = PQhost(m_conn);
    const char* port = PQport(m_conn);
    return std::string(host ? host : "") + ":" + (port ? port : "");
}
