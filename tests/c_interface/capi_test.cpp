// The plain C interface as a host with no Qt of its own meets it: the real module library
// loaded with dlopen, the sample store in a temporary folder, a person at the till who
// touches the dialog's buttons. Hosts that must start from nothing (no display, exiting
// right after loading or after one call) are this program run again in a child process.

#include "host/blended.h"
#include "host/hostlib.h"
#include "platform/db/offlinecache.h"
#include "platform/process.h"
#include "platform/ui/application.h"
#include "platform/ui/form.h"
#include "platform/variant.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/silentserver.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Json = nlohmann::json;

const std::string kBiblioteca = std::string(KZT_BINARY_DIR) + "/lib/libkzt00318.so";

// The C interface, looked up by name as a host does; the library stays loaded.
struct Modulo {
    int (*configure)(const char*, char**) = nullptr;
    int (*observacao)(const char*, char**) = nullptr;
    int (*call)(const char*, const char*, char**) = nullptr;
    void (*libera)(char*) = nullptr;
    const char* (*versao)() = nullptr;
    std::string (*observacaoCpp)(const kzt::Variant*, int, kzt::Variant&) = nullptr;
};

template <typename F>
void busca(void* lib, const char* nome, F& destino)
{
    destino = reinterpret_cast<F>(dlsym(lib, nome));
}

const Modulo& modulo()
{
    static const Modulo m = [] {
        Modulo out;
        void* lib = dlopen(kBiblioteca.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr)
            return out;
        busca(lib, "kzt_configure", out.configure);
        busca(lib, "kzt_observacao", out.observacao);
        busca(lib, "kzt_call", out.call);
        busca(lib, "kzt_free", out.libera);
        busca(lib, "kzt_version", out.versao);
        busca(lib, "Observacao", out.observacaoCpp);
        return out;
    }();
    return m;
}

struct Resposta {
    int status = -1;
    std::string texto;
    Json json() const { return Json::parse(texto); }
};

template <typename F, typename... Args>
Resposta pede(F funcao, Args... args)
{
    char* reply = nullptr;
    Resposta r;
    r.status = funcao(args..., &reply);
    r.texto = reply != nullptr ? reply : "(no reply)";
    modulo().libera(reply);
    return r;
}

Resposta configura(const std::string& json)
{
    return pede(modulo().configure, json.c_str());
}
Resposta observa(const std::string& json)
{
    return pede(modulo().observacao, json.c_str());
}
Resposta chama(const char* rotina, const std::string& args)
{
    return pede(modulo().call, rotina, args.c_str());
}

// One station for the whole process: the data module keeps its connection open, so a
// later test could not point it at another store.
const std::string& estacao()
{
    static const kzt::test::TempDir dir;
    static const bool pronta = [] {
        const std::string db = kzt::test::createStore(dir.path(), true);
        // A store of its own for branch 0009, whose discount list holds a code with no
        // code-page form: a database error on an open connection.
        kzt::test::execSql(db, "INSERT INTO GRUPOCOR (CDGRPOCOR, DSGRPOCOR) VALUES ('09', 'X');"
                               "INSERT INTO LOJA (CDFILIAL, CDLOJA, CDGRPOCORDESC) VALUES "
                               "('0009', '09', '09');"
                               "INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, DSOCORR) VALUES "
                               "('09', '😀', 'SORRISO')");
        kzt::test::writeParameterFile(dir.path());
        return true;
    }();
    (void)pronta;
    return dir.path();
}

std::string configuracao()
{
    return Json{{"hostExe", estacao() + "/host"}}.dump();
}

// The settings in force, as the host library and the platform hand them out.
std::vector<std::string> emVigor()
{
    return {kzt::hostExecutablePath(), host::_GetStringConexQtr(""),
            host::_GetStringConexQtr("212")};
}

// The person at the till: answers companion dialogs and records messages as
// FakePresentation does, and once a call's dialog is up touches the named buttons.
class Operador : public kzt::test::FakePresentation {
public:
    explicit Operador(std::vector<std::string> toques = {"sptConfirmar"})
        : mToques(std::move(toques))
    {}
    int dialogos = 0;
    std::function<void()> durante; // runs while the dialog is up, before the touches

