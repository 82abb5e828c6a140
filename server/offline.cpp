#include "server/offline.h"

#include "platform/db/offlinecache.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "server/rdmobservacao.h"

#include <cstdlib>
#include <ctime>
#include <memory>

namespace Srv_kzt00318 {

namespace {

using Clock = kzt::ServerWatch::Clock;

// What is known between calls. Reached through a pointer that is never freed, since the
// module's unload (at exit too) still resets it after static objects would have gone.
struct State {
    std::optional<std::string> folderSetting;
    std::unique_ptr<kzt::OfflineCache> cache;
    kzt::ServerWatch watch;
    std::string awayConnection; // the connection string of the server found away
    LastAnswer last;
};

State*& heldState()
{
    static State* held = nullptr;
    return held;
}

State& state()
{
    State*& held = heldState();
    if (!held)
        held = new State();
    return *held;
}

TrdmObservacao& dataModule()
{
    if (!rdmObservacao)
        rdmObservacao = new TrdmObservacao(); // owned by the module variable until exit
    return *rdmObservacao;
}

std::chrono::milliseconds retryInterval()
{
    const char* text = std::getenv("KZT_RETRY_SECONDS");
    char* end = nullptr;
    const double seconds = text ? std::strtod(text, &end) : -1;
    if (text == nullptr || end == text || *end != '\0' || !(seconds >= 0) || seconds > 86400)
        return std::chrono::seconds(kzt::ServerWatch::kDefaultRetrySeconds);
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
}

// The cache of this connection string, or nothing when it is off.
kzt::OfflineCache* cacheFor(const std::string& connection)
{
    const std::string folder = kzt::offlineCacheFolder(state().folderSetting, connection);
    if (folder.empty())
        return nullptr;
    if (!state().cache || state().cache->folder() != folder)
        state().cache = std::make_unique<kzt::OfflineCache>(folder);
    return state().cache.get();
}

// A local SQLite store is the till's own file, not a server that comes and goes: it is
// watched only when an offline cache was asked for it.
bool watched(const std::string& connection, const kzt::OfflineCache* cache)
{
    return cache != nullptr || connection.rfind("sqlite3://", 0) != 0;
}

// The string the connection was last given: read after an open, so that asking for it
// costs the host library no call of its own.
std::string connectionOf(const TrdmObservacao& rdm)
{
    return kzt::utf16ToUtf8(rdm.adcObs.connectionString());
}

// Whether calls now go straight to the cache, the server having been found away moments
// ago. A host that moved to another connection meanwhile goes to that one.
bool skipping(const TrdmObservacao& rdm)
{
    state().watch.setRetryInterval(retryInterval());
    if (state().watch.shouldTry(Clock::now()))
        return false;
    if (kzt::utf16ToUtf8(rdm.storeConnectionString()) == state().awayConnection)
        return true;
    state().watch.reachable();
    return false;
}

// Opens the connection; a retry of a server found away waits only the short connect limit.
void open(TrdmObservacao& rdm)
{
    rdm.adcObs.setConnectLimit(state().watch.away()
                                   ? std::optional<int>(kzt::ServerWatch::kRetryConnectSeconds)
                                   : std::nullopt);
    try {
        rdm.adcObs.setConnected(true);
    } catch (...) {
        rdm.adcObs.setConnectLimit(std::nullopt);
        throw;
    }
    rdm.adcObs.setConnectLimit(std::nullopt);
}

// Notes a failure; true when it means the server cannot be reached and the till is to go
// on without it.
bool wentAway(const TrdmObservacao& rdm, const kzt::DatabaseError& error)
{
    if (!kzt::unreachable(error)) {
        state().watch.reachable(); // it answered, if only with an error
        return false;
    }
    const std::string connection = connectionOf(rdm);
    if (!watched(connection, cacheFor(connection)))
        return false;
    state().watch.unreachable(Clock::now(), error);
    state().awayConnection = connection;
    return true;
}

// The kept answer, or the server's failure again.
std::string keptAnswer(const TrdmObservacao& rdm, const char* routine,
                       const std::vector<std::string>& args, bool keep)
{
    const std::string connection = connectionOf(rdm);
    if (kzt::OfflineCache* cache = keep ? cacheFor(connection) : nullptr) {
        if (auto kept = cache->fetch(kzt::offlineKey(connection, routine, args))) {
            state().last = {LastAnswer::Origin::Cache, kept->readAt};
            return std::move(kept->value);
        }
    }
    state().last = {LastAnswer::Origin::Unreachable, 0};
    throw *state().watch.lastFailure();
}

} // namespace

LastAnswer lastAnswer()
{
    return state().last;
}

std::string answerCachedAt()
{
    return state().last.origin == LastAnswer::Origin::Cache ? kzt::isoTime(state().last.readAt)
                                                            : std::string();
}

void setCacheFolder(std::optional<std::string> folder)
{
    state().folderSetting = std::move(folder);
}

const std::optional<std::string>& cacheFolderSetting()
{
    return state().folderSetting;
}

std::string cacheFolderInForce()
{
    return kzt::offlineCacheFolder(state().folderSetting,
                                   kzt::utf16ToUtf8(dataModule().storeConnectionString()));
}

std::string throughCache(const char* routine, const std::vector<std::string>& args, bool keep,
                         const std::function<std::string(TrdmObservacao&)>& read)
{
    TrdmObservacao& rdm = dataModule();
    state().last = {};
    if (skipping(rdm))
        return keptAnswer(rdm, routine, args, keep);
    std::string value;
    try {
        open(rdm);
        value = read(rdm);
    } catch (const kzt::DatabaseError& e) {
        if (!wentAway(rdm, e))
            throw;
        return keptAnswer(rdm, routine, args, keep);
    }
    state().watch.reachable();
    const std::string connection = connectionOf(rdm);
    if (kzt::OfflineCache* cache = keep ? cacheFor(connection) : nullptr)
        cache->store(kzt::offlineKey(connection, routine, args), value, std::time(nullptr));
    return value;
}

void connectStore()
{
    TrdmObservacao& rdm = dataModule();
    const auto cached = [&rdm] { return cacheFor(connectionOf(rdm)) != nullptr; };
    if (skipping(rdm)) {
        if (cached())
            return;
        throw *state().watch.lastFailure();
    }
    try {
        open(rdm);
    } catch (const kzt::DatabaseError& e) {
        if (!wentAway(rdm, e) || !cached())
            throw;
    }
}

void forgetServer() noexcept
{
    state().watch = kzt::ServerWatch();
}

void releaseOffline() noexcept
{
    state().cache.reset();
    state().watch = kzt::ServerWatch();
    state().last = {};
}

void freeOffline() noexcept
{
    delete heldState();
    heldState() = nullptr;
}

} // namespace Srv_kzt00318
