#include "server/rdmobservacao.h"

#include "host/hostlib.h"
#include "platform/process.h"
#include "platform/text.h"

namespace Srv_kzt00318 {

namespace {

using kzt::ColumnDef;
using kzt::FieldType;

// The six columns every occurrence list returns, in this order. Codes and flags are read
// whole or refused: cut, "AB" would read as the priced control kind "A".
void addOccurrenceColumns(kzt::Query& query)
{
    query.addColumn(ColumnDef{"CDGRPOCOR", FieldType::String, 2, true});
    query.addColumn(ColumnDef{"CDOCORR", FieldType::String, 2, true});
    query.addColumn(ColumnDef{"CDTIPRISCO", FieldType::String, 2, true});
    query.addColumn(ColumnDef{"DSOCORR", FieldType::String, 40, false});
    query.addColumn(ColumnDef{"CDPRODUTO", FieldType::String, 10, true});
    query.addColumn(ColumnDef{"IDCONTROLAOBS", FieldType::String, 1, true});
}

const char* const kSelectOccurrence = "SELECT DISTINCT";
const char* const kOccurrenceColumns =
    "OC.CDGRPOCOR, OC.CDOCORR, OC.CDTIPRISCO, OC.DSOCORR, OC.CDPRODUTO, OC.IDCONTROLAOBS";

// The lists without a product filter differ only in the store's group column.
std::vector<std::string> storeGroupList(const std::string& groupColumn)
{
    return {kSelectOccurrence,
            kOccurrenceColumns,
            "FROM",
            "GRUPOCOR GR, LOJA LJ, OCORRENCIA OC",
            "WHERE (OC.CDGRPOCOR = GR.CDGRPOCOR)",
            "AND (OC.CDGRPOCOR = LJ." + groupColumn + ")",
            "AND (LJ.CDFILIAL =:P_CDFILIAL)",
            "AND (LJ.CDLOJA =:P_CDLOJA)",
            "ORDER BY",
            "OC.CDOCORR"};
}

std::vector<std::string> productList(const std::string& groupColumn,
                                     const std::string& productFilter)
{
    return {kSelectOccurrence,
            kOccurrenceColumns,
            "FROM",
            "GRUPOCOR GR, LOJA LJ, OCORRENCIA OC, PRODOCORRE PR",
            "WHERE (OC.CDGRPOCOR = GR.CDGRPOCOR)",
            "AND (PR.CDGRPOCOR = GR.CDGRPOCOR)",
            "AND (PR.CDOCORR = OC.CDOCORR)",
            "AND (OC.CDGRPOCOR = LJ." + groupColumn + ")",
            "AND (LJ.CDFILIAL =:P_CDFILIAL)",
            "AND (LJ.CDLOJA =:P_CDLOJA)",
            productFilter,
            "ORDER BY",
            "OC.CDOCORR"};
}

} // namespace

TrdmObservacao::TrdmObservacao()
{
    adcObs.setLoginPrompt(false);
    adcObs.beforeConnect = [this](kzt::Connection& sender) { adcObsBeforeConnect(sender); };
    adcObs.afterConnect = [this](kzt::Connection& sender) { adcObsAfterConnect(sender); };

    adqOcorCancProd.setSql(
        productList("CDGRPOCORCAN", "AND ((PR.CDPRODUTO =:P_CDPRODUTO) OR (:P_TCDPRODUTO = 'T'))"));
    addOccurrenceColumns(adqOcorCancProd);

    adqOcorPed.setSql(productList("CDGRPOCORPED", "AND (PR.CDPRODUTO =:P_CDPRODUTO)"));
    addOccurrenceColumns(adqOcorPed);

    adqOcorrTodos.setSql(storeGroupList("CDGRPOCORCAN"));
    addOccurrenceColumns(adqOcorrTodos);

    adqOcorCanc.setSql(storeGroupList("CDGRPOCORCANCUP"));
    addOccurrenceColumns(adqOcorCanc);

    adqOcorDesc.setSql(storeGroupList("CDGRPOCORDESC"));
    addOccurrenceColumns(adqOcorDesc);

    adqNrSeqVenda.setSql({"SELECT ISNULL(MAX(NRSEQVENDA),'0000000000') AS NRSEQVENDA",
                          "FROM   VENDA", "WHERE  CDFILIAL = :P_CDFILIAL AND",
                          "CDCAIXA  = :P_CDCAIXA"});
    adqNrSeqVenda.addColumn(ColumnDef{"NRSEQVENDA", FieldType::String, 10, true});

    adqObrigaObsCan.setSql({"SELECT  IDOBRIGAOBSCAN", "FROM  LOJA", "WHERE  CDFILIAL = :P_CDFILIAL",
                            "AND  CDLOJA  = :P_CDLOJA"});
    adqObrigaObsCan.addColumn(ColumnDef{"IDOBRIGAOBSCAN", FieldType::String, 1, true});

    adqQtMaxObserv.setSql({"SELECT QTMAXOBSERV", "FROM PRODUTO", "WHERE CDPRODUTO = :P_CDPRODUTO",
                           "AND QTMAXOBSERV IS NOT NULL"});
    adqQtMaxObserv.addColumn(ColumnDef{"QTMAXOBSERV", FieldType::Float, 0});
}

TrdmObservacao::~TrdmObservacao() = default;

void TrdmObservacao::adcObsBeforeConnect(kzt::Connection& sender)
{
    sender.setConnectionString(storeConnectionString());
}

std::u16string TrdmObservacao::storeConnectionString() const
{
    const std::string code = kzt::connectionCodeOf(kzt::hostExecutablePath());
    return kzt::cp1252ToUtf16(host::_GetStringConexQtr(code));
}

void TrdmObservacao::adcObsAfterConnect(kzt::Connection& sender)
{
    host::SetADODBSession(&sender);
}

} // namespace Srv_kzt00318
