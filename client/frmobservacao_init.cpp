// Placeholder bodies so the unit links while initialisation is being written.
#include "frmobservacao.h"

namespace Cli_kzt00318 {
void TfrmObservacao::InicializaForm(const kzt::Variant*, int) {}
} // namespace Cli_kzt00318
