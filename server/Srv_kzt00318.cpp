#include "server/Srv_kzt00318.h"

#include "host/hostlib.h"
#include "platform/text.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"

#include <climits>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <vector>

namespace Srv_kzt00318 {

TrdmObservacao* rdmObservacao = nullptr;

void releaseDataModule() noexcept
{
    // The host library holds the session only weakly: it lets go when the connection goes.
    delete rdmObservacao;
    rdmObservacao = nullptr;
    releaseOffline();
}

namespace {

std::string text(const std::u16string& wide)
{
    return kzt::utf16ToUtf8(wide);
}

// A list as the server gave it or as it was kept (throughCache: a host may call a routine
// before any dialog created the data module; it is created and connected there then).
kzt::Variant list(const char* routine, const std::vector<std::string>& args,
                  const std::function<kzt::Variant(TrdmObservacao&)>& read)
{
    return kzt::Variant::fromPacket(throughCache(
        routine, args, true, [&read](TrdmObservacao& rdm) { return read(rdm).packet(); }));
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
kzt::Variant storeList(const char* routine, kzt::Query TrdmObservacao::*query,
                       kzt::Provider TrdmObservacao::*provider, const std::u16string& cdFilial,
                       const std::u16string& cdLoja)
{
    try {
        return list(routine, {text(cdFilial), text(cdLoja)}, [&](TrdmObservacao& rdm) {
            kzt::Query& adq = rdm.*query;
            adq.close();
            adq.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
            adq.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
            adq.open();
            return (rdm.*provider).data();
        });
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

} // namespace

kzt::Variant getOcorCanc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return storeList("getOcorCanc", &TrdmObservacao::adqOcorCanc, &TrdmObservacao::dspOcorCanc,
                     cdFilial, cdLoja);
}

kzt::Variant getOcorDesc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return storeList("getOcorDesc", &TrdmObservacao::adqOcorDesc, &TrdmObservacao::dspOcorDesc,
                     cdFilial, cdLoja);
}

kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                        const std::u16string& cdProduto)
{
    try {
        return list("getOcorPed", {text(cdFilial), text(cdLoja), text(cdProduto)},
                    [&](TrdmObservacao& rdm) {
                        rdm.adqOcorPed.close();
                        rdm.adqOcorPed.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
                        rdm.adqOcorPed.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
                        rdm.adqOcorPed.setParam("P_CDPRODUTO",
                                                kzt::withoutTrailingBlanks(cdProduto));
                        rdm.adqOcorPed.open();
                        return rdm.dspOcorPed.data();
                    });
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
        return list(
            "getOcorCancProd", {text(cdFilial), text(cdLoja), text(cdProduto)},
            [&](TrdmObservacao& rdm) {
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
            });
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

std::string getNrSeqVenda(const std::u16string& cdFilial, const std::u16string& cdCaixa)
{
    // Never kept: it changes with every sale. While the server is away it fails at once.
    try {
        return throughCache(
            "getNrSeqVenda", {text(cdFilial), text(cdCaixa)}, false, [&](TrdmObservacao& rdm) {
                rdm.adqNrSeqVenda.close();
                rdm.adqNrSeqVenda.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
                rdm.adqNrSeqVenda.setParam("P_CDCAIXA", kzt::withoutTrailingBlanks(cdCaixa));
                rdm.adqNrSeqVenda.open();
                return rdm.adqNrSeqVenda.fieldAsText("NRSEQVENDA");
            });
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

std::string getObrigaObsCan(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    try {
        return throughCache(
            "getObrigaObsCan", {text(cdFilial), text(cdLoja)}, true, [&](TrdmObservacao& rdm) {
                rdm.adqObrigaObsCan.close();
                rdm.adqObrigaObsCan.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
                rdm.adqObrigaObsCan.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
                rdm.adqObrigaObsCan.open();
                return rdm.adqObrigaObsCan.fieldAsText("IDOBRIGAOBSCAN");
            });
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

int getQtMaxObserv(const std::string& cdProduto)
{
    const std::string maximum = throughCache(
        "getQtMaxObserv", {kzt::cp1252ToUtf8(cdProduto)}, true, [&](TrdmObservacao& rdm) {
            rdm.adqQtMaxObserv.close();
            rdm.adqQtMaxObserv.setParam("P_CDPRODUTO", kzt::withoutTrailingBlanks(cdProduto));
            rdm.adqQtMaxObserv.open();
            if (rdm.adqQtMaxObserv.isEmpty())
                return std::to_string(9999);
            // A fractional maximum is rounded down: a product allowed 2.5
            // controlled observations can take 2 whole ones, never a third.
            // Values beyond an int are held at its limits.
            const double value = std::floor(rdm.adqQtMaxObserv.fieldAsFloat("QTMAXOBSERV"));
            if (value >= static_cast<double>(INT_MAX))
                return std::to_string(INT_MAX);
            if (value <= static_cast<double>(INT_MIN))
                return std::to_string(INT_MIN);
            return std::to_string(static_cast<int>(value));
        });
    return std::stoi(maximum);
}

} // namespace Srv_kzt00318
