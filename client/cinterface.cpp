#include "client/cinterface.h"

#include "client/Cli_kzt00318.h"

#include "host/hostlib.h"
#include "host/script.h"
#include "host/settings.h"
#include "platform/db/connectionstring.h"
#include "platform/db/offlinecache.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/ui/application.h"
#include "server/Srv_kzt00318.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"

#include <cstdlib>
#include <functional>
#include <limits>
#include <vector>

namespace Cli_kzt00318::capi {

namespace {

using kzt::Json;

constexpr std::size_t kMaxArguments = 10;

// nlohmann's messages start with "[json.exception.parse_error.101] "; the rest says it.
// The token it last read is the caller's input, quoted in part like any other.
std::string parseMessage(const Json::exception& e)
{
    const std::string what = e.what();
    const std::size_t close = what.find("] ");
    std::string message = close == std::string::npos ? what : what.substr(close + 2);
    const std::string lastRead = "last read: '";
    const std::size_t token = message.find(lastRead);
    if (token != std::string::npos && message.ends_with('\'')) {
        const std::size_t start = token + lastRead.size();
        message =
            message.substr(0, start)
            + kzt::quotedUtf8(std::string_view(message).substr(start, message.size() - start - 1))
            + "'";
    }
    return message;
}

Json parse(std::string_view text, const char* what)
{
    try {
        return Json::parse(text);
    } catch (const Json::exception& e) {
        // Not only parse_error: a number too large for a double (1e400) is out_of_range.
        throw Refusal(kzt::utf8ToCp1252(std::string(what) + " is not JSON: " + parseMessage(e)));
    }
}

kzt::Variant entry(const Json& value, std::size_t index)
{
    switch (value.type()) {
    case Json::value_t::null: return {};
    case Json::value_t::string:
        return kzt::Variant(kzt::utf8ToCp1252(value.get_ref<const std::string&>()));
    case Json::value_t::boolean: return kzt::Variant(value.get<bool>());
    case Json::value_t::number_integer: return kzt::Variant(value.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
        const auto n = value.get<std::uint64_t>();
        if (n <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return kzt::Variant(static_cast<std::int64_t>(n));
        return kzt::Variant(static_cast<double>(n));
    }
    case Json::value_t::number_float: return kzt::Variant(value.get<double>());
    default:
        throw Refusal("entry " + std::to_string(index) + " of request_json is "
                      + std::string(value.type_name())
                      + "; entries are strings, numbers, booleans or null");
    }
}

// Every text the operator was shown reaches the host through here, so that a secret in one
// (a connection string quoted in a database error) is masked in one place.
Json shownText(const std::string& cp1252)
{
    return kzt::textJson(kzt::maskedSecrets(cp1252));
}

// --- data routines by name -------------------------------------------------------------

using Args = std::vector<std::string>;

struct Routine {
    const char* name;
    const char* arguments; // for the refusal message
    std::size_t count;
    std::function<kzt::Variant(const Args&)> call;
};

std::u16string wide(const std::string& utf8)
{
    return kzt::utf8ToUtf16(utf8);
}

const std::vector<Routine>& routines()
{
    using namespace Srv_kzt00318;
    static const std::vector<Routine> table = {
        {"getOcorCanc", "branch store", 2,
         [](const Args& a) { return raising::getOcorCanc(wide(a[0]), wide(a[1])); }},
        {"getOcorPed", "branch store product", 3,
         [](const Args& a) { return raising::getOcorPed(wide(a[0]), wide(a[1]), wide(a[2])); }},
        {"getOcorCancProd", "branch store product", 3,
         [](const Args& a) {
             return raising::getOcorCancProd(wide(a[0]), wide(a[1]), wide(a[2]));
         }},
        {"getOcorDesc", "branch store", 2,
         [](const Args& a) { return raising::getOcorDesc(wide(a[0]), wide(a[1])); }},
        {"getNrSeqVenda", "branch till", 2,
         [](const Args& a) {
             return kzt::Variant(raising::getNrSeqVenda(wide(a[0]), wide(a[1])));
         }},
        {"getObrigaObsCan", "branch store", 2,
         [](const Args& a) {
             return kzt::Variant(raising::getObrigaObsCan(wide(a[0]), wide(a[1])));
         }},
        // The arguments were checked to have a Windows-1252 form.
        {"getQtMaxObserv", "product", 1,
         [](const Args& a) { return kzt::Variant(getQtMaxObserv(kzt::utf8ToCp1252(a[0]))); }},
    };
    return table;
}

const Routine& findRoutine(std::string_view name)
{
    std::string known;
    for (const Routine& routine : routines()) {
        if (name == routine.name)
            return routine;
        known += (known.empty() ? "" : ", ") + std::string(routine.name);
    }
    throw Refusal(kzt::utf8ToCp1252("unknown routine \"" + kzt::quotedUtf8(name)
                                    + "\"; the module's routines are " + known));
}

Args routineArgs(const Routine& routine, std::string_view argsJson)
{
    const Json args = parse(argsJson, "args_json");
    if (!args.is_array())
        throw Refusal("args_json must be a JSON array of the routine's arguments as strings");
    if (args.size() != routine.count)
        throw Refusal(std::string(routine.name) + " takes " + std::to_string(routine.count)
                      + " argument" + (routine.count == 1 ? "" : "s") + " (" + routine.arguments
                      + "), " + std::to_string(args.size()) + " given");
    Args out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!args[i].is_string())
            throw Refusal("argument " + std::to_string(i) + " of " + routine.name + " is "
                          + args[i].type_name() + "; arguments are strings");
        // Codes all: as "?", one could match another row's code.
        if (!kzt::utf8ToCp1252Exact(args[i].get_ref<const std::string&>()))
            throw Refusal("argument " + std::to_string(i) + " of " + routine.name
                          + " holds a character with no Windows-1252 form");
        out.push_back(args[i].get<std::string>());
    }
    return out;
}

// --- host settings ---------------------------------------------------------------------

HostSettings gConfigured;  // through configure
HostSettings gEnvironment; // read at load

std::optional<std::string> environment(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return std::string(value);
}

// Connection strings reach the host library in UTF-8, as JSON brings them; the library
// hands them out in Windows-1252 and refuses one that has no such form.
void apply(const HostSettings& configured)
{
    const auto pick = [](const std::optional<std::string>& set,
                         const std::optional<std::string>& env) {
        return set ? *set : env.value_or("");
    };
    const HostSettings& env = gEnvironment;
    kzt::setHostExecutablePath(pick(configured.hostExe, env.hostExe));
    host::setConnectionString("", pick(configured.connection, env.connection));
    host::setConnectionString("212", pick(configured.connection212, env.connection212));
    // KZT_CACHE_DIR is read where the cache is opened; only a setting is handed over here.
    Srv_kzt00318::setCacheFolder(configured.cacheDir);
    // What was known of the server away is known of the connection it was found on.
    Srv_kzt00318::forgetServer();
}

// The data module keeps its connection open for the life of the process; a setting that
// would have it open elsewhere cannot take effect any more.
bool connectionStillHolds()
{
    using Srv_kzt00318::rdmObservacao;
    if (rdmObservacao == nullptr || !rdmObservacao->adcObs.connected())
        return true;
    kzt::Connection wouldBe("kzt_configure");
    rdmObservacao->adcObsBeforeConnect(wouldBe);
    return wouldBe.connectionString() == rdmObservacao->adcObs.connectionString();
}

// KZT_SCRIPT, read at every call so that each call of a test may play its own steps.
std::optional<host::Script> scriptFromEnvironment()
{
    const std::optional<std::string> steps = environment("KZT_SCRIPT");
    if (!steps)
        return std::nullopt;
    try {
        host::Script script = host::parseScript(*steps);
        for (const host::ScriptStep& step : script.steps) {
            if (step.kind == host::ScriptStep::Kind::Dump)
                throw host::ScriptError(step.source
                                        + ": the reply has no place for a control dump; "
                                          "kzt-station --do dump shows one");
        }
        return script;
    } catch (const host::ScriptError& e) {
        throw Refusal(kzt::utf8ToCp1252("KZT_SCRIPT: " + e.message()));
    }
}

// Why the call ended without the dialog's answer, or a step of its script failed; "" when
// neither. UTF-8.
std::string callError(const ObservacaoOutcome& outcome, const host::CallRecorder& recorder)
{
    if (!outcome.failure.empty())
        return shownText(outcome.failure).get<std::string>();
    std::string steps;
    for (const std::string& error : recorder.stepErrors())
        steps += (steps.empty() ? "KZT_SCRIPT " : "; ") + error;
    return steps;
}

Json settingsInForce()
{
    Json out = Json::object();
    out["hostExe"] = kzt::hostExecutablePath();
    // A host that logs its replies must not log the store's password.
    out["connection"] = kzt::textJson(kzt::maskedSecrets(host::_GetStringConexQtr("")));
    out["connection212"] = kzt::textJson(kzt::maskedSecrets(host::_GetStringConexQtr("212")));
    const std::string cacheDir = Srv_kzt00318::cacheFolderInForce();
    out["cacheDir"] = cacheDir.empty() ? std::string("off") : cacheDir;
    return out;
}

} // namespace

