#include "server/Srv_kzt00318.h"

#include "host/hostlib.h"
#include "platform/db/databaseerror.h"
#include "platform/text.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
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
    // A connect or statement given up at its limit may still be ending on a thread of its
    // own; the client libraries' own limits end it within about two seconds of ours.
    kzt::Connection::finishGivenUpWork(std::chrono::seconds(5));
}

void unloadDataModule() noexcept
{
    releaseDataModule();
    freeOffline();
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

// A code argument as it is bound: without trailing blanks, and refused before any
// statement runs when it has no Windows-1252 form, as the store's "?" codes would
// otherwise be the only rows it could match.
std::u16string codeArgument(const char* routine, const char* parameter, const std::u16string& code)
{
    if (kzt::cp1252ToUtf16(kzt::utf16ToCp1252(code)) != code)
        throw kzt::DatabaseError(kzt::DatabaseError::Category::BadData,
                                 std::string(routine) + ": the argument " + parameter
                                     + " holds a character with no Windows-1252 form.");
    return kzt::withoutTrailingBlanks(code);
}

std::string twoStoreRows(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return "LOJA holds more than one row for branch '"
           + kzt::quotedCp1252(kzt::utf16ToCp1252(cdFilial)) + "' and store '"
           + kzt::quotedCp1252(kzt::utf16ToCp1252(cdLoja)) + "'.";
}

// Store data that contradicts itself is refused rather than shown as a mixed list: two
// LOJA rows for the branch and store give rows of two groups, and a code named twice would
// be picked by one description and recorded with the other's.
void checkOccurrenceList(kzt::Query& adq, const std::u16string& cdFilial,
                         const std::u16string& cdLoja)
{
    std::map<std::string, std::string> descriptions; // code, description
    std::optional<std::string> group;
    for (adq.first(); !adq.eof(); adq.next()) {
        const std::string rowGroup = adq.fieldAsText("CDGRPOCOR");
        if (group && rowGroup != *group)
            throw kzt::DatabaseError(kzt::DatabaseError::Category::BadData,
                                     adq.name() + ": " + twoStoreRows(cdFilial, cdLoja));
        group = rowGroup;
        const std::string code = adq.fieldAsText("CDOCORR");
        const std::string description = adq.fieldAsText("DSOCORR");
        const auto [seen, added] = descriptions.emplace(code, description);
        if (!added)
            throw kzt::DatabaseError(kzt::DatabaseError::Category::BadData,
                                     adq.name() + ": the occurrence code '" + code
                                         + "' names two occurrences ('"
                                         + std::min(seen->second, description) + "' and '"
                                         + std::max(seen->second, description) + "').");
    }
    adq.first();
}

// Runs a list query on branch and store (and product, when the query takes one).
void openList(const char* routine, kzt::Query& adq, const std::u16string& cdFilial,
              const std::u16string& cdLoja, const std::u16string* cdProduto = nullptr)
{
    adq.close();
    adq.setParam("P_CDFILIAL", codeArgument(routine, "P_CDFILIAL", cdFilial));
    adq.setParam("P_CDLOJA", codeArgument(routine, "P_CDLOJA", cdLoja));
    if (cdProduto)
        adq.setParam("P_CDPRODUTO", codeArgument(routine, "P_CDPRODUTO", *cdProduto));
    adq.open();
    checkOccurrenceList(adq, cdFilial, cdLoja);
}

// The value a routine answers with: after a database error, its text in the value's place.
template <typename Body>
auto answered(Body&& body) -> decltype(body())
{
    try {
        return body();
    } catch (const std::exception& e) {
        return errorText(e);
    } catch (...) {
        return unknownErrorText();
    }
}

std::string text(const std::u16string& wide)
{
    return kzt::utf16ToUtf8(wide);
}

// A routine's answer as the server gave it (and kept) or as it was kept, while the server
// cannot be reached (throughCache).
std::string kept(const char* routine, const std::vector<std::string>& args,
                 const std::function<std::string()>& read)
{
    return throughCache(routine, args, true, [&read](TrdmObservacao&) { return read(); });
}

kzt::Variant keptList(const char* routine, const std::vector<std::string>& args,
                      const std::function<kzt::Variant()>& read)
{
    return kzt::Variant::fromPacket(kept(routine, args, [&read] { return read().packet(); }));
}

} // namespace

std::string routineErrorText(const std::exception& error)
{
    return errorText(error);
}

// The routines as the server answers them, before the offline cache.
namespace live {

kzt::Variant getOcorCanc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    TrdmObservacao& rdm = dataModule();
    openList("getOcorCanc", rdm.adqOcorCanc, cdFilial, cdLoja);
    return rdm.dspOcorCanc.data();
}

kzt::Variant getOcorDesc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    TrdmObservacao& rdm = dataModule();
    openList("getOcorDesc", rdm.adqOcorDesc, cdFilial, cdLoja);
    return rdm.dspOcorDesc.data();
}

kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                        const std::u16string& cdProduto)
{
    TrdmObservacao& rdm = dataModule();
    openList("getOcorPed", rdm.adqOcorPed, cdFilial, cdLoja, &cdProduto);
    return rdm.dspOcorPed.data();
}

