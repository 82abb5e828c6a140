#include "station/app/station.h"

#include "station/app/application.h"
#include "station/app/record.h"
#include "station/app/routines.h"
#include "station/app/samplestore.h"
#include "station/hostlib/scriptrunner.h"

#include "platform/db/connectionstring.h"
#include "platform/json.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/ui/application.h"
#include "platform/ui/screen.h"

#include <QDir>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace station {

namespace {

using ObservacaoFn = std::string (*)(const kzt::Variant* request, int high, kzt::Variant& result);

std::string programPath()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

struct Module {
    void* handle = nullptr;
    ObservacaoFn observacao = nullptr;
};

// The module stays loaded until the process ends, as a host keeps its packages.
bool loadModule(const std::string& path, Module& module)
{
    module.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module.handle) {
        std::cerr << "kzt-station: cannot load the module " << path << ": " << ::dlerror() << '\n';
        return false;
    }
    module.observacao = reinterpret_cast<ObservacaoFn>(::dlsym(module.handle, "Observacao"));
    if (!module.observacao) {
        std::cerr << "kzt-station: the module " << path << " exports no Observacao\n";
        return false;
    }
    return true;
}

void applyHostSettings(const CallOptions& call)
{
    // Each call states its own host: what it leaves out is the default, not the last call's.
    kzt::setHostExecutablePath(call.hostExe.value_or(""));
    host::setConnectionString("", call.connection.value_or(""));
    host::setConnectionString("212", call.connection212.value_or(""));
    // The module reads its cache folder from the environment when the host set none, as
    // the station's own environment does for a call without --cache-dir.
    static const std::optional<std::string> inherited = [] {
        const char* value = std::getenv("KZT_CACHE_DIR");
        return value ? std::optional<std::string>(value) : std::nullopt;
    }();
    if (const auto& folder = call.cacheDir ? call.cacheDir : inherited)
        ::setenv("KZT_CACHE_DIR", folder->c_str(), 1);
    else
        ::unsetenv("KZT_CACHE_DIR");
}

// The ISO time the module's last routine answer was read from the server, when it came
// from the offline cache.
std::string answerCachedAt(void* module)
{
    using Fn = std::string();
    void* address =
        module ? ::dlsym(module, "_ZN12Srv_kzt0031814answerCachedAtB5cxx11Ev") : nullptr;
    return address ? reinterpret_cast<Fn*>(address)() : std::string();
}

using kzt::Json;
using kzt::textJson;

Json traceJson(const CallRecord& record)
{
    Json calls = Json::array();
    for (const auto& [name, args] : record.trace) {
        Json list = Json::array();
        for (const auto& arg : args)
            list.push_back(textJson(arg));
        Json call = Json::object();
        call["call"] = name;
        call["args"] = std::move(list);
        calls.push_back(std::move(call));
    }
    return calls;
}

Json callJson(const CallOptions& call, const CallRecord& record, const Json& returned,
              const kzt::Variant& result, int cursor)
{
    Json messages = Json::array();
    for (const auto& m : record.messages) {
        Json message = Json::object();
        message["text"] = textJson(m.text);
        message["type"] = m.type;
        message["schema"] = textJson(m.schema);
        messages.push_back(std::move(message));
    }
    Json unhandled = Json::array();
    for (const auto& text : record.unhandled)
        unhandled.push_back(textJson(text));
    Json out = Json::object();
    out["returned"] = returned;
    out["result"] = kzt::variantJson(result);
    out["messages"] = std::move(messages);
    out["unhandled"] = std::move(unhandled);
    out["cursor"] = cursor;
    out["leftOpen"] = record.leftOpen;
    out["snapshots"] = record.snapshots;
    if (call.trace)
        out["trace"] = traceJson(record);
    return out;
}

Json runDialogCall(StationApplication& app, const Module& module, const CallOptions& call)
{
    CallRecord record;
    Answers answers = call.answers;
    StationPresentation presentation(record, call.scripted ? &answers : nullptr);
    app.setRecord(&record, !call.scripted);

    std::vector<kzt::Variant> request = call.request();
    kzt::Variant result = call.result();
    host::ScriptRunner runner(call.actions,
                              [&app](const std::string& error) { app.reportUnhandled(error); });
    if (call.scripted)
        runner.start();
    Json returned;
    try {
        returned = textJson(module.observacao(request.empty() ? nullptr : request.data(),
                                              static_cast<int>(request.size()) - 1, result));
    } catch (const std::exception& e) {
        // The module traps its own errors; one that still escapes is reported, not fatal.
        record.unhandled.push_back(e.what());
    }
    runner.stop();
    record.leftOpen = runner.leftOpen();
    record.snapshots = runner.snapshots();
    const int cursor = kzt::screenCursor();
    app.setRecord(nullptr, false);
    return callJson(call, record, returned, result, cursor);
}