kzt::Variant::Array parseRequest(std::string_view json)
{
    const Json request = parse(json, "request_json");
    if (!request.is_array())
        throw Refusal("request_json must be a JSON array of up to ten entries");
    if (request.size() > kMaxArguments)
        throw Refusal("request_json has " + std::to_string(request.size())
                      + " entries; a request has at most ten");
    kzt::Variant::Array entries;
    entries.reserve(request.size());
    for (std::size_t i = 0; i < request.size(); ++i)
        entries.push_back(entry(request[i], i));
    return entries;
}

kzt::Json observacaoReply(const std::string& returned, const kzt::Variant& result,
                          const std::vector<host::ShownMessage>& shown)
{
    Json entries = Json::array();
    for (std::size_t i = 0; i < 5; ++i)
        entries.push_back(kzt::variantJson(result.at(i)));
    Json messages = Json::array();
    for (const host::ShownMessage& m : shown)
        messages.push_back(Json{{"text", shownText(m.text)}, {"type", m.type}});
    Json out = Json::object();
    out["returned"] = kzt::textJson(returned);
    out["result"] = std::move(entries);
    out["messages"] = std::move(messages);
    return out;
}

kzt::Json observacao(std::string_view requestJson)
{
    kzt::Variant::Array request = parseRequest(requestJson);
    std::optional<host::Script> script = scriptFromEnvironment();
    if (frmObservacao != nullptr)
        throw Refusal("a dialog is already showing; kzt_observacao cannot be called again until "
                      "it closes");
    // Checked here as well as in Observacao, so a refusal is the caller's reply rather
    // than a message for the operator.
    const std::string refusal =
        kzt::prepareGuiApplication(kzt::Audience::Integrator, script.has_value());
    if (!refusal.empty())
        throw Refusal(refusal);
    if (!script && kzt::guiApplicationIsHeadless())
        throw Refusal("this process's first dialog call was scripted, so the module's windows "
                      "are offscreen; an unscripted dialog would wait for ever. Set KZT_SCRIPT "
                      "for every dialog call of the test");
    kzt::Variant result = kzt::Variant::arrayOf(5);
    offlineListReadAt = 0;
    host::CallRecorder recorder(std::move(script));
    const ObservacaoOutcome outcome = runObservacao(request.empty() ? nullptr : request.data(),
                                                    static_cast<int>(request.size()) - 1, result);
    recorder.finish();
    Json reply = observacaoReply(outcome.returned, result, recorder.messages());
    if (const std::string error = callError(outcome, recorder); !error.empty())
        reply["error"] = error;
    if (offlineListReadAt != 0)
        reply["cachedAt"] = kzt::isoTime(offlineListReadAt);
    return reply;
}

