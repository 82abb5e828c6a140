#pragma once

// The price lookup behind ChamaFuncaoGetRetornaPreco: reads PRECOPROD of the store
// database by branch, store and product.

#include "host/host_global.h"

#include "platform/clientdataset.h"
#include "platform/db/connection.h"
#include "platform/variant.h"

#include <string>

namespace companion {

// Reads the price on `session` (the module's, so the store it chose). Success fills
// `precos` (created with its eight fields when not open; it holds this lookup's row alone)
// and returns true. A failure returns its code as text ("PRECNCAD", "BLOQUEADO",
// "PRECZERO", or the database's error text) for CheckResultServ to raise.
KZT_HOST_API kzt::Variant lookUpPrice(kzt::Connection& session, const std::string& cdFilial,
                                      const std::string& cdLoja, const std::string& cdProduto,
                                      kzt::ClientDataSet& precos);
// The same on a session of its own, opened and closed within the call.
KZT_HOST_API kzt::Variant lookUpPrice(const std::string& connection, const std::string& cdFilial,
                                      const std::string& cdLoja, const std::string& cdProduto,
                                      kzt::ClientDataSet& precos);

// Declares the price dataset's eight fields, in order.
KZT_HOST_API void declarePriceFields(kzt::ClientDataSet& precos);

} // namespace companion
