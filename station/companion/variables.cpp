// The companion package's five routine variables, filled when the library loads. Every
// routine reports itself to the trace and goes through the presentation seam, so the
// station's scripted mode and the tests answer what an operator would.

#include "host/companion.h"
#include "host/hostlib.h"
#include "platform/process.h"
#include "platform/text.h"
#include "station/companion/pricelookup.h"
#include "station/hostlib/presentation.h"
#include "station/hostlib/tracing.h"

#include <string>
#include <vector>

namespace host {

namespace {

std::string number(int value)
{
    return std::to_string(value);
}

bool pesquisa(kzt::ClientDataSet& cds, const std::string& titulo, const std::string& mostraTodos,
              int p4, int p5, int p6, int p7, int p8)
{
    traceCall("Pesquisa", {cds.name(), titulo, mostraTodos, number(p4), number(p5), number(p6),
                           number(p7), number(p8)});
    return presentation().search(cds, titulo);
}

std::string editaTexto(const std::string& prompt, const std::string& texto, int p3, int p4, int p5)
{
    traceCall("EditaTexto", {prompt, texto, number(p3), number(p4), number(p5)});
    return presentation().editText(prompt, texto);
}

void tecladoNumerico(std::string& valor, const std::string& prompt, const std::string& unidade,
                     const std::string& aviso, int maxDigitos, int p6, int p7, int p8, int p9,
                     int p10)
{
    traceCall("TecladoNumerico", {valor, prompt, unidade, aviso, number(maxDigitos), number(p6),
                                  number(p7), number(p8), number(p9), number(p10)});
    KeypadRequest request;
    request.prompt = prompt;
    request.unit = unidade;
    request.warning = aviso;
    request.maxDigits = maxDigitos;
    if (std::optional<std::string> typed = presentation().keypad(request, valor))
        valor = *typed;
}

void relFiscais()
{
    traceCall("RelFiscais", {});
    presentation().fiscalMenu();
}

// A failure is returned as its code in text, not raised: the caller hands every result to
// CheckResultServ, which raises with that text, so both sides agree on one path.
kzt::Variant chamaFuncaoGetRetornaPreco(const kzt::Variant* parametros, int high,
                                        kzt::ClientDataSet& precos, kzt::Variant& retorno)
{
    (void)retorno;
    std::vector<std::string> values;
    for (int i = 0; parametros && i <= high; ++i)
        values.push_back(parametros[i].isArray() || parametros[i].isPacket()
                             ? std::string("<") + kzt::Variant::typeName(parametros[i].type()) + ">"
                             : parametros[i].asText());
    std::vector<std::string> args = values;
    args.push_back(precos.name());
    traceCall("ChamaFuncaoGetRetornaPreco", args);

    if (std::optional<std::string> answer = presentation().priceAnswer())
        return kzt::Variant(*answer);
    auto at = [&values](std::size_t i) { return i < values.size() ? values[i] : std::string(); };
    if (kzt::Connection* session = preparedSession())
        return companion::lookUpPrice(*session, at(0), at(3), at(2), precos);
    // No module session yet: the store the module would choose for this host.
    return companion::lookUpPrice(
        _GetStringConexQtr(kzt::connectionCodeOf(kzt::hostExecutablePath())), at(0), at(3), at(2),
        precos);
}

} // namespace

TPesquisa Pesquisa = &pesquisa;
TEditaTexto EditaTexto = &editaTexto;
TTecladoNumerico TecladoNumerico = &tecladoNumerico;
TRelFiscais RelFiscais = &relFiscais;
TChamaFuncaoGetRetornaPreco ChamaFuncaoGetRetornaPreco = &chamaFuncaoGetRetornaPreco;

} // namespace host