kzt::Json call(std::string_view routine, std::string_view argsJson)
{
    const Routine& found = findRoutine(routine);
    const Args args = routineArgs(found, argsJson);
    Json out = Json::object();
    out["routine"] = found.name;
    try {
        out["result"] = kzt::variantJson(found.call(args));
        if (const std::string cachedAt = Srv_kzt00318::answerCachedAt(); !cachedAt.empty())
            out["cachedAt"] = cachedAt;
    } catch (const std::exception& e) {
        throw RoutineFailed(found.name, Srv_kzt00318::routineErrorText(e));
    }
    return out;
}

void applyEnvironment()
{
    gEnvironment = {environment("KZT_HOST_EXE"), environment("KZT_CONNECTION"),
                    environment("KZT_CONNECTION_212"), std::nullopt};
    // Settings the environment does not name are left as they are: a host or test may
    // have set them before loading the module.
    if (gEnvironment.hostExe)
        kzt::setHostExecutablePath(*gEnvironment.hostExe);
    if (gEnvironment.connection)
        host::setConnectionString("", *gEnvironment.connection);
    if (gEnvironment.connection212)
        host::setConnectionString("212", *gEnvironment.connection212);
}

kzt::Json configure(std::string_view configJson)
{
    const Json config = parse(configJson, "config_json");
    if (!config.is_object())
        throw Refusal("config_json must be a JSON object: {\"hostExe\", \"connection\", "
                      "\"connection212\", \"cacheDir\"}, each optional");
    HostSettings wanted = gConfigured;
    for (const auto& [key, value] : config.items()) {
        std::optional<std::string>* setting = key == "hostExe"         ? &wanted.hostExe
                                              : key == "connection"    ? &wanted.connection
                                              : key == "connection212" ? &wanted.connection212
                                              : key == "cacheDir"      ? &wanted.cacheDir
                                                                       : nullptr;
        if (setting == nullptr)
            throw Refusal(kzt::utf8ToCp1252("unknown setting \"" + kzt::quotedUtf8(key)
                                            + "\"; the settings are hostExe, connection, "
                                              "connection212 and cacheDir"));
        if (value.is_null())
            setting->reset();
        else if (value.is_string())
            *setting = value.get<std::string>();
        else
            throw Refusal(kzt::utf8ToCp1252("setting \"" + kzt::quotedUtf8(key) + "\" is "
                                            + value.type_name()
                                            + "; settings are strings, or null for the default"));
    }
    apply(wanted);
    // Nothing of a refused setting stays behind: the earlier settings are put back.
    try {
        if (!connectionStillHolds())
            throw Refusal("the store connection is already open on another connection string; "
                          "a new one takes effect only in a new process");
        Json inForce = settingsInForce(); // refuses a string with no Windows-1252 form
        gConfigured = wanted;
        return inForce;
    } catch (const Refusal&) {
        apply(gConfigured);
        throw;
    } catch (const std::exception& e) {
        apply(gConfigured);
        throw Refusal(e.what());
    }
}

} // namespace Cli_kzt00318::capi
