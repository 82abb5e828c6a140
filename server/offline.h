#pragma once

// The data routines' way through the offline cache: every answer the server gives is kept,
// and while the server cannot be reached the kept answer is given instead. Once the server
// is found unreachable, calls do not try it for an interval (30 s, or KZT_RETRY_SECONDS);
// then one call tries again with a 2 s connect limit.

#include "server/module_global.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Srv_kzt00318 {

class TrdmObservacao;

// Where the last data routine's answer came from.
struct LastAnswer {
    enum class Origin { Server, Cache, Unreachable };
    Origin origin = Origin::Server;
    std::int64_t readAt = 0; // from the cache: when the server gave it (seconds since the epoch)
};
KZT_MODULE_API LastAnswer lastAnswer();
// The same for those who load the module by name: the ISO 8601 time the server gave the
// last routine's answer when it came from the cache, else empty.
KZT_MODULE_API std::string answerCachedAt();

// The cache folder as the host set it ("off" switches the cache off); nullopt leaves it to
// KZT_CACHE_DIR or the default.
void setCacheFolder(std::optional<std::string> folder);
const std::optional<std::string>& cacheFolderSetting();
// The folder in force for the store connection; empty when the cache is off.
std::string cacheFolderInForce();

// Runs `read` on the data module's connection, opened first, unless the server is known to
// be away. What the server answers is kept when `keep` is set; when the server cannot be
// reached, the kept answer of `routine` with `args` is given. Raises the database error
// when there is none.
std::string throughCache(const char* routine, const std::vector<std::string>& args, bool keep,
                         const std::function<std::string(TrdmObservacao&)>& read);

// Opens the connection as the dialog does before its first routine. A server that cannot be
// reached is left to the routines when an offline cache may answer for it.
void connectStore();

// Forgets that the server was found away, when the host gives another connection.
void forgetServer() noexcept;

// Forgets the cache and what is known of the server, when the data module goes.
void releaseOffline() noexcept;

// Frees all of it, the cache folder the host named too, when the module's code goes.
void freeOffline() noexcept;

} // namespace Srv_kzt00318
