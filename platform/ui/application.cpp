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

// QApplication keeps references to these for its whole life.
int gArgc = 1;
char gArg0[] = "kzt00318";
char* gArgv[] = {gArg0, nullptr};

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
// default (xcb), after wayland in a Wayland session. Options after ':' are the plugin's.
std::vector<std::string> platformCandidates()
{
    std::vector<std::string> names;
    const std::string chosen = environment("QT_QPA_PLATFORM");
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
std::string pluginProblem(const std::string& name)
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
            return "o plugin de plataforma \"" + name + "\" não carrega ("
                   + loader.errorString().toStdString() + ")";
        }
    }
    return "o plugin de plataforma \"" + name + "\" não está instalado";
}

// An X server Qt's xcb plugin can open: connects and authenticates as the plugin will,
// through the same library the plugin links.
std::string xcbProblem()
{
    const std::string display = environment("DISPLAY");
    if (display.empty())
        return "a variável DISPLAY não está definida";
    void* xcb = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!xcb)
        return "a biblioteca libxcb não está instalada";
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    std::string problem;
    if (!connect || !hasError || !disconnect) {
        problem = "a biblioteca libxcb está incompleta";
    } else {
        void* connection = connect(display.c_str(), nullptr);
        if (hasError(connection) != 0)
            problem = "não foi possível conectar ao display \"" + display + "\"";
        disconnect(connection);
    }
    ::dlclose(xcb);
    return problem;
}

// A Wayland compositor's socket that accepts a connection.
std::string waylandProblem()
{
    std::string socketName = environment("WAYLAND_DISPLAY");
    if (socketName.empty())
        socketName = "wayland-0";
    std::string path = socketName;
    if (socketName.front() != '/') {
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.empty())
            return "a variável XDG_RUNTIME_DIR não está definida";
        path = runtime + "/" + socketName;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return "o caminho do display Wayland é longo demais";
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return "não foi possível criar um socket";
    const bool reached =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (reached)
        return {};
    return "não foi possível conectar ao display Wayland \"" + path + "\"";
}

std::string candidateProblem(const std::string& name)
{
    std::string problem;
    if (name == "xcb")
        problem = xcbProblem();
    else if (name == "wayland")
        problem = waylandProblem();
    if (problem.empty())
        problem = pluginProblem(name);
    return problem;
}

} // namespace

std::string qtPlatformProblem()
{
    std::string problems;
    for (const std::string& name : platformCandidates()) {
        const std::string problem = candidateProblem(name);
        if (problem.empty())
            return {};
        problems += (problems.empty() ? "" : "; ") + name + ": " + problem;
    }
    if (problems.empty())
        return "QT_QPA_PLATFORM não nomeia plataforma alguma";
    return problems;
}

std::string prepareGuiApplication()
{
    const std::lock_guard<std::mutex> lock(gMutex);
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(existing))
            return utf8ToCp1252("O aplicativo Qt do host não tem janelas (não é um QApplication); "
                                "a observação não pode ser mostrada.");
        if (QThread::currentThread() != existing->thread())
            return utf8ToCp1252("A observação só pode ser chamada na thread que mostra as janelas "
                                "do aplicativo; esta chamada veio de outra thread.");
        return {};
    }

    const std::string problem = qtPlatformProblem();
    if (!problem.empty())
        return utf8ToCp1252("Não há tela para mostrar a observação (" + problem
                            + "). Defina DISPLAY ou WAYLAND_DISPLAY, ou QT_QPA_PLATFORM=offscreen "
                              "para trabalhar sem tela.");

    // Qt switches the C library's locale to the environment's. The host's number and date
    // formatting and its collation stay as the host set them; only the character type
    // stays Qt's, which needs a UTF-8 one (its keyboard composition reads it).
    const char* locale = std::setlocale(LC_ALL, nullptr);
    const std::string hostLocale = locale ? locale : "C";
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
}

} // namespace kzt
