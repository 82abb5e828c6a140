#pragma once

// What stands behind the plain C interface (package/kzt00318.h): requests and replies as
// JSON, the host settings a host that is not the station gives, and the data routines by
// name. Kept apart from the exported functions so tests and benchmarks reach each step.

#include "host/script.h"
#include "platform/error.h"
#include "platform/json.h"
#include "platform/variant.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace Cli_kzt00318::capi {

// A request the interface does not run; what() says why (Windows-1252, here ASCII).
class Refusal : public kzt::Error {
public:
    using Error::Error;
};

// A data routine that answered with a database error: what() is its text, as the C++
// routine would give it in place of its value.
class RoutineFailed : public Refusal {
public:
    RoutineFailed(std::string routine, const std::string& text)
        : Refusal(text), mRoutine(std::move(routine))
    {}
    const std::string& routine() const { return mRoutine; }

private:
    std::string mRoutine;
};

// request_json as Observacao's request: up to ten entries, strings converted to
// Windows-1252 (a character with no form there becomes "?"), numbers, booleans, null as
// empty. Raises Refusal.
kzt::Variant::Array parseRequest(std::string_view json);

// {"returned": TEXT, "result": [five entries], "messages": [{"text", "type"}, ...]}.
kzt::Json observacaoReply(const std::string& returned, const kzt::Variant& result,
                          const std::vector<host::ShownMessage>& shown = {});

// One whole dialog call: refuses what cannot run (a malformed request or KZT_SCRIPT, no
// display, another thread, a dialog already showing), otherwise shows the dialog, played
// from KZT_SCRIPT when it is set, and replies with every message shown during the call and,
// when the dialog could not open or a step failed, "error".
kzt::Json observacao(std::string_view requestJson);

// {"routine": NAME, "result": VALUE}. Raises RoutineFailed when the routine answered
// with a database error, and Refusal for an unknown routine, a wrong argument count, or
// arguments that are not strings or have no Windows-1252 form.
kzt::Json call(std::string_view routine, std::string_view argsJson);

// Host settings. Each is what kzt_configure set, else the environment's, else the default
// (empty: the host library's and the platform's own).
struct HostSettings {
    std::optional<std::string> hostExe; // a file system path
    std::optional<std::string> connection;
    std::optional<std::string> connection212;
    std::optional<std::string> cacheDir; // the offline cache's folder, or "off"
};

// Reads KZT_HOST_EXE, KZT_CONNECTION and KZT_CONNECTION_212 and applies those set. Run
// when the module is loaded; a setting given later through configure wins.
void applyEnvironment();

// Applies config_json ({"hostExe", "connection", "connection212"}, each optional; null
// restores the environment's value or the default) and replies with the settings in
// force. Raises Refusal, with nothing changed, for anything it cannot apply.
kzt::Json configure(std::string_view configJson);

} // namespace Cli_kzt00318::capi