    void trace(const std::string& call, const std::vector<std::string>& args) override
    {
        FakePresentation::trace(call, args);
        // Trad is handed every new dialog, inside the call, once the application exists.
        if (call == "Trad" && !args.empty() && args[0] == "frmObservacao") {
            ++dialogos;
            agenda();
        }
    }

private:
    void agenda()
    {
        QTimer::singleShot(1, [this] { toca(); });
    }
    void toca()
    {
        auto* form = qobject_cast<kzt::Form*>(QApplication::activeModalWidget());
        if (form == nullptr || !form->isVisible()) {
            agenda();
            return;
        }
        for (int i = 0; i < 3; ++i)
            QCoreApplication::sendPostedEvents(); // the activation handler goes first
        if (durante)
            durante();
        for (const std::string& nome : mToques) {
            auto* botao = form->findChild<host::TBlendedBitBtn*>(QString::fromStdString(nome));
            if (botao == nullptr)
                ADD_FAILURE() << "the dialog has no button " << nome;
            else
                botao->click();
        }
        if (form->isVisible())
            form->closeForm(); // never leave a test waiting on the dialog
    }
    std::vector<std::string> mToques;
};

class CInterface : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(modulo().configure, nullptr) << kBiblioteca << ": " << dlerror();
        const Resposta r = configura(configuracao());
        ASSERT_EQ(r.status, 0) << r.texto;
    }
};

