#pragma once
// CPgConnection: one connection to the team's PostgreSQL server through libpq, used by one thread at a
// time. Every wait for the server is bounded (a connect time-out per host, a reply time-out per wait) and
// cut short by the waker, so a stop never waits out a silent server; the one wait it cannot cut is a
// host name lookup, which the system's resolver bounds. Multi-host connection strings are tried host by
// host, each with its own time-out, as libpq does. Failures are values (TeamError), never exceptions.
#include <cstdint>
#include <string>
#include <vector>

#include "team/team_error.h"

struct pg_conn;
struct pg_result;
class CSocketWaker;

struct PgConnectOptions {
    std::string conninfo;                 // keyword=value or a postgresql:// URI, with one or more hosts
    int connectTimeoutMs = 10000;         // per host, unless the string sets connect_timeout
    int maxConnectTimeoutMs = 0;          // > 0: not longer than this whatever the string says
    int replyTimeoutMs = 60000;           // the longest wait for the server to take or answer a statement
    const CSocketWaker* waker = nullptr;  // woken: the wait in progress ends with TeamProblem::Stopped
};

// The rows of one statement's result, as text.
class CPgResult {
public:
    CPgResult() = default;
    ~CPgResult();
    CPgResult(const CPgResult&) = delete;
    CPgResult& operator=(const CPgResult&) = delete;
    CPgResult(CPgResult&& other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
    CPgResult& operator=(CPgResult&& other) noexcept;

    int Rows() const;
    std::string Text(int row, int column) const;
    bool IsNull(int row, int column) const;
    // The row count of an INSERT, UPDATE or DELETE ("INSERT 0 12": 12).
    std::int64_t Affected() const;
    void Reset(pg_result* result);

private:
    pg_result* m_result = nullptr;
};

class CPgConnection {
public:
    CPgConnection() = default;
    ~CPgConnection() { Close(); }
    CPgConnection(const CPgConnection&) = delete;
    CPgConnection& operator=(const CPgConnection&) = delete;

    TeamError Connect(const PgConnectOptions& options);
    void Close();
    bool IsOpen() const { return m_conn != nullptr; }

    // Runs one statement with text parameters ($1, $2, ...), or without any several statements at once;
    // `result` (may be null) takes the rows of the last.
    // A connection that broke, timed out or was stopped is closed.
    TeamError Exec(const std::string& sql, const std::vector<std::string>& params = {},
                   CPgResult* result = nullptr);

    // "host:port" of the server this connection reached.
    std::string ServerAddress() const;

private:
    TeamError AttemptOne(const std::vector<std::pair<std::string, std::string>>& params, int timeoutMs);
    TeamError Await(bool forWrite, int timeoutMs);  // one wait for the socket
    TeamError Broken(const std::string& what);      // closes the connection

    pg_conn* m_conn = nullptr;
    PgConnectOptions m_options;
};

// The problem a libpq connection message describes (the password, TLS, or no server at all).
TeamProblem ProblemOfConnectionMessage(const std::string& message);
// libpq's message on one line: line breaks become "; ", the end trimmed.
std::string OneLine(const std::string& message);
