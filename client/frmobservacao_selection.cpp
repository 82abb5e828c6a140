// Choosing occurrences: the grid buttons (sbt01Click) and the search list
// (sbtPesquisaClick), both under the controlled-occurrence rules: the per-product
// maximum, the price check for kind "A" and the control records.

#include "client/frmobservacao.h"

#include "client/Cli_kzt00318.h"
#include "host/companion.h"
#include "host/hostlib.h"
#include "platform/db/databaseerror.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "server/offline.h"

#include <array>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace Cli_kzt00318 {

namespace {

// Failure codes of the price lookup and the message key shown for each, compared exactly.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kFalhasPreco{{
    {"PRECNCAD", "Preco_deve"},
    {"TABENCAD", "TabePrec"},
    {"DTCLI", "VigenciaCli"},
    {"DTPAR", "VigenciaPar"},
    {"DTLOJ", "VigenciaLoj"},
    {"PRECZERO", "Preco_Zero"},
    {"BLOQUEADO", "Prod_bloqueado"},
}};

// The operator's text for a price failure: the listed codes by their key, anything else as it came.
std::string textoFalhaPreco(const TfrmObservacao& frm, const std::string& falha)
{
    for (const auto& [codigo, chave] : kFalhasPreco) {
        if (falha == codigo)
            return frm.msgPadrao->Msg(std::string(chave));
    }
    return falha;
}

// The product's maximum; nothing when the server is away and the maximum was never read,
// so that only controlled choices, which need it, are refused.
std::optional<int> maximoDoProduto(const std::string& produto)
{
    try {
        return Srv_kzt00318::getQtMaxObserv(produto);
    } catch (const kzt::DatabaseError&) {
        if (Srv_kzt00318::lastAnswer().origin == Srv_kzt00318::LastAnswer::Origin::Unreachable)
            return std::nullopt;
        throw;
    }
}

// A count already above the maximum blocks too: the maximum may have been lowered in the
// database while the dialog was open.
bool maximoAtingido(TfrmObservacao& frm, int maximo)
{
    return frm.cdsControlaObs.recordCount() >= maximo;
}

// Why a controlled choice is refused against `maximo`, if it is.
std::optional<std::string> recusaMaximo(TfrmObservacao& frm, const std::optional<int>& maximo)
{
    if (!maximo)
        return kzt::utf8ToCp1252("Sem conexão com a loja: a quantidade máxima de observações "
                                 "deste produto não é conhecida. Ocorrências controladas não "
                                 "podem ser escolhidas agora.");
    if (maximoAtingido(frm, *maximo))
        return frm.textoMaximo(*maximo);
    return std::nullopt;
}

// The price lookup for the product of the current cdsObs row; the failure text, or nothing
// when the product can be priced.
std::optional<std::string> falhaPreco(TfrmObservacao& frm)
{
    try {
        const std::array<kzt::Variant, 7> valores{
            kzt::Variant(frm.stCdFilial),
            kzt::Variant(stCdCliDeb),
            kzt::Variant(frm.cdsObs.fieldByName("CDPRODUTO").asString()),
            kzt::Variant(frm.stCdLoja),
            kzt::Variant(stCdConsDeb),
            kzt::Variant(stHora),
            kzt::Variant(std::string()),
        };
        kzt::Variant naoLido; // the routine's third argument; nothing here reads it
        const kzt::Variant resultado = host::ChamaFuncaoGetRetornaPreco(
            valores.data(), static_cast<int>(valores.size()) - 1, frm.cdsRetornaPreco, naoLido);
        host::CheckResultServ(resultado, true, 0);
        return std::nullopt;
    } catch (const std::exception& erro) {
        return textoFalhaPreco(frm, erro.what());
    }
}

// One control record copied from the current cdsObs row.
void gravaControle(TfrmObservacao& frm)
{
    frm.cdsControlaObs.insert();
    for (const char* campo : {"CDOCORR", "CDPRODUTO", "IDCONTROLAOBS"})
        frm.cdsControlaObs.fieldByName(campo).setAsString(frm.cdsObs.fieldByName(campo).asString());
    frm.cdsControlaObs.post();
}

