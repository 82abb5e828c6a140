#pragma once

// Inside the database layer: how a connection's work runs against its time limits. The
// regime is chosen once per open connection, by its backend (preparedread.h):
//   - on the caller's thread, with no limit of ours (SQLite: a file in this process,
//     whose one wait, for another writer's lock, is bounded by its busy timeout);
//   - on the caller's thread under a watchdog that shuts the session's socket when the
//     limit passes, so the client library's wait ends at once (PostgreSQL);
//   - on a thread of the connection's own, which the caller waits for only until the
//     limit (every other server, and every server's connect).
// Work given up at its limit is not detached: its thread is kept track of until it ends,
// and the module's unload step waits for it (finishGivenUpWork).

#include <chrono>
#include <functional>
#include <memory>

namespace kzt::detail {

enum class Regime { CallerThread, Watched, Worker };

// Raised by Execution::run when the limit passed before the job ended.
struct GivenUp {};

class Execution {
public:
    virtual ~Execution() = default;
    // Runs `job` within `limit`, raising what it raises. False when the job ended but the
    // session had to be cut to end it in time: the session is over. Raises GivenUp when
    // the job is still running at the limit: it is left to end on its own, and whatever
    // it holds (the session) is released there.
    virtual bool run(const std::function<void()>& job, std::chrono::seconds limit) = 0;
};

std::unique_ptr<Execution> onCallerThread();
// `socket` is the session's: shut when a job outlives its limit.
std::unique_ptr<Execution> watched(int socket);
std::unique_ptr<Execution> onWorker();

// Waits up to `limit` for every job given up at its limit to end, and joins its thread.
// False when one is still running then.
bool finishGivenUpWork(std::chrono::milliseconds limit);

// Keeps `what` alive and untouched for the rest of the process: for what a forked child
// inherited and must neither use nor close.
void keepForever(std::shared_ptr<void> what);

} // namespace kzt::detail
