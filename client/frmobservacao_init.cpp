// TfrmObservacao::InicializaForm: prepares a new dialog from the host's request before it
// is shown.

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "client/parametrosqtr.h"

#include "host/hostlib.h"
#include "platform/db/offlinecache.h"
#include "platform/error.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace Cli_kzt00318 {

namespace {

// An entry of the request; past its end a request reads as empty, never beyond the array.
const kzt::Variant& entrada(const kzt::Variant* request, int high, int index)
{
    static const kzt::Variant vazio;
    if (request == nullptr || index > high)
        return vazio;
    return request[index];
}

// The whole text must be a 64-bit integer: sale numbers run to ten digits, past what a
// 32-bit integer holds.
std::int64_t numeroVenda(const std::string& texto)
{
    std::int64_t valor = 0;
    const char* inicio = texto.data();
    const char* fim = texto.data() + texto.size();
    if (inicio != fim && *inicio == '+')
        ++inicio;
    const auto [ponto, erro] = std::from_chars(inicio, fim, valor);
    if (texto.empty() || erro != std::errc() || ponto != fim
        || valor == std::numeric_limits<std::int64_t>::max())
        throw ObservacaoError("'" + texto + "' is not a valid integer value");
    return valor;
}

// Whether the last data routine found the server away and had nothing kept to answer with.
bool semServidor()
{
    return Srv_kzt00318::lastAnswer().origin == Srv_kzt00318::LastAnswer::Origin::Unreachable;
}

} // namespace

std::int64_t offlineListReadAt = 0;

// One line, made only when needed, in the strip below the buttons that no designed control
// uses.
void TfrmObservacao::showOfflineLine(std::int64_t readAt)
{
    offlineListReadAt = readAt;
    if (lblOffline == nullptr) {
        lblOffline = new kzt::Label(this, QStringLiteral("lblOffline"));
        lblOffline->setTransparent(true);
        lblOffline->setFont({"Arial", 11, true, kzt::clWhite});
        kzt::setBounds(lblOffline, 19, 557, 570, 14);
    }
    lblOffline->setCaption(kzt::utf8ToCp1252("Sem conexão com a loja — lista de ")
                           + kzt::clockTime(readAt));
    lblOffline->setVisible(true);
}

void TfrmObservacao::InicializaForm(const kzt::Variant* request, int high)
{
    auto req = [request, high](int index) -> const kzt::Variant& {
        return entrada(request, high, index);
    };

    bringToFront();
    stTextoLivre.clear();
    offlineListReadAt = 0;

    // The request group. Only an entry that has no text (an array or a packet) can stop
    // it; what it did not reach is left empty, never kept from an earlier call.
    stCdCliDeb.clear();
    stCdConsDeb.clear();
    stHora.clear();
    // The label's design-time caption would otherwise be returned ahead of the composed
    // text when the group stops before entry 4.
    lblObsAtual->setCaption({});
    try {
        stObrigaObs = req(0).asText();
        stTipoObs = req(1).asText();
        stCdProduto = req(2).asText();
        lblProduto->setCaption(stCdProduto + " - " + req(3).asText());
        lblObsAtual->setCaption(req(4).asText());
        const std::string espera = req(6).asText();
        if (!host::EmptyString(espera)) {
            lblEsperaProd->setVisible(true);
            lblEsperaProd->setCaption(lblEsperaProd->caption() + " " + espera);
        }
        stCdCliDeb = req(7).asText();
        stCdConsDeb = req(8).asText();
        stHora = req(9).asText();
        stEsperaProd.clear();
    } catch (const kzt::Error&) {
        // The group ends here, silently: the dialog opens with what was read.
    }

    // Whether a sale is open; anything that is no boolean means it is not.
    try {
        boVendaAberta = req(5).asBoolean();
    } catch (const kzt::Error&) {
        boVendaAberta = false;
    }

    // The data module lives until the process ends; the module variable owns it. A server
    // that cannot be reached is left to the offline cache, when there is one.
    Srv_kzt00318::connectStore();

    // The station parameter file; without one the station has no branch, store or till.
    ParametrosQtr estacao;
    const std::string parametros = caminhoParametros();
    if (!parametros.empty()) {
        estacao = leParametros(cdsParametrosQtr, parametros);
        stCdFilial = estacao.cdFilial;
        stCdLoja = estacao.cdLoja;
        stIdEsquema = estacao.idEsquema;
    }

    // The occurrence list of the kind asked for, checked by the host and loaded.
    const std::u16string filial = kzt::cp1252ToUtf16(stCdFilial);
    const std::u16string loja = kzt::cp1252ToUtf16(stCdLoja);
    const std::u16string produto = kzt::cp1252ToUtf16(stCdProduto);
    kzt::Variant lista;
    const char* rotina = nullptr;
    if (stTipoObs == "C") {
        lista = Srv_kzt00318::getOcorCanc(filial, loja);
        rotina = "getOcorCanc";
    } else if (stTipoObs == "P") {
        lista = Srv_kzt00318::getOcorPed(filial, loja, produto);
        rotina = "getOcorPed";
    } else if (stTipoObs == "CP") {
        lista = Srv_kzt00318::getOcorCancProd(filial, loja, produto);
        rotina = "getOcorCancProd";
    } else if (stTipoObs == "D") {
        lista = Srv_kzt00318::getOcorDesc(filial, loja);
        rotina = "getOcorDesc";
    }
    if (rotina != nullptr) {
        // Read now: the calls below say where their own answers came from.
        const Srv_kzt00318::LastAnswer origem = Srv_kzt00318::lastAnswer();
        if (origem.origin == Srv_kzt00318::LastAnswer::Origin::Cache)
            showOfflineLine(origem.readAt);
        const std::string chave = stCdFilial + "-" + stCdLoja + "-" + stCdProduto;
        cdsObs.setData(
            host::MensagemMetodo(lista, true, 0, rotina, "Cli_Kzt00318", chave, stIdEsquema));
    }

    // The group code handed back to the host.
    stCdOcorr = cdsObs.isEmpty() ? std::string() : cdsObs.fieldByName("CDGRPOCOR").asString();

    // Sale-level kinds show the sale number instead of the product.
    if (stTipoObs == "C" || stTipoObs == "D") {
        std::string numero =
            Srv_kzt00318::getNrSeqVenda(filial, kzt::cp1252ToUtf16(estacao.cdCaixa));
        // Never kept offline: without the server it is simply not shown.
        if (semServidor())
            numero.clear();
        else if (boVendaAberta)
            numero = host::Ajusta(std::to_string(numeroVenda(numero) + 1), 10);
        lblProduto->setCaption(estacao.nfce || estacao.sat ? std::string() : numero);
    }

    // The chosen occurrences and the controlled records start empty.
    if (!cdsOcorrencia.active())
        cdsOcorrencia.createDataSet();
    if (!cdsControlaObs.active())
        cdsControlaObs.createDataSet();

    // A store may make an observation compulsory when something is cancelled.
    std::string obrigaObsCan = Srv_kzt00318::getObrigaObsCan(filial, loja);
    // Unknown offline: asking for an observation is the safe side.
    if (semServidor())
        obrigaObsCan = "S";
    const bool cancelamento = stTipoObs == "C" || stTipoObs == "CP";
    sbtSair->setEnabled(!(cancelamento && obrigaObsCan == "S"));

    MontaObservacoes();
    mostraMaximoInicial();
}

} // namespace Cli_kzt00318
