// Placeholder bodies so the unit links while free-text editing is being written.
#include "frmobservacao.h"

namespace Cli_kzt00318 {
void TfrmObservacao::sbtEditaDescClick(QObject*) {}
} // namespace Cli_kzt00318
