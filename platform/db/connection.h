#pragma once

// The database connection standing in for the ADO connection, over SOCI. Connection
// strings are SOCI's "backend://parameters" (connectionstring.h): sqlite3://db=/path/store.db
// (the embedded default), odbc://DSN=... or odbc://Driver=...;Server=... (SQL Server and
// others through ODBC), postgresql://dbname=... host=...
//
// No wait is unbounded. A server's connection is opened on a thread of the connection's
// own, which the caller waits for only as long as the time limit allows. PostgreSQL
// statements run on the caller's thread under a watchdog that shuts the session's socket
// when their limit passes; other servers' statements run on the connection's thread too.
// A connection found broken is reopened once and the read retried before any error is
// reported. SQLite, a file in this process, is used on the caller's thread; its one wait,
// for another writer's lock, is bounded by its busy timeout (execution.h).
//
// A session belongs to the process that opened it. In a child after fork() the inherited
// session is left as it is, never used nor closed (closing would say goodbye to the
// server on the parent's behalf, and SQLite forbids both), and the child opens its own.

#include "platform/db/databaseerror.h"
#include "platform/db/sqldialect.h"
#include "platform/platform_global.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace soci {
class session;
}

namespace kzt {

namespace detail {
class Execution;
}

class KZT_PLATFORM_API Connection {
public:
    explicit Connection(std::string name = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& name() const { return mName; }
    void setConnectionString(const std::u16string& text);
    std::u16string connectionString() const { return mConnectionString; }
    void setLoginPrompt(bool on) { mLoginPrompt = on; } // kept off: no credential dialog
    bool loginPrompt() const { return mLoginPrompt; }

    // true opens (running beforeConnect, opening, then afterConnect) unless already open,
    // when nothing happens; false closes. A failure to open raises DatabaseError carrying
    // the driver's text (ConnectionFailed, or Timeout) and leaves the connection closed.
    void setConnected(bool on);
    bool connected() const;

    std::function<void(Connection&)> beforeConnect;
    std::function<void(Connection&)> afterConnect;

    // The backend's name ("sqlite3", "odbc", "postgresql") and the engine on the other
    // end (through ODBC, the one the driver reports); empty and Unknown while closed.
    std::string backendName() const;
    Engine engine() const;
    // The time limits of the open connection, in seconds.
    int connectTimeout() const;
    // A shorter limit for the next opens, whatever the string says (a retry of a server
    // found away); nullopt goes back to the string's.
    void setConnectLimit(std::optional<int> seconds) { mConnectLimit = seconds; }
    int queryTimeout() const;

    // The open session itself, used on the caller's thread without a time limit; raises
    // DatabaseError when closed. execute() is the bounded way to run a statement.
    soci::session& session();

    // Runs one statement that gives no rows (a session setting, a table, a row), as
    // written, within the query time limit. Opens the connection first when closed.
    void execute(const std::string& sql);
    // Runs `work` in one transaction: committed when it returns, rolled back when it raises.
    void transaction(const std::function<void()>& work);

    // A handle that empties when this connection is destroyed, for those who use the
    // connection without owning it.
    std::weak_ptr<Connection* const> handle() const { return mHandle; }

    using Cell = std::optional<std::string>; // UTF-8; nullopt for null
    // Reads a query's rows, `columns` cells a row, every cell as the driver's text.
    // `sql` is in the SQL Server dialect and rewritten for the engine; `params` are bound
    // by name. The statement is prepared once and kept for later reads. Opens the
    // connection first when closed. Raises DatabaseError with the statement and values.
    std::vector<Cell> read(const std::string& sql,
                           const std::vector<std::pair<std::string, std::string>>& params,
                           std::size_t columns);

    // Waits up to `limit` for the work of every connection that was given up at its time
    // limit (a connect or statement a silent server never answered) to end. Called by the
    // unload step: such work runs this library's code. False when some is still running;
    // this library is then kept loaded for the rest of the process.
    static bool finishGivenUpWork(std::chrono::milliseconds limit);

private:
    struct Live;

    // Runs `job` against the session within `seconds`; past the limit the session is
    // given up (its thread finishes on its own) and Timeout is raised naming `what`.
    void bounded(const std::function<void(Live&)>& job, int seconds, const std::string& what);
    // Leaves a session opened by another process (this one's parent) untouched for good.
    void forgetInherited();
    void readOnce(const std::string& sql, const std::vector<std::string>& names,
                  const std::vector<std::string>& values, std::size_t columns,
                  std::vector<Cell>& cells);
    void close();

    std::string mName;
    std::u16string mConnectionString;
    bool mLoginPrompt = false;
    std::optional<int> mConnectLimit;
    std::shared_ptr<Live> mLive;
    std::unique_ptr<detail::Execution> mExecution; // how mLive's work runs
    std::shared_ptr<Connection* const> mHandle = std::make_shared<Connection* const>(this);
};

} // namespace kzt
