#include "tests/support/silentserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kzt::test {

SilentServer::SilentServer(Kind kind)
{
    mListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(mListener, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::listen(mListener, 64) != 0
        || ::getsockname(mListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        ADD_FAILURE() << "cannot listen on the loopback";
    mPort = ntohs(address.sin_port);
    if (kind == Kind::Silent)
        mThread = std::thread([this] { serve(); });
}

SilentServer::~SilentServer()
{
    mStop = true;
    if (mThread.joinable())
        mThread.join();
    ::close(mListener);
}

void SilentServer::serve()
{
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<int, Clock::time_point>> taken;
    while (!mStop) {
        pollfd listening{mListener, POLLIN, 0};
        if (::poll(&listening, 1, 50) == 1)
            taken.emplace_back(::accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC), Clock::now());
        while (!taken.empty() && Clock::now() - taken.front().second > std::chrono::seconds(8)) {
            ::close(taken.front().first);
            taken.erase(taken.begin());
        }
    }
    for (const auto& [fd, since] : taken)
        ::close(fd);
}

} // namespace kzt::test