// The controlled-occurrence rules for the current cdsObs row, given the product's maximum.
// Returns the operator's message when the choice is refused; otherwise records what the
// kind asks for and returns nothing.
std::optional<std::string> recusaControlada(TfrmObservacao& frm, const std::optional<int>& maximo)
{
    const std::string tipo = frm.cdsObs.fieldByName("IDCONTROLAOBS").asString();
    if (tipo == "A") {
        if (auto recusa = recusaMaximo(frm, maximo))
            return recusa;
        if (auto falha = falhaPreco(frm))
            return falha;
        gravaControle(frm);
    } else if (tipo == "R") {
        // An "R" occurrence is counted once: its existing record lets it through untested.
        if (frm.cdsControlaObs.locate("CDOCORR", frm.cdsObs.fieldByName("CDOCORR").asString()))
            return std::nullopt;
        if (auto recusa = recusaMaximo(frm, maximo))
            return recusa;
        gravaControle(frm);
    }
    return std::nullopt;
}

// Each code stands once among the chosen occurrences, however often it is chosen.
void registraOcorrencia(TfrmObservacao& frm, const std::string& codigo)
{
    if (frm.cdsOcorrencia.locate("CDOCORR", codigo))
        return;
    frm.cdsOcorrencia.insert();
    frm.cdsOcorrencia.fieldByName("CDOCORR").setAsString(codigo);
    frm.cdsOcorrencia.post();
}

void acrescentaTexto(TfrmObservacao& frm, const std::string& texto)
{
    frm.stDescricao += " " + texto + ";";
    frm.lblDesc->setCaption(frm.stDescricao);
}

// The choice just accepted, as it was appended.
Choice escolhaAceita(const std::string& codigo, const std::string& texto, const std::string& tipo)
{
    return {codigo, " " + texto + ";", tipo, texto};
}

} // namespace

void TfrmObservacao::sbt01Click(QObject* Sender)
{
    auto* botao = qobject_cast<host::TBlendedBitBtn*>(Sender);
    if (botao == nullptr)
        return;
    const std::string codigo = botao->code();

    // The lookup must find buttons filled before a search narrowed the list.
    if (cdsObs.active())
        cdsObs.setFiltered(false);
    std::string tipo;
    if (cdsObs.active() && cdsObs.locate("CDOCORR", codigo)) {
        // Read anew at every press; a database error leaves the press undone.
        const std::optional<int> maximo = maximoDoProduto(stCdProduto);
        tipo = cdsObs.fieldByName("IDCONTROLAOBS").asString();
        const std::optional<std::string> recusa = recusaControlada(*this, maximo);
        if (maximo)
            leMaximo(*maximo);
        if (recusa) {
            mostraEscolhas();
            mostraMensagem(*recusa);
            return;
        }
    }
    acrescentaTexto(*this, botao->caption());
    registraOcorrencia(*this, codigo);
    registraEscolha(escolhaAceita(codigo, botao->caption(), tipo));
}

void TfrmObservacao::sbtPesquisaClick(QObject*)
{
    // A list an earlier search narrowed to nothing is not an empty list.
    if (cdsObs.active())
        cdsObs.setFiltered(false);
    if (cdsObs.isEmpty()) {
        mostraMensagem(msgPadrao->Msg("N_osb"));
        return;
    }
    if (!host::Pesquisa(cdsObs, std::string(), "S", 0, 0, 0, 0, 0))
        return;
    if (cdsObs.isEmpty())
        return;

    const std::string codigo = cdsObs.fieldByName("CDOCORR").asString();
    const std::string tipo = cdsObs.fieldByName("IDCONTROLAOBS").asString();
    const std::optional<int> maximo = maximoDoProduto(stCdProduto);
    const std::optional<std::string> recusa = recusaControlada(*this, maximo);
    if (maximo)
        leMaximo(*maximo);
    if (recusa) {
        mostraEscolhas();
        mostraMensagem(*recusa);
        return;
    }
    // Recorded only once accepted, so a refused choice is not returned as chosen.
    registraOcorrencia(*this, codigo);
    kzt::Form::processMessages();
    const std::string texto = cdsObs.fieldByName("DSOCORR").asString();
    acrescentaTexto(*this, texto);
    registraEscolha(escolhaAceita(codigo, texto, tipo));
    repaintNow();
}

} // namespace Cli_kzt00318