TEST_F(CInterface, JsonBoundary)
{
    enum class Funcao { Observacao, Call, Configure };
    struct Case {
        const char* nome;
        Funcao funcao;
        const char* rotina; // kzt_call
        std::string entrada;
        int status;
        const char* campo; // a JSON pointer into the reply
        Json esperado;     // its value; for a text ending in "...", the start of it
        int dialogos;
    };
    const std::string onze = R"(["N","P","1001","X","","","","","","",""])";
    const std::string enorme(100000, 'x');
    const char* const rotinas = "the module's routines are getOcorCanc, getOcorPed, "
                                "getOcorCancProd, getOcorDesc, getNrSeqVenda, getObrigaObsCan, "
                                "getQtMaxObserv";
    const std::vector<Case> cases = {
        // Entry 4 (the current observation) heads the returned text, so it shows how each
        // kind of entry is read.
        {"accented text reaches the dialog as code-page text", Funcao::Observacao, nullptr,
         R"(["N","P","1001","X-BURGER","OBS AÇÃO"])", 0, "/returned", "OBS AÇÃO", 1},
        {"a character with no code-page form becomes ?", Funcao::Observacao, nullptr,
         R"(["N","P","1001","X","café ✓ 日本"])", 0, "/returned", "café ? ??", 1},
        {"an integer is read as its text", Funcao::Observacao, nullptr,
         R"(["N","P","1001","X",15])", 0, "/returned", "15", 1},
        {"a float is read as its text", Funcao::Observacao, nullptr, R"(["N","P","1001","X",2.5])",
         0, "/returned", "2.5", 1},
        {"a boolean is read as its text", Funcao::Observacao, nullptr,
         R"(["N","P","1001","X",true])", 0, "/returned", "True", 1},
        {"null is empty", Funcao::Observacao, nullptr, R"(["N","P","1001","X",null])", 0,
         "/returned", "", 1},
        {"a short request reads the missing entries as empty", Funcao::Observacao, nullptr,
         R"(["N","P","1001"])", 0, "/result/2/fields/0/name", "CDOCORR", 1},
        {"ten entries are a whole request", Funcao::Observacao, nullptr,
         R"(["N","P","1001","X","atual",true,"","c","d","e"])", 0, "/returned", "atual", 1},
        {"not JSON", Funcao::Observacao, nullptr, "[\"N\",", 1, "/error",
         "request_json is not JSON: ...", 0},
        {"bytes that are not UTF-8", Funcao::Observacao, nullptr, "[\"N\xff\"]", 1, "/error",
         "request_json is not JSON: ...", 0},
        {"a number too large for a double", Funcao::Observacao, nullptr, "[1e400]", 1, "/error",
         "request_json is not JSON: number overflow parsing '1e400'", 0},
        {"an unclosed text is quoted in part", Funcao::Observacao, nullptr, "[\"" + enorme, 1,
         "/error",
         "request_json is not JSON: parse error at line 1, column 100003: syntax error while "
         "parsing value - invalid string: missing closing quote; last read: '\""
             + enorme.substr(0, 199) + "…'",
         0},
        {"not an array", Funcao::Observacao, nullptr, R"({"0":"N"})", 1, "/error",
         "request_json must be a JSON array of up to ten entries", 0},
        {"more than ten entries", Funcao::Observacao, nullptr, onze, 1, "/error",
         "request_json has 11 entries; a request has at most ten", 0},
        {"an array entry", Funcao::Observacao, nullptr, R"(["N",["P"]])", 1, "/error",
         "entry 1 of request_json is array; entries are strings, numbers, booleans or null", 0},
        {"an object entry", Funcao::Observacao, nullptr, R"([{"kind":"P"}])", 1, "/error",
         "entry 0 of request_json is object; entries are strings, numbers, booleans or null", 0},
        {"a routine's number", Funcao::Call, "getQtMaxObserv", R"(["1001"])", 0, "/result", 2, 0},
        {"a routine's packet, its texts in UTF-8", Funcao::Call, "getOcorPed",
         R"(["0001","01","1001"])", 0, "/result/rows/17/DSOCORR", "MOLHO À PARTE", 0},
        {"an unknown routine", Funcao::Call, "getNada", "[]", 1, "/error",
         std::string("unknown routine \"getNada\"; ") + rotinas, 0},
        {"an unknown routine's name is quoted in part", Funcao::Call, enorme.c_str(), "[]", 1,
         "/error", "unknown routine \"" + enorme.substr(0, 200) + "…\"; " + rotinas, 0},
        {"a database error is an error, not a result", Funcao::Call, "getOcorDesc",
         R"(["0009","09"])", 1, "/error",
         "Erro no banco de dados: adqOcorDesc: '?' in field 'CDOCORR' holds a character with no "
         "Windows-1252 form.",
         0},
        {"a code argument with no code-page form matches nothing", Funcao::Call, "getQtMaxObserv",
         R"(["1001😀"])", 1, "/error",
         "argument 0 of getQtMaxObserv holds a character with no Windows-1252 form", 0},
        {"a wrong argument count", Funcao::Call, "getOcorPed", R"(["0001","01"])", 1, "/error",
         "getOcorPed takes 3 arguments (branch store product), 2 given", 0},
        {"an argument that is not a string", Funcao::Call, "getQtMaxObserv", "[1001]", 1, "/error",
         "argument 0 of getQtMaxObserv is number; arguments are strings", 0},
        {"arguments that are not an array", Funcao::Call, "getQtMaxObserv", R"("1001")", 1,
         "/error", "args_json must be a JSON array of the routine's arguments as strings", 0},
        {"an unknown setting", Funcao::Configure, nullptr, R"({"hostexe":"/x/pdv"})", 1, "/error",
         "unknown setting \"hostexe\"; the settings are hostExe, connection, connection212 and "
         "cacheDir",
         0},
        {"an unknown setting's name is quoted in part", Funcao::Configure, nullptr,
         Json{{enorme, "x"}}.dump(), 1, "/error",
         "unknown setting \"" + enorme.substr(0, 200)
             + "…\"; the settings are hostExe, connection, connection212 and "
               "cacheDir",
         0},
        {"a setting that is not a string", Funcao::Configure, nullptr,
         R"({"hostExe":"/x/pdv","connection":5})", 1, "/error",
         "setting \"connection\" is number; settings are strings, or null for the default", 0},
        {"settings that are not an object", Funcao::Configure, nullptr, R"(["/x/pdv"])", 1,
         "/error", "config_json must be a JSON object: ...", 0},
        {"a connection string that can no longer take effect", Funcao::Configure, nullptr,
         R"({"connection":"sqlite3://db=/elsewhere/store.db"})", 1, "/error",
         "the store connection is already open on another connection string; a new one takes "
         "effect only in a new process",
         0},
        {"a connection string with no code-page form", Funcao::Configure, nullptr,
         R"({"connection":"sqlite3://db=/lojas/日本/store.db"})", 1, "/error",
         "A conexão com o banco de dados da loja não pode ser usada: ...", 0},
        {"the settings in force, unchanged", Funcao::Configure, nullptr, configuracao(), 0,
         "/connection", "sqlite3://db=" + estacao() + "/store.db", 0},
    };
    const std::vector<std::string> antes = emVigor();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        Operador pessoa;
        Resposta r;
        switch (c.funcao) {
        case Funcao::Observacao: r = observa(c.entrada); break;
        case Funcao::Call: r = chama(c.rotina, c.entrada); break;
        case Funcao::Configure: r = configura(c.entrada); break;
        }
        EXPECT_EQ(r.status, c.status) << r.texto;
        const Json reply = r.json();
        const Json::json_pointer campo(c.campo);
        ASSERT_TRUE(reply.contains(campo)) << r.texto;
        const std::string texto = c.esperado.is_string() ? c.esperado.get<std::string>() : "";
        if (texto.ends_with("...")) {
            const std::string inicio = texto.substr(0, texto.size() - 3);
            EXPECT_TRUE(reply.at(campo).get<std::string>().starts_with(inicio)) << r.texto;
        } else {
            EXPECT_EQ(reply.at(campo), c.esperado) << r.texto;
        }
        if (c.status != 0) {
            // A routine that ran and failed is named beside its error.
            const bool ran = reply.contains("routine");
            if (ran) {
                EXPECT_EQ(reply["routine"], c.rotina);
            }
            EXPECT_EQ(reply.size(), ran ? 2u : 1u)
                << "a refusal replies the error alone: " << r.texto;
        }
        // Nothing else happened: no dialog beyond the call's own, no message, no setting
        // changed.
        EXPECT_EQ(pessoa.dialogos, c.dialogos);
        EXPECT_EQ(pessoa.messageTexts(), std::vector<std::string>{});
        EXPECT_EQ(emVigor(), antes);
    }
}

