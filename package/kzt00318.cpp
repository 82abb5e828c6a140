// The plain C interface (kzt00318.h): no exception, no C++ type and no half-written reply
// crosses it.

#include "package/kzt00318.h"

#include "client/cinterface.h"
#include "platform/db/connectionstring.h"
#include "platform/json.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

namespace capi = Cli_kzt00318::capi;

constexpr int kRan = 0;
constexpr int kRefused = 1;

// The module is not re-entrant across threads: a call while another thread's call runs
// is refused rather than left to wait behind a dialog. The same thread may nest (a host
// callback running inside the dialog's event loop).
std::recursive_mutex gCall;

char* copy(const char* text, std::size_t size) noexcept
{
    auto* out = static_cast<char*>(std::malloc(size + 1));
    if (out != nullptr) {
        std::memcpy(out, text, size);
        out[size] = '\0';
    }
    return out;
}

char* copy(const std::string& text) noexcept
{
    return copy(text.data(), text.size());
}

// For the fixed texts of the out-of-memory paths: no std::string to build.
char* copy(const char* text) noexcept
{
    return copy(text, std::strlen(text));
}

// Takes a view so that no caller has to build a string outside a try. A routine that
// failed is named in the reply.
int refuse(char** reply, std::string_view cp1252, std::string_view routine = {}) noexcept
{
    try {
        kzt::Json error = kzt::Json::object();
        if (!routine.empty())
            error["routine"] = std::string(routine);
        error["error"] = kzt::textJson(kzt::maskedSecrets(cp1252));
        *reply = copy(kzt::jsonLine(error));
    } catch (...) {
        // NULL when even this fails: the header allows that only here.
        *reply = copy("{\"error\":\"out of memory\"}");
    }
    return kRefused;
}

template <typename Body>
int run(char** reply, Body&& body) noexcept
{
    if (reply == nullptr)
        return kRefused;
    *reply = nullptr;
    std::unique_lock<std::recursive_mutex> lock(gCall, std::try_to_lock);
    if (!lock.owns_lock())
        return refuse(reply, "another thread's call into the module is still running");
    kzt::Json result;
    try {
        result = body();
    } catch (const capi::RoutineFailed& e) {
        return refuse(reply, e.message(), e.routine());
    } catch (const capi::Refusal& e) {
        return refuse(reply, e.message());
    } catch (const std::exception& e) {
        return refuse(reply, e.what());
    } catch (...) {
        return refuse(reply, "unknown error");
    }
    // The call has taken effect: a reply that cannot be written for want of memory is
    // left NULL, but the call is not reported as refused.
    try {
        *reply = copy(kzt::jsonLine(result));
    } catch (...) {
        *reply = nullptr;
    }
    return kRan;
}

std::string_view text(const char* s)
{
    return s != nullptr ? std::string_view(s) : std::string_view();
}

// Before any call: a host that calls nothing gets its settings from the environment.
__attribute__((constructor)) void leAmbiente()
{
    try {
        capi::applyEnvironment();
    } catch (...) {
        // Loading must not fail the host; the defaults stay.
    }
}

} // namespace

extern "C" {

int kzt_configure(const char* config_json, char** reply_json)
{
    return run(reply_json, [&] {
        if (config_json == nullptr)
            throw capi::Refusal("config_json is NULL");
        return capi::configure(text(config_json));
    });
}

int kzt_observacao(const char* request_json, char** reply_json)
{
    return run(reply_json, [&] {
        if (request_json == nullptr)
            throw capi::Refusal("request_json is NULL");
        return capi::observacao(text(request_json));
    });
}

int kzt_call(const char* routine, const char* args_json, char** reply_json)
{
    return run(reply_json, [&] {
        if (routine == nullptr || args_json == nullptr)
            throw capi::Refusal("routine and args_json must not be NULL");
        return capi::call(text(routine), text(args_json));
    });
}

void kzt_free(char* reply_json)
{
    std::free(reply_json);
}

const char* kzt_version(void)
{
    return KZT_VERSION;
}

} // extern "C"