kzt::Variant getOcorCancProd(const std::u16string& cdFilial, const std::u16string& cdLoja,
                             const std::u16string& cdProduto)
{
    TrdmObservacao& rdm = dataModule();
    // Never 'T': the product filter always applies.
    rdm.adqOcorCancProd.setParam("P_TCDPRODUTO", std::u16string());
    openList("getOcorCancProd", rdm.adqOcorCancProd, cdFilial, cdLoja, &cdProduto);
    if (!rdm.adqOcorCancProd.isEmpty())
        return rdm.dspOcorCancProd.data();

    // A product without cancellation reasons of its own gets the store's whole group.
    openList("getOcorCancProd", rdm.adqOcorrTodos, cdFilial, cdLoja);
    return rdm.dspOcorCancTodos.data();
}

std::string getNrSeqVenda(const std::u16string& cdFilial, const std::u16string& cdCaixa)
{
    TrdmObservacao& rdm = dataModule();
    rdm.adqNrSeqVenda.close();
    rdm.adqNrSeqVenda.setParam("P_CDFILIAL", codeArgument("getNrSeqVenda", "P_CDFILIAL", cdFilial));
    rdm.adqNrSeqVenda.setParam("P_CDCAIXA", codeArgument("getNrSeqVenda", "P_CDCAIXA", cdCaixa));
    rdm.adqNrSeqVenda.open();
    return rdm.adqNrSeqVenda.fieldAsText("NRSEQVENDA");
}

std::string getObrigaObsCan(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    TrdmObservacao& rdm = dataModule();
    kzt::Query& adq = rdm.adqObrigaObsCan;
    adq.close();
    adq.setParam("P_CDFILIAL", codeArgument("getObrigaObsCan", "P_CDFILIAL", cdFilial));
    adq.setParam("P_CDLOJA", codeArgument("getObrigaObsCan", "P_CDLOJA", cdLoja));
    adq.open();
    if (adq.recordCount() > 1)
        throw kzt::DatabaseError(kzt::DatabaseError::Category::BadData,
                                 adq.name() + ": " + twoStoreRows(cdFilial, cdLoja));
    return adq.fieldAsText("IDOBRIGAOBSCAN");
}

} // namespace live

namespace raising {

kzt::Variant getOcorCanc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return keptList("getOcorCanc", {text(cdFilial), text(cdLoja)},
                    [&] { return live::getOcorCanc(cdFilial, cdLoja); });
}

kzt::Variant getOcorDesc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return keptList("getOcorDesc", {text(cdFilial), text(cdLoja)},
                    [&] { return live::getOcorDesc(cdFilial, cdLoja); });
}

kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                        const std::u16string& cdProduto)
{
    return keptList("getOcorPed", {text(cdFilial), text(cdLoja), text(cdProduto)},
                    [&] { return live::getOcorPed(cdFilial, cdLoja, cdProduto); });
}

kzt::Variant getOcorCancProd(const std::u16string& cdFilial, const std::u16string& cdLoja,
                             const std::u16string& cdProduto)
{
    return keptList("getOcorCancProd", {text(cdFilial), text(cdLoja), text(cdProduto)},
                    [&] { return live::getOcorCancProd(cdFilial, cdLoja, cdProduto); });
}

// Never kept: it changes with every sale. While the server is away it fails at once.
std::string getNrSeqVenda(const std::u16string& cdFilial, const std::u16string& cdCaixa)
{
    return throughCache("getNrSeqVenda", {text(cdFilial), text(cdCaixa)}, false,
                        [&](TrdmObservacao&) { return live::getNrSeqVenda(cdFilial, cdCaixa); });
}

std::string getObrigaObsCan(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return kept("getObrigaObsCan", {text(cdFilial), text(cdLoja)},
                [&] { return live::getObrigaObsCan(cdFilial, cdLoja); });
}

} // namespace raising

kzt::Variant getOcorCanc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return answered([&] { return raising::getOcorCanc(cdFilial, cdLoja); });
}

kzt::Variant getOcorDesc(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return answered([&] { return raising::getOcorDesc(cdFilial, cdLoja); });
}

kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                        const std::u16string& cdProduto)
{
    return answered([&] { return raising::getOcorPed(cdFilial, cdLoja, cdProduto); });
}

kzt::Variant getOcorCancProd(const std::u16string& cdFilial, const std::u16string& cdLoja,
                             const std::u16string& cdProduto)
{
    return answered([&] { return raising::getOcorCancProd(cdFilial, cdLoja, cdProduto); });
}

std::string getNrSeqVenda(const std::u16string& cdFilial, const std::u16string& cdCaixa)
{
    return answered([&] { return raising::getNrSeqVenda(cdFilial, cdCaixa); });
}

std::string getObrigaObsCan(const std::u16string& cdFilial, const std::u16string& cdLoja)
{
    return answered([&] { return raising::getObrigaObsCan(cdFilial, cdLoja); });
}

namespace live {

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

} // namespace live

int getQtMaxObserv(const std::string& cdProduto)
{
    return std::stoi(kept("getQtMaxObserv", {kzt::cp1252ToUtf8(cdProduto)},
                          [&] { return std::to_string(live::getQtMaxObserv(cdProduto)); }));
}

} // namespace Srv_kzt00318
