#include "server/Srv_kzt00318.h"

#include "host/hostlib.h"
#include "platform/text.h"
#include "server/rdmobservacao.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace Srv_kzt00318 {

TrdmObservacao* rdmObservacao = nullptr;

void releaseDataModule() noexcept
{
    // The host library holds the session only weakly: it lets go when the connection goes.
    delete rdmObservacao;
    rdmObservacao = nullptr;
    // A connect or statement given up at its limit may still be ending on a thread of its
    // own; the client libraries' own limits end it within about two seconds of ours.
    kzt::Connection::finishGivenUpWork(std::chrono::seconds(5));
}

namespace {

// A host may call a routine before any dialog created the data module; the module is
// created and connected here then, and lives on like the dialog's would.
TrdmObservacao& dataModule()
{
    if (!rdmObservacao)
        rdmObservacao = new TrdmObservacao(); // owned by the module variable until exit
    rdmObservacao->adcObs.setConnected(true);
    return *rdmObservacao;
}

std::string errorText(const std::exception& error)
{
    return host::ADOExceptionMessage(error, rdmObservacao ? &rdmObservacao->adcObs : nullptr, "");
}

std::string unknownErrorText()
{
    return errorText(std::runtime_error("unknown error"));
}

// The occurrence list of a store group that needs only branch and store.
kzt::Variant storeList(kzt::Query TrdmObservacao::*query, kzt::Provider TrdmObservacao::*provider,
                       const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    try {
        TrdmObservacao& rdm = dataModule();
        kzt::Query& adq = rdm.*query;
        adq.close();
        adq.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
        adq.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
        adq.open();
        return (rdm.*provider).data();
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

} // namespace

kzt::Variant getOcorCanc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return storeList(&TrdmObservacao::adqOcorCanc, &TrdmObservacao::dspOcorCanc, cdFilial, cdLoja);
}

kzt::Variant getOcorDesc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return storeList(&TrdmObservacao::adqOcorDesc, &TrdmObservacao::dspOcorDesc, cdFilial, cdLoja);
}

kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                        const std::u16string& cdProduto)
{
    try {
        TrdmObservacao& rdm = dataModule();
        rdm.adqOcorPed.close();
        rdm.adqOcorPed.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
        rdm.adqOcorPed.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
        rdm.adqOcorPed.setParam("P_CDPRODUTO", kzt::withoutTrailingBlanks(cdProduto));
        rdm.adqOcorPed.open();
        return rdm.dspOcorPed.data();
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

kzt::Variant getOcorCancProd(const std::u16string& cdFilial, const std::u16string& cdLoja,
                             const std::u16string& cdProduto)
{
    try {
        TrdmObservacao& rdm = dataModule();
        rdm.adqOcorCancProd.close();
        rdm.adqOcorCancProd.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
        rdm.adqOcorCancProd.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
        rdm.adqOcorCancProd.setParam("P_CDPRODUTO", kzt::withoutTrailingBlanks(cdProduto));
        // Never 'T': the product filter always applies.
        rdm.adqOcorCancProd.setParam("P_TCDPRODUTO", std::u16string());
        rdm.adqOcorCancProd.open();
        if (!rdm.adqOcorCancProd.isEmpty())
            return rdm.dspOcorCancProd.data();

        // A product without cancellation reasons of its own gets the store's whole group.
        rdm.adqOcorrTodos.close();
        rdm.adqOcorrTodos.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
        rdm.adqOcorrTodos.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
        rdm.adqOcorrTodos.open();
        return rdm.dspOcorCancTodos.data();
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

std::string getNrSeqVenda(const std::u16string& cdFilial, const std::u16string& cdCaixa)
{
    try {
        TrdmObservacao& rdm = dataModule();
        rdm.adqNrSeqVenda.close();
        rdm.adqNrSeqVenda.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
        rdm.adqNrSeqVenda.setParam("P_CDCAIXA", kzt::withoutTrailingBlanks(cdCaixa));
        rdm.adqNrSeqVenda.open();
        return rdm.adqNrSeqVenda.fieldAsText("NRSEQVENDA");
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

std::string getObrigaObsCan(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    try {
        TrdmObservacao& rdm = dataModule();
        rdm.adqObrigaObsCan.close();
        rdm.adqObrigaObsCan.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
        rdm.adqObrigaObsCan.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
        rdm.adqObrigaObsCan.open();
        return rdm.adqObrigaObsCan.fieldAsText("IDOBRIGAOBSCAN");
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

int getQtMaxObserv(const std::string& cdProduto)
{
    TrdmObservacao& rdm = dataModule();
    rdm.adqQtMaxObserv.close();
    rdm.adqQtMaxObserv.setParam("P_CDPRODUTO", kzt::withoutTrailingBlanks(cdProduto));
    rdm.adqQtMaxObserv.open();
    if (rdm.adqQtMaxObserv.isEmpty())
        return 9999;
    // A fractional maximum is rounded down: a product allowed 2.5 controlled observations
    // can take 2 whole ones, never a third. Values beyond an int are held at its limits.
    const double maximum = std::floor(rdm.adqQtMaxObserv.fieldAsFloat("QTMAXOBSERV"));
    if (maximum >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (maximum <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(maximum);
}

} // namespace Srv_kzt00318
