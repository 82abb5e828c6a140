#include "platform/db/connection.h"

#include "platform/db/connectionstring.h"
#include "platform/db/execution.h"
#include "platform/db/preparedread.h"
#include "platform/process.h"
#include "platform/text.h"

#include <soci/soci.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>

#include <dlfcn.h>
#include <unistd.h>

namespace kzt {

using Category = DatabaseError::Category;

// One opened session and what was prepared on it; given up and closed as a whole.
struct Connection::Live {
    ConnectionTarget target;
    Engine engine = Engine::Unknown;
    pid_t openedBy = ::getpid();
    std::unique_ptr<soci::session> session;
    std::map<std::string, std::unique_ptr<detail::PreparedRead>> reads; // by statement

    ~Live() { reads.clear(); } // statements go before the session they were prepared on
};

namespace {

// A failed read on a session that no longer works: reopened and read again.
struct Broken {
    detail::DriverFailure failure;
};

std::string secondsText(int value)
{
    return std::to_string(value) + (value == 1 ? " second" : " seconds");
}

} // namespace

Connection::Connection(std::string name) : mName(std::move(name)) {}

Connection::~Connection()
{
    close();
}

void Connection::setConnectionString(const std::u16string& text)
{
    mConnectionString = text;
}

void Connection::bounded(const std::function<void(Live&)>& job, int seconds,
                         const std::string& what)
{
    if (!mLive)
        throw DatabaseError(Category::ConnectionFailed, mName + ": the connection is not open.");
    // The job holds the session too, so a session given up lives until its job is over.
    std::shared_ptr<Live> live = mLive;
    try {
        if (mExecution->run([live, job] { job(*live); }, std::chrono::seconds(seconds)))
            return;
    } catch (const detail::GivenUp&) {
        mLive.reset();
        mExecution.reset();
        throw DatabaseError(Category::Timeout,
                            utf8ToCp1252("The database server did not answer within "
                                         + secondsText(seconds) + " (" + what + ")."));
    }
    // The job ended, but only because its session was cut at the limit: the session is over.
    mLive.reset();
    mExecution.reset();
}

void Connection::forgetInherited()
{
    if (!mLive || mLive->openedBy == ::getpid())
        return;
    // Not closed, not even its statements: every one of those would speak on the
    // parent's socket. The threads of its execution are the parent's and do not run
    // here, so it is kept as it is too.
    detail::keepForever(std::move(mLive));
    detail::keepForever(std::shared_ptr<detail::Execution>(std::move(mExecution)));
    mLive.reset();
}

bool Connection::finishGivenUpWork(std::chrono::milliseconds limit)
{
    if (detail::finishGivenUpWork(limit))
        return true;
    // A thread still inside the client library would return into unmapped code.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&detail::finishGivenUpWork), &info) && info.dli_fname)
        ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return false;
}

void Connection::setConnected(bool on)
{
    if (!on) {
        close();
        return;
    }
    forgetInherited();
    if (mLive)
        return;
    if (beforeConnect)
        beforeConnect(*this);

    ConnectionTarget target = parseConnectionString(utf16ToUtf8(mConnectionString));
    if (mConnectLimit)
        target.connectTimeout = std::min(target.connectTimeout, *mConnectLimit);
    // SQLite would quietly create an empty store in place of a missing one, and every
    // query would then fail on a missing table far from the real cause.
    if (target.backend == "sqlite3" && !target.sqliteInMemory && !fileExists(target.sqliteFile))
        throw DatabaseError(Category::ConnectionFailed,
                            "Database file not found: " + utf8ToCp1252(target.sqliteFile));

    detail::finishGivenUpWork(std::chrono::milliseconds(0)); // joins what ended since
    mLive = std::make_shared<Live>();
    mLive->target = target;
    const detail::Regime regime = detail::regimeFor(target.backend);
    // A server's connect is never waited for without a limit, whatever runs its statements.
    mExecution =
        regime == detail::Regime::CallerThread ? detail::onCallerThread() : detail::onWorker();
    try {
        bounded(
            [](Live& live) {
                auto session = std::make_unique<soci::session>();
                try {
                    session->open(live.target.backend, live.target.parameters);
                    live.engine = detail::engineOf(*session);
                    detail::limitSession(*session, live.target.queryTimeout);
                } catch (const soci::soci_error& e) {
                    throw DatabaseError(Category::ConnectionFailed,
                                        utf8ToCp1252(detail::driverText(e.get_error_message())));
                }
                live.session = std::move(session);
            },
            target.connectTimeout, "connecting");
    } catch (...) {
        close();
        throw;
    }
    if (regime == detail::Regime::Watched) {
        // Statements run here, watched: no hand-over to another thread on every read.
        mExecution.reset();
        mExecution = detail::watched(detail::postgresqlSocket(*mLive->session));
    }

    if (afterConnect) {
        // A session that could not be prepared is not left open half-way: the next
        // open tries again from the start.
        try {
            afterConnect(*this);
        } catch (...) {
            close();
            throw;
        }
    }
}

void Connection::close()
{
    forgetInherited();
    if (mExecution && mLive) {
        // Closing talks to the server too (a statement is deallocated, a goodbye sent).
        try {
            bounded(
                [](Live& live) {
                    live.reads.clear();
                    live.session.reset();
                },
                mLive->target.queryTimeout, "closing");
        } catch (const DatabaseError&) {
            // Given up: its thread closes it when the server lets it.
        }
    }
    mLive.reset();
    mExecution.reset();
}

bool Connection::connected() const
{
    return mLive && mLive->openedBy == ::getpid();
}

std::string Connection::backendName() const
{
    return mLive ? mLive->target.backend : std::string();
}

Engine Connection::engine() const
{
    return mLive ? mLive->engine : Engine::Unknown;
}

int Connection::connectTimeout() const
{
    return mLive ? mLive->target.connectTimeout : ConnectionTarget::kDefaultConnectTimeout;
}

int Connection::queryTimeout() const
{
    return mLive ? mLive->target.queryTimeout : ConnectionTarget::kDefaultQueryTimeout;
}

soci::session& Connection::session()
{
    forgetInherited();
    if (!mLive)
        throw DatabaseError(Category::ConnectionFailed, mName + ": the connection is not open.");
    return *mLive->session;
}

void Connection::execute(const std::string& sql)
{
    setConnected(true);
    bounded(
        [sql](Live& live) {
            try {
                *live.session << sql;
            } catch (const soci::soci_error& e) {
                const detail::DriverFailure failure = detail::failureOf(e);
                throw DatabaseError(utf8ToCp1252(failure.text), utf8ToCp1252(sql), {},
                                    failure.category);
            }
        },
        queryTimeout(), "running a statement");
}

void Connection::transaction(const std::function<void()>& work)
{
    setConnected(true);
    const auto step = [this](const char* what, void (soci::session::*call)()) {
        bounded(
            [call, what](Live& live) {
                try {
                    ((*live.session).*call)();
                } catch (const soci::soci_error& e) {
                    const detail::DriverFailure failure = detail::failureOf(e);
                    throw DatabaseError(utf8ToCp1252(failure.text), what, {}, failure.category);
                }
            },
            queryTimeout(), what);
    };
    step("beginning a transaction", &soci::session::begin);
    try {
        work();
    } catch (...) {
        if (mLive) {
            try {
                step("rolling back", &soci::session::rollback);
            } catch (const DatabaseError&) {
                // The work's own error says more than the rollback's.
            }
        }
        throw;
    }
    step("committing", &soci::session::commit);
}

std::vector<Connection::Cell>
Connection::read(const std::string& sql,
                 const std::vector<std::pair<std::string, std::string>>& params,
                 std::size_t columns)
{
    std::vector<std::string> names;
    std::vector<std::string> values;
    for (const auto& [name, value] : params) {
        names.push_back(name);
        values.push_back(value);
    }
    std::vector<Cell> cells;
    try {
        setConnected(true);
        try {
            readOnce(sql, names, values, columns, cells);
        } catch (const Broken&) {
            // The server restarted or ended the session: once more on a new one.
            close();
            setConnected(true);
            cells.clear();
            readOnce(sql, names, values, columns, cells);
        }
    } catch (const Broken& broken) {
        close();
        throw DatabaseError(utf8ToCp1252(broken.failure.text), sql, describeParams(params),
                            Category::ConnectionLost);
    } catch (const detail::DriverFailure& failure) {
        throw DatabaseError(utf8ToCp1252(failure.text), sql, describeParams(params),
                            failure.category);
    }
    return cells;
}

void Connection::readOnce(const std::string& sql, const std::vector<std::string>& names,
                          const std::vector<std::string>& values, std::size_t columns,
                          std::vector<Cell>& cells)
{
    // The job owns what it works on: a job given up at the time limit may still finish.
    auto result = std::make_shared<std::vector<Cell>>();
    bounded(
        [sql, names, values, columns, result](Live& live) {
            const std::string key = sql + '\x1f' + std::to_string(columns);
            try {
                auto found = live.reads.find(key);
                if (found == live.reads.end()) {
                    found = live.reads
                                .emplace(key, detail::prepareRead(
                                                  *live.session, rewriteForEngine(live.engine, sql),
                                                  names, columns, live.target.queryTimeout))
                                .first;
                }
                found->second->run(values, *result);
            } catch (const detail::DriverFailure& failure) {
                // A statement that failed is prepared afresh next time.
                live.reads.erase(key);
                if (live.engine != Engine::Sqlite && !live.session->is_connected())
                    throw Broken{failure};
                throw;
            }
        },
        queryTimeout(), "reading");
    cells = std::move(*result);
}

} // namespace kzt
