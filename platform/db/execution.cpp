#include "platform/db/execution.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace kzt::detail {

namespace {

// What a process keeps and never touches again. Reachable from here, so that a leak
// checker does not take it for memory lost.
std::mutex gKeptMutex;
std::vector<std::shared_ptr<void>>* gKept = new std::vector<std::shared_ptr<void>>;

// The threads of jobs given up at their limit, until they end. A child after fork() has
// none of its parent's threads: it starts a list of its own, and never touches the
// parent's (whose lock another thread of the parent may have held at the fork).
class GivenUpThreads {
public:
    struct Entry {
        std::thread thread;
        std::shared_ptr<const bool> ended; // read under `mutex` of its worker
        std::shared_ptr<std::mutex> endedMutex;
    };

    static GivenUpThreads& here()
    {
        static std::mutex guard; // only orders the first use and a child's replacement
        static GivenUpThreads* list = nullptr;
        std::lock_guard<std::mutex> lock(guard);
        if (!list || list->mPid != ::getpid()) {
            if (list)
                keepForever(std::shared_ptr<void>(list, [](void*) {}));
            list = new GivenUpThreads; // never destroyed: threads may use it during exit
        }
        return *list;
    }

    void adopt(Entry entry)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        reapEnded();
        mEntries.push_back(std::move(entry));
    }

    bool finish(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::unique_lock<std::mutex> lock(mMutex);
        for (;;) {
            reapEnded();
            if (mEntries.empty())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            // The threads do not call back, so that none of them waits on this lock.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            lock.lock();
        }
    }

private:
    void reapEnded()
    {
        for (auto it = mEntries.begin(); it != mEntries.end();) {
            bool ended = false;
            {
                std::lock_guard<std::mutex> lock(*it->endedMutex);
                ended = *it->ended;
            }
            if (ended) {
                it->thread.join();
                it = mEntries.erase(it);
            } else {
                ++it;
            }
        }
    }

    const pid_t mPid = ::getpid();
    std::mutex mMutex;
    std::vector<Entry> mEntries;
};

class CallerThread final : public Execution {
public:
    bool run(const std::function<void()>& job, std::chrono::seconds) override
    {
        job();
        return true;
    }
};

// Watches the jobs run on the caller's thread: when one is still running past its limit,
// the session's socket is shut. It looks a few times a second, so that running a
// statement costs no more than noting its deadline.
class Watchdog final : public Execution {
public:
    explicit Watchdog(int socket) : mSocket(socket)
    {
        mThread = std::thread([this] { watch(); });
    }
    ~Watchdog() override
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mQuit = true;
        }
        mWake.notify_all();
        mThread.join();
    }

    bool run(const std::function<void()>& job, std::chrono::seconds limit) override
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mDeadline = std::chrono::steady_clock::now() + limit;
            mArmed = true;
        }
        std::exception_ptr error;
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
        bool fired = false;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mArmed = false;
            fired = mFired;
        }
        if (fired && error)
            throw GivenUp{}; // the error is the shut socket's, not the server's
        if (error)
            std::rethrow_exception(error);
        return !fired;
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

// A thread that runs one job at a time. A job still running at its deadline (a server
// that never answers) keeps the thread; when the worker goes, the thread is handed to
// the list of given-up threads, and ends by itself once the job returns.
class Worker final : public Execution {
public:
    Worker() : mShared(std::make_shared<Shared>())
    {
        mThread = std::thread([shared = mShared] { loop(*shared); });
    }

    ~Worker() override
    {
        {
            std::lock_guard<std::mutex> lock(mShared->mutex);
            mShared->quit = true;
        }
        mShared->wake.notify_all();
        if (!mGivenUp) {
            mThread.join();
            return;
        }
        GivenUpThreads::here().adopt({std::move(mThread),
                                      std::shared_ptr<const bool>(mShared, &mShared->ended),
                                      std::shared_ptr<std::mutex>(mShared, &mShared->mutex)});
    }

    bool run(const std::function<void()>& job, std::chrono::seconds limit) override
    {
        std::unique_lock<std::mutex> lock(mShared->mutex);
        mShared->job = job;
        mShared->done = false;
        mShared->error = nullptr;
        mShared->wake.notify_all();
        if (!mShared->finished.wait_for(lock, limit, [this] { return mShared->done; })) {
            mGivenUp = true;
            throw GivenUp{};
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
        bool ended = false;
        std::exception_ptr error;
    };

    static void loop(Shared& shared)
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        for (;;) {
            shared.wake.wait(lock, [&] { return shared.quit || !shared.done; });
            if (shared.done)
                break; // quit with nothing left to do
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
        shared.ended = true;
    }

    std::shared_ptr<Shared> mShared;
    std::thread mThread;
    bool mGivenUp = false;
};

} // namespace

std::unique_ptr<Execution> onCallerThread()
{
    return std::make_unique<CallerThread>();
}

std::unique_ptr<Execution> watched(int socket)
{
    return std::make_unique<Watchdog>(socket);
}

std::unique_ptr<Execution> onWorker()
{
    return std::make_unique<Worker>();
}

bool finishGivenUpWork(std::chrono::milliseconds limit)
{
    return GivenUpThreads::here().finish(limit);
}

namespace {

// A process that ends without unloading the module (a host linked to it, a test program)
// still waits for given-up work, and joins what ended.
const struct FinishAtExit {
    FinishAtExit() = default;
    FinishAtExit(const FinishAtExit&) = delete;
    FinishAtExit& operator=(const FinishAtExit&) = delete;
    ~FinishAtExit() { finishGivenUpWork(std::chrono::seconds(5)); }
} finishAtExit;

} // namespace

void keepForever(std::shared_ptr<void> what)
{
    std::lock_guard<std::mutex> lock(gKeptMutex);
    gKept->push_back(std::move(what));
}

} // namespace kzt::detail
