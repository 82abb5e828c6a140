#pragma once

// Unit Srv_kzt00318: the data module instance and the exported data routines. The dialog
// calls them in-process; a host may call them too. Text arguments are wide strings
// (UTF-16), except getQtMaxObserv's.

#include "platform/variant.h"
#include "server/module_global.h"

#include <exception>
#include <string>

namespace Srv_kzt00318 {

class TrdmObservacao;

// The one data module, created by the dialog's first initialisation and kept, with its
// connection open, until the module is unloaded or the process ends.
extern KZT_MODULE_API TrdmObservacao* rdmObservacao;

// Frees the data module and closes its connection, at unload: nothing of it may outlive
// the module's code (its connection's threads and hooks, the session the host library
// was handed for price lookups).
void releaseDataModule() noexcept;

// The module's unload step: releaseDataModule, and then what the data routines keep
// between calls for the life of the module (the offline cache's settings).
void unloadDataModule() noexcept;

// Occurrence lists: a data packet variant, or after a database error the text of
// ADOExceptionMessage in its place.
KZT_MODULE_API kzt::Variant getOcorCanc(const std::u16string& cdFilial,
                                        const std::u16string& cdLoja);
KZT_MODULE_API kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                                       const std::u16string& cdProduto);
KZT_MODULE_API kzt::Variant getOcorCancProd(const std::u16string& cdFilial,
                                            const std::u16string& cdLoja,
                                            const std::u16string& cdProduto);
KZT_MODULE_API kzt::Variant getOcorDesc(const std::u16string& cdFilial,
                                        const std::u16string& cdLoja);

// Store and product rules. The first two return the error text in place of their value;
// getQtMaxObserv lets database errors propagate.
KZT_MODULE_API std::string getNrSeqVenda(const std::u16string& cdFilial,
                                         const std::u16string& cdCaixa);
KZT_MODULE_API std::string getObrigaObsCan(const std::u16string& cdFilial,
                                           const std::u16string& cdLoja);
KZT_MODULE_API int getQtMaxObserv(const std::string& cdProduto);

// The same routines raising their database error instead of answering with its text, for
// callers that report it as an error (the C interface). getQtMaxObserv raises already.
namespace raising {
kzt::Variant getOcorCanc(const std::u16string& cdFilial, const std::u16string& cdLoja);
kzt::Variant getOcorPed(const std::u16string& cdFilial, const std::u16string& cdLoja,
                        const std::u16string& cdProduto);
kzt::Variant getOcorCancProd(const std::u16string& cdFilial, const std::u16string& cdLoja,
                             const std::u16string& cdProduto);
kzt::Variant getOcorDesc(const std::u16string& cdFilial, const std::u16string& cdLoja);
std::string getNrSeqVenda(const std::u16string& cdFilial, const std::u16string& cdCaixa);
std::string getObrigaObsCan(const std::u16string& cdFilial, const std::u16string& cdLoja);
} // namespace raising

// The text a routine answers with in its value's place after `error`
// ("Erro no banco de dados: ...").
std::string routineErrorText(const std::exception& error);

} // namespace Srv_kzt00318
