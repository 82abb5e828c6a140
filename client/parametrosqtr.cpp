// The station parameter file: found beside the host executable and read by name.

#include "client/parametrosqtr.h"

#include "platform/process.h"

namespace Cli_kzt00318 {

namespace {

const char* const kParameterFile = "PARAMETROSQTR.CDS";

// A station file holds one row of a few dozen fields, well under 4 KB. These bounds are
// far above that and far below what would strain a till: beyond them the file is refused
// before it is read or laid out in memory (README, "The station parameter file").
constexpr kzt::PacketLimits kLimites{1024 * 1024, 256, 100};

} // namespace

std::string caminhoParametros()
{
    const std::string dir = kzt::extractFileDir(kzt::hostExecutablePath());
    const std::string found = kzt::findFileIgnoringCase(dir, kParameterFile);
    return found.empty() ? found : kzt::shortPathName(found);
}

ParametrosQtr leParametros(kzt::ClientDataSet& cdsParametrosQtr, const std::string& caminho)
{
    cdsParametrosQtr.loadFromFile(caminho, kLimites);
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
