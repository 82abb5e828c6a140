// The station parameter file: found beside the host executable and read by name.

#include "parametrosqtr.h"

#include "platform/process.h"

namespace Cli_kzt00318 {

namespace {

const char* const kParameterFile = "PARAMETROSQTR.CDS";

} // namespace

std::string caminhoParametros()
{
    const std::string dir = kzt::extractFileDir(kzt::hostExecutablePath());
    const std::string found = kzt::findFileIgnoringCase(dir, kParameterFile);
    return found.empty() ? found : kzt::shortPathName(found);
}

ParametrosQtr leParametros(kzt::ClientDataSet& cdsParametrosQtr, const std::string& caminho)
{
    cdsParametrosQtr.loadFromFile(caminho);
    cdsParametrosQtr.open();
    cdsParametrosQtr.first();
    ParametrosQtr p;
    p.cdFilial = cdsParametrosQtr.fieldByName("CDFILIAL").asString();
    p.cdLoja = cdsParametrosQtr.fieldByName("CDLOJA").asString();
    p.idEsquema = cdsParametrosQtr.fieldByName("IDESQUEMA").asString();
    p.cdCaixa = cdsParametrosQtr.fieldByName("CDCAIXA").asString();
    p.nfce = cdsParametrosQtr.fieldByName("SISTEMAQTRNFCE").asBoolean();
    p.sat = cdsParametrosQtr.fieldByName("SISTEMAQTRSAT").asBoolean();
    return p;
}

} // namespace Cli_kzt00318
