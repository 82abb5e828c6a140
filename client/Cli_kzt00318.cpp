// The entry point the host calls, the end-of-sale switch, and the module-level state.

#include "client/Cli_kzt00318.h"

#include "client/frmobservacao.h"

#include "host/hostlib.h"
#include "platform/db/connectionstring.h"
#include "platform/text.h"
#include "platform/ui/application.h"
#include "platform/ui/screen.h"
#include "server/Srv_kzt00318.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <memory>

namespace Cli_kzt00318 {

TfrmObservacao* frmObservacao = nullptr;
bool boCriado = false;
bool boClickAutomatico = false;
bool boObsFinVen = false;
std::string stCdOcorr;
std::string stEsperaProd;
std::string stCdCliDeb;
std::string stCdConsDeb;
std::string stHora;

namespace {

// Runs the unload step while the five texts above still exist. A library's C++ objects
// are destroyed in the reverse order of their construction, on dlclose and at exit()
// alike, so this one goes before them; a destructor function of the library would run
// after them at exit(), when a host loaded it with dlopen.
struct PassoDescarga {
    PassoDescarga() = default;
    PassoDescarga(const PassoDescarga&) = delete;
    PassoDescarga& operator=(const PassoDescarga&) = delete;
    ~PassoDescarga() { moduleUnload(); }
};
const PassoDescarga passoDescarga;

constexpr int kEntradas = 10;
using Pedido = std::array<kzt::Variant, kEntradas>;

const char* const kCodigoFinalVenda = "IDSOLOBSFINVEN";

// True while a call is between its start and its release: a nested call would free the
// dialog the outer call is still showing.
bool gEmAndamento = false;

// The host's array is never read beyond its high index, and initialisation always sees
// ten entries: the ones a short request lacks read as empty.
Pedido copiaPedido(const kzt::Variant* request, int high)
{
    Pedido pedido;
    if (request != nullptr) {
        const int ultimo = std::min(high, kEntradas - 1);
        for (int i = 0; i <= ultimo; ++i)
            pedido[static_cast<std::size_t>(i)] = request[i];
    }
    return pedido;
}

// Checked before any dialog exists, so the operator never composes an observation the
// call cannot hand back.
void exigeResultado(const kzt::Variant& result)
{
    if (!result.isArray() || result.array().size() < 5)
        throw ObservacaoError(kzt::utf8ToCp1252(
            "O resultado da observação deve ser uma lista com as posições 0 a 4."));
}

// The five values are taken before any is written, so a dataset that cannot give its
// packet leaves the host's array untouched rather than half written.
void escreveResultado(kzt::Variant& result, const TfrmObservacao& dialogo)
{
    std::array<kzt::Variant, 5> valores{
        kzt::Variant(stCdOcorr),       kzt::Variant(stEsperaProd),
        dialogo.cdsOcorrencia.data(),  kzt::Variant(dialogo.stTextoLivre),
        dialogo.cdsControlaObs.data(),
    };
    kzt::Variant::Array& itens = result.array();
    for (std::size_t i = 0; i < valores.size(); ++i)
        itens.at(i) = std::move(valores[i]);
}

void mostraErro(const std::string& texto) noexcept
{
    try {
        // The host's own library shows what it is given: no connection secret goes to it.
        host::Mensagem(kzt::maskedSecrets(texto), "", "N", "N", host::TTipoMsg::tmAtencao, "",
                       "002", 0, nullptr);
    } catch (...) {
        // The message box itself failed: there is nowhere left to report it, and nothing
        // may escape to the host.
    }
}

struct CursorPadraoNaSaida {
    CursorPadraoNaSaida() = default;
    CursorPadraoNaSaida(const CursorPadraoNaSaida&) = delete;
    CursorPadraoNaSaida& operator=(const CursorPadraoNaSaida&) = delete;
    ~CursorPadraoNaSaida() { kzt::setScreenCursor(kzt::crDefault); }
};

struct EmAndamento {
    EmAndamento() { gEmAndamento = true; }
    EmAndamento(const EmAndamento&) = delete;
    EmAndamento& operator=(const EmAndamento&) = delete;
    ~EmAndamento() { gEmAndamento = false; }
};

// Owns the call's dialog; frees it and empties frmObservacao on every way out.
struct Liberacao {
    std::unique_ptr<TfrmObservacao> dialogo;
    Liberacao() = default;
    Liberacao(const Liberacao&) = delete;
    Liberacao& operator=(const Liberacao&) = delete;
    ~Liberacao()
    {
        frmObservacao = nullptr;
        dialogo.reset();
    }
};

// Run at unload or process exit. Registered again after every call that used the
// module's own application, so it runs before the destructors of whatever Qt set up
// during those calls: the application must go first, as it would at the end of main.
void liberaAplicacao()
{
    kzt::releaseGuiApplication();
}

struct AplicacaoAteODescarregamento {
    AplicacaoAteODescarregamento() = default;
    AplicacaoAteODescarregamento(const AplicacaoAteODescarregamento&) = delete;
    AplicacaoAteODescarregamento& operator=(const AplicacaoAteODescarregamento&) = delete;
    ~AplicacaoAteODescarregamento()
    {
        if (kzt::ownsGuiApplication())
            std::atexit(liberaAplicacao);
    }
};

std::string executa(const kzt::Variant* request, int high, kzt::Variant& result,
                    Liberacao& liberacao)
{
    boClickAutomatico = true;
    kzt::setScreenCursor(kzt::crHourGlass);
    stEsperaProd.clear();
    exigeResultado(result);
    const Pedido pedido = copiaPedido(request, high);

    // boCriado is still set here only when an earlier call failed between initialisation
    // and its dialog's close; that call's release freed its dialog, so start afresh.
    boCriado = false;
    liberacao.dialogo = std::make_unique<TfrmObservacao>();
    frmObservacao = liberacao.dialogo.get();
    frmObservacao->InicializaForm(pedido.data(), kEntradas - 1);
    boCriado = true;

    const std::string titulo = pedido[3].asText();
    const std::string codigo = pedido[2].asText();
    ObservacaoFinal(codigo, titulo);

    frmObservacao->showModal();
    kzt::setScreenCursor(kzt::crDefault);
    escreveResultado(result, *frmObservacao);
    return frmObservacao->stRetorno;
}

} // namespace

ObservacaoOutcome runObservacao(const kzt::Variant* request, int high, kzt::Variant& result)
{
    ObservacaoOutcome outcome;
    const auto fail = [&outcome](const std::string& texto) {
        mostraErro(texto);
        outcome.failure = texto;
        return outcome;
    };
    // Before anything touches a widget or the module's state: without a display, or from
    // a thread other than the application's, Qt would end the host.
    const std::string recusa = kzt::prepareGuiApplication();
    if (!recusa.empty())
        return fail(recusa);
    // What a handler lets escape while the module's own application runs the dialog is
    // shown like any other error, and the dialog stays open.
    kzt::setUnhandledErrorReporter(&mostraErro);
    const AplicacaoAteODescarregamento aplicacao;
    if (gEmAndamento)
        return fail(kzt::utf8ToCp1252(
            "Uma observação já está sendo informada; conclua-a antes de iniciar outra."));
    const EmAndamento emAndamento;
    const CursorPadraoNaSaida cursor;
    Liberacao liberacao;
    try {
        outcome.returned = executa(request, high, result, liberacao);
        return outcome;
    } catch (const std::exception& erro) {
        kzt::setScreenCursor(kzt::crDefault);
        return fail(erro.what());
    } catch (...) {
        kzt::setScreenCursor(kzt::crDefault);
        return fail(kzt::utf8ToCp1252("Erro desconhecido ao informar a observação."));
    }
}

std::string Observacao(const kzt::Variant* request, int high, kzt::Variant& result)
{
    return runObservacao(request, high, result).returned;
}

void ObservacaoFinal(const std::string& codigo, const std::string& titulo)
{
    if (codigo != kCodigoFinalVenda || frmObservacao == nullptr)
        return;
    TfrmObservacao& f = *frmObservacao;
    for (QWidget* control : std::initializer_list<QWidget*>{f.sbtPesquisa, f.btnEsperaProd,
                                                            f.lblCodigo, f.lblObsAtu, f.Bevel2}) {
        control->setVisible(false);
        control->setEnabled(false);
    }
    f.lblProduto->setCaption(titulo);
    // The place the search button occupies in the layout.
    f.btnLimparObs->setLeft(643);
    boClickAutomatico = false;
}

void moduleLoad()
{
    boCriado = false;
}

void moduleUnload()
{
    stCdOcorr.clear();
    stEsperaProd.clear();
    stCdCliDeb.clear();
    stCdConsDeb.clear();
    stHora.clear();
    Srv_kzt00318::unloadDataModule();
}

} // namespace Cli_kzt00318

extern "C" std::string Observacao(const kzt::Variant* request, int high, kzt::Variant& result)
{
    return Cli_kzt00318::Observacao(request, high, result);
}
