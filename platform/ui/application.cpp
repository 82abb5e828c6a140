#include "platform/ui/application.h"

#include "platform/process.h"
#include "platform/text.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QThread>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace kzt {

namespace {

std::mutex gMutex;
QApplication* gOwned = nullptr;
std::atomic<UnhandledErrorReporter> gReporter{nullptr};

void reportUnhandled(const char* cp1252) noexcept
{
    try {
        if (const UnhandledErrorReporter reporter = gReporter.load()) {
            reporter(cp1252);
            return;
        }
        std::fprintf(stderr, "kzt00318: %s\n", cp1252ToUtf8(cp1252).c_str());
    } catch (...) {
        std::fputs("kzt00318: an error escaped an event handler\n", stderr);
    }
}

// The application made for a host without one: reports what an event handler lets
// escape and goes on, as a host's application would.
class ModuleApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            reportUnhandled(error.what());
        } catch (...) {
            reportUnhandled("unknown error");
        }
        return false;
    }
};

QtMessageHandler gPreviousHandler = nullptr;

// With no XDG_RUNTIME_DIR (a host started by a service manager or a test runner often has
// none) Qt makes a private runtime folder itself, owner-only, and says so on every start.
// Only that notice is dropped; Qt's warnings about a folder it cannot trust still pass.
void filterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg
        && message.startsWith(
            QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to ")))
        return;
    if (gPreviousHandler != nullptr)
        gPreviousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool gFiltering = false;

void removeMessageFilter()
{
    if (!gFiltering)
        return;
    qInstallMessageHandler(gPreviousHandler);
    gPreviousHandler = nullptr;
    gFiltering = false;
}

// QApplication keeps references to these for its whole life; the platform arguments count
// only for a headless application.
int gArgc = 1;
char gArg0[] = "kzt00318";
char gPlatformOption[] = "-platform";
char gOffscreen[] = "offscreen";
char* gArgv[] = {gArg0, gPlatformOption, gOffscreen, nullptr};
bool gHeadlessForScript = false;

// Problems are told to the operator in Portuguese and to a host's developer in English.
std::string said(Audience audience, std::string portuguese, std::string english)
{
    return audience == Audience::Operator ? std::move(portuguese) : std::move(english);
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        std::string part = text.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty())
            parts.push_back(std::move(part));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// The platforms Qt tries, in its order: QT_QPA_PLATFORM when set, otherwise the build's
// default (xcb), after wayland in a Wayland session; for a headless application, offscreen.
// Options after ':' are the plugin's.
std::vector<std::string> platformCandidates(bool headless)
{
    std::vector<std::string> names;
    const std::string chosen = environment("QT_QPA_PLATFORM");
    if (chosen.empty() && headless) {
        names.emplace_back("offscreen");
        return names;
    }
    if (chosen.empty()) {
        if (environment("XDG_SESSION_TYPE") == "wayland")
            names.emplace_back("wayland");
        names.emplace_back("xcb");
        return names;
    }
    for (const std::string& entry : split(chosen, ';'))
        names.push_back(entry.substr(0, entry.find(':')));
    return names;
}

// The folders Qt looks in for platform plugins.
QStringList pluginFolders()
{
    QStringList folders;
    for (const std::string& dir : split(environment("QT_QPA_PLATFORM_PLUGIN_PATH"), ':'))
        folders << QString::fromLocal8Bit(dir.c_str());
    QStringList roots;
    for (const std::string& dir : split(environment("QT_PLUGIN_PATH"), ':'))
        roots << QString::fromLocal8Bit(dir.c_str());
    roots << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    roots << QString::fromLocal8Bit(extractFileDir(hostExecutablePath()).c_str());
    for (const QString& root : roots)
        folders << root + QStringLiteral("/platforms");
    return folders;
}

// Finds the plugin whose key is `name` and loads it, as Qt would; a plugin that is there
// but cannot load (a library it needs is missing) is as fatal to Qt as no plugin.
std::string pluginProblem(const std::string& name, Audience a)
{
    const QString key = QString::fromStdString(name);
    for (const QString& folder : pluginFolders()) {
        const QDir dir(folder);
        for (const QString& file : dir.entryList({QStringLiteral("*.so")}, QDir::Files)) {
            QPluginLoader loader(dir.filePath(file));
            const QJsonObject metaData =
                loader.metaData().value(QStringLiteral("MetaData")).toObject();
            const QJsonArray keys = metaData.value(QStringLiteral("Keys")).toArray();
            bool matches = false;
            for (const auto& k : keys)
                matches = matches || k.toString().compare(key, Qt::CaseInsensitive) == 0;
            if (!matches)
                continue;
            // Kept loaded: Qt takes the same library when the application starts.
            if (loader.load())
                return {};
            const std::string why = " (" + loader.errorString().toStdString() + ")";
            return said(a, "o plugin de plataforma \"" + name + "\" não carrega" + why,
                        "the platform plugin \"" + name + "\" does not load" + why);
        }
    }
    return said(a, "o plugin de plataforma \"" + name + "\" não está instalado",
                "the platform plugin \"" + name + "\" is not installed");
}

// An X server Qt's xcb plugin can open: connects and authenticates as the plugin will,
// through the same library the plugin links.
std::string xcbProblem(Audience a)
{
    const std::string display = environment("DISPLAY");
    if (display.empty())
        return said(a, "a variável DISPLAY não está definida", "DISPLAY is not set");
    void* xcb = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb)
        return said(a, "a biblioteca libxcb não está instalada", "libxcb is not installed");
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    std::string problem;
    if (!connect || !hasError || !disconnect) {
        problem = said(a, "a biblioteca libxcb está incompleta", "libxcb is incomplete");
    } else {
        void* connection = connect(display.c_str(), nullptr);
        if (hasError(connection) != 0)
            problem = said(a, "não foi possível conectar ao display \"" + display + "\"",
                           "cannot connect to display \"" + display + "\"");
        disconnect(connection);
    }
    ::dlclose(xcb);
    return problem;
}

