#pragma once

// The station parameter file PARAMETROSQTR.CDS beside the host executable: where it is,
// and the six values initialisation reads from its first record. Nothing here needs a
// widget, so the file's loading can be driven on its own.

#include "platform/clientdataset.h"

#include <string>

namespace Cli_kzt00318 {

struct ParametrosQtr {
    std::string cdFilial;
    std::string cdLoja;
    std::string idEsquema;
    std::string cdCaixa;
    bool nfce = false;
    bool sat = false;
};

// The file in the host executable's folder, found in any letter case when the exact name
// is absent; "" when the folder has none.
std::string caminhoParametros();

// Loads the file into `cdsParametrosQtr` and reads the six fields of its first record.
// Raises kzt::Error when it does not load, lacks one of them, or is larger than 1 MiB,
// declares more than 256 fields or holds more than 100 rows.
ParametrosQtr leParametros(kzt::ClientDataSet& cdsParametrosQtr, const std::string& caminho);

} // namespace Cli_kzt00318
