#pragma once

#include <atomic>
#include <thread>

namespace kzt::test {

// A server on the loopback that takes connections and never says a word. Each connection
// is let go after a while, so that a client without a limit of its own ends too, late;
// the rest go when the object goes. A frozen one (a stopped server) takes none itself:
// the system completes the connections, which then wait in its queue.
class SilentServer {
public:
    enum class Kind { Silent, Frozen };
    explicit SilentServer(Kind kind = Kind::Silent);
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return mPort; }

private:
    void serve();

    int mListener = -1;
    int mPort = 0;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

} // namespace kzt::test
