#include "platform/db/connection.h"

#include "platform/db/connectionstring.h"
#include "platform/db/preparedread.h"
#include "platform/process.h"
#include "platform/text.h"

#include <soci/soci.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include <sys/socket.h>

namespace kzt {

using Category = DatabaseError::Category;

// One opened session and what was prepared on it; given up and closed as a whole.
struct Connection::Live {
    ConnectionTarget target;
    Engine engine = Engine::Unknown;
    std::unique_ptr<soci::session> session;
    std::map<std::string, std::unique_ptr<detail::PreparedRead>> reads; // by statement

    ~Live() { reads.clear(); } // statements go before the session they were prepared on
};

// A thread that runs one job at a time for its connection. The caller waits for a job
// only until a deadline; a job still running then (a server that never answers) keeps
// the thread, which ends by itself once the job returns.
class Connection::Worker {
public:
    Worker() : mShared(std::make_shared<Shared>())
    {
        mThread = std::thread([shared = mShared] { loop(*shared); });
    }

    ~Worker()
    {
        {
            std::lock_guard<std::mutex> lock(mShared->mutex);
            mShared->quit = true;
        }
        mShared->wake.notify_all();
        if (mAbandoned)
            mThread.detach();
        else
            mThread.join();
    }

    // False when the deadline passed first; the worker is then abandoned.
    bool run(std::function<void()> job, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(mShared->mutex);
        mShared->job = std::move(job);
        mShared->done = false;
        mShared->error = nullptr;
        mShared->wake.notify_all();
        if (!mShared->finished.wait_for(lock, limit, [this] { return mShared->done; })) {
            mAbandoned = true;
            return false;
        }
        if (mShared->error)
            std::rethrow_exception(mShared->error);
        return true;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable finished;
        std::function<void()> job;
        bool done = true;
        bool quit = false;
        std::exception_ptr error;
    };

    static void loop(Shared& shared)
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        for (;;) {
            shared.wake.wait(lock, [&] { return shared.quit || !shared.done; });
            if (shared.done)
                return; // quit with nothing left to do
            std::function<void()> job = std::move(shared.job);
            lock.unlock();
            std::exception_ptr error;
            try {
                job();
            } catch (...) {
                error = std::current_exception();
            }
            job = nullptr; // what the job held (a given-up session) is released here
            lock.lock();
            shared.error = error;
            shared.done = true;
            shared.finished.notify_all();
        }
    }

    std::shared_ptr<Shared> mShared;
    std::thread mThread;
    bool mAbandoned = false;
};

// Watches the statements a session runs on the caller's thread: when one is still
// running past its limit, the session's socket is shut, so the client library's wait
// ends at once with an error. It looks a few times a second, so that running a
// statement costs no more than noting its deadline.
class Connection::Watchdog {
public:
    explicit Watchdog(int socket) : mSocket(socket)
    {
        mThread = std::thread([this] { watch(); });
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mQuit = true;
        }
        mWake.notify_all();
        mThread.join();
    }

    void arm(std::chrono::seconds limit)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mDeadline = std::chrono::steady_clock::now() + limit;
        mArmed = true;
    }
    // True when the socket was shut before the statement ended.
    bool disarm()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mArmed = false;
        return mFired;
    }

private:
    void watch()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        while (!mQuit) {
            mWake.wait_for(lock, std::chrono::milliseconds(100));
            if (mArmed && !mFired && std::chrono::steady_clock::now() >= mDeadline) {
                ::shutdown(mSocket, SHUT_RDWR);
                mFired = true;
            }
        }
    }

    int mSocket;
    std::mutex mMutex;
    std::condition_variable mWake;
    std::chrono::steady_clock::time_point mDeadline;
    bool mArmed = false;
    bool mFired = false;
    bool mQuit = false;
    std::thread mThread;
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
    std::shared_ptr<Live> live = mLive;
    const auto timeout = [&] {
        return DatabaseError(Category::Timeout,
                             utf8ToCp1252("The database server did not answer within "
                                          + secondsText(seconds) + " (" + what + ")."));
    };
    if (mWatchdog) {
        mWatchdog->arm(std::chrono::seconds(seconds));
        std::exception_ptr error;
        try {
            job(*live);
        } catch (...) {
            error = std::current_exception();
        }
        if (mWatchdog->disarm()) {
            // The session's socket was shut to end the wait: the session is over.
            mLive.reset();
            live.reset();
            mWatchdog.reset();
            if (error)
                throw timeout();
        }
        if (error)
            std::rethrow_exception(error);
        return;
    }
    if (!mWorker) {
        job(*live);
        return;
    }
    // The job holds the session too, so a session given up lives until its job is over.
    if (mWorker->run([live, job] { job(*live); }, std::chrono::seconds(seconds)))
        return;
    mWorker.reset();
    mLive.reset();
    throw timeout();
}

void Connection::setConnected(bool on)
{
    if (!on) {
        close();
        return;
    }
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

    mLive = std::make_shared<Live>();
    mLive->target = target;
    if (target.backend != "sqlite3")
        mWorker = std::make_unique<Worker>();
    try {
        bounded(
            [](Live& live) {
                auto session = std::make_unique<soci::session>();
                try {
                    session->open(live.target.backend, live.target.parameters);
                    live.engine = detail::engineOf(*session);
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
    if (target.backend == "postgresql") {
        // Statements run here, watched: no hand-over to another thread on every read.
        mWorker.reset();
        mWatchdog = std::make_unique<Watchdog>(detail::postgresqlSocket(*mLive->session));
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
    if ((mWorker || mWatchdog) && mLive) {
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
    mWorker.reset();
    mWatchdog.reset();
}

bool Connection::connected() const
{
    return mLive != nullptr;
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