// A Wayland compositor's socket that accepts a connection.
std::string waylandProblem(Audience a)
{
    std::string socketName = environment("WAYLAND_DISPLAY");
    if (socketName.empty())
        socketName = "wayland-0";
    std::string path = socketName;
    if (socketName.front() != '/') {
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.empty())
            return said(a, "a variável XDG_RUNTIME_DIR não está definida",
                        "XDG_RUNTIME_DIR is not set");
        path = runtime + "/" + socketName;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return said(a, "o caminho do display Wayland é longo demais",
                    "the Wayland display's path is too long");
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return said(a, "não foi possível criar um socket", "cannot create a socket");
    const bool reached =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (reached)
        return {};
    return said(a, "não foi possível conectar ao display Wayland \"" + path + "\"",
                "cannot connect to the Wayland display \"" + path + "\"");
}

std::string candidateProblem(const std::string& name, Audience a)
{
    std::string problem;
    if (name == "xcb")
        problem = xcbProblem(a);
    else if (name == "wayland")
        problem = waylandProblem(a);
    if (problem.empty())
        problem = pluginProblem(name, a);
    return problem;
}

std::string platformProblem(Audience audience, bool headless)
{
    std::string problems;
    for (const std::string& name : platformCandidates(headless)) {
        const std::string problem = candidateProblem(name, audience);
        if (problem.empty())
            return {};
        problems += (problems.empty() ? "" : "; ") + name + ": " + problem;
    }
    if (problems.empty())
        return said(audience, "QT_QPA_PLATFORM não nomeia plataforma alguma",
                    "QT_QPA_PLATFORM names no platform");
    return problems;
}

} // namespace

std::string qtPlatformProblem(Audience audience)
{
    return platformProblem(audience, false);
}

std::string prepareGuiApplication(Audience audience, bool headless)
{
    const std::lock_guard<std::mutex> lock(gMutex);
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(existing))
            return utf8ToCp1252(
                said(audience,
                     "O aplicativo Qt do host não tem janelas (não é um QApplication); "
                     "a observação não pode ser mostrada.",
                     "The host's Qt application has no widgets (it is not a QApplication); "
                     "the observation dialog cannot be shown."));
        if (QThread::currentThread() != existing->thread())
            return utf8ToCp1252(
                said(audience,
                     "A observação só pode ser chamada na thread que mostra as janelas do "
                     "aplicativo; esta chamada veio de outra thread.",
                     "The observation dialog can only be called on the thread that shows the "
                     "application's windows; this call came from another thread."));
        return {};
    }

    const std::string problem = platformProblem(audience, headless);
    if (!problem.empty())
        return utf8ToCp1252(
            said(audience,
                 "Não há tela para mostrar a observação (" + problem
                     + "). Defina DISPLAY ou WAYLAND_DISPLAY.",
                 "No display to show the observation dialog on (" + problem
                     + "). Set DISPLAY or WAYLAND_DISPLAY; a test with no display sets "
                       "KZT_SCRIPT to the operator's steps instead."));

    // Qt switches the C library's locale to the environment's. The host's number and date
    // formatting and its collation stay as the host set them; only the character type
    // stays Qt's, which needs a UTF-8 one (its keyboard composition reads it).
    const char* locale = std::setlocale(LC_ALL, nullptr);
    const std::string hostLocale = locale ? locale : "C";
    // A scripted call shows its windows to nobody: offscreen, unless the environment
    // names a platform (to watch a script play on a display, say).
    gHeadlessForScript = headless && environment("QT_QPA_PLATFORM").empty();
    gArgc = gHeadlessForScript ? 3 : 1;
    filterQtRuntimeFolderNotice();
    gOwned = new ModuleApplication(gArgc, gArgv);
    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    const std::string qtCtype = ctype ? ctype : "C.UTF-8";
    std::setlocale(LC_ALL, hostLocale.c_str());
    std::setlocale(LC_CTYPE, qtCtype.c_str());
    // The host decides when the process ends, not the last window of a call.
    QApplication::setQuitOnLastWindowClosed(false);
    return {};
}

void setUnhandledErrorReporter(UnhandledErrorReporter reporter)
{
    gReporter.store(reporter);
}

void filterQtRuntimeFolderNotice()
{
    // Installed twice, the filter would hand messages on to itself.
    if (gFiltering)
        return;
    gFiltering = true;
    gPreviousHandler = qInstallMessageHandler(filterMessages);
}

bool guiApplicationIsHeadless()
{
    const std::lock_guard<std::mutex> lock(gMutex);
    return gOwned != nullptr && gHeadlessForScript;
}

bool ownsGuiApplication()
{
    const std::lock_guard<std::mutex> lock(gMutex);
    return gOwned != nullptr;
}

void releaseGuiApplication()
{
    const std::lock_guard<std::mutex> lock(gMutex);
    if (gOwned == nullptr || QThread::currentThread() != gOwned->thread())
        return;
    delete gOwned;
    gOwned = nullptr;
    removeMessageFilter();
}

} // namespace kzt