Json runRoutineCall(const Module& module, const CallOptions& call)
{
    CallRecord record;
    Answers none;
    StationPresentation presentation(record, &none);
    Json out = Json::object();
    out["routine"] = *call.routine;
    try {
        const kzt::Variant result = callRoutine(module.handle, *call.routine, call.routineArgs);
        out["result"] = kzt::variantJson(result);
        if (const std::string cachedAt = answerCachedAt(module.handle); !cachedAt.empty())
            out["cachedAt"] = cachedAt;
    } catch (const RoutineUsageError&) {
        throw; // the command line's mistake, not the routine's
    } catch (const std::exception& e) {
        out["error"] = textJson(e.what());
    }
    if (call.trace)
        out["trace"] = traceJson(record);
    return out;
}

// Whether Qt will put windows on a screen someone can see: not under the offscreen or
// minimal platforms, nor under X11 or Wayland with no server named.
bool hasRealDisplay()
{
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    std::string platform = chosen ? chosen : "";
    platform = platform.substr(0, platform.find(':')); // "offscreen:fontengine=..." too
    const bool x11 = std::getenv("DISPLAY") && *std::getenv("DISPLAY");
    const bool wayland = std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY");
    if (platform.empty())
        return x11 || wayland;
    if (platform == "offscreen" || platform == "minimal" || platform == "minimalegl")
        return false;
    if (platform == "xcb")
        return x11;
    if (platform.rfind("wayland", 0) == 0)
        return wayland;
    return true; // eglfs, linuxfb, vnc: a screen of their own
}

bool allScripted(const StationOptions& options)
{
    for (const auto& call : options.calls) {
        if (!call.scripted && !call.routine)
            return false;
    }
    return true;
}

} // namespace

std::string defaultModulePath()
{
    const std::string bin = kzt::extractFileDir(programPath());
    return kzt::joinPath(kzt::extractFileDir(bin), "lib/libkzt00318.so");
}

int runStation(int argc, char** argv)
{
    StationOptions options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "kzt-station: " << e.message() << "\nTry 'kzt-station --help'.\n";
        return kExitUsage;
    }

    if (options.help || options.version) {
        std::cout << (options.help ? usageText() : versionText());
        return kExitOk;
    }
    if (options.initSample) {
        try {
            writeSampleStore(*options.initSample, options.calls.front().connection.value_or(""),
                             options.force);
        } catch (const std::exception& e) {
            std::cerr << "kzt-station: cannot write the sample store into " << *options.initSample
                      << ": " << kzt::maskedSecrets(kzt::cp1252ToUtf8(e.what())) << '\n';
            return kExitModule;
        }
        const auto& connection = options.calls.front().connection;
        std::cerr << "kzt-station: sample store written into "
                  << (connection ? kzt::maskedSecrets(*connection) + ", parameter file into "
                                 : std::string())
                  << *options.initSample << '\n';
        return kExitOk;
    }

    // A script needs no screen; it never puts a window in front of anyone.
    const bool headless = options.companionShots || allScripted(options);
    if (headless && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!headless && !hasRealDisplay()) {
        std::cerr << "kzt-station: a call without --do actions waits for an operator, and "
                     "there is no display to show it on; give --do actions to script it\n";
        return kExitUsage;
    }
    // Qt ends the process when its platform cannot start (a display nobody answers).
    const std::string platformProblem = kzt::qtPlatformProblem(kzt::Audience::Integrator);
    if (!platformProblem.empty()) {
        std::cerr << "kzt-station: no window platform can start here: " << platformProblem << '\n';
        return kExitUsage;
    }
    kzt::filterQtRuntimeFolderNotice();
    StationApplication app(argc, argv);

    if (options.companionShots) {
        if (!QDir().mkpath(QString::fromStdString(*options.companionShots))) {
            std::cerr << "kzt-station: cannot create " << *options.companionShots << '\n';
            return kExitModule;
        }
        for (const auto& file : drawCompanionDialogs(*options.companionShots))
            std::cout << file << '\n';
        return kExitOk;
    }

    Module module;
    if (!loadModule(options.module.value_or(defaultModulePath()), module))
        return kExitModule;

    for (const auto& call : options.calls) {
        applyHostSettings(call);
        try {
            const Json out =
                call.routine ? runRoutineCall(module, call) : runDialogCall(app, module, call);
            // Messages, traces and errors may quote a connection string.
            std::cout << kzt::maskedSecrets(kzt::jsonLine(out)) << std::endl;
        } catch (const RoutineUsageError& e) {
            std::cerr << "kzt-station: --call " << kzt::maskedSecrets(kzt::cp1252ToUtf8(e.what()))
                      << '\n';
            return kExitUsage;
        }
    }
    return kExitOk;
}

} // namespace station
