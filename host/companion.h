#pragma once

// The companion dialog package's five routine variables. The module reads each variable
// at every call and calls the routine it holds; the package fills them when it loads.

#include "host/host_global.h"

#include "platform/clientdataset.h"
#include "platform/variant.h"

#include <string>

namespace host {

// Search list over `cds`: true when the operator picked a row, which is then the current
// row of `cds`; false when the search was left. The filter may be left narrowed.
using TPesquisa = bool (*)(kzt::ClientDataSet& cds, const std::string& titulo,
                           const std::string& mostraTodos, int p4, int p5, int p6, int p7, int p8);

// On-screen text editor opened on `texto`, with `prompt` shown when not empty; returns
// the edited text, or `texto` unchanged when the operator cancels.
using TEditaTexto = std::string (*)(const std::string& prompt, const std::string& texto, int p3,
                                    int p4, int p5);

// Numeric keypad: on confirm `valor` holds the number typed, as decimal text; on cancel it
// is left as it was. maxDigitos is the most digits that can be typed.
using TTecladoNumerico = void (*)(std::string& valor, const std::string& prompt,
                                  const std::string& unidade, const std::string& aviso,
                                  int maxDigitos, int p6, int p7, int p8, int p9, int p10);

// The fiscal reports menu.
using TRelFiscais = void (*)();

// Price lookup. parametros[0..high]: branch, customer, product, store, consumer, time, "".
// Fills `precos` on success and returns true; a failure either raises kzt::Error with the
// failure code as its message or returns the code as text (CheckResultServ raises then).
using TChamaFuncaoGetRetornaPreco = kzt::Variant (*)(const kzt::Variant* parametros, int high,
                                                     kzt::ClientDataSet& precos,
                                                     kzt::Variant& retorno);

extern KZT_HOST_API TPesquisa Pesquisa;
extern KZT_HOST_API TEditaTexto EditaTexto;
extern KZT_HOST_API TTecladoNumerico TecladoNumerico;
extern KZT_HOST_API TRelFiscais RelFiscais;
extern KZT_HOST_API TChamaFuncaoGetRetornaPreco ChamaFuncaoGetRetornaPreco;

} // namespace host
