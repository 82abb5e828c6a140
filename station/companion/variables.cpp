// Placeholder: the companion routine variables, filled in by the companion package work.
#include "host/companion.h"

namespace host {
TPesquisa Pesquisa = nullptr;
TEditaTexto EditaTexto = nullptr;
TTecladoNumerico TecladoNumerico = nullptr;
TRelFiscais RelFiscais = nullptr;
TChamaFuncaoGetRetornaPreco ChamaFuncaoGetRetornaPreco = nullptr;
} // namespace host