// A host that logs its replies logs no password.
TEST_F(CInterface, TheSettingsInForceHideSecrets)
{
    const Resposta r = configura(
        R"({"connection212": "postgresql://u:S3cretPw@h/loja?password=S3cretPw&port=5"})");
    EXPECT_EQ(r.status, 0) << r.texto;
    EXPECT_EQ(r.json().value("connection212", ""), "postgresql://u:***@h/loja?password=***&port=5")
        << r.texto;
    EXPECT_EQ(configura(R"({"connection212": null})").status, 0);
}

TEST_F(CInterface, NullPointersAreRefused)
{
    char* reply = nullptr;
    EXPECT_EQ(modulo().observacao(nullptr, &reply), 1);
    EXPECT_EQ(Json::parse(reply).at("error"), "request_json is NULL");
    modulo().libera(reply);
    EXPECT_EQ(modulo().observacao("[]", nullptr), 1) << "nowhere to reply is a refusal";
    EXPECT_EQ(modulo().call("getQtMaxObserv", nullptr, nullptr), 1);
    modulo().libera(nullptr);
}

TEST_F(CInterface, OnlyTheApplicationsThreadShowsDialogs)
{
    const std::string pedido = R"(["N","P","1001","X","atual"])";
    Operador pessoa;
    ASSERT_EQ(observa(pedido).status, 0) << "the first call makes the application here";

    Resposta outra;
    std::thread([&] { outra = observa(pedido); }).join();
    EXPECT_EQ(outra.status, 1);
    EXPECT_EQ(outra.json().at("error"),
              "The observation dialog can only be called on the thread that shows the "
              "application's windows; this call came from another thread.");

    // While this thread's dialog is up, another thread cannot slip a call in.
    Resposta durante;
    pessoa.durante = [&] {
        std::thread([&] { durante = chama("getQtMaxObserv", R"(["1001"])"); }).join();
    };
    EXPECT_EQ(observa(pedido).json().at("returned"), "atual") << "the host goes on";
    EXPECT_EQ(durante.json().at("error"), "another thread's call into the module is still running");

    // A data routine shows nothing: another thread may call one while no call runs.
    Resposta rotina;
    std::thread([&] { rotina = chama("getQtMaxObserv", R"(["1001"])"); }).join();
    EXPECT_EQ(rotina.json().at("result"), 2);
    EXPECT_EQ(pessoa.dialogos, 2);
}

// The module's own application catches what a handler lets escape, as a host's would:
// left to unwind through the modal loop, it would end the dialog and crash freeing it.
TEST_F(CInterface, AnErrorEscapingAHandlerIsShownAndTheDialogGoesOn)
{
    Operador pessoa({"sbt01", "sptConfirmar"});
    pessoa.durante = [] {
        QTimer::singleShot(0, [] { throw std::runtime_error("falha num toque"); });
        QCoreApplication::processEvents();
    };
    const Resposta r = observa(R"(["N","P","1001","X-BURGER"])");
    EXPECT_EQ(r.json().at("returned"), " SEM CEBOLA;") << r.texto;
    EXPECT_EQ(pessoa.messageTexts(), std::vector<std::string>{"falha num toque"});
    // The host learns it too, as the operator was shown it.
    EXPECT_EQ(r.json().at("messages"), Json::array({{{"text", "falha num toque"}, {"type", 3}}}));
}

TEST(QtPlatform, ProblemsAreFoundBeforeQtMeetsThem)
{
    const kzt::test::TempDir runtime;
    const std::string semDisplay = "xcb: a variável DISPLAY não está definida";
    struct Case {
        const char* nome;
        std::map<std::string, std::string> ambiente; // the variables set; the others unset
        std::string problema;
    };
    const std::vector<Case> cases = {
        {"nothing to show windows on", {}, semDisplay},
        {"the offscreen platform", {{"QT_QPA_PLATFORM", "offscreen"}}, ""},
        {"a platform's options are its own", {{"QT_QPA_PLATFORM", "offscreen:size=800x600"}}, ""},
        {"xcb asked for with no display", {{"QT_QPA_PLATFORM", "xcb"}}, semDisplay},
        {"a display no server answers",
         {{"DISPLAY", ":97"}},
         "xcb: não foi possível conectar ao display \":97\""},
        {"a platform not installed",
         {{"QT_QPA_PLATFORM", "nenhuma"}},
         "nenhuma: o plugin de plataforma \"nenhuma\" não está instalado"},
        {"the next platform on the list serves", {{"QT_QPA_PLATFORM", "nenhuma;offscreen"}}, ""},
        {"an empty list",
         {{"QT_QPA_PLATFORM", ";"}},
         "QT_QPA_PLATFORM não nomeia plataforma alguma"},
        {"a Wayland session tries Wayland first",
         {{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", runtime.path()}},
         "wayland: não foi possível conectar ao display Wayland \"" + runtime.path()
             + "/wayland-0\"; " + semDisplay},
    };
    const char* const variaveis[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY",
                                     "XDG_SESSION_TYPE", "XDG_RUNTIME_DIR"};
    std::map<std::string, std::optional<std::string>> antes;
    for (const char* v : variaveis)
        antes[v] = std::getenv(v) ? std::optional<std::string>(std::getenv(v)) : std::nullopt;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        for (const char* v : variaveis) {
            const auto valor = c.ambiente.find(v);
            if (valor == c.ambiente.end())
                unsetenv(v);
            else
                setenv(v, valor->second.c_str(), 1);
        }
        EXPECT_EQ(kzt::qtPlatformProblem(), c.problema);
    }
    for (const auto& [v, valor] : antes) {
        if (valor)
            setenv(v.c_str(), valor->c_str(), 1);
        else
            unsetenv(v.c_str());
    }
}

// --- hosts that start from nothing, each this program run again -------------------------

struct Filho {
    int status = -1;
    std::string saida;
};

Filho executaFilho(const std::string& teste, const std::string& ambiente)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string programa(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::string comando = "env " + ambiente + " '" + programa
                                + "' --gtest_also_run_disabled_tests "
                                  "--gtest_filter=ChildHost.DISABLED_"
                                + teste + " 2>&1";
    Filho filho;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(comando.c_str(), "r"), pclose);
    if (!pipe)
        return filho;
    char buffer[4096];
    while (const std::size_t lidos = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        filho.saida.append(buffer, lidos);
    const int estado = pclose(pipe.release());
    filho.status = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return filho;
}

TEST(HostProcess, StartsAndEndsCleanlyWithNoQtOfItsOwn)
{
    struct Case {
        const char* teste;
        const char* ambiente;
    };
    const Case cases[] = {
        {"NoDisplay", "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE"},
        {"ExitRightAfterLoading", "QT_QPA_PLATFORM=offscreen"},
        {"ExitAfterOneCall", "QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8"},
        {"SettingsFromTheEnvironment", "-u KZT_HOST_EXE -u KZT_CONNECTION -u KZT_CONNECTION_212"},
        {"UnloadingClosesTheStore", "QT_QPA_PLATFORM=offscreen"},
        {"ScriptedWithNoDisplay", "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "
                                  "-u XDG_SESSION_TYPE -u XDG_RUNTIME_DIR -u KZT_SCRIPT"},
        {"CachedAnswersSaySo", "-u KZT_CACHE_DIR QT_QPA_PLATFORM=offscreen"},
        // A connect given up at its limit is still running in the client library when
        // the host unloads the module, or exits.
        {"UnloadWhileAConnectIsGivenUp", "QT_QPA_PLATFORM=offscreen"},
        {"ExitRightAfterAGivenUpConnect", "QT_QPA_PLATFORM=offscreen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.teste);
        const Filho filho = executaFilho(c.teste, c.ambiente);
        EXPECT_EQ(filho.status, 0) << filho.saida;
        EXPECT_NE(filho.saida.find("[  PASSED  ] 1 test"), std::string::npos) << filho.saida;
        // The module's application goes at exit without Qt complaining about it.
        EXPECT_EQ(filho.saida.find("QApplication"), std::string::npos) << filho.saida;
        EXPECT_EQ(filho.saida.find("QObject"), std::string::npos) << filho.saida;
        EXPECT_EQ(filho.saida.find("QStandardPaths"), std::string::npos) << filho.saida;
    }
}

TEST(ChildHost, DISABLED_NoDisplay)
{
    ASSERT_EQ(configura(configuracao()).status, 0);
    // The host's developer reads the refusal, in English, pointed at the test hook; an
    // offscreen platform would leave an unscripted dialog waiting for ever.
    const Resposta r = observa(R"(["N","P","1001"])");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json(), Json({{"error", "No display to show the observation dialog on (xcb: "
                                        "DISPLAY is not set). Set DISPLAY or WAYLAND_DISPLAY; a "
                                        "test with no display sets KZT_SCRIPT to the operator's "
                                        "steps instead."}}));

    // The C++ entry point tells the operator, in Portuguese, and returns no observation.
    Operador pessoa;
    kzt::Variant resultado = kzt::Variant::arrayOf(5);
    const kzt::Variant pedido[] = {"N", "P", "1001"};
    EXPECT_EQ(modulo().observacaoCpp(pedido, 2, resultado), "");
    EXPECT_EQ(pessoa.messageTexts(),
              std::vector<std::string>{"Não há tela para mostrar a observação (xcb: a variável "
                                       "DISPLAY não está definida). Defina DISPLAY ou "
                                       "WAYLAND_DISPLAY."});

    // The host goes on: a data routine needs no display, and nothing of Qt was started.
    EXPECT_EQ(chama("getQtMaxObserv", R"(["1001"])").json().at("result"), 2);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

// A host's own test suite on a machine with no display: each dialog call plays the steps
// KZT_SCRIPT holds, and the reply tells what the operator was shown.
TEST(ChildHost, DISABLED_ScriptedWithNoDisplay)
{
    const std::string order = R"(["N","P","1001","X-BURGER"])";
    setenv("KZT_SCRIPT", "press:sptConfirmar", 1);

    // A store that is not there: the dialog cannot open, and the host learns why.
    const kzt::test::TempDir empty;
    ASSERT_EQ(configura(Json{{"hostExe", empty.path() + "/pdv"}}.dump()).status, 0);
    const std::string missing = "Database file not found: " + empty.path() + "/store.db";
    const Resposta noStore = observa(order);
    EXPECT_EQ(noStore.status, 0) << noStore.texto;
    EXPECT_EQ(noStore.json().at("error"), missing) << noStore.texto;
    EXPECT_EQ(noStore.json().at("messages"), Json::array({{{"text", missing}, {"type", 3}}}));

    ASSERT_EQ(configura(configuracao()).status, 0);
    struct Case {
        const char* name;
        const char* script;
        std::string request;
        int status;
        const char* field; // a JSON pointer into the reply
        Json expected;
    };
    const std::vector<Case> cases = {
        {"a touch and the confirm compose the observation", "press:sbt01,press:sptConfirmar", order,
         0, "/returned", " SEM CEBOLA;"},
        {"steps that run out still end the call", "press:sbt01", order, 0, "/returned", ""},
        {"a comma inside an answer stays in it",
         "editor: SEM CEBOLA, SEM SAL, press:sbtEditaDesc,press:sptConfirmar", order, 0,
         "/returned", " SEM CEBOLA, SEM SAL;"},
        {"a message box is dismissed and its text reported", "press:sptConfirmar",
         R"(["S","P","1001","X-BURGER"])", 0, "/messages",
         Json::array({{{"text", "Observação deve ser informada."}, {"type", 3}}})},
        {"a step that fails is reported", "press:sbt99,press:sptConfirmar", order, 0, "/error",
         "KZT_SCRIPT press:sbt99: the dialog has no button named 'sbt99'"},
        {"a step that cannot be read refuses the call", "press:sbt01,jump:x", order, 1, "/error",
         "KZT_SCRIPT: jump:x: unknown action 'jump' (press, key, post, editor, keypad, search, "
         "price, dump, shot)"},
        {"a control dump has no place in the reply", "dump", order, 1, "/error",
         "KZT_SCRIPT: dump: the reply has no place for a control dump; kzt-station --do dump "
         "shows one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("KZT_SCRIPT", c.script, 1);
        const Resposta r = observa(c.request);
        EXPECT_EQ(r.status, c.status) << r.texto;
        EXPECT_EQ(r.json().value(Json::json_pointer(c.field), Json()), c.expected) << r.texto;
    }

    // The module's windows are offscreen from now on: an unscripted dialog would wait for
    // ever, so it is refused.
    unsetenv("KZT_SCRIPT");
    EXPECT_EQ(observa(order).status, 1);
}

TEST(ChildHost, DISABLED_ExitRightAfterLoading)
{
    ASSERT_NE(modulo().versao, nullptr) << dlerror();
    EXPECT_TRUE(std::string(modulo().versao()).find('.') != std::string::npos);
}

TEST(ChildHost, DISABLED_ExitAfterOneCall)
{
    ASSERT_EQ(configura(configuracao()).status, 0);
    Operador pessoa({"sbt01", "sptConfirmar"});
    const Resposta r = observa(R"(["N","P","1001","X-BURGER"])");
    EXPECT_EQ(r.json().at("returned"), " SEM CEBOLA;") << r.texto;
    EXPECT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
    // The environment names another locale; the host never chose it, and keeps its own
    // formatting and collation after Qt started.
    for (const int categoria : {LC_NUMERIC, LC_TIME, LC_COLLATE, LC_MONETARY})
        EXPECT_STREQ(std::setlocale(categoria, nullptr), "C") << categoria;
}

TEST(ChildHost, DISABLED_SettingsFromTheEnvironment)
{
    // Read when the module is loaded, which here is its first use.
    const std::string hostExe = estacao() + "/pdv";
    const std::string loja212 = "sqlite3://db=/loja212/store.db";
    setenv("KZT_HOST_EXE", hostExe.c_str(), 1);
    setenv("KZT_CONNECTION_212", loja212.c_str(), 1);
    ASSERT_NE(modulo().call, nullptr) << dlerror();

    // A host that calls nothing finds the store the environment names.
    EXPECT_EQ(chama("getQtMaxObserv", R"(["1001"])").json().at("result"), 2);
    const Json ambiente = {{"hostExe", hostExe},
                           {"connection", "sqlite3://db=" + estacao() + "/store.db"},
                           {"connection212", loja212},
                           {"cacheDir", "off"}}; // off by default for a local SQLite store
    EXPECT_EQ(configura("{}").json(), ambiente);
    // kzt_configure wins over the environment; null gives the environment back.
    EXPECT_EQ(configura(R"({"connection212": "sqlite3://db=/outra/store.db"})")
                  .json()
                  .at("connection212"),
              "sqlite3://db=/outra/store.db");
    EXPECT_EQ(configura(R"({"connection212": null})").json(), ambiente);
}

// Whether this process holds a file descriptor on `path`.
bool abertoAqui(const std::string& path)
{
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code erro;
        if (std::filesystem::read_symlink(fd.path(), erro) == path)
            return true;
    }
    return false;
}

// Whether another part of this process holds the module, which then cannot be unloaded.
bool moduloJaCarregado()
{
    void* held = dlopen(kBiblioteca.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (held != nullptr)
        dlclose(held);
    return held != nullptr;
}

// Loads the module for a host that unloads it again with dlclose.
void* carregaModulo(Modulo& m)
{
    void* lib = dlopen(kBiblioteca.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib != nullptr) {
        busca(lib, "kzt_configure", m.configure);
        busca(lib, "kzt_call", m.call);
        busca(lib, "kzt_free", m.libera);
    }
    return lib;
}

TEST(ChildHost, DISABLED_UnloadingClosesTheStore)
{
    // Unloads only where nothing else holds the library: run alone, as its own child host.
    if (moduloJaCarregado())
        GTEST_SKIP() << "the module is already loaded in this process";
    Modulo m;
    void* lib = carregaModulo(m);
    ASSERT_NE(lib, nullptr) << dlerror();
    char* reply = nullptr;
    ASSERT_EQ(m.configure(configuracao().c_str(), &reply), 0);
    m.libera(reply);
    ASSERT_EQ(m.call("getQtMaxObserv", R"(["1001"])", &reply), 0);
    m.libera(reply);
    const std::string store = estacao() + "/store.db";
    ASSERT_TRUE(abertoAqui(store)) << "the routine read the store";

    EXPECT_EQ(dlclose(lib), 0);
    EXPECT_FALSE(abertoAqui(store)) << "the unloaded module's connection is still open";
}

// The store connections to a server that accepts and never answers, directly and through
// ODBC, giving up after a second.
std::vector<std::string> silentConnections(const kzt::test::SilentServer& server)
{
    const std::string port = std::to_string(server.port());
    return {"postgresql://host=127.0.0.1 port=" + port + " dbname=kzt user=kzt connect_timeout=1",
            "odbc://Driver=PostgreSQL Unicode;Servername=127.0.0.1;Port=" + port
                + ";Database=kzt;Username=kzt;connect_timeout=1"};
}

std::size_t threadsHere()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TEST(ChildHost, DISABLED_UnloadWhileAConnectIsGivenUp)
{
    if (moduloJaCarregado())
        GTEST_SKIP() << "the module is already loaded in this process";
    const kzt::test::SilentServer server;
    for (const std::string& connection : silentConnections(server)) {
        SCOPED_TRACE(connection);
        Modulo m;
        void* lib = carregaModulo(m);
        ASSERT_NE(lib, nullptr) << dlerror();
        char* reply = nullptr;
        const Json settings = {{"hostExe", estacao() + "/host"},
                               {"connection", connection},
                               {"connection212", connection}};
        ASSERT_EQ(m.configure(settings.dump().c_str(), &reply), 0);
        m.libera(reply);
        const std::size_t threads = threadsHere();
        m.call("getObrigaObsCan", R"(["0001","01"])", &reply);
        EXPECT_NE(std::string(reply).find("did not answer within 1 second"), std::string::npos)
            << reply;
        m.libera(reply);
        EXPECT_EQ(dlclose(lib), 0);
        EXPECT_EQ(threadsHere(), threads) << "a thread of the unloaded module is still running";
    }
}

TEST(ChildHost, DISABLED_ExitRightAfterAGivenUpConnect)
{
    // Still silent while the process exits.
    static const auto* server = new kzt::test::SilentServer;
    const std::string connection = silentConnections(*server).front();
    ASSERT_EQ(configura(Json{{"hostExe", estacao() + "/host"},
                             {"connection", connection},
                             {"connection212", connection}}
                            .dump())
                  .status,
              0);
    EXPECT_NE(chama("getObrigaObsCan", R"(["0001","01"])").texto.find("did not answer"),
              std::string::npos);
}

} // namespace

namespace {

// A store server nobody answers for, and answers of it kept before.
TEST(ChildHost, DISABLED_CachedAnswersSaySo)
{
    const kzt::test::TempDir cache;
    const std::string away = "postgresql://host=" + cache.path() + "/no-server dbname=loja";
    const std::int64_t lidaEm = 1765222920; // 2025-12-08T19:42:00Z
    kzt::OfflineCache kept(cache.path());
    ASSERT_TRUE(kept.store(kzt::offlineKey(away, "getOcorPed", {"0001", "01", "1001"}),
                           "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                           "<FIELD attrname=\"CDGRPOCOR\" fieldtype=\"string\" WIDTH=\"2\"/>"
                           "<FIELD attrname=\"CDOCORR\" fieldtype=\"string\" WIDTH=\"2\"/>"
                           "<FIELD attrname=\"CDTIPRISCO\" fieldtype=\"string\" WIDTH=\"2\"/>"
                           "<FIELD attrname=\"DSOCORR\" fieldtype=\"string\" WIDTH=\"40\"/>"
                           "<FIELD attrname=\"CDPRODUTO\" fieldtype=\"string\" WIDTH=\"10\"/>"
                           "<FIELD attrname=\"IDCONTROLAOBS\" fieldtype=\"string\" WIDTH=\"1\"/>"
                           "</FIELDS><PARAMS/></METADATA><ROWDATA>"
                           "<ROW CDGRPOCOR=\"01\" CDOCORR=\"01\" DSOCORR=\"SEM CEBOLA\"/>"
                           "</ROWDATA></DATAPACKET>",
                           lidaEm));
    ASSERT_TRUE(kept.store(kzt::offlineKey(away, "getObrigaObsCan", {"0001", "01"}), "N", lidaEm));
    const Json ajustes = {{"hostExe", estacao() + "/host"},
                          {"connection", away},
                          {"connection212", away},
                          {"cacheDir", cache.path()}};
    ASSERT_EQ(configura(ajustes.dump()).status, 0);

    const Json lista = chama("getOcorPed", R"(["0001","01","1001"])").json();
    EXPECT_EQ(lista.at("result").at("rows").size(), 1u) << lista;
    EXPECT_EQ(lista.value("cachedAt", ""), "2025-12-08T19:42:00Z");
    // Never kept: the server's failure, and no time.
    const Json venda = chama("getNrSeqVenda", R"(["0001","001"])").json();
    EXPECT_FALSE(venda.contains("cachedAt")) << venda;

    Operador pessoa({"sbt01", "sptConfirmar"});
    const Json dialogo = observa(R"(["N","P","1001","X-BURGER"])").json();
    EXPECT_EQ(dialogo.at("returned"), " SEM CEBOLA;") << dialogo;
    EXPECT_EQ(dialogo.value("cachedAt", ""), "2025-12-08T19:42:00Z");
}

} // namespace
