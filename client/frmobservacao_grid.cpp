// Placeholder bodies so the unit links while the grid is being written.
#include "frmobservacao.h"

namespace Cli_kzt00318 {
void TfrmObservacao::MontaObservacoes() {}
void TfrmObservacao::LimpaObservacoes() {}
} // namespace Cli_kzt00318
