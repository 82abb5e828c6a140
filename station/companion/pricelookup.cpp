#include "station/companion/pricelookup.h"

#include "platform/db/database.h"
#include "platform/text.h"

namespace companion {

void declarePriceFields(kzt::ClientDataSet& precos)
{
    using kzt::FieldType;
    precos.addFieldDef({"VRPRECO", FieldType::Float, 0, true, {}});
    precos.addFieldDef({"VRDESCONTO", FieldType::Float, 0, true, {}});
    precos.addFieldDef({"VRACRESCIMO", FieldType::Float, 0, true, {}});
    precos.addFieldDef({"VRPRECOCLIE", FieldType::Float, 0, true, {}});
    precos.addFieldDef({"IDPRECVARIA", FieldType::String, 1, true, {}});
    precos.addFieldDef({"IDPERCVALOR", FieldType::String, 1, true, {}});
    precos.addFieldDef({"IDACREDESC", FieldType::String, 1, true, {}});
    precos.addFieldDef({"VRPRECODIA", FieldType::Float, 0, true, {}});
}

namespace {

struct PriceRow {
    bool found = false;
    double price = 0;
    std::string blocked;
};

PriceRow readPrice(kzt::Connection& session, const std::string& cdFilial, const std::string& cdLoja,
                   const std::string& cdProduto)
{
    kzt::Query query("adqPreco", session);
    query.setSql({"SELECT VRPRECO, IDPRODBLOQ", "FROM PRECOPROD", "WHERE CDFILIAL = :P_CDFILIAL",
                  "AND CDLOJA = :P_CDLOJA", "AND CDPRODUTO = :P_CDPRODUTO"});
    query.addColumn({"VRPRECO", kzt::FieldType::Float, 0});
    query.addColumn({"IDPRODBLOQ", kzt::FieldType::String, 1, true});
    query.setParam("P_CDFILIAL", kzt::withoutTrailingBlanks(cdFilial));
    query.setParam("P_CDLOJA", kzt::withoutTrailingBlanks(cdLoja));
    query.setParam("P_CDPRODUTO", kzt::withoutTrailingBlanks(cdProduto));
    query.open();
    PriceRow row;
    if (!query.isEmpty()) {
        row.found = true;
        row.price = query.fieldIsNull("VRPRECO") ? 0.0 : query.fieldAsFloat("VRPRECO");
        row.blocked = query.fieldAsText("IDPRODBLOQ");
    }
    return row;
}

void fillPrice(kzt::ClientDataSet& precos, double price)
{
    if (!precos.active()) {
        if (precos.fieldDefs().empty())
            declarePriceFields(precos);
        precos.createDataSet();
    }
    // The dataset answers this lookup only; an earlier lookup's row would be stale.
    precos.emptyDataSet();
    precos.insert();
    precos.fieldByName("VRPRECO").setAsFloat(price);
    for (const char* name : {"VRDESCONTO", "VRACRESCIMO", "VRPRECOCLIE", "VRPRECODIA"})
        precos.fieldByName(name).setAsFloat(0);
    for (const char* name : {"IDPRECVARIA", "IDPERCVALOR", "IDACREDESC"})
        precos.fieldByName(name).setAsString("N");
    precos.post();
}

} // namespace

kzt::Variant lookUpPrice(kzt::Connection& session, const std::string& cdFilial,
                         const std::string& cdLoja, const std::string& cdProduto,
                         kzt::ClientDataSet& precos)
{
    PriceRow row;
    try {
        row = readPrice(session, cdFilial, cdLoja, cdProduto);
    } catch (const kzt::DatabaseError& e) {
        return kzt::Variant(e.driverMessage().empty() ? e.message() : e.driverMessage());
    }
    if (!row.found)
        return kzt::Variant("PRECNCAD");
    if (row.blocked == "S")
        return kzt::Variant("BLOQUEADO");
    if (!(row.price > 0))
        return kzt::Variant("PRECZERO");
    fillPrice(precos, row.price);
    return kzt::Variant(true);
}

kzt::Variant lookUpPrice(const std::string& connection, const std::string& cdFilial,
                         const std::string& cdLoja, const std::string& cdProduto,
                         kzt::ClientDataSet& precos)
{
    kzt::Connection session("adcPreco");
    session.setConnectionString(kzt::cp1252ToUtf16(connection));
    return lookUpPrice(session, cdFilial, cdLoja, cdProduto, precos);
}

} // namespace companion
